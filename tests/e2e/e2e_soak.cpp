// Soak of the real plix32.exe under Wine: a port opened and closed again and
// again while the far end floods it, then Close All over four open ports
// sending to each other. What the program holds (Linux fds, resident memory,
// the Windows handles the Wine server counts) must come back to its level
// after the first cycle, and the frame must answer a window message within a
// second the whole time.
//
// Counts: PLIX_SOAK_CYCLES open/close cycles (default 50) and
// PLIX_SOAK_CLOSEALL Close All cycles (default 12); scripts/soak runs 200 and 50.
// Each figure is printed on a line starting "soak:".
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "msgbox_watcher.h"
#include "plix_app.h"
#include "program_test.h"

namespace {

constexpr int kOpenPortBase = 499;  // command 499 + n opens COMn
constexpr int kClose = 200, kCloseAll = 206, kSendTestData = 213;
const char kModemBox[] = "GetCommModemStatus Error:50";

// Resident memory may move a little with the heap's own bookkeeping and
// Wine's caches; a leaked port (over 8 KB each, with its screen) over the
// soak's cycles would exceed this.
constexpr long kRssSlackKb = 512;
// Since ports read on threads of their own, the program's handle count steps
// up once, by one, at some early cycle (the second to the eighth, in runs of
// 40 and 50 cycles) and stays there; which handle it is has not been found.
// A handle lost per port per cycle would add one or more every cycle.
constexpr int kHandleStep = 2;
// Resident memory also swings by some 450 KB from one cycle to the next with
// how far each port's receive buffer was written; the lowest of the last
// cycles shows a trend, one cycle's figure only the swing.
constexpr int kTailCycles = 3;

int Count(const char* name, int fallback) {
  const char* value = std::getenv(name);
  int n = value != nullptr ? std::atoi(value) : 0;
  return n > 0 ? n : fallback;
}

// Sends WM_NULL to the frame every 100 ms from its own thread, and keeps the
// slowest answer and the messages not answered within a second.
class Pinger {
 public:
  explicit Pinger(const PlixApp& app) : app_(app), thread_([this] { Run(); }) {}
  ~Pinger() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  int sent() const { return sent_; }
  int missed() const { return missed_; }
  DWORD slowest() const { return slowest_; }

 private:
  void Run() {
    while (!stop_) {
      DWORD took = 0;
      if (!app_.Answers(1000, &took)) ++missed_;
      ++sent_;
      slowest_ = std::max<DWORD>(slowest_, took);
      Sleep(100);
    }
  }
  const PlixApp& app_;
  std::atomic<bool> stop_{false};
  std::atomic<int> sent_{0}, missed_{0};
  std::atomic<DWORD> slowest_{0};
  std::thread thread_;
};

// Writes numbered lines to the far end of the cable, about 20 KB/s, until stopped.
class Flood {
 public:
  explicit Flood(const std::string& com) : cable_(com) {
    if (cable_.ok()) thread_ = std::thread([this] { Run(); });
  }
  ~Flood() { Stop(); }
  bool ok() const { return cable_.ok(); }
  DWORD error() const { return cable_.error(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  long long bytes() const { return bytes_; }

 private:
  void Run() {
    for (unsigned line = 0; !stop_; ++line) {
      char text[256];
      int n = std::snprintf(text, sizeof text, "flood %08u 0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQR\r\n",
                            line);
      std::string block;
      for (int i = 0; i < 3; ++i) block.append(text, static_cast<size_t>(n));
      // A write may time out while nobody reads the cable; the flood goes on.
      if (cable_.Write(block)) bytes_ += static_cast<long long>(block.size());
      Sleep(10);
    }
  }
  FarEnd cable_;
  std::atomic<bool> stop_{false};
  std::atomic<long long> bytes_{0};
  std::thread thread_;
};

std::string Show(const PlixApp::Figures& f) {
  return "fds=" + std::to_string(f.fds) + " rss_kb=" + std::to_string(f.rssKb) +
         " win_handles=" + std::to_string(f.handles);
}

class Soak : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    StartIn(workdir_);
  }

  PlixApp::Figures Measure() {
    PlixApp::Figures f;
    std::string why;
    EXPECT_TRUE(app_.Measure(&f, &why)) << why;
    return f;
  }

  // Measures after a cycle when the checks need it: the first, the middle
  // (shown) and the last few.
  void MeasureAfter(int cycle, int cycles) {
    if (cycle != 1 && cycle != cycles / 2 && cycle <= cycles - kTailCycles) return;
    EXPECT_TRUE(Settled()) << "cycle " << cycle;  // the close has been carried out to its end
    levels_[cycle] = Measure();
  }
  PlixApp::Figures After(int cycle) const {
    auto found = levels_.find(cycle);
    return found != levels_.end() ? found->second : PlixApp::Figures{};
  }

  // The levels after the first cycle against those after the last ones.
  void CheckLevels(const char* what, int cycles) {
    const PlixApp::Figures first = After(1), last = After(cycles);
    long lowestRss = last.rssKb;
    for (int cycle = std::max(1, cycles - kTailCycles + 1); cycle <= cycles; ++cycle)
      lowestRss = std::min(lowestRss, After(cycle).rssKb);
    EXPECT_EQ(last.fds, first.fds) << what << ": Linux fds of the program";
    EXPECT_LE(lowestRss, first.rssKb + kRssSlackKb) << what << ": resident memory";
    EXPECT_GE(first.handles, 0) << "the Wine server gave no handle count";
    EXPECT_LE(last.handles, first.handles + kHandleStep) << what << ": Windows handles of the program";
  }

  std::map<int, PlixApp::Figures> levels_;
};

TEST_F(Soak, OpenAndCloseAPortWhileTheFarEndFloodsIt) {
  const int cycles = Count("PLIX_SOAK_CYCLES", 50);
  PlixApp::Figures start = Measure();
  Flood flood(far_);
  ASSERT_TRUE(flood.ok()) << "cannot open " << far_ << ": " << flood.error();
  Pinger pinger(app_);
  PlixApp::Figures opened;
  int done = 0;
  DWORD began = GetTickCount();
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    ASSERT_TRUE(app_.Terminals().empty()) << "cycle " << cycle << ": a window is left from before";
    app_.Command(kOpenPortBase + Number(port_));
    HWND terminal = app_.WaitForTerminal(port_.c_str(), 5000);
    ASSERT_NE(terminal, nullptr) << "cycle " << cycle << ": no window for " << port_;
    // The flood reaches the screen: the port is read, not just opened.
    ASSERT_TRUE(app_.WaitForScreen(terminal, "flood ", 5000)) << "cycle " << cycle << ": " << app_.Screen(terminal);
    ASSERT_TRUE(boxes_->WaitFor(static_cast<size_t>(cycle), 3000)) << "cycle " << cycle << ": no modem status box";
    if (cycle == 1) opened = Measure();
    app_.Command(kClose);
    ASSERT_TRUE(WaitUntil([&] { return app_.Terminals().empty(); }, 5000)) << "cycle " << cycle << ": Close failed";
    ASSERT_TRUE(app_.Running()) << "cycle " << cycle;
    done = cycle;
    MeasureAfter(cycle, cycles);
  }
  const DWORD elapsed = GetTickCount() - began;
  DWORD seconds = elapsed / 1000;
  pinger.Stop();
  flood.Stop();

  std::printf("soak: open/close cycles done %d of %d in %lu s, flood %lld bytes written\n", done, cycles, seconds,
              flood.bytes());
  std::printf("soak: open/close before: %s\n", Show(start).c_str());
  std::printf("soak: open/close port open in first cycle: %s\n", Show(opened).c_str());
  std::printf("soak: open/close after first cycle: %s\n", Show(After(1)).c_str());
  if (cycles >= 2) std::printf("soak: open/close after cycle %d: %s\n", cycles / 2, Show(After(cycles / 2)).c_str());
  std::printf("soak: open/close after last cycle: %s\n", Show(After(cycles)).c_str());
  std::printf("soak: open/close WM_NULL sent %d, unanswered within 1 s %d, slowest %lu ms\n", pinger.sent(),
              pinger.missed(), pinger.slowest());
  std::fflush(stdout);

  EXPECT_EQ(done, cycles);
  // The measure sees the port: its device handle and three events come and go.
  EXPECT_GE(opened.handles, After(1).handles + 4);
  CheckLevels("open/close", cycles);
  // It pinged all along (one every 100 ms; half that rate allows for a busy machine).
  EXPECT_GE(pinger.sent(), static_cast<int>(elapsed / 200));
  EXPECT_GT(pinger.sent(), 0);
  EXPECT_EQ(pinger.missed(), 0);
  // One modem status box per open (Wine cannot read the lines), and nothing else.
  std::vector<std::string> texts = boxes_->Take();
  EXPECT_EQ(texts.size(), static_cast<size_t>(cycles));
  EXPECT_EQ(std::count(texts.begin(), texts.end(), kModemBox), static_cast<long>(texts.size()));
}

TEST_F(Soak, CloseAllWithFourPortsOpenAndSending) {
  const int cycles = Count("PLIX_SOAK_CLOSEALL", 12);
  std::string why;
  ASSERT_TRUE(StartCable("soak2", 7, 8, workdir_, &why)) << why;
  PlixApp::Figures start = Measure();
  const std::vector<std::string> ports = {port_, far_, "COM7", "COM8"};
  // Each port sends the test pattern to its partner, which the program also has open.
  app_.Command(kSendTestData);
  Pinger pinger(app_);
  int done = 0;
  DWORD began = GetTickCount();
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    ASSERT_TRUE(app_.Terminals().empty()) << "cycle " << cycle;
    std::vector<HWND> terminals;
    for (const std::string& com : ports) {
      app_.Command(kOpenPortBase + Number(com));
      HWND terminal = app_.WaitForTerminal(com.c_str(), 5000);
      ASSERT_NE(terminal, nullptr) << "cycle " << cycle << ": no window for " << com;
      terminals.push_back(terminal);
    }
    for (HWND terminal : terminals)
      ASSERT_TRUE(app_.WaitForScreen(terminal, "abcdefghijklmnopqrstuvwxyzABCD", 5000))
          << "cycle " << cycle << " " << PlixApp::Title(terminal) << ": " << app_.Screen(terminal);
    ASSERT_TRUE(boxes_->WaitFor(4 * static_cast<size_t>(cycle), 3000)) << "cycle " << cycle;
    app_.Command(kCloseAll);
    ASSERT_TRUE(WaitUntil([&] { return app_.Terminals().empty(); }, 5000))
        << "cycle " << cycle << ": Close All left " << app_.Terminals().size();
    ASSERT_TRUE(app_.Running());
    done = cycle;
    MeasureAfter(cycle, cycles);
  }
  DWORD seconds = (GetTickCount() - began) / 1000;
  ASSERT_TRUE(app_.Send(kSendTestData));
  pinger.Stop();
  StopCable("soak2", workdir_);

  std::printf("soak: close-all cycles (4 ports) done %d of %d in %lu s\n", done, cycles, seconds);
  std::printf("soak: close-all before: %s\n", Show(start).c_str());
  std::printf("soak: close-all after first cycle: %s\n", Show(After(1)).c_str());
  if (cycles >= 2) std::printf("soak: close-all after cycle %d: %s\n", cycles / 2, Show(After(cycles / 2)).c_str());
  std::printf("soak: close-all after last cycle: %s\n", Show(After(cycles)).c_str());
  std::printf("soak: close-all WM_NULL sent %d, unanswered within 1 s %d, slowest %lu ms\n", pinger.sent(),
              pinger.missed(), pinger.slowest());
  std::fflush(stdout);

  EXPECT_EQ(done, cycles);
  CheckLevels("close-all", cycles);
  EXPECT_EQ(pinger.missed(), 0);
  std::vector<std::string> texts = boxes_->Take();
  EXPECT_EQ(texts.size(), 4 * static_cast<size_t>(cycles));
  EXPECT_EQ(std::count(texts.begin(), texts.end(), kModemBox), static_cast<long>(texts.size()))
      << (texts.empty() ? "" : texts.back());
}

}  // namespace
