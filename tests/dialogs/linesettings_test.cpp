// Line Settings: each member on its own control (with the two XON/XOFF boxes
// crossed over), two hand-overs on OK, and the RTS/DTR lamps kept in step.
#include "dialog_fixture.h"

namespace {

enum {
  kBaud = 301, kData = 305, kParity = 306, kParityOn = 312, kStop = 307, kRts = 309, kDtr = 308,
  kRecXonXoff = 310, kSendXonXoff = 311, kCts = 298, kDsr = 299
};

class LineSettingsTest : public DialogTest {
 protected:
  void OpenDialog() {
    Open(LineSettingsDlgProc,
         {{kBaud, kEdit}, {kData, kEdit}, {kParity, kList}, {kParityOn, kButton}, {kStop, kList},
          {kRts, kList}, {kDtr, kList}, {kRecXonXoff, kButton}, {kDsr, kButton}, {IDOK, kButton},
          {IDCANCEL, kButton}, {kSendXonXoff, kButton}, {kCts, kButton}});
  }
};

TEST_F(LineSettingsTest, OpeningShowsEachMemberOnItsControl) {
  const struct {
    DWORD baud;
    BYTE byteSize, parity, stopBits;
    DWORD fParity, outX, inX, cts, dsr;
    const char *parityShown, *stopShown;
  } cases[] = {
      {9600, 8, NOPARITY, ONESTOPBIT, 0, 1, 0, 0, 1, "None", "1"},
      {4294967295u, 255, SPACEPARITY, TWOSTOPBITS, 1, 0, 1, 1, 0, "Space", "2"},
      {110, 5, MARKPARITY, 3, 1, 1, 1, 1, 1, "Mark", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.baud);
    device->dcb = PatternDcb();
    device->dcb.BaudRate = c.baud;
    device->dcb.ByteSize = c.byteSize;
    device->dcb.Parity = c.parity;
    device->dcb.StopBits = c.stopBits;
    device->dcb.fParity = c.fParity;
    device->dcb.fOutX = c.outX;
    device->dcb.fInX = c.inX;
    device->dcb.fOutxCtsFlow = c.cts;
    device->dcb.fOutxDsrFlow = c.dsr;
    OpenDialog();
    EXPECT_TRUE(SameDcb(port->dcb, device->dcb));
    EXPECT_EQ(Text(kBaud), std::to_string(c.baud));
    EXPECT_EQ(Text(kData), std::to_string(c.byteSize));
    EXPECT_EQ(Shown(kParity), c.parityShown);
    EXPECT_EQ(Shown(kStop), c.stopShown);
    EXPECT_EQ(Checked(kParityOn), c.fParity != 0);
    EXPECT_EQ(Checked(kRecXonXoff), c.outX != 0);   // inside "Rec. Flow Control", yet fOutX
    EXPECT_EQ(Checked(kSendXonXoff), c.inX != 0);   // inside "Send Flow Control", yet fInX
    EXPECT_EQ(Checked(kCts), c.cts != 0);
    EXPECT_EQ(Checked(kDsr), c.dsr != 0);
  }
  EXPECT_EQ(C(kRts).items, (std::vector<std::string>{"Clear", "Set", "Auto", "Toggle"}));
  EXPECT_EQ(C(kDtr).items, (std::vector<std::string>{"Clear", "Set", "Auto"}));
  EXPECT_EQ(DriverWrites(), 0);
}

// The lamps follow the modes read at opening, and keep that after Cancel.
TEST_F(LineSettingsTest, OpeningBringsTheLampsIntoStepWithTheModes) {
  const struct {
    DWORD rts, dtr;
    WORD linesBefore, linesAfter;
    const char *rtsShown, *dtrShown;
  } cases[] = {
      {RTS_CONTROL_DISABLE, DTR_CONTROL_DISABLE, kLineRts | kLineDtr | kLineLoop, kLineLoop, "Clear", "Clear"},
      {RTS_CONTROL_ENABLE, DTR_CONTROL_ENABLE, 0, kLineRts | kLineDtr, "Set", "Set"},
      {RTS_CONTROL_HANDSHAKE, DTR_CONTROL_HANDSHAKE, 0, kLineRts | kLineDtr, "Auto", "Auto"},
      {RTS_CONTROL_TOGGLE, 3, kLineDtr, kLineRts | kLineDtr, "Toggle", ""},  // DTR 3 names nothing
      {RTS_CONTROL_TOGGLE, 3, 0, kLineRts, "Toggle", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rts * 10 + c.dtr);
    fake::Calls().clear();
    device->dcb.fRtsControl = c.rts;
    device->dcb.fDtrControl = c.dtr;
    port->outputLines = c.linesBefore;
    OpenDialog();
    EXPECT_EQ(port->outputLines, c.linesAfter);
    EXPECT_EQ(Shown(kRts), c.rtsShown);
    EXPECT_EQ(Shown(kDtr), c.dtrShown);
    Press(IDCANCEL);
    EXPECT_EQ(port->outputLines, c.linesAfter);
    EXPECT_EQ(DriverWrites(), 0);
  }
}

TEST_F(LineSettingsTest, OkHandsOverRateAndSizeFirstThenEverything) {
  const DCB read = PatternDcb();
  device->dcb = read;
  OpenDialog();
  Type(kBaud, "4B00H");
  Type(kData, "7");
  Choose(kParity, 1);
  Check(kParityOn, false);  // Odd without checking
  Choose(kStop, 1);
  Choose(kRts, 3);
  Choose(kDtr, 2);
  Check(kRecXonXoff, true);
  Check(kSendXonXoff, false);
  Check(kCts, true);
  Check(kDsr, false);
  Press(IDOK);

  DCB first = read;
  first.BaudRate = 19200;
  first.ByteSize = 7;
  DCB second = first;
  second.Parity = ODDPARITY;
  second.fParity = 0;
  second.StopBits = ONE5STOPBITS;
  second.fRtsControl = RTS_CONTROL_TOGGLE;
  second.fDtrControl = DTR_CONTROL_HANDSHAKE;
  second.fOutX = 1;
  second.fInX = 0;
  second.fOutxCtsFlow = 1;
  second.fOutxDsrFlow = 0;
  std::vector<DCB> sent = SentStates();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_TRUE(SameDcb(sent[0], first));
  EXPECT_TRUE(SameDcb(sent[1], second));
  EXPECT_TRUE(fake::Boxes().empty());
}

TEST_F(LineSettingsTest, XonXoffBoxesAreCrossedAtOk) {
  const struct {
    bool rec, send;
    DWORD outX, inX;
  } cases[] = {{true, false, 1, 0}, {false, true, 0, 1}, {true, true, 1, 1}, {false, false, 0, 0}};
  for (const auto& c : cases) {
    fake::Calls().clear();
    OpenDialog();
    Check(kRecXonXoff, c.rec);
    Check(kSendXonXoff, c.send);
    Press(IDOK);
    EXPECT_EQ(device->dcb.fOutX, c.outX);
    EXPECT_EQ(device->dcb.fInX, c.inX);
  }
}

// Without a selection a list leaves its member and its lamp as they were.
TEST_F(LineSettingsTest, OkModesDriveTheLamps) {
  const struct {
    int rtsChoice, dtrChoice;
    WORD linesAfter;
    DWORD rts, dtr;
  } cases[] = {
      {0, 0, kLineLoop, RTS_CONTROL_DISABLE, DTR_CONTROL_DISABLE},
      {1, 1, kLineLoop | kLineRts | kLineDtr, RTS_CONTROL_ENABLE, DTR_CONTROL_ENABLE},
      {2, 0, kLineLoop | kLineRts, RTS_CONTROL_HANDSHAKE, DTR_CONTROL_DISABLE},
      {0, 2, kLineLoop | kLineDtr, RTS_CONTROL_DISABLE, DTR_CONTROL_HANDSHAKE},
      {CB_ERR, CB_ERR, kLineLoop | kLineDtr, RTS_CONTROL_DISABLE, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rtsChoice * 10 + c.dtrChoice);
    fake::Calls().clear();
    device->dcb.fRtsControl = RTS_CONTROL_DISABLE;  // opening clears the RTS lamp
    device->dcb.fDtrControl = 3;                    // and leaves the DTR lamp lit
    port->outputLines = kLineLoop | kLineDtr | kLineRts;
    OpenDialog();
    Choose(kRts, c.rtsChoice);
    Choose(kDtr, c.dtrChoice);
    Press(IDOK);
    EXPECT_EQ(port->outputLines, c.linesAfter);
    std::vector<DCB> sent = SentStates();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].fRtsControl, c.rts);
    EXPECT_EQ(sent[1].fDtrControl, c.dtr);
  }
}

TEST_F(LineSettingsTest, NumberBoxesTakeEveryFormAndEmptyLeavesTheMember) {
  const struct {
    const char *baud, *data;
    DWORD sentBaud;
    BYTE sentSize;
  } cases[] = {
      {"19200", "8", 19200, 8}, {"0x4B00", "0x7", 19200, 7}, {"4B00H", "6", 19200, 6},
      {"", "", 1234, 5},        {"110", "264", 110, 8},  // low 8 bits of 264
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.baud);
    fake::Calls().clear();
    device->dcb.BaudRate = 1234;
    device->dcb.ByteSize = 5;
    OpenDialog();
    Type(kBaud, c.baud);
    Type(kData, c.data);
    Press(IDOK);
    std::vector<DCB> sent = SentStates();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].BaudRate, c.sentBaud);
    EXPECT_EQ(sent[0].ByteSize, c.sentSize);
  }
}

TEST_F(LineSettingsTest, RefusedSizeIsReportedAndTheSecondHandOverStillMade) {
  OpenDialog();
  Type(kData, "9");
  Choose(kParity, 2);
  fake::FailNext("SetCommState", ERROR_INVALID_PARAMETER);
  Press(IDOK);
  EXPECT_EQ(fake::BoxTexts(), std::vector<std::string>{"Error from SetCommState A2: 87 ByteSize: 9"});
  std::vector<DCB> sent = SentStates();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].ByteSize, 9);
  EXPECT_EQ(sent[1].Parity, EVENPARITY);

  // The second one refused as well: its own message.
  fake::Boxes().clear();
  OpenDialog();
  fake::FailNext("SetCommState", ERROR_INVALID_PARAMETER);
  fake::FailNext("SetCommState", ERROR_GEN_FAILURE);
  Press(IDOK);
  EXPECT_EQ(fake::BoxTexts(),
            (std::vector<std::string>{"Error from SetCommState A2: 87 ByteSize: 9", "Error from SetCommState:31"}));
}

TEST_F(LineSettingsTest, RefusedReadShowsWhatThePortHeld) {
  port->dcb = PatternDcb();
  port->dcb.BaudRate = 75;
  fake::FailNext("GetCommState", ERROR_INVALID_HANDLE);
  OpenDialog();
  EXPECT_EQ(fake::BoxTexts(), std::vector<std::string>{"Error from GetCommState:6"});
  EXPECT_EQ(Text(kBaud), "75");
}

TEST_F(LineSettingsTest, ListsWithoutSelectionLeaveTheirMembers) {
  device->dcb.Parity = 9;
  device->dcb.StopBits = 3;
  OpenDialog();
  EXPECT_EQ(Shown(kParity), "");
  EXPECT_EQ(Shown(kStop), "");
  Press(IDOK);
  std::vector<DCB> sent = SentStates();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].Parity, 9);
  EXPECT_EQ(sent[1].StopBits, 3);
}

TEST_F(LineSettingsTest, CancelSendsNothing) {
  OpenDialog();
  Type(kBaud, "300");
  Press(IDCANCEL);
  EXPECT_EQ(DriverWrites(), 0);
}

}  // namespace
