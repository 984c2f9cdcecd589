// Events: the port's own mask on thirteen boxes, the All On / All Off button,
// and OK storing the mask in the port and giving it to SetCommMask.
#include "dialog_fixture.h"

namespace {

enum { kButton335 = 335 };
const int kEventIds[] = {317, 318, 319, 320, 321, 322, 323, 324, 325, 326, 331, 332, 333};
const DWORD kEventBits[] = {0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80, 0x100, 0x200, 0x400, 0x800, 0x1000};
const int kWin16Ids[] = {327, 328, 329, 330, 334, 336};

class EventsDialogTest : public DialogTest {
 protected:
  void OpenDialog() {
    Controls controls = {{336, kEdit}, {334, kEdit}, {kButton335, kButton}, {IDOK, kButton}, {IDCANCEL, kButton}};
    for (int id : kEventIds) controls.push_back({id, kButton});
    for (int id : {327, 328, 329, 330}) controls.push_back({id, kButton});
    Open(EventsDlgProc, controls);
  }
  DWORD MaskShown() {
    DWORD mask = 0;
    for (size_t i = 0; i < 13; i++)
      if (Checked(kEventIds[i])) mask |= kEventBits[i];
    return mask;
  }
  void ExpectWin16Untouched() {
    for (int id : kWin16Ids) {
      EXPECT_FALSE(C(id).enabled) << id;
      EXPECT_EQ(C(id).check, static_cast<UINT>(BST_UNCHECKED)) << id;
      EXPECT_EQ(C(id).text, "") << id;
    }
  }
};

TEST_F(EventsDialogTest, OpeningShowsThePortsMaskAndTheButtonSaysWhatItWillDo) {
  const struct {
    DWORD mask;
    const char* caption;
  } cases[] = {{0, "All On"}, {0x1FFF, "All Off"}, {EV_RXCHAR | EV_RX80FULL, "All Off"}, {EV_EVENT2 | EV_PERR, "All Off"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mask);
    port->eventMask = c.mask;
    OpenDialog();
    EXPECT_EQ(MaskShown(), c.mask);
    EXPECT_EQ(Text(kButton335), c.caption);
    ExpectWin16Untouched();
  }
  EXPECT_EQ(DriverWrites(), 0);
}

TEST_F(EventsDialogTest, ButtonFlipsWhateverWasCheckedByHand) {
  OpenDialog();
  Command(kButton335);
  EXPECT_EQ(MaskShown(), 0x1FFFu);
  EXPECT_EQ(Text(kButton335), "All Off");
  ExpectWin16Untouched();

  Check(317, false);  // by hand: the button still clears all
  Command(kButton335);
  EXPECT_EQ(MaskShown(), 0u);
  EXPECT_EQ(Text(kButton335), "All On");

  Check(320, true);
  Command(kButton335, 5);  // not a click: ignored
  EXPECT_EQ(MaskShown(), EV_CTS);
  EXPECT_EQ(Text(kButton335), "All On");
  EXPECT_EQ(DriverWrites(), 0);
  EXPECT_EQ(port->eventMask, 0u);
}

TEST_F(EventsDialogTest, OkStoresTheBoxesInThePortAndTheDriver) {
  const struct {
    DWORD before;
    bool allOn;
    std::vector<int> toggled;  // boxes flipped by hand after that
    DWORD stored;
  } cases[] = {
      {0, true, {}, 0x1FFF},
      {0x1FFF, false, {317, 318, 319, 320, 321, 322, 323, 324, 325, 326, 331, 332, 333}, 0},
      {0, false, {318, 333}, EV_RXFLAG | EV_EVENT2},
      {0x1FFF, false, {331}, 0x1FFF & ~EV_RX80FULL},
      {0x10000 | EV_RING, false, {}, 0x10000 | EV_RING},  // bits without a box are kept
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    fake::Calls().clear();
    port->eventMask = c.before;
    OpenDialog();
    if (c.allOn) Command(kButton335);
    for (int id : c.toggled) Check(id, !Checked(id));
    Press(IDOK);
    EXPECT_EQ(port->eventMask, c.stored);
    std::vector<fake::Call> masks = fake::CallsTo("SetCommMask");
    ASSERT_EQ(masks.size(), 1u);
    EXPECT_EQ(masks[0].handle, port->handle);
    EXPECT_EQ(masks[0].args, std::vector<uint64_t>{c.stored});
  }
}

TEST_F(EventsDialogTest, TheNextPollStartsOrStopsTheEventWait) {
  OpenDialog();
  Check(320, true);  // EV_CTS
  Press(IDOK);
  PollAllPorts();
  ASSERT_EQ(fake::CallsTo("WaitCommEvent").size(), 1u);
  EXPECT_EQ(port->eventPending, 1);

  OpenDialog();
  Command(kButton335);  // "All Off"
  Press(IDOK);
  EXPECT_EQ(port->eventMask, 0u);
  PollAllPorts();  // the new mask ended the wait: collected, and none started again
  PollAllPorts();
  EXPECT_EQ(fake::CallsTo("WaitCommEvent").size(), 1u);
  EXPECT_EQ(port->eventPending, 0);
  EXPECT_STREQ(port->screen.RingRow(port->screen.CurrentIndex()).text, "<EV_NONE>");
}

TEST_F(EventsDialogTest, RefusedMaskIsKeptSilently) {
  OpenDialog();
  Check(321, true);
  fake::FailNext("SetCommMask", ERROR_INVALID_PARAMETER);
  Press(IDOK);
  EXPECT_EQ(port->eventMask, static_cast<DWORD>(EV_DSR));
  EXPECT_TRUE(fake::Boxes().empty());
}

TEST_F(EventsDialogTest, CancelAfterAllOnLeavesPortAndDriver) {
  port->eventMask = EV_CTS;
  OpenDialog();
  Command(kButton335);
  Press(IDCANCEL);
  EXPECT_EQ(port->eventMask, static_cast<DWORD>(EV_CTS));
  EXPECT_EQ(DriverWrites(), 0);
}

}  // namespace
