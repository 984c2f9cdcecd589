// Modem status, the event wait's life cycle, and the line-error and event
// notices, driven through the fake serial driver.
#include <string>
#include <vector>

#include "port/comport.h"
#include "support.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class EventsTest : public OnePortTest {
 protected:
  void SetUp() override {
    OnePortTest::SetUp();
    // Program-wide, and the tests share one process.
    eventWaitErrors = 0;
  }

  // What the user chooses in the Events dialog: the port's mask and the driver's.
  static void ChooseMask(ComPort& p, DWORD mask) {
    p.eventMask = mask;
    ASSERT_TRUE(SetCommMask(p.handle, mask));
  }

  // Everything written to the screen since it was last cleared (the texts may wrap).
  static std::string ScreenText(const ComPort& p) {
    std::string out;
    for (int row = 0; row <= p.screen.CurrentIndex(); row++) out += p.screen.RingRow(row).text;
    return out;
  }
};

constexpr const char kAllLineErrors[] =
    "<ERR:BREAK <ERR:FRAME <ERR:IOE <ERR:MODE><ERR:OVERRUN><ERR:RXOVER><ERR:RXPARITY><ERR:TXFULL><ERR:DNS>"
    "<ERR:PTO><ERR:OOP>";
constexpr const char kAllEvents[] =
    "<EV_RXCHAR><EV_RXFLAG><EV_TXEMPTY><EV_CTS><EV_DSR><EV_RLSD><EV_BREAK><EV_ERR><EV_RING><EV_PERR>"
    "<EV_RX80FULL><EV_EVENT1><EV_EVENT2>";

// ---------------------------------------------------------------- line errors

TEST_F(EventsTest, LineErrorsFromTheDriverAppearInTableOrder) {
  struct Case {
    DWORD bits;
    std::string text;
  };
  const Case cases[] = {
      {0x0010, "<ERR:BREAK "},
      {0x0008, "<ERR:FRAME "},
      {0x0400, "<ERR:IOE "},
      {0x8000, "<ERR:MODE>"},
      {0x0002, "<ERR:OVERRUN>"},
      {0x0001, "<ERR:RXOVER>"},
      {0x0004, "<ERR:RXPARITY>"},
      {0x0100, "<ERR:TXFULL>"},
      {0x0800, "<ERR:DNS>"},
      {0x0200, "<ERR:PTO>"},
      {0x1000, "<ERR:OOP>"},
      {CE_FRAME | CE_OVERRUN, "<ERR:FRAME <ERR:OVERRUN>"},
      {CE_OOP | CE_RXOVER | CE_BREAK, "<ERR:BREAK <ERR:RXOVER><ERR:OOP>"},
      {0x9F1F, kAllLineErrors},
      {0xFFFFFFFF, kAllLineErrors},
      // Bits that name no error, and everything above the low 16 bits.
      {0x0020 | 0x0040 | 0x0080 | 0x2000 | 0x4000, ""},
      {0xFFFF0000, ""},
      {0x00010000 | CE_FRAME, "<ERR:FRAME "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    port->ClearScreen();
    device->lineErrors = c.bits;
    DWORD out = 0, in = 0;
    EXPECT_EQ(port->QueueStatus(&out, &in), 0);
    EXPECT_EQ(ScreenText(*port), c.text);
  }
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

// ---------------------------------------------------------------- event texts

TEST_F(EventsTest, EventMasksTurnIntoTextsInTableOrder) {
  struct Case {
    DWORD mask;
    std::string text;
  };
  const Case cases[] = {
      {0, "<EV_NONE>"},
      {0x0001, "<EV_RXCHAR>"},
      {0x0002, "<EV_RXFLAG>"},
      {0x0004, "<EV_TXEMPTY>"},
      {0x0008, "<EV_CTS>"},
      {0x0010, "<EV_DSR>"},
      {0x0020, "<EV_RLSD>"},
      {0x0040, "<EV_BREAK>"},
      {0x0080, "<EV_ERR>"},
      {0x0100, "<EV_RING>"},
      {0x0200, "<EV_PERR>"},
      {0x0400, "<EV_RX80FULL>"},
      {0x0800, "<EV_EVENT1>"},
      {0x1000, "<EV_EVENT2>"},
      {EV_DSR | EV_CTS, "<EV_CTS><EV_DSR>"},
      {0x1FFF, kAllEvents},
      {0xFFFFFFFF, kAllEvents},
      // Not empty, so not "<EV_NONE>" either, yet no known event.
      {0x2000, ""},
      {0xFFFFE000, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    port->ClearScreen();
    port->ShowEvents(c.mask);
    EXPECT_EQ(ScreenText(*port), c.text);
  }
}

// ---------------------------------------------------------------- modem status

TEST_F(EventsTest, ModemStatusKeepsOnlyTheFourSignalBits) {
  struct Case {
    DWORD status;
    WORD kept;
  };
  const Case cases[] = {
      {0, 0},
      {MS_CTS_ON, 0x10},
      {MS_DSR_ON, 0x20},
      {MS_RING_ON, 0x40},
      {MS_RLSD_ON, 0x80},
      {MS_CTS_ON | MS_RLSD_ON, 0x90},
      {0x0F, 0},
      {0x100, 0},
      {0xFFFFFFFF, 0xF0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    device->modemStatus = c.status;
    EXPECT_EQ(port->CheckEvents(), 0);
    EXPECT_EQ(port->modemStatus, c.kept);
  }
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

// No lamp shows the ring, but it changes the word the repaint test compares.
TEST_F(EventsTest, RingGoingOnAndOffChangesModemStatus) {
  device->modemStatus = MS_CTS_ON;
  port->CheckEvents();
  const WORD before = port->modemStatus;
  device->modemStatus = MS_CTS_ON | MS_RING_ON;
  port->CheckEvents();
  EXPECT_NE(port->modemStatus, before);
  EXPECT_EQ(port->modemStatus, MS_CTS_ON | MS_RING_ON);
  device->modemStatus = MS_CTS_ON;
  port->CheckEvents();
  EXPECT_EQ(port->modemStatus, before);
}

TEST_F(EventsTest, FailingModemStatusIsShownOnceUntilItWorksAgain) {
  device->modemStatus = MS_CTS_ON | MS_DSR_ON;
  port->CheckEvents();
  ASSERT_EQ(port->modemStatus, MS_CTS_ON | MS_DSR_ON);

  fake::FailNext("GetCommModemStatus", ERROR_NOT_SUPPORTED);
  fake::FailNext("GetCommModemStatus", ERROR_NOT_SUPPORTED);
  EXPECT_EQ(port->CheckEvents(), 0);
  EXPECT_THAT(fake::BoxTexts(), ElementsAre("GetCommModemStatus Error:50"));
  EXPECT_EQ(port->modemStatus, 0);  // lamps dark while it cannot be read
  EXPECT_EQ(port->CheckEvents(), 0);
  EXPECT_THAT(fake::BoxTexts(), ElementsAre("GetCommModemStatus Error:50"));
  EXPECT_EQ(port->modemStatus, 0);

  port->CheckEvents();  // works again
  EXPECT_EQ(port->modemStatus, MS_CTS_ON | MS_DSR_ON);
  EXPECT_EQ(fake::Boxes().size(), 1u);

  fake::FailNext("GetCommModemStatus", ERROR_GEN_FAILURE);
  port->CheckEvents();
  EXPECT_THAT(fake::BoxTexts(), ElementsAre("GetCommModemStatus Error:50", "GetCommModemStatus Error:31"));
  EXPECT_EQ(port->modemStatus, 0);
}

TEST_F(EventsTest, ModemStatusFailureIsShownOncePerPort) {
  auto second = OpenPort("COM2");
  fake::Boxes().clear();
  for (int i = 0; i < 2; i++) {
    fake::FailNext("GetCommModemStatus", ERROR_NOT_SUPPORTED);
    port->CheckEvents();
    fake::FailNext("GetCommModemStatus", ERROR_NOT_SUPPORTED);
    second->CheckEvents();
  }
  EXPECT_THAT(fake::BoxTexts(), ElementsAre("GetCommModemStatus Error:50", "GetCommModemStatus Error:50"));
}

TEST_F(EventsTest, FailingModemStatusDoesNotStopTheEventWait) {
  ChooseMask(*port, EV_RXCHAR);
  device->events = EV_RXCHAR;
  fake::FailNext("GetCommModemStatus", ERROR_NOT_SUPPORTED);
  EXPECT_EQ(port->CheckEvents(), 0);
  EXPECT_EQ(fake::CallsTo("WaitCommEvent").size(), 1u);
  EXPECT_EQ(ScreenText(*port), "<EV_RXCHAR>");
}

// ---------------------------------------------------------------- event wait

TEST_F(EventsTest, NoMaskNoWait) {
  device->events = EV_RXCHAR | EV_CTS;
  device->eventMask = EV_RXCHAR | EV_CTS;  // even if the driver would report something
  for (int pass = 0; pass < 3; pass++) EXPECT_EQ(port->CheckEvents(), 0);
  EXPECT_THAT(fake::CallsTo("WaitCommEvent"), IsEmpty());
  EXPECT_EQ(port->eventPending, 0);
  EXPECT_EQ(ScreenText(*port), "");
  EXPECT_EQ(fake::CallsTo("GetCommModemStatus").size(), 3u);
}

TEST_F(EventsTest, PendingWaitIsPolledThenCollectedWithItsTextsAndANewOneStarts) {
  ChooseMask(*port, EV_CTS | EV_DSR);
  port->CheckEvents();
  EXPECT_EQ(port->eventPending, 1);
  auto starts = fake::CallsTo("WaitCommEvent");
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].args[0], reinterpret_cast<uintptr_t>(&port->eventResult));
  EXPECT_EQ(starts[0].args[1], reinterpret_cast<uintptr_t>(&port->eventOverlapped));

  // Still running: polled, left alone, no second wait.
  port->CheckEvents();
  EXPECT_EQ(port->eventPending, 1);
  EXPECT_EQ(fake::CallsTo("WaitCommEvent").size(), 1u);
  EXPECT_EQ(ScreenText(*port), "");

  fake::Op* op = fake::LastOp("WaitCommEvent");
  ASSERT_NE(op, nullptr);
  fake::CompleteEvent(*op, EV_CTS | EV_DSR);
  EXPECT_EQ(port->CheckEvents(), 0);
  EXPECT_EQ(ScreenText(*port), "<EV_CTS><EV_DSR>");
  EXPECT_EQ(fake::CallsTo("WaitCommEvent").size(), 2u);  // the next wait, in the same pass
  EXPECT_EQ(port->eventPending, 1);

  // Only ever polled, never waited for.
  for (const fake::Call& c : fake::CallsTo("GetOverlappedResult")) {
    EXPECT_EQ(c.args[0], reinterpret_cast<uintptr_t>(&port->eventOverlapped));
    EXPECT_EQ(c.args[2], 0u);
  }
  EXPECT_THAT(fake::CallsTo("WaitForSingleObject"), IsEmpty());
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

TEST_F(EventsTest, MaskChangeEndsTheWaitWithNoEvents) {
  ChooseMask(*port, EV_CTS);
  port->CheckEvents();
  ASSERT_EQ(port->eventPending, 1);
  ChooseMask(*port, EV_RING);
  port->CheckEvents();
  EXPECT_EQ(ScreenText(*port), "<EV_NONE>");
  EXPECT_EQ(port->eventPending, 1);  // waiting again, under the new mask
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

TEST_F(EventsTest, WaitCompletingAtOnceShowsNowAndWaitsAgainNextPass) {
  ChooseMask(*port, EV_RXCHAR | EV_BREAK);
  device->events = EV_BREAK | EV_RXCHAR;
  port->CheckEvents();
  EXPECT_EQ(ScreenText(*port), "<EV_RXCHAR><EV_BREAK>");
  EXPECT_EQ(port->eventPending, 0);
  EXPECT_EQ(fake::CallsTo("WaitCommEvent").size(), 1u);

  port->CheckEvents();
  EXPECT_EQ(fake::CallsTo("WaitCommEvent").size(), 2u);
  EXPECT_EQ(port->eventPending, 1);
  EXPECT_EQ(ScreenText(*port), "<EV_RXCHAR><EV_BREAK>");
}

TEST_F(EventsTest, CollectingFailureIsShownAndANewWaitStartsInTheSamePass) {
  ChooseMask(*port, EV_CTS);
  port->CheckEvents();
  fake::Op* op = fake::LastOp("WaitCommEvent");
  ASSERT_NE(op, nullptr);
  fake::CompleteEvent(*op, 0, ERROR_OPERATION_ABORTED);
  EXPECT_EQ(port->CheckEvents(), 0);
  EXPECT_THAT(fake::BoxTexts(), ElementsAre("Error Com Event GetOverLappedResult:995"));
  EXPECT_EQ(ScreenText(*port), "");  // a failed wait reports no events
  EXPECT_EQ(fake::CallsTo("WaitCommEvent").size(), 2u);
  EXPECT_EQ(port->eventPending, 1);
}

TEST_F(EventsTest, AWaitThatAlwaysFailsIsShownOnceUntilOneCompletes) {
  ChooseMask(*port, EV_CTS);
  auto failNextWait = [&] {
    port->CheckEvents();  // starts (or restarts) the wait
    fake::CompleteEvent(*fake::LastOp("WaitCommEvent"), 0, ERROR_OPERATION_ABORTED);
  };
  for (int pass = 0; pass < 5; pass++) failNextWait();
  port->CheckEvents();
  EXPECT_THAT(fake::BoxTexts(), ElementsAre("Error Com Event GetOverLappedResult:995"));
  EXPECT_GE(fake::CallsTo("WaitCommEvent").size(), 6u);  // still tried on every pass

  fake::CompleteEvent(*fake::LastOp("WaitCommEvent"), EV_CTS);
  port->CheckEvents();
  EXPECT_EQ(ScreenText(*port), "<EV_CTS>");
  fake::CompleteEvent(*fake::LastOp("WaitCommEvent"), 0, ERROR_OPERATION_ABORTED);
  port->CheckEvents();
  EXPECT_EQ(fake::BoxTexts().size(), 2u);  // shown again after a wait had worked
}

TEST_F(EventsTest, AWaitCompletingAtOnceAlsoCountsAsWorkingAgain) {
  ChooseMask(*port, EV_CTS);
  port->CheckEvents();
  fake::CompleteEvent(*fake::LastOp("WaitCommEvent"), 0, ERROR_OPERATION_ABORTED);
  device->events = EV_CTS;  // the wait started in this pass ends at once
  port->CheckEvents();
  EXPECT_EQ(ScreenText(*port), "<EV_CTS>");
  ASSERT_EQ(port->eventPending, 0);

  port->CheckEvents();  // waits again; this one fails while being collected
  fake::CompleteEvent(*fake::LastOp("WaitCommEvent"), 0, ERROR_OPERATION_ABORTED);
  port->CheckEvents();
  EXPECT_THAT(fake::BoxTexts(), ElementsAre("Error Com Event GetOverLappedResult:995",
                                            "Error Com Event GetOverLappedResult:995"));
}

TEST_F(EventsTest, WaitStartFailuresAreShownFourTimesPerRunThenSilent) {
  auto second = OpenPort("COM2");
  fake::Boxes().clear();
  ChooseMask(*port, EV_CTS);
  ChooseMask(*second, EV_CTS);
  for (int i = 0; i < 6; i++) fake::FailNext("WaitCommEvent", ERROR_NOT_SUPPORTED);

  // Failures 1 to 4, spread over both ports: each shown, wait left idle.
  std::vector<int> results;
  results.push_back(port->CheckEvents());
  results.push_back(second->CheckEvents());
  results.push_back(port->CheckEvents());
  results.push_back(second->CheckEvents());
  EXPECT_THAT(results, ElementsAre(0, 0, 0, 0));
  EXPECT_EQ(fake::Boxes().size(), 4u);
  for (const std::string& text : fake::BoxTexts()) EXPECT_EQ(text, "Event Wait Error:50");
  EXPECT_EQ(port->eventPending, 0);
  EXPECT_EQ(second->eventPending, 0);

  // The fifth and later: silent, 1, and tried again on each pass.
  EXPECT_EQ(port->CheckEvents(), 1);
  EXPECT_EQ(second->CheckEvents(), 1);
  EXPECT_EQ(fake::Boxes().size(), 4u);
  EXPECT_EQ(fake::CallsTo("WaitCommEvent").size(), 6u);

  // Once the driver accepts the wait again, it goes pending as usual.
  EXPECT_EQ(port->CheckEvents(), 0);
  EXPECT_EQ(port->eventPending, 1);
  EXPECT_EQ(eventWaitErrors, 6u);
}

}  // namespace
