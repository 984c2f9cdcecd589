// A dialog whose port's window closes while it is open: it lets go of the
// port at once, is sent Cancel, and touches the port no more, whatever
// message comes next (its timer, OK, Reset). The port is freed first, so
// that AddressSanitizer sees any touch.
#include "dialog_fixture.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/port_dialog.h"

namespace {

class PortDialogTest : public DialogTest {};

TEST_F(PortDialogTest, ADialogWhosePortsWindowClosesClosesWithoutTouchingIt) {
  Controls statistics = {{IDOK, kButton}, {IDC_STAT_RESET, kButton}};
  for (int id = IDC_STAT_RECEIVED; id <= IDC_STAT_LOSTFOR; id++)
    if (id != IDC_STAT_RESET && id != IDC_STAT_LOST + 1) statistics.push_back({id, kEdit});
  const Controls timeouts = {{IDOK, kButton}, {IDCANCEL, kButton}, {312, kEdit}, {313, kEdit}, {314, kEdit},
                             {315, kEdit},    {316, kEdit},        {302, kEdit}, {303, kEdit}, {304, kEdit}};
  const struct {
    const char* name;
    DLGPROC proc;
    const Controls& controls;
    std::vector<std::pair<UINT, WPARAM>> after;  // what reaches the dialog once the port has gone
  } cases[] = {
      {"statistics", StatisticsDlgProc, statistics, {{WM_TIMER, 1}, {WM_COMMAND, IDC_STAT_RESET}, {WM_COMMAND, IDOK}}},
      {"settings", TimeoutsDlgProc, timeouts, {{WM_COMMAND, IDOK}}},
  };
  port.reset();
  auto other = OpenPort("COM2");
  HWND otherDialog = fake::MakeDialog({});
  BindDialog(otherDialog, other.get());  // another port's dialog: left alone throughout
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    port = OpenPort("COM1");
    dialogPort = port.get();
    Open(c.proc, c.controls);
    fake::Calls().clear();

    CloseDialogsOf(port.get());  // its window closes
    port.reset();
    const auto posts = fake::CallsTo("PostMessageA");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].args, (std::vector<uint64_t>{reinterpret_cast<uintptr_t>(dialog), WM_COMMAND, IDCANCEL, 0}));

    for (const auto& message : c.after) proc(dialog, message.first, message.second, 0);
    EXPECT_TRUE(fake::DialogOf(dialog).ended);
    EXPECT_EQ(DriverWrites(), 0);
    EXPECT_EQ(BoundPort(dialog), nullptr);
  }
  EXPECT_EQ(BoundPort(otherDialog), other.get());
}

}  // namespace
