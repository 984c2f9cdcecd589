// The port's threads against the fake driver, with real waits: the reader
// and the pattern writer run on their own threads while this one feeds the
// device and drains, as the window's thread does. Run under ThreadSanitizer
// in CI (the tsan preset), which reports any access the two share unguarded.
#include <chrono>
#include <string>
#include <thread>

#include "core/test_pattern.h"
#include "support.h"

namespace {

class ThreadsTest : public OnePortTest {
 protected:
  void SetUp() override {
    OnePortTest::SetUp();
    fake::SetRealWaits(true);
  }
  static std::string RandomBytes(size_t n, unsigned seed) {
    std::string s(n, 0);
    for (auto& c : s) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    return s;
  }
  static size_t Posts() {
    std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
    return fake::CallsTo("PostMessageA").size();
  }
  ScratchDirectory scratch_;
};

// Bytes that arrive in pieces while the window's thread drains now and then
// reach the capture file whole and in order, each exactly once; the window is
// told at most once per drain; stopping ends the read in flight and leaves
// nothing outstanding.
TEST_F(ThreadsTest, TheReaderHandsEveryByteOverOnceInOrderAndStopsCleanly) {
  g_program.saveToDisk = 1;
  const std::string data = RandomBytes(600000, 11);
  port->reader.Start(port->handle, true, reinterpret_cast<HWND>(0xF00), kPortDataMessage);
  size_t fed = 0;
  int drains = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (port->stats.bytesReceived < data.size() && std::chrono::steady_clock::now() < deadline) {
    if (fed < data.size()) {
      const size_t piece = std::min<size_t>(7000 + fed % 5003, data.size() - fed);
      std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
      device->rx.append(data, fed, piece);
      fed += piece;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    port->Drain();
    drains++;
  }
  port->reader.Stop();
  port->Drain();
  EXPECT_EQ(FileText("kOM1.txt"), data);
  EXPECT_LE(Posts(), static_cast<size_t>(drains) + 1);
  EXPECT_EQ(fake::OutstandingCount(), 0);
}

// The writer keeps writes going back to back until the switch goes off;
// what it reports sent is what the device took: whole patterns, in order,
// since it ends after the write in flight rather than cutting it short.
// Keys typed meanwhile go out between two patterns, each once.
TEST_F(ThreadsTest, TheWriterSendsWholePatternsBackToBackUntilSwitchedOff) {
  const std::string pattern(TestPattern(), kPatternSize);
  port->writer.Start(port->handle, pattern.data(), kPatternSize, 9600, true);
  uint64_t sent = 0;
  int typed = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((sent < 40 * pattern.size() || typed < 5) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sent += port->writer.TakeSent();
    if (sent > 0 && typed < 5) port->ComOut("7", 1), typed++;
  }
  while (!port->FinishWriter() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(port->writer.Running());
  sent += port->writer.TakeSent();
  EXPECT_EQ(port->writer.TakeFailure().kind, WriteFailure::kNone);
  std::string written;
  {
    std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
    written = device->written;
  }
  std::string keys;
  for (size_t at = written.find('7'); at != std::string::npos; at = written.find('7')) {
    EXPECT_EQ(at % pattern.size(), 0u) << "a key inside a pattern";
    keys += written[at];
    written.erase(at, 1);
  }
  EXPECT_EQ(keys, "77777");
  ASSERT_GE(written.size(), 40 * pattern.size());
  EXPECT_EQ(sent, written.size());
  ASSERT_EQ(written.size() % pattern.size(), 0u) << "a pattern cut short";
  for (size_t at = 0; at < written.size(); at += pattern.size())
    ASSERT_EQ(written.compare(at, pattern.size(), pattern), 0) << "pattern at " << at;
  EXPECT_EQ(fake::OutstandingCount(), 0);
}

}  // namespace
