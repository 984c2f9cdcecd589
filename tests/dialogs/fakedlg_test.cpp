// The fake dialog imitates the documented behaviour of the control calls the
// dialogs rely on; a fault here would let a dialog test pass for the wrong reason.
#include "dialog_fixture.h"

namespace {

class FakeDialogTest : public FakeWinTest {
 protected:
  void SetUp() override {
    FakeWinTest::SetUp();
    fake::ResetDialogs();
    dialog = fake::MakeDialog({{10, fake::ControlKind::kEdit},
                               {11, fake::ControlKind::kList},
                               {12, fake::ControlKind::kButton}});
  }
  void TearDown() override {
    fake::ResetDialogs();
    FakeWinTest::TearDown();
  }
  HWND dialog = nullptr;
};

TEST_F(FakeDialogTest, GetTextCopiesAtMostCountMinusOneAndTerminates) {
  SetDlgItemTextA(dialog, 10, "abcdef");
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetDlgItemTextA(dialog, 10, buffer, 4), 3u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], 'x');  // nothing written beyond count
  EXPECT_EQ(GetDlgItemTextA(dialog, 10, buffer, 8), 6u);
  EXPECT_STREQ(buffer, "abcdef");
}

TEST_F(FakeDialogTest, ListTextIsTheSelectedEntryAndBadIndexClearsTheSelection) {
  char buffer[16];
  EXPECT_EQ(SendDlgItemMessageA(dialog, 11, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one")), 0);
  EXPECT_EQ(SendDlgItemMessageA(dialog, 11, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("two")), 1);
  EXPECT_EQ(SendDlgItemMessageA(dialog, 11, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(SendDlgItemMessageA(dialog, 11, CB_SETCURSEL, 1, 0), 1);
  GetDlgItemTextA(dialog, 11, buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "two");
  for (WPARAM bad : {WPARAM{2}, static_cast<WPARAM>(-1)}) {
    SendDlgItemMessageA(dialog, 11, CB_SETCURSEL, 0, 0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 11, CB_SETCURSEL, bad, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 11, CB_GETCURSEL, 0, 0), CB_ERR);
    GetDlgItemTextA(dialog, 11, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "");
  }
  SendDlgItemMessageA(dialog, 11, CB_SETCURSEL, 0, 0);
  SendDlgItemMessageA(dialog, 11, CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendDlgItemMessageA(dialog, 11, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_TRUE(fake::ControlOf(dialog, 11)->items.empty());
}

TEST_F(FakeDialogTest, UnknownControlsAreReportedAsMisuse) {
  char buffer[4] = "zz";
  EXPECT_EQ(GetDlgItem(dialog, 99), nullptr);
  EXPECT_EQ(GetDlgItemTextA(dialog, 99, buffer, sizeof buffer), 0u);
  EXPECT_STREQ(buffer, "");
  SendDlgItemMessageA(dialog, 10, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("x"));  // an edit box
  EXPECT_EQ(fake::DialogViolations().size(), 2u);
}

}  // namespace
