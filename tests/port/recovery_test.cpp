// A device that goes away and comes back: noticed once wherever the poll pass
// meets it, its handle closed, no box while it is away, reopened by name with
// every setting given back in order, and nothing leaked.
#include <fstream>
#include <functional>
#include <sstream>

#include "dialogs/dialog_fixture.h"
#include "fakegdi.h"
#include "port/program.h"
#include "res/resource.h"
#include "terminal/commands.h"
#include "terminal/lamps.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RecoveryTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    fake::ResetGdi();
    LayoutLamps();
    g_program.reopenLostPorts = 1;
    view_.Resize(200);
    port->watcher = &view_;
  }

  // One timer tick at `ms` on the fake clock.
  void PassAt(DWORD ms) {
    fake::SetTickCount(ms);
    PollAllPorts();
  }
  // Every row, oldest first, joined without separators (rows wrap at 80).
  std::string Screen() const {
    std::string out;
    for (int i = 1; i <= kScreenRows; i++) out += port->screen.RingRow((port->screen.CurrentIndex() + i) % kScreenRows).text;
    return out;
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
  }
  // Calls on device handles since `from`, by name.
  static std::vector<std::string> NamesFrom(size_t from) {
    std::vector<std::string> out;
    const auto& calls = fake::Calls();
    for (size_t i = from; i < calls.size(); i++) out.push_back(calls[i].fn);
    return out;
  }
  TerminalView view_{reinterpret_cast<HWND>(0x701)};
  ScratchDirectory scratch_;
};

// --- Where the loss shows ------------------------------------------------------

TEST_F(RecoveryTest, ALossIsNoticedOnceAtWhicheverCallOfThePassMeetsItAndTheHandleIsClosed) {
  const struct {
    const char* where;
    DWORD error;
    std::function<void(ComPort&)> arrange;
  } cases[] = {
      {"queue status", ERROR_NOT_READY, [](ComPort&) { fake::FailNext("ClearCommError", ERROR_NOT_READY); }},
      {"modem status", ERROR_GEN_FAILURE,
       [](ComPort&) {
         fake::FailNext("GetCommModemStatus", ERROR_GEN_FAILURE);
         fake::FailNext("ClearCommError", ERROR_GEN_FAILURE, 1);  // the pass's own question works
       }},
      {"event wait", 1167,
       [](ComPort& p) {
         p.eventMask = EV_RXCHAR;
         fake::FailNext("WaitCommEvent", 1167);
         fake::FailNext("ClearCommError", 1167, 1);
       }},
      {"pending event wait", ERROR_OPERATION_ABORTED,
       [](ComPort& p) {
         p.eventMask = EV_CTS;
         p.CheckEvents();  // the wait goes pending
         ASSERT_EQ(p.eventPending, 1);
         fake::CompleteEvent(*fake::LastOp("WaitCommEvent"), 0, ERROR_OPERATION_ABORTED);
         fake::FailNext("ClearCommError", ERROR_BAD_COMMAND, 1);
       }},
      {"read", ERROR_BAD_COMMAND,
       [](ComPort&) {
         fake::FindDevice("COM1")->rx = "never read";
         fake::FailNext("ReadFile", ERROR_BAD_COMMAND);
         fake::FailNext("ClearCommError", ERROR_BAD_COMMAND, 1);
       }},
      {"pending read", 1617,
       [](ComPort&) {
         fake::FindDevice("COM1")->rx = "never read";
         fake::PendNext("ReadFile", [](fake::Op& op) { fake::CompleteRead(op, "", 1617); });
         fake::FailNext("ClearCommError", ERROR_BAD_COMMAND, 1);
       }},
      {"write", 1167,
       [](ComPort&) {
         g_program.sendTestData = 1;
         fake::FailNext("WriteFile", 1167);
         fake::FailNext("ClearCommError", 1167, 1);
       }},
      {"pending write", ERROR_GEN_FAILURE,
       [](ComPort& p) {
         fake::PendNext("WriteFile");
         p.ComOut("abc", 0);
         fake::CompleteWrite(*fake::LastOp("WriteFile"), ERROR_GEN_FAILURE);
         fake::FailNext("ClearCommError", ERROR_GEN_FAILURE, 1);
         g_program.sendTestData = 1;  // the pass's write sees the old one out first
       }},
  };
  port.reset();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    port = OpenPort("COM1");
    dialogPort = port.get();
    port->watcher = &view_;
    g_program.sendTestData = 0;
    c.arrange(*port);
    fake::Boxes().clear();
    PassAt(100);
    EXPECT_TRUE(port->Lost());
    const std::string screen = Screen();
    EXPECT_EQ(Count(screen, "<Port Lost: error "), 1u) << screen;
    EXPECT_NE(screen.find("<Port Lost: error " + std::to_string(c.error) + ">"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("never read"), std::string::npos);
    EXPECT_THAT(fake::BoxTexts(), IsEmpty());
    EXPECT_EQ(port->handle, nullptr);
    EXPECT_EQ(fake::FindDevice("COM1")->openCount, 0);  // closed: the driver may make it again
    EXPECT_EQ(fake::OutstandingCount(), 0);
    EXPECT_EQ(port->modemStatus, 0);
    EXPECT_EQ(port->stats.timesLost, 1u);

    // Later passes ask nothing of any device before the retry is due, and add nothing.
    const size_t calls = fake::Calls().size();
    PassAt(500);
    EXPECT_THAT(NamesFrom(calls), IsEmpty());
    EXPECT_EQ(Screen(), screen);
    port.reset();
    EXPECT_EQ(fake::OpenHandleCount(), 0) << "the events of a lost port leaked";
    fake::FindDevice("COM1")->rx.clear();
  }
}

TEST_F(RecoveryTest, AnErrorFromAPresentDeviceIsReportedAsBeforeAndWhatTheQuestionClearedIsShown) {
  // A purge ends pending I/O with 995 on a device that is there.
  device->rx = "kept";
  fake::FailNext("ReadFile", ERROR_OPERATION_ABORTED);
  PassAt(100);
  EXPECT_FALSE(port->Lost());
  EXPECT_THAT(fake::BoxTexts(), ElementsAre("Error On Read!: 995 ,Wanted: 65536"));
  EXPECT_EQ(Count(Screen(), "Error reading data"), 1u);

  fake::FailNext("GetCommModemStatus", ERROR_GEN_FAILURE);
  PassAt(200);  // the queue question answers: present
  EXPECT_FALSE(port->Lost());
  EXPECT_EQ(fake::BoxTexts().back(), "GetCommModemStatus Error:31");

  // The question clears the driver's line errors: they are shown, not dropped.
  device->lineErrors = CE_FRAME;
  EXPECT_FALSE(port->LostBy(ERROR_GEN_FAILURE));
  EXPECT_NE(Screen().find("<ERR:FRAME "), std::string::npos);
  const size_t asked = fake::CallsTo("ClearCommError").size();
  EXPECT_FALSE(port->LostBy(ERROR_NOT_SUPPORTED));  // not a loss error: not even asked
  EXPECT_EQ(fake::CallsTo("ClearCommError").size(), asked);
}

// --- Coming back -----------------------------------------------------------------

TEST_F(RecoveryTest, AReopenThatFailsSeveralTimesRetriesEachSecondWithoutABoxThenCarriesOn) {
  g_program.saveToDisk = 1;
  device->rx = "before ";
  PassAt(100);
  fake::Unplug("COM1", ERROR_NOT_READY);
  PassAt(200);
  ASSERT_TRUE(port->Lost());

  for (DWORD t : {700u, 1200u, 1300u, 2200u, 2300u, 3100u}) PassAt(t);
  // Tries at 1200 (a second after the loss), 2200; not at 1300, 2300 or 3100.
  EXPECT_EQ(fake::CallsTo("CreateFileA").size(), 2u);
  EXPECT_TRUE(port->Lost());

  fake::Plug("COM1");
  fake::FindDevice("COM1")->rx = "after";  // what it printed while starting
  PassAt(3250);
  EXPECT_FALSE(port->Lost());
  EXPECT_EQ(fake::CallsTo("CreateFileA").size(), 3u);
  const std::string screen = Screen();
  EXPECT_NE(screen.find("before <Port Lost: error 21><Port Regained after 3.0 s>after"), std::string::npos)
      << screen;
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
  EXPECT_EQ(FileText("kOM1.txt"), "before after");
  EXPECT_EQ(port->stats.timesLost, 1u);
  EXPECT_EQ(port->stats.lostMs, 3050u);

  // A second loss is shown again, as its own period.
  fake::Unplug("COM1", 1167);
  PassAt(4000);
  EXPECT_EQ(Count(Screen(), "<Port Lost: error 1167>"), 1u);
  EXPECT_EQ(port->stats.timesLost, 2u);
}

TEST_F(RecoveryTest, TheDeviceThatReturnsGetsEverySettingBackInOrder) {
  port.reset();
  device->loopAnswer = TRUE;
  port = OpenPort("COM1");  // with the loop-back switch
  dialogPort = port.get();
  port->watcher = &view_;
  ASSERT_EQ(port->lampCount, 6);

  DCB dcb = device->dcb;
  dcb.BaudRate = 19200;
  dcb.StopBits = TWOSTOPBITS;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;  // RTS off by the line settings
  ASSERT_TRUE(port->GiveState(&dcb));
  COMMTIMEOUTS timeouts = {5, 6, 7, 8, 9};
  ASSERT_TRUE(port->GiveTimeouts(&timeouts));
  ASSERT_TRUE(port->GiveEventMask(EV_RXCHAR | EV_CTS));
  ASSERT_TRUE(port->GiveQueueSizes(8192, 2048));
  port->outputLines &= static_cast<WORD>(~kLineRts);
  ASSERT_TRUE(port->SetOutputLine(kLineDtr, 0));  // DTR off by a lamp click
  port->SetLoopback(1);

  fake::Unplug("COM1", ERROR_GEN_FAILURE);
  PassAt(100);
  ASSERT_TRUE(port->Lost());
  fake::Plug("COM1");
  ASSERT_EQ(device->dcb.BaudRate, 9600u);  // the new device starts with its defaults
  const size_t from = fake::Calls().size();
  PassAt(1100);
  ASSERT_FALSE(port->Lost());

  std::vector<std::string> restore;
  for (const std::string& fn : NamesFrom(from)) {
    // The pass goes on as usual after the first question and the restore.
    if (fn == "ClearCommError" && restore.size() > 1) break;
    // The loop-back request's own event, and the wait on it.
    if (fn != "CreateEventA" && fn != "CloseHandle" && fn != "WaitForSingleObject") restore.push_back(fn);
  }
  // First whether a device answers at all, then its settings.
  EXPECT_THAT(restore, ElementsAre("CreateFileA", "ClearCommError", "GetCommState", "SetupComm", "SetCommState", "SetCommTimeouts", "SetCommMask",
                                   "EscapeCommFunction", "DeviceIoControl", "DeviceIoControl",
                                   "GetCommProperties"));
  // RTS is already off by the line settings; only DTR needs its own call.
  EXPECT_EQ(fake::CallsTo("EscapeCommFunction").back().args[0], static_cast<uint64_t>(CLRDTR));
  const auto loop = fake::CallsTo("DeviceIoControl");
  EXPECT_EQ(loop[loop.size() - 2].args[0], 0x001B2018u);  // off, as at open: is it there?
  EXPECT_EQ(loop.back().args[0], 0x001B2014u);             // on again

  EXPECT_EQ(device->dcb.BaudRate, 19200u);
  EXPECT_EQ(device->dcb.StopBits, TWOSTOPBITS);
  // The driver has the reader's read time-outs; the user's are kept and shown.
  EXPECT_EQ(device->timeouts.ReadIntervalTimeout, kReadGapMs);  // the reader's
  EXPECT_EQ(device->timeouts.WriteTotalTimeoutConstant, 9u);
  COMMTIMEOUTS shown = {};
  ASSERT_TRUE(port->ReadTimeouts(&shown));
  EXPECT_EQ(shown.ReadTotalTimeoutConstant, 7u);
  EXPECT_EQ(device->eventMask, static_cast<DWORD>(EV_RXCHAR | EV_CTS));
  EXPECT_EQ(device->props.dwCurrentRxQueue, 8192u);
  EXPECT_EQ(port->stats.inQueueSize, 8192u);
  EXPECT_EQ(port->outputLines, kLineLoop);
  EXPECT_EQ(port->lampCount, 6);
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

TEST_F(RecoveryTest, ASettingTheReturnedDeviceRefusesIsNotedAfterTheRegainAndOneThatVanishesAgainIsRetried) {
  DCB dcb = device->dcb;
  dcb.BaudRate = 921600;
  ASSERT_TRUE(port->GiveState(&dcb));
  fake::Unplug("COM1");
  PassAt(100);
  fake::Plug("COM1");

  // Gone again while being set up: closed and tried again a second later.
  fake::FailNext("SetCommState", 1617);  // ERROR_DEVICE_REMOVED
  fake::FailNext("ClearCommError", 1617, 1);  // it answered the first question
  PassAt(1100);
  EXPECT_TRUE(port->Lost());
  EXPECT_EQ(device->openCount, 0);
  EXPECT_EQ(Count(Screen(), "Regained"), 0u);

  // Refusals of a present device, even with an error that can mean a loss.
  fake::FailNext("SetCommState", ERROR_INVALID_PARAMETER);
  fake::FailNext("SetCommTimeouts", ERROR_ACCESS_DENIED);
  PassAt(2100);
  EXPECT_FALSE(port->Lost());
  EXPECT_NE(Screen().find("<Port Regained after 2.0 s><Port Regained: SetCommState failed, error 87>"
                          "<Port Regained: SetCommTimeouts failed, error 5>"),
            std::string::npos)
      << Screen();
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

// A name that opens with no device behind it: each second's try closes the
// handle again, silently, until a device answers. A regained device whose
// queue question then fails for a second, with any error, is lost again.
TEST_F(RecoveryTest, OnlyADeviceThatAnswersIsRegainedAndOneThatStopsAnsweringIsLostAgain) {
  fake::Unplug("COM1", ERROR_NOT_READY);
  PassAt(100);
  ASSERT_TRUE(port->Lost());
  fake::Hollow("COM1", ERROR_INVALID_FUNCTION);
  for (DWORD t = 200; t <= 3150; t += 50) {
    PassAt(t);
    ASSERT_EQ(fake::OpenHandleCount(), 3) << "at " << t;  // the port's three events, no device
  }
  EXPECT_EQ(fake::CallsTo("CreateFileA").size(), 3u);
  EXPECT_TRUE(port->Lost());
  EXPECT_EQ(Count(Screen(), "Regained"), 0u) << Screen();
  EXPECT_EQ(Count(Screen(), "<ERR "), 0u) << Screen();

  fake::Plug("COM1");
  PassAt(4100);
  ASSERT_FALSE(port->Lost());
  EXPECT_EQ(Count(Screen(), "<Port Regained after 4.0 s>"), 1u) << Screen();

  // It stops answering: one notice at the first failure, lost a second later.
  fake::Unplug("COM1", ERROR_INVALID_FUNCTION);
  PassAt(5000);
  PassAt(5900);
  EXPECT_FALSE(port->Lost());
  PassAt(6000);
  EXPECT_TRUE(port->Lost());
  EXPECT_EQ(Count(Screen(), "<ERR 1H,ClearCommError"), 1u) << Screen();
  EXPECT_EQ(Count(Screen(), "<Port Lost: error 1>"), 1u) << Screen();
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

TEST_F(RecoveryTest, WithTheSwitchOffALostPortStaysLostUntilItIsSwitchedOnAgain) {
  g_program.reopenLostPorts = 0;
  fake::Unplug("COM1");
  PassAt(100);
  fake::Plug("COM1");
  for (DWORD t = 200; t <= 10000; t += 100) PassAt(t);
  EXPECT_TRUE(fake::CallsTo("CreateFileA").empty());
  EXPECT_TRUE(port->Lost());

  // Switching it on (or a device arriving) tries every lost port at once.
  g_program.reopenLostPorts = 1;
  ReopenLostPorts();
  EXPECT_FALSE(port->Lost());
  EXPECT_NE(Screen().find("<Port Regained after 9.9 s>"), std::string::npos) << Screen();
}

// --- While it is away --------------------------------------------------------------

TEST_F(RecoveryTest, KeysAndCommandsWhileLostSendNothingWithOneNoticeAndLampClicksAreGivenBackLater) {
  fake::Unplug("COM1");
  PassAt(100);
  const size_t calls = fake::Calls().size();
  for (char key : std::string("abc")) port->ComOut(&key, 1);
  EXPECT_TRUE(RunControlCommand(port.get(), IDM_SETBREAK));
  ClickLamp(port.get(), signalLamps[3].x + 2, 5);  // the RTS lamp
  EXPECT_THAT(NamesFrom(calls), IsEmpty());
  EXPECT_EQ(Count(Screen(), "<Port Lost: nothing sent>"), 1u);
  EXPECT_EQ(port->outputLines & kLineRts, 0);
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());

  fake::Plug("COM1");
  PassAt(1100);
  ASSERT_FALSE(port->Lost());
  EXPECT_EQ(fake::CallsTo("EscapeCommFunction").back().args[0], static_cast<uint64_t>(CLRRTS));
  port->ComOut("x", 1);
  EXPECT_EQ(device->written, "x");

  // A new lost period has its own notice.
  fake::Unplug("COM1");
  PassAt(1200);
  port->ComOut("y", 1);
  EXPECT_EQ(Count(Screen(), "<Port Lost: nothing sent>"), 2u);
}

TEST_F(RecoveryTest, ASettingsDialogOpenWhenTheDeviceGoesKeepsItsChangeForTheReturn) {
  COMMTIMEOUTS timeouts = {1, 2, 3, 4, 5};
  ASSERT_TRUE(port->GiveTimeouts(&timeouts));
  enum { kBaud = 301, kData = 305, kParity = 306, kParityOn = 312, kStop = 307, kRts = 309, kDtr = 308 };
  Open(LineSettingsDlgProc, {{kBaud, kEdit}, {kData, kEdit}, {kParity, kList}, {kParityOn, kButton},
                             {kStop, kList}, {kRts, kList}, {kDtr, kList}, {IDOK, kButton}, {IDCANCEL, kButton},
                             {310, kButton}, {311, kButton}, {298, kButton}, {299, kButton}});
  fake::Unplug("COM1", ERROR_BAD_COMMAND);
  PassAt(100);  // the timer runs while the dialog is up
  ASSERT_TRUE(port->Lost());
  Type(kBaud, "57600");
  Press(IDOK);
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());

  // Opened while lost, a dialog shows the settings that will be given back.
  Open(TimeoutsDlgProc, {{IDOK, kButton}, {IDCANCEL, kButton}, {312, kEdit}, {313, kEdit}, {314, kEdit},
                         {315, kEdit}, {316, kEdit}, {302, kEdit}, {303, kEdit}, {304, kEdit}});
  EXPECT_EQ(Text(314), "3");
  Type(316, "77");
  Press(IDOK);
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());

  fake::Plug("COM1");
  PassAt(1100);
  ASSERT_FALSE(port->Lost());
  EXPECT_EQ(device->dcb.BaudRate, 57600u);
  EXPECT_EQ(device->timeouts.ReadIntervalTimeout, kReadGapMs);  // the reader's
  EXPECT_EQ(device->timeouts.WriteTotalTimeoutConstant, 77u);
  COMMTIMEOUTS shown = {};
  ASSERT_TRUE(port->ReadTimeouts(&shown));
  EXPECT_EQ(shown.ReadTotalTimeoutConstant, 3u);
}

TEST_F(RecoveryTest, ALossMeetWhileABoxOfThePortIsUpStopsTheOuterPassQuietly) {
  // A modem-status box of a present device; while it is up the device goes
  // and a typed key finds it gone.
  fake::FailNext("GetCommModemStatus", ERROR_NOT_SUPPORTED);
  port->eventMask = EV_RXCHAR;
  device->rx = "late";
  int boxes = 0;
  fake::onMessageBox = [&](const fake::Box&) {
    if (boxes++ == 0) {
      fake::Unplug("COM1", 1167);
      port->ComOut("k", 1);
    }
    return IDOK;
  };
  PassAt(100);
  fake::onMessageBox = nullptr;
  EXPECT_EQ(boxes, 1);
  EXPECT_TRUE(port->Lost());
  EXPECT_EQ(Count(Screen(), "<Port Lost: error 1167>"), 1u);
  EXPECT_EQ(device->openCount, 0);
  EXPECT_EQ(fake::OutstandingCount(), 0);
}

TEST_F(RecoveryTest, ClosingALostPortsWindowLeavesNoHandle) {
  auto other = OpenPort("COM2");
  fake::Unplug("COM1");
  fake::Unplug("COM2");
  PassAt(100);
  ASSERT_TRUE(port->Lost());
  ReleasePort(port.release());  // its window goes
  ReleasePort(other.release());
  EXPECT_EQ(fake::OpenHandleCount(), 0);
  EXPECT_EQ(g_program.portList, nullptr);
  dialogPort = nullptr;
}

}  // namespace
