// Time-outs: the five members on their boxes (the labels sit one row off the
// member names), the program-wide record, and nothing sent on Cancel.
#include "dialog_fixture.h"

namespace {

class TimeoutsTest : public DialogTest {
 protected:
  void OpenDialog() {
    Open(TimeoutsDlgProc, {{IDOK, kButton}, {IDCANCEL, kButton}, {312, kEdit}, {313, kEdit}, {314, kEdit},
                           {315, kEdit}, {316, kEdit}, {302, kEdit}, {303, kEdit}, {304, kEdit}});
  }
  // The port opened on a driver that had these: its read fields are then the
  // user's, and the driver is given the reader's from then on.
  void OpenOnDriverWith(COMMTIMEOUTS timeouts) {
    port.reset();
    device->timeouts = timeouts;
    port = OpenPort("COM1");
    dialogPort = port.get();
    fake::Calls().clear();
  }
};

TEST_F(TimeoutsTest, OpeningShowsTheMembersInRecordOrder) {
  OpenOnDriverWith({MAXDWORD, 1, 22, 333, 4444});
  OpenDialog();
  EXPECT_EQ(Text(312), "4294967295");
  EXPECT_EQ(Text(313), "1");
  EXPECT_EQ(Text(314), "22");
  EXPECT_EQ(Text(315), "333");
  EXPECT_EQ(Text(316), "4444");
  for (int id : {302, 303, 304}) {
    EXPECT_FALSE(C(id).enabled) << id;
    EXPECT_EQ(Text(id), "") << id;
  }
}

// The write fields reach the driver as typed; the read fields are kept and
// shown again, while the driver keeps the reader's.
TEST_F(TimeoutsTest, OkReadsEachBoxIntoItsMember) {
  OpenOnDriverWith({MAXDWORD, 1, 22, 333, 4444});
  OpenDialog();
  Type(313, "0x10");
  Type(314, "");       // keeps what the driver had
  Type(315, "20H");
  Type(316, "-1");
  Press(IDOK);
  ASSERT_EQ(fake::CallsTo("SetCommTimeouts").size(), 1u);
  const COMMTIMEOUTS& t = device->timeouts;
  EXPECT_EQ(t.ReadIntervalTimeout, kReadGapMs);  // the reader's
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 32u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, MAXDWORD);
  OpenDialog();
  EXPECT_EQ(Text(312), "4294967295");  // shown and read back unchanged
  EXPECT_EQ(Text(313), "16");
  EXPECT_EQ(Text(314), "22");
  EXPECT_EQ(Text(315), "32");
  EXPECT_EQ(Text(316), "4294967295");
  Press(IDCANCEL);
}

TEST_F(TimeoutsTest, FailedCallsKeepTheProgramWideRecord) {
  OpenOnDriverWith({5, 6, 7, 8, 9});
  OpenDialog();
  Press(IDOK);

  // Another port whose driver does not answer shows the last values.
  auto other = OpenPort("COM2");
  fake::FindDevice("COM2")->timeouts = {50, 60, 70, 80, 90};
  dialogPort = other.get();
  fake::FailNext("GetCommTimeouts", ERROR_INVALID_PARAMETER);
  OpenDialog();
  EXPECT_EQ(Text(312), "5");
  EXPECT_EQ(Text(316), "9");
  Type(313, "61");
  fake::FailNext("SetCommTimeouts", ERROR_INVALID_PARAMETER);
  Press(IDOK);
  EXPECT_TRUE(fake::Boxes().empty());
  EXPECT_EQ(fake::FindDevice("COM2")->timeouts.ReadTotalTimeoutMultiplier, 60u);

  fake::FailNext("GetCommTimeouts", ERROR_INVALID_PARAMETER);
  OpenDialog();
  EXPECT_EQ(Text(313), "61");  // what the refused OK asked for
  dialogPort = port.get();
}

TEST_F(TimeoutsTest, CancelSendsNothing) {
  OpenDialog();
  Type(312, "1");
  Press(IDCANCEL);
  EXPECT_EQ(DriverWrites(), 0);
}

}  // namespace
