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
};

TEST_F(TimeoutsTest, OpeningShowsTheMembersInRecordOrder) {
  device->timeouts = {MAXDWORD, 1, 22, 333, 4444};
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

TEST_F(TimeoutsTest, OkReadsEachBoxIntoItsMember) {
  device->timeouts = {MAXDWORD, 1, 22, 333, 4444};
  OpenDialog();
  Type(313, "0x10");
  Type(314, "");       // keeps what the driver had
  Type(315, "20H");
  Type(316, "-1");
  Press(IDOK);
  ASSERT_EQ(fake::CallsTo("SetCommTimeouts").size(), 1u);
  const COMMTIMEOUTS& t = device->timeouts;
  EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);  // shown and read back unchanged
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 16u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 22u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 32u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, MAXDWORD);
}

TEST_F(TimeoutsTest, FailedCallsKeepTheProgramWideRecord) {
  device->timeouts = {5, 6, 7, 8, 9};
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
