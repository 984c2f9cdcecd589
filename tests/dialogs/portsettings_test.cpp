// Port Settings: opening shows the driver's block in the five lists; OK
// rewrites exactly the chosen members and the flow-control scheme.
#include "dialog_fixture.h"

namespace {

enum { kBaud = 301, kData = 305, kParity = 306, kStop = 307, kFlow = 354 };

class PortSettingsTest : public DialogTest {
 protected:
  void OpenDialog() {
    Open(PortSettingsDlgProc, {{kBaud, kList}, {kData, kList}, {kParity, kList}, {kStop, kList},
                               {kFlow, kList}, {IDOK, kButton}, {IDCANCEL, kButton}});
  }
};

TEST_F(PortSettingsTest, OpeningShowsTheDriversBlock) {
  const struct {
    DWORD baud;
    BYTE byteSize, parity, stopBits;
    DWORD outX, rts;
    const char *baudShown, *dataShown, *parityShown, *stopShown, *flowShown;
  } cases[] = {
      {9600, 8, NOPARITY, ONESTOPBIT, 0, RTS_CONTROL_ENABLE, "9600", "8 bits", "None", "1", "None"},
      {110, 5, MARKPARITY, ONE5STOPBITS, 1, RTS_CONTROL_ENABLE, "300", "8 bits", "", "1.5", "Xon/Xoff"},
      {460800, 7, SPACEPARITY, TWOSTOPBITS, 1, RTS_CONTROL_HANDSHAKE, "460800", "7 bits", "", "2", "Hardware"},
      {300, 6, EVENPARITY, ONESTOPBIT, 0, RTS_CONTROL_HANDSHAKE, "300", "8 bits", "Even", "1", "Hardware"},
      {57600, 8, ODDPARITY, 7, 0, RTS_CONTROL_TOGGLE, "57600", "8 bits", "Odd", "", "None"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.baud);
    device->dcb = PatternDcb();
    device->dcb.BaudRate = c.baud;
    device->dcb.ByteSize = c.byteSize;
    device->dcb.Parity = c.parity;
    device->dcb.StopBits = c.stopBits;
    device->dcb.fOutX = c.outX;
    device->dcb.fRtsControl = c.rts;
    OpenDialog();
    EXPECT_TRUE(SameDcb(port->dcb, device->dcb));
    EXPECT_EQ(Shown(kBaud), c.baudShown);
    EXPECT_EQ(Shown(kData), c.dataShown);
    EXPECT_EQ(Shown(kParity), c.parityShown);
    EXPECT_EQ(Shown(kStop), c.stopShown);
    EXPECT_EQ(Shown(kFlow), c.flowShown);
  }
  EXPECT_EQ(C(kBaud).items,
            (std::vector<std::string>{"300", "600", "1200", "2400", "3600", "4800", "7200", "9600", "19200",
                                      "38400", "57600", "115200", "230400", "460800"}));
  EXPECT_EQ(C(kFlow).items, (std::vector<std::string>{"None", "Hardware", "Xon/Xoff"}));
  EXPECT_TRUE(fake::Boxes().empty());
  EXPECT_EQ(DriverWrites(), 0);
}

// Each scheme starts from no handshaking with RTS and DTR enabled, whatever
// DSR flow or DTR handshaking the port had.
TEST_F(PortSettingsTest, OkWritesTheChosenMembersAndOneOfThreeSchemes) {
  const struct {
    int flow;
    DWORD outX, inX, rts, cts;
  } cases[] = {
      {0, 0, 0, RTS_CONTROL_ENABLE, 0},
      {1, 0, 0, RTS_CONTROL_HANDSHAKE, 1},
      {2, 1, 1, RTS_CONTROL_ENABLE, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flow);
    fake::Calls().clear();
    DCB read = PatternDcb();
    read.fOutX = 1;
    read.fInX = 1;
    read.fDtrControl = DTR_CONTROL_HANDSHAKE;
    read.fOutxDsrFlow = 1;
    read.fOutxCtsFlow = 1;
    read.fRtsControl = RTS_CONTROL_TOGGLE;
    read.fParity = 0;
    read.Parity = NOPARITY;
    device->dcb = read;
    OpenDialog();
    Choose(kBaud, 11);   // 115200
    Choose(kData, 0);    // 7 bits
    Choose(kParity, 1);  // Odd
    Choose(kStop, 2);    // 2
    Choose(kFlow, c.flow);
    Press(IDOK);

    DCB expected = read;
    expected.BaudRate = 115200;
    expected.ByteSize = 7;
    expected.Parity = ODDPARITY;
    expected.StopBits = TWOSTOPBITS;
    expected.fParity = 1;
    expected.fDtrControl = DTR_CONTROL_ENABLE;
    expected.fOutxDsrFlow = 0;
    expected.fOutX = c.outX;
    expected.fInX = c.inX;
    expected.fRtsControl = c.rts;
    expected.fOutxCtsFlow = c.cts;
    std::vector<DCB> sent = SentStates();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(SameDcb(sent[0], expected));
    EXPECT_TRUE(SameDcb(device->dcb, expected));
  }
}

TEST_F(PortSettingsTest, ParityFlagAndListsWithoutSelection) {
  const struct {
    BYTE parity;
    DWORD fParity;
    int choice;  // -1: leave the list as opened
    BYTE sentParity;
    DWORD sentFlag;
  } cases[] = {
      {ODDPARITY, 1, 0, NOPARITY, 1},      // "None" leaves checking on
      {NOPARITY, 0, 0, NOPARITY, 0},
      {NOPARITY, 0, 2, EVENPARITY, 1},
      {MARKPARITY, 0, -1, MARKPARITY, 1},  // nothing shown: the driver's Mark stays
      {SPACEPARITY, 1, -1, SPACEPARITY, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.parity));
    fake::Calls().clear();
    device->dcb = PatternDcb();
    device->dcb.Parity = c.parity;
    device->dcb.fParity = c.fParity;
    device->dcb.StopBits = 9;  // names no entry either
    OpenDialog();
    if (c.choice >= 0) Choose(kParity, c.choice);
    Press(IDOK);
    std::vector<DCB> sent = SentStates();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Parity, c.sentParity);
    EXPECT_EQ(sent[0].fParity, c.sentFlag);
    EXPECT_EQ(sent[0].StopBits, 9);
  }
}

TEST_F(PortSettingsTest, DriverRefusalsAreShownAndTheDialogStillCloses) {
  port->dcb = PatternDcb();
  port->dcb.BaudRate = 2400;
  const DCB before = port->dcb;
  fake::FailNext("GetCommState", ERROR_ACCESS_DENIED);
  OpenDialog();
  EXPECT_EQ(fake::BoxTexts(), std::vector<std::string>{"Error from GetCommState:5"});
  EXPECT_TRUE(SameDcb(port->dcb, before));
  EXPECT_EQ(Shown(kBaud), "2400");  // what the port held before

  fake::Boxes().clear();
  device->dcb = PatternDcb();
  OpenDialog();
  const DCB driverHad = device->dcb;
  Choose(kBaud, 0);
  fake::FailNext("SetCommState", ERROR_INVALID_PARAMETER);
  Press(IDOK);
  EXPECT_EQ(fake::BoxTexts(), std::vector<std::string>{"Error from SetCommState:87"});
  EXPECT_TRUE(SameDcb(device->dcb, driverHad));
  EXPECT_EQ(port->dcb.BaudRate, 300u);  // the refused block stays in the port

  // A failure without an error number shows nothing.
  fake::Boxes().clear();
  OpenDialog();
  fake::FailNext("SetCommState", 0);
  Press(IDOK);
  EXPECT_TRUE(fake::Boxes().empty());
}

TEST_F(PortSettingsTest, CancelSendsNothing) {
  OpenDialog();
  Choose(kBaud, 13);
  Choose(kFlow, 1);
  Press(IDCANCEL);
  EXPECT_EQ(DriverWrites(), 0);
  Command(999);  // other commands are ignored
  EXPECT_EQ(DriverWrites(), 0);
  EXPECT_EQ(fake::DialogOf(dialog).endCalls, 1);
}

}  // namespace
