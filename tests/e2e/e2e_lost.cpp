// A device that goes away and comes back, with the real program under Wine:
// the socat of a cable whose ports lead to fixed symlinks is killed and
// started again on the same symlinks, as an adapter is unplugged and plugged
// in (new pseudo-terminals behind the same COM ports).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/dialog_ids.h"
#include "msgbox_watcher.h"
#include "plix_app.h"
#include "program_test.h"

namespace {

constexpr int kSaveToDisk = 212, kPortSettings = 214, kReopenLost = 227;
constexpr int kNear = 13, kFar = 14;
const char kCable[] = "lost";
const char kNearCom[] = "COM13";
const char kFarCom[] = "COM14";

class Lost : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    dir_ = workdir_ + "\\lost";
    CreateDirectoryA(dir_.c_str(), nullptr);
    DeleteFileA(CapturePath().c_str());
    std::string why;
    ASSERT_TRUE(StartCable(kCable, kNear, kFar, workdir_, &why, true)) << why;
    StartIn(dir_);
  }
  void TearDown() override {
    ProgramTest::TearDown();
    StopCable(kCable, workdir_);
  }

  std::string CapturePath() const { return dir_ + "\\kOM13.txt"; }
  std::string Capture() const {
    std::ifstream in(CapturePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The screen with its rows joined as they were written (rows wrap at 80).
  std::string Flat(HWND terminal) const {
    std::string screen = app_.Screen(terminal);
    screen.erase(std::remove(screen.begin(), screen.end(), '\n'), screen.end());
    return screen;
  }
  bool WaitForCount(HWND terminal, const std::string& text, size_t count, DWORD milliseconds) const {
    return WaitUntil([&] { return Occurrences(Flat(terminal), text) >= count; }, milliseconds);
  }
  // Waits until the newest of the two notices on screen is `newer` (the
  // screen keeps 35 rows: under a flood the older notices scroll away).
  bool WaitForNewest(HWND terminal, const std::string& newer, const std::string& older, DWORD milliseconds) const {
    return WaitUntil(
        [&] {
          const std::string screen = Flat(terminal);
          const size_t at = screen.rfind(newer);
          const size_t other = screen.rfind(older);
          return at != std::string::npos && (other == std::string::npos || other < at);
        },
        milliseconds);
  }
  // A figure of the Port Statistics dialog; -1 if it could not be read.
  long long Statistic(int id) {
    app_.Command(226);
    HWND dialog = app_.WaitForDialog("Port Statistics", id, 5000);
    if (dialog == nullptr) return -1;
    const long long value = std::atoll(ControlText(dialog, id).c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    return WaitUntil([&] { return !IsWindow(dialog); }, 3000) ? value : -1;
  }

  // Opens COM13 with its terminal; the pseudo-terminal's modem-status box
  // comes with the first pass and is answered by the watcher.
  HWND OpenNear() {
    HWND terminal = OpenFromMenu(kNearCom);
    if (terminal != nullptr) {
      EXPECT_TRUE(boxes_->WaitFor(1, 3000));
    }
    return terminal;
  }

  // 19200 baud and 2 stop bits through Port Settings.
  void SetLine() {
    app_.Command(kPortSettings);
    HWND dialog = app_.WaitForDialog("Communication Settings", IDC_FLOWCONTROL, 5000);
    ASSERT_NE(dialog, nullptr) << "Port Settings did not open";
    ASSERT_TRUE(SelectListEntry(dialog, IDC_BAUDRATE, "19200"));
    ASSERT_TRUE(SelectListEntry(dialog, IDC_STOPBITS, "2"));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000)) << "OK did not close Port Settings";
  }

  std::string Stty() {
    std::string out;
    EXPECT_TRUE(RunLinuxShell("stty -a -F $WINEPREFIX/cables/lost/near", workdir_, &out, 5000));
    return out;
  }

  // The number of the newest whole flood line ("L00001234") on screen; 0 if none.
  long NewestLine(HWND terminal) const {
    const std::vector<std::string> rows = app_.Rows(terminal);
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
      long number = 0;
      if (row->size() == 9 && (*row)[0] == 'L' && std::sscanf(row->c_str() + 1, "%ld", &number) == 1) return number;
    }
    return 0;
  }

  // The status bar's "received N" of the active terminal; -1 if not shown.
  long long Received() const {
    HWND bar = FindWindowExA(app_.frame(), nullptr, "msctls_statusbar32", nullptr);
    char text[512] = {};
    if (bar != nullptr) SendMessageA(bar, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    const char* at = std::strstr(text, "received ");
    return at != nullptr ? std::atoll(at + 9) : -1;
  }

  std::string dir_;
};

TEST_F(Lost, APortWhoseDeviceGoesComesBackWithItsSettingsAndCapturesEverythingOnce) {
  HWND terminal = OpenNear();
  ASSERT_NE(terminal, nullptr);
  ASSERT_TRUE(app_.Send(kSaveToDisk));
  SetLine();
  {
    FarEnd cable(kFarCom);
    ASSERT_TRUE(cable.ok()) << cable.error();
    ASSERT_TRUE(cable.Write("before the loss\r\n"));
    ASSERT_TRUE(app_.WaitForScreen(terminal, "before the loss", 3000)) << app_.Screen(terminal);
  }
  const size_t boxesBefore = boxes_->Texts().size();

  ASSERT_TRUE(KillCable(kCable, workdir_));
  ASSERT_TRUE(WaitForCount(terminal, "<Port Lost: error ", 1, 5000)) << app_.Screen(terminal);
  // Five seconds away: the program answers throughout, shows no box and
  // notes the loss once, though it tries to reopen every second.
  const DWORD since = GetTickCount();
  DWORD slowest = 0;
  while (GetTickCount() - since < 5000) {
    DWORD took = 0;
    EXPECT_TRUE(app_.Answers(1000, &took));
    slowest = std::max(slowest, took);
    Sleep(100);
  }
  EXPECT_EQ(boxes_->Texts().size(), boxesBefore) << boxes_->Texts().back();
  EXPECT_EQ(Occurrences(Flat(terminal), "<Port Lost: "), 1u) << app_.Screen(terminal);
  std::printf("lost: the frame answered within %lu ms at the slowest while the port was away\n", slowest);

  const DWORD revived = GetTickCount();
  ASSERT_TRUE(ReviveCable(kCable, workdir_));
  EXPECT_TRUE(WaitForCount(terminal, "<Port Regained after ", 1, 3000)) << app_.Screen(terminal);
  std::printf("lost: regained %lu ms after the cable came back\n", GetTickCount() - revived);
  EXPECT_EQ(boxes_->Texts().size(), boxesBefore);

  // The new pseudo-terminal has the line the program was given before.
  const std::string stty = Stty();
  EXPECT_NE(stty.find("speed 19200 baud"), std::string::npos) << stty;
  EXPECT_NE(stty.find(" cstopb"), std::string::npos) << stty;

  FarEnd cable(kFarCom);
  ASSERT_TRUE(cable.ok()) << cable.error();
  ASSERT_TRUE(cable.Write("after the return\r\n"));
  EXPECT_TRUE(app_.WaitForScreen(terminal, "after the return", 3000)) << app_.Screen(terminal);
  EXPECT_TRUE(WaitUntil([&] { return Capture() == "before the loss\r\nafter the return\r\n"; }, 3000))
      << "capture: [" << Capture() << "]";
  EXPECT_TRUE(Settled());
}

TEST_F(Lost, WithReopenLostPortsOffALostPortStaysLostUntilSwitchedOn) {
  ASSERT_TRUE(app_.Send(kReopenLost));  // on at start: now off
  HWND terminal = OpenNear();
  ASSERT_NE(terminal, nullptr);
  ASSERT_TRUE(KillCable(kCable, workdir_));
  ASSERT_TRUE(WaitForCount(terminal, "<Port Lost: error ", 1, 5000)) << app_.Screen(terminal);
  ASSERT_TRUE(ReviveCable(kCable, workdir_));

  // Three retry periods with the cable back: nothing is opened.
  const DWORD since = GetTickCount();
  while (GetTickCount() - since < 3000) {
    ASSERT_EQ(Flat(terminal).find("Regained"), std::string::npos) << app_.Screen(terminal);
    Sleep(100);
  }
  ASSERT_TRUE(app_.Send(kReopenLost));  // on again: tried at once
  EXPECT_TRUE(WaitForCount(terminal, "<Port Regained after ", 1, 1000)) << app_.Screen(terminal);
  EXPECT_TRUE(Settled());
}

// COM15 is mapped as users of Wine map a port, through the registry, on the
// session's cable "mapped" (scripts/lib/e2e-session.sh): when that cable ends,
// the name still opens, with no device behind it. The program must not take
// that for a return: it waits, silently, until a device answers on the path again.
TEST_F(Lost, AMappedPortIsRegainedOnlyOnceADeviceAnswersOnItsPathAgain) {
  HWND terminal = OpenFromMenu("COM15");
  ASSERT_NE(terminal, nullptr);
  ASSERT_TRUE(boxes_->WaitFor(1, 3000));
  const size_t boxesBefore = boxes_->Texts().size();

  ASSERT_TRUE(KillCable("mapped", workdir_));
  ASSERT_TRUE(WaitForCount(terminal, "<Port Lost: error ", 1, 5000)) << app_.Screen(terminal);
  // Three tries on a name that opens with nothing behind it: none may show.
  const bool shown = WaitUntil(
      [&] {
        const std::string now = Flat(terminal);
        return now.find("Regained") != std::string::npos || now.find("<ERR ") != std::string::npos;
      },
      3500);
  EXPECT_FALSE(shown) << app_.Screen(terminal);
  EXPECT_EQ(boxes_->Texts().size(), boxesBefore);

  ASSERT_TRUE(ReviveCable("mapped", workdir_));
  ASSERT_TRUE(WaitForCount(terminal, "<Port Regained after ", 1, 5000)) << app_.Screen(terminal);
  FarEnd cable("COM16");
  ASSERT_TRUE(cable.ok()) << cable.error();
  ASSERT_TRUE(cable.Write("on the mapped port again\r\n"));
  EXPECT_TRUE(WaitForCount(terminal, "on the mapped port again", 1, 3000)) << app_.Screen(terminal);
  const std::string screen = Flat(terminal);
  std::printf("lost: mapped port: %s\n", screen.c_str());
  EXPECT_EQ(Occurrences(screen, "Regained"), 1u) << screen;
  EXPECT_EQ(Occurrences(screen, "<Port Lost: "), 1u) << screen;
  EXPECT_EQ(boxes_->Texts().size(), boxesBefore);
  EXPECT_TRUE(Settled());
}

// Losses and returns with a flood running (ten in the suite, a hundred from
// scripts/soak): the program's handles and memory stay flat, and the capture
// holds every line received once, in order.
TEST_F(Lost, LossesUnderAFloodLeakNothingAndCaptureEachLineOnce) {
  const int cycles = std::stoi(EnvOr("PLIX_LOST_CYCLES", "10"));
  // Measured once the first returns have made whatever they allocate once.
  const int measureAt = std::min(10, std::max(1, cycles / 2));
  HWND terminal = OpenNear();
  ASSERT_NE(terminal, nullptr);
  ASSERT_TRUE(app_.Send(kSaveToDisk));

  long sequence = 0, sequenceEarly = 0;
  PlixApp::Figures early{}, late{};
  std::string why;
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    SCOPED_TRACE(cycle);
    {
      FarEnd cable(kFarCom);
      ASSERT_TRUE(cable.ok()) << cable.error();
      std::atomic<bool> stop{false};
      const long first = sequence + 1;
      std::thread flood([&] {
        while (!stop) {
          char line[32];
          std::snprintf(line, sizeof line, "L%08ld\r\n", sequence + 1);
          if (!cable.Write(line)) break;  // the cable has gone
          ++sequence;
        }
      });
      // The loss comes in the middle of the flood, once the program shows this cycle's lines.
      const bool flowing = WaitUntil([&] { return NewestLine(terminal) >= first + 100; }, 5000);
      ASSERT_TRUE(KillCable(kCable, workdir_));
      stop = true;
      flood.join();
      ASSERT_TRUE(flowing) << "no line of cycle " << cycle << " on screen: " << app_.Screen(terminal);
    }
    ASSERT_TRUE(WaitForNewest(terminal, "<Port Lost: error ", "<Port Regained after ", 5000))
        << app_.Screen(terminal);
    ASSERT_TRUE(ReviveCable(kCable, workdir_));
    ASSERT_TRUE(WaitForNewest(terminal, "<Port Regained after ", "<Port Lost: error ", 5000))
        << app_.Screen(terminal);
    if (cycle == measureAt) {
      ASSERT_TRUE(app_.Measure(&early, &why)) << why;
      sequenceEarly = sequence;
    }
  }
  ASSERT_TRUE(app_.Measure(&late, &why)) << why;
  std::printf("lost: %d cycles, %ld lines sent; handles %ld -> %ld, fds %d -> %d, RSS %ld -> %ld kB\n", cycles,
              sequence, early.handles, late.handles, early.fds, late.fds, early.rssKb, late.rssKb);
  EXPECT_LE(late.handles, early.handles + 2);
  EXPECT_LE(late.fds, early.fds + 2);
  // The terminal's history keeps each line received since (a row, 84 bytes).
  EXPECT_LE(late.rssKb, early.rssKb + 2048 + (sequence - sequenceEarly) * 84 / 1024);
  EXPECT_EQ(boxes_->Texts().size(), 1u) << boxes_->Texts().back();  // the modem status, at the start

  // Lines end where the cable went: what its buffers held then is gone with
  // it. Each whole line once, in order, and no gap but at a loss.
  ASSERT_TRUE(Settled());
  const std::string capture = Capture();
  long last = 0, whole = 0, cut = 0, gaps = 0;
  size_t at = 0;
  while (at < capture.size()) {
    size_t end = capture.find("\r\n", at);
    if (end == std::string::npos) end = capture.size();
    const std::string line = capture.substr(at, end - at);
    at = end + 2;
    long number = 0;
    if (line.size() == 9 && line[0] == 'L' && std::sscanf(line.c_str() + 1, "%ld", &number) == 1) {
      ASSERT_GT(number, last) << "line " << number << " after " << last << ": repeated or out of order";
      if (number != last + 1) ++gaps;
      last = number;
      ++whole;
    } else {
      ++cut;  // a line the loss cut off, glued to the first after the return
    }
  }
  EXPECT_EQ(Statistic(IDC_STAT_TIMESLOST), cycles);
  // Everything the program received went to the file once.
  EXPECT_TRUE(WaitUntil([&] { return Received() == static_cast<long long>(Capture().size()); }, 3000))
      << "received " << Received() << ", captured " << Capture().size();
  std::printf("lost: capture %zu bytes, %ld whole lines, %ld cut, %ld gaps, last %ld of %ld sent\n",
              capture.size(), whole, cut, gaps, last, sequence);
  EXPECT_LE(cut, static_cast<long>(cycles));
  EXPECT_LE(gaps, static_cast<long>(cycles));
  EXPECT_GT(whole, 0L);
}

}  // namespace
