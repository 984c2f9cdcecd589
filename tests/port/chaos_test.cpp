// Chaos: thousands of poll passes over several ports on a driver that fails,
// pends and completes at random, while keys are typed, lamps clicked, masks
// changed and ports opened and closed in between. Nothing received may be lost
// or doubled, and no record or buffer may be touched while the driver owns it.
// PLIX_CHAOS_PASSES (passes per seed) and PLIX_CHAOS_SEEDS (how many seeds)
// select a longer soak.
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "fakegdi.h"
#include "port/program.h"
#include "res/resource.h"
#include "support.h"
#include "terminal/commands.h"
#include "terminal/lamps.h"

namespace {

const char* const kDevices[] = {"COM1", "COM2", "COM3", "COM4", "COM12"};

int EnvNumber(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

// What the screen shows for the bytes after the block's last line end, with
// "Show CR/LF" off: printable bytes as they are, others as "<%xH>". Kept
// shorter than a row, so it spans at most one wrap.
std::string RenderTail(const std::string& block) {
  size_t start = block.size();
  while (start > 0 && block[start - 1] != '\r' && block[start - 1] != '\n' && block.size() - start < 16) start--;
  std::string out;
  char marker[8];
  for (size_t i = start; i < block.size(); i++) {
    unsigned b = static_cast<unsigned char>(block[i]);
    if (b < 0x20 || b > 0x80) {
      std::snprintf(marker, sizeof marker, "<%xH>", b);
      out += marker;
    } else {
      out += static_cast<char>(b);
    }
  }
  return out.size() > 60 ? out.substr(out.size() - 60) : out;
}

struct Figures {
  long passes = 0;
  long faults = 0;
  long pended = 0;
  long delivered = 0;
  long verified = 0;
  long tailsChecked = 0;
  long boxes = 0;
  long nestedPasses = 0;
  long opens = 0;
  long closes = 0;
  long keys = 0;
  long clicks = 0;
  long masks = 0;
  long commands = 0;
};

class ChaosTest : public FakeWinTest {
 protected:
  void RunSeed(uint32_t seed, int passes);

  // The world the program lives in, all driven by one random stream.
  uint32_t Random(uint32_t n) { return rng_() % n; }
  ComPort* AnyLive() { return live_.empty() ? nullptr : live_[Random(static_cast<uint32_t>(live_.size()))]; }
  void OpenOne();
  void Close(ComPort* port);
  void TypeKey(ComPort* port);
  void Act();
  void AnswerBox();
  void CheckScreens();
  void CheckCaptures();

  ScratchDirectory scratch_;
  std::mt19937 rng_;
  std::vector<ComPort*> live_;   // ports whose windows are open
  std::vector<ComPort*> acting_;  // ports whose windows are handling a message: they cannot close meanwhile
  int boxDepth_ = 0;
  int nextWindow_ = 0;
  std::deque<TerminalView> views_;  // one per port opened, as its window would have
  Figures f_;
};

void ChaosTest::OpenOne() {
  const char* name = kDevices[Random(sizeof kDevices / sizeof kDevices[0])];
  for (ComPort* p : live_)
    if (std::string(p->portName) == name) return;
  auto* port = new ComPort();
  if (port->Open(name) != 0) {
    delete port;  // as the frame does when an open fails
    return;
  }
  views_.emplace_back(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10000 + ++nextWindow_)));
  views_.back().Resize(200);
  port->watcher = &views_.back();
  live_.push_back(port);
  f_.opens++;
}

void ChaosTest::Close(ComPort* port) {
  live_.erase(std::find(live_.begin(), live_.end(), port));
  ReleasePort(port);  // as the terminal window does when it is destroyed
  f_.closes++;
}

void ChaosTest::TypeKey(ComPort* port) {
  // The typed key's byte lives only for the call, as in the window procedure.
  char key = static_cast<char>(Random(256));
  acting_.push_back(port);
  port->ComOut(&key, 1);
  acting_.pop_back();
  f_.keys++;
}

// One message to a terminal window, or to the frame, between two timer ticks.
void ChaosTest::Act() {
  uint32_t r = Random(100);
  if (r < 8) {
    OpenOne();
    return;
  }
  ComPort* port = AnyLive();
  if (port == nullptr) return;
  if (r < 12) {
    Close(port);
    return;
  }
  acting_.push_back(port);
  if (r < 45) {
    TypeKey(port);
  } else if (r < 60) {
    ClickLamp(port, static_cast<int>(Random(130)) - 5, static_cast<int>(Random(24)) - 3);
    f_.clicks++;
  } else if (r < 70) {
    // As the Events dialog's OK does: the mask is kept even if the driver refuses it.
    port->eventMask = Random(3) == 0 ? 0 : Random(0x2000);
    SetCommMask(port->handle, port->eventMask);
    f_.masks++;
  } else if (r < 88) {
    // One id past each end, which the command must leave alone.
    unsigned id = IDM_SETXOFF - 1 + Random(10);
    EXPECT_EQ(RunControlCommand(port, id), id >= IDM_SETXOFF && id <= IDM_CLRBREAK) << id;
    f_.commands++;
  } else if (r < 92) {
    port->ClearScreen();
  } else if (r < 94) {
    g_program.sendTestData = !g_program.sendTestData;
  }
  acting_.pop_back();
}

// Whatever happens while a message box is up: the timer keeps firing, a key
// reaches the program, a window goes away.
void ChaosTest::AnswerBox() {
  f_.boxes++;
  if (boxDepth_ >= 3) return;
  boxDepth_++;
  uint32_t r = Random(100);
  if (r < 35) {
    f_.nestedPasses++;
    PollAllPorts();
  } else if (r < 40) {
    if (ComPort* port = AnyLive()) TypeKey(port);
  } else if (r < 44) {
    ComPort* port = AnyLive();
    if (port != nullptr && std::find(acting_.begin(), acting_.end(), port) == acting_.end()) Close(port);
  }
  boxDepth_--;
}

// After a pass whose last text on a port was received data, the screen ends
// with that data, up to the cursor.
void ChaosTest::CheckScreens() {
  for (ComPort* port : live_) {
    if (port->Lost()) continue;  // nothing was read; its notice may be the last text
    fake::Device* d = fake::DeviceOf(port->handle);
    ASSERT_NE(d, nullptr);
    if (d->lastRead.empty()) continue;
    std::string tail = RenderTail(d->lastRead);
    if (tail.empty()) continue;
    const ScreenRow& row = port->screen.RingRow(port->screen.CurrentIndex());
    const ScreenRow& above = port->screen.RingRow((port->screen.CurrentIndex() + kScreenRows - 1) % kScreenRows);
    ASSERT_EQ(std::strlen(row.text), static_cast<size_t>(port->screen.Column())) << port->portName;
    std::string shown = std::string(above.text) + row.text;
    ASSERT_GE(shown.size(), tail.size()) << port->portName;
    ASSERT_EQ(shown.substr(shown.size() - tail.size()), tail) << port->portName << " after pass " << f_.passes;
    f_.tailsChecked++;
  }
}

// Each capture file holds exactly the bytes its device delivered, in order.
void ChaosTest::CheckCaptures() {
  for (const char* name : kDevices) {
    fake::Device* d = fake::FindDevice(name);
    std::string file = FileText("k" + std::string(name + 1) + ".txt");
    size_t same = 0;
    while (same < file.size() && same < d->delivered.size() && file[same] == d->delivered[same]) same++;
    EXPECT_EQ(file.size(), d->delivered.size()) << name << ": first difference at byte " << same;
    EXPECT_EQ(same, d->delivered.size()) << name;
    f_.delivered += static_cast<long>(d->delivered.size());
    if (file == d->delivered) f_.verified += static_cast<long>(file.size());
  }
}

void ChaosTest::RunSeed(uint32_t seed, int passes) {
  fake::Reset();
  fake::ResetGdi();
  LayoutLamps();
  g_program = ProgramState{};
  g_program.platformId = VER_PLATFORM_WIN32_NT;
  SetErrorBoxOwner(reinterpret_cast<HWND>(0xF00));
  g_program.saveToDisk = 1;
  rng_.seed(seed * 2654435761u + 1);
  for (const char* name : kDevices) {
    fake::AddDevice(name).loopAnswer = Random(2);
    std::remove(("k" + std::string(name + 1) + ".txt").c_str());
  }
  eventWaitErrors = 0;
  fake::ChaosConfig config;
  config.seed = seed;
  fake::StartChaos(config);
  live_.clear();
  fake::onMessageBox = [this](const fake::Box&) {
    AnswerBox();
    return IDOK;
  };

  for (int pass = 0; pass < passes && !HasFatalFailure(); pass++) {
    fake::ChaosTick();
    for (uint32_t n = Random(4); n > 0; n--) Act();
    // Only the outcome is checked here: keep the fake's records from piling up.
    fake::Calls().clear();
    fake::Boxes().clear();
    fake::Draws().clear();
    PollAllPorts();
    f_.passes++;
    // Every port whose window closed during the pass is freed by its end.
    int linked = 0;
    for (ComPort* p = g_program.portList; p != nullptr; p = p->next) linked++;
    ASSERT_EQ(linked, static_cast<int>(live_.size())) << "after pass " << pass;
    CheckScreens();
  }

  while (!live_.empty()) Close(live_.back());
  EXPECT_EQ(g_program.portList, nullptr);
  EXPECT_EQ(fake::OpenHandleCount(), 0);
  EXPECT_EQ(fake::OutstandingCount(), 0);
  EXPECT_TRUE(fake::Violations().empty()) << ::testing::PrintToString(fake::Violations());
  CheckCaptures();
  f_.faults += fake::Chaos().Faults();
  f_.pended += fake::Chaos().pended;
  fake::onMessageBox = nullptr;
}

// The fake's own checks, which the chaos run relies on, must be able to fire.
TEST_F(ChaosTest, TheFakeReportsABufferReusedWhileItsOperationIsOutstanding) {
  fake::AddDevice("COM1");
  HANDLE device = CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  OVERLAPPED first = {}, second = {}, third = {};
  char buffer[8] = "abcdefg";
  DWORD n = 0;
  fake::PendNext("ReadFile");
  EXPECT_FALSE(ReadFile(device, buffer, 4, &n, &first));
  fake::Op* pending = fake::LastOp("ReadFile");
  EXPECT_TRUE(fake::Violations().empty());
  // Another record, but the bytes the pending read still fills.
  EXPECT_TRUE(ReadFile(device, buffer + 2, 4, &n, &second));
  EXPECT_THAT(fake::Violations(), ::testing::ElementsAre("ReadFile: buffer of an outstanding ReadFile reused"));
  fake::Violations().clear();
  EXPECT_TRUE(WriteFile(device, buffer + 3, 1, &n, &third));
  EXPECT_THAT(fake::Violations(), ::testing::ElementsAre("WriteFile: buffer of an outstanding ReadFile reused"));
  fake::Violations().clear();
  fake::CompleteRead(*pending, "");

  // A pending write whose bytes change before it completes.
  fake::PendNext("WriteFile");
  EXPECT_FALSE(WriteFile(device, buffer, 3, &n, &third));
  buffer[1] = 'X';
  fake::CompleteWrite(*fake::LastOp("WriteFile"));
  EXPECT_THAT(fake::Violations(),
              ::testing::ElementsAre("WriteFile: its bytes changed while the write was outstanding"));
  fake::Violations().clear();
  EXPECT_TRUE(CloseHandle(device));
}

TEST_F(ChaosTest, ThousandsOfPassesOnAFailingDriverLoseNothingAndMisuseNothing) {
  int passes = EnvNumber("PLIX_CHAOS_PASSES", 2500);
  int seeds = EnvNumber("PLIX_CHAOS_SEEDS", 4);
  for (int i = 1; i <= seeds && !HasFatalFailure(); i++) {
    uint32_t seed = static_cast<uint32_t>(i);
    SCOPED_TRACE("chaos seed " + std::to_string(seed) + " (PLIX_CHAOS_PASSES=" + std::to_string(passes) + ")");
    RunSeed(seed, passes);
  }
  // The run must have exercised what it claims to.
  EXPECT_GT(f_.faults, 0);
  EXPECT_GT(f_.delivered, 0);
  EXPECT_GT(f_.tailsChecked, 0);
  EXPECT_GT(f_.nestedPasses, 0);
  EXPECT_GT(f_.closes, 0);
  std::printf("chaos: %d seeds, %ld passes, %ld faults injected, %ld operations pended, %ld bytes delivered, "
              "%ld verified in capture files, %ld screen tails checked, %ld boxes (%ld with a nested pass), "
              "%ld opens, %ld closes, %ld keys, %ld clicks, %ld masks, %ld commands\n",
              seeds, f_.passes, f_.faults, f_.pended, f_.delivered, f_.verified, f_.tailsChecked, f_.boxes,
              f_.nestedPasses, f_.opens, f_.closes, f_.keys, f_.clicks, f_.masks, f_.commands);
  RecordProperty("passes", static_cast<int>(f_.passes));
  RecordProperty("faults", static_cast<int>(f_.faults));
  RecordProperty("bytes_delivered", static_cast<int>(f_.delivered));
  RecordProperty("bytes_verified", static_cast<int>(f_.verified));
}

}  // namespace
