// Check Test Data, the Port Statistics dialog and the status bar of the real
// program under Wine, on the socat cable: the far end sends the pattern with
// faults put in, or echoes what the program sends.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "plix_app.h"
#include "program_test.h"

namespace {

constexpr int kSendTestData = 213, kCheckTestData = 225, kStatistics = 226;
constexpr int kReceived = 401, kSent = 402, kChecked = 403, kGood = 404, kMissing = 405, kCorrupted = 406, kExtra = 407,
              kLineErrors = 408;

class Check : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    StartIn(workdir_);
  }

  HWND Open(const std::string& com) {
    HWND terminal = OpenFromMenu(com);
    // The modem status box that Wine's pseudo-terminal brings, answered.
    if (terminal != nullptr) {
      EXPECT_TRUE(boxes_->WaitFor(++opened_, 3000));
    }
    return terminal;
  }
  size_t opened_ = 0;

  // The figures of the Port Statistics dialog of the active terminal, by id.
  struct Figures {
    uint64_t received, checked, good, missing, corrupted, extra, lineErrors, sent;
  };
  bool ReadStatistics(Figures* out) {
    app_.Command(kStatistics);
    HWND dialog = app_.WaitForDialog("Port Statistics", kReceived, 5000);
    if (dialog == nullptr) return false;
    auto figure = [&](int id) { return std::stoull("0" + ControlText(dialog, id)); };
    *out = {figure(kReceived),  figure(kChecked), figure(kGood),       figure(kMissing),
            figure(kCorrupted), figure(kExtra),   figure(kLineErrors), figure(kSent)};
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    return WaitUntil([&] { return !IsWindow(dialog); }, 3000);
  }

  std::string StatusText() { return app_.StatusText(); }
};

std::string Patterns(int n) {
  const std::string one = ExpectedTestPattern();
  std::string out;
  out.reserve(one.size() * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out += one;
  return out;
}

TEST_F(Check, FindsTheFaultsPutIntoAThousandPatterns) {
  HWND terminal = Open(port_);
  ASSERT_NE(terminal, nullptr);
  ASSERT_TRUE(app_.Send(kCheckTestData));
  FarEnd cable(far_);
  ASSERT_TRUE(cable.ok()) << cable.error();

  // Offsets in the unedited stream: 10 bytes from 100000 deleted, the byte at
  // 300000 changed, 00H FFH 01H put in before 600000. In the received stream
  // the second and third stand 10 bytes earlier.
  std::string sent = Patterns(1000);
  ASSERT_EQ(sent.size(), 1155000u);
  sent.insert(600000, std::string("\x00\xff\x01", 3));
  sent[300000] = static_cast<char>(sent[300000] ^ 0x20);
  sent.erase(100000, 10);
  const struct {
    size_t upTo;  // send up to here (two lines past the fault), then wait for the notice
    const char* notice;
  } stages[] = {
      {100000 + 120, "<CHECK: 10 missing at 100000>"},
      {299990 + 120, "<CHECK: 1 corrupt at 299990>"},
      {599990 + 120, "<CHECK: 3 extra at 599990>"},
      {sent.size(), nullptr},
  };
  size_t from = 0;
  for (const auto& stage : stages) {
    if (!cable.WriteAll(sent.substr(from, stage.upTo - from), 10000)) {
      // Who stopped: the program's count says whether its reader took what came.
      Figures f{};
      ReadStatistics(&f);
      FAIL() << "the cable stopped taking bytes in the stage up to " << stage.upTo << "; the program received "
             << f.received << "; its screen: " << app_.Screen(terminal);
    }
    from = stage.upTo;
    if (stage.notice != nullptr) {
      EXPECT_TRUE(app_.WaitForScreen(terminal, stage.notice, 10000)) << app_.Screen(terminal);
    }
  }
  Figures f{};
  ASSERT_TRUE(WaitUntil([&] { return ReadStatistics(&f) && f.received == sent.size(); }, 20000))
      << "received " << f.received << " of " << sent.size() << "; the screen: " << app_.Screen(terminal);
  ASSERT_TRUE(ReadStatistics(&f));
  EXPECT_EQ(f.received, sent.size());
  EXPECT_EQ(f.missing, 10u);
  EXPECT_EQ(f.corrupted, 1u);
  EXPECT_EQ(f.extra, 3u);
  EXPECT_EQ(f.checked, f.good + f.corrupted + f.extra);
  EXPECT_GE(f.checked, sent.size() - 2 * 1155);  // all but what came before the first lock
  EXPECT_EQ(f.lineErrors, 0u);
  std::printf("check: received %llu checked %llu good %llu missing %llu corrupted %llu extra %llu\n",
              static_cast<unsigned long long>(f.received), static_cast<unsigned long long>(f.checked),
              static_cast<unsigned long long>(f.good), static_cast<unsigned long long>(f.missing),
              static_cast<unsigned long long>(f.corrupted), static_cast<unsigned long long>(f.extra));
}

// The echo loop: the pattern goes out back to back and comes back through a
// plug at the far end, checked without a fault (PLIX_ECHO_MIB sets the
// amount, 1 MiB by default); the round-trip rate is printed.
TEST_F(Check, AMebibyteOfItsOwnPatternComesBackWithoutAFault) {
  const uint64_t wanted = std::stoull(EnvOr("PLIX_ECHO_MIB", "1")) << 20;
  // A cable of its own (COM19 <-> COM20): what is still on its way when the
  // test ends stays out of the other tests' cable.
  std::string why;
  ASSERT_TRUE(StartCable("echo", 19, 20, workdir_, &why)) << why;
  HWND terminal = Open("COM19");
  ASSERT_NE(terminal, nullptr);
  // The plug on the far end: a Linux process (scripts/lib/echo_plug.py), since
  // one that blocks in its writes, as a plain Windows handle does, stops the
  // cable both ways once the pattern comes back to back.
  std::string out;
  ASSERT_TRUE(RunLinuxShell("python3 \"$PLIX_ROOT/scripts/lib/echo_plug.py\" \"$WINEPREFIX/dosdevices/com20"
                            "\" </dev/null >/dev/null 2>&1 & echo $! >echo-plug.pid",
                            workdir_, &out, 10000))
      << out;
  ASSERT_TRUE(app_.Send(kCheckTestData));
  const DWORD start = GetTickCount();
  ASSERT_TRUE(app_.Send(kSendTestData));
  Figures f{};
  const DWORD limit = static_cast<DWORD>(wanted >> 20) * 60000 + 60000;
  const bool done = WaitUntil([&] { return ReadStatistics(&f) && f.checked >= wanted; }, limit);
  const double seconds = (GetTickCount() - start) / 1000.0;
  ASSERT_TRUE(app_.Send(kSendTestData));
  ReadStatistics(&f);
  RunLinuxShell("kill $(cat echo-plug.pid)", workdir_, &out, 10000);
  app_.CloseAndWait(10000);
  StopCable("echo", workdir_);
  ASSERT_TRUE(done) << "checked " << f.checked << " of " << wanted << " in " << seconds << " s";
  EXPECT_EQ(f.missing + f.corrupted + f.extra, 0u);
  EXPECT_EQ(f.checked, f.good);
  EXPECT_EQ(app_.Screen(terminal).find("<CHECK:"), std::string::npos) << app_.Screen(terminal);
  std::printf("check: echo round trip, checked %llu good %llu, %llu in %.1f s: %.2f MiB/s\n",
              static_cast<unsigned long long>(f.checked), static_cast<unsigned long long>(f.good),
              static_cast<unsigned long long>(wanted), seconds, wanted / 1048576.0 / seconds);
}

TEST_F(Check, TheStatusBarFollowsTheActiveTerminal) {
  HWND first = Open(port_);
  HWND second = Open(far_);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  auto activate = [&](HWND terminal) {
    SendMessageA(app_.client(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(terminal), 0);
  };
  // What an earlier test left in the cable arrives first: counted from
  // where each port's figure stands once nothing more comes.
  auto received = [&](HWND terminal, const std::string& com) {
    activate(terminal);
    std::string text;
    WaitUntil([&] { return (text = StatusText()).rfind(com + " ", 0) == 0; }, 3000);
    const size_t at = text.find("received ");
    return at == std::string::npos ? std::string("?") : text.substr(at + 9, text.find(' ', at + 9) - at - 9);
  };
  std::string before[2];
  ASSERT_TRUE(WaitUntilSteady(
      [&] {
        before[0] = received(first, port_), before[1] = received(second, far_);
        return before[0] + " " + before[1];
      },
      500, 15000));
  activate(first);
  EXPECT_TRUE(WaitUntil([&] { return StatusText().rfind(port_ + " ", 0) == 0; }, 3000)) << StatusText();
  EXPECT_EQ(StatusText().find("checked"), std::string::npos);  // the check is off

  // Typed at COM5, received by COM6: its count, once COM6 is active.
  ASSERT_TRUE(app_.Type(first, TypeText("hello")));
  activate(second);
  const std::string expected = far_ + "   received " + std::to_string(std::stoull(before[1]) + 5) + " ";
  EXPECT_TRUE(WaitUntil([&] { return StatusText().rfind(expected, 0) == 0; }, 3000)) << StatusText();
  ASSERT_TRUE(app_.Send(kCheckTestData));
  EXPECT_TRUE(WaitUntil([&] { return StatusText().find("checked 0") != std::string::npos; }, 3000)) << StatusText();
  activate(first);
  EXPECT_TRUE(WaitUntil([&] { return StatusText().rfind(port_ + "   received " + before[0] + " ", 0) == 0; }, 3000))
      << StatusText();
}

}  // namespace
