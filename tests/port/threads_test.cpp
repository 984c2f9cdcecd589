// The port's threads against the fake driver, with real waits: the reader
// and the writer run on their own threads while this one feeds the
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

// One writer for all that a port sends: patterns back to back, keys typed
// meanwhile between two patterns (each once), a file loaded midway in one
// piece between two patterns, then patterns again until the switch goes off,
// which ends the thread after the write in flight. What it reports sent is
// what the device took.
TEST_F(ThreadsTest, TheWriterSendsWholePatternsKeysBetweenThemAndAFileInOnePiece) {
  const std::string pattern(TestPattern(), kPatternSize);
  const std::string file = RandomBytes(3 * kSendBlock + 100, 5);
  auto written = [this] {
    std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
    return device->written;
  };
  PortWriter& writer = port->writer;
  writer.WantPatterns(true);
  writer.Start(port->handle, pattern.data(), kPatternSize, 9600, true);
  uint64_t sent = 0;
  int typed = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  auto until = [&](auto done) {
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      sent += writer.TakePatternBytes();
    }
  };
  until([&] {
    if (sent > 0 && typed < 5) port->ComOut("7", 1), typed++;
    return sent >= 20 * pattern.size() && typed == 5;
  });
  writer.LoadFile(std::vector<char>(file.begin(), file.end()));
  until([&] { return writer.File().Sent() == file.size(); });
  const uint64_t before = sent;
  until([&] { return sent >= before + 20 * pattern.size(); });
  writer.WantPatterns(false);
  until([&] { return writer.Finished(); });
  writer.Stop();
  sent += writer.TakePatternBytes();
  EXPECT_EQ(writer.TakeFailure().kind, WriteFailure::kNone);

  std::string wire = written();
  std::string keys;
  for (size_t at = wire.find('7'); at != std::string::npos && at < wire.find(file); at = wire.find('7')) {
    EXPECT_EQ(at % pattern.size(), 0u) << "a key inside a pattern";
    keys += wire[at];
    wire.erase(at, 1);
  }
  EXPECT_EQ(keys, "77777");
  const size_t at = wire.find(file);
  ASSERT_NE(at, std::string::npos) << "the file is not in one piece";
  EXPECT_EQ(at % pattern.size(), 0u) << "the file inside a pattern";
  wire.erase(at, file.size());
  EXPECT_EQ(sent, wire.size());
  ASSERT_EQ(wire.size() % pattern.size(), 0u) << "a pattern cut short";
  for (size_t p = 0; p < wire.size(); p += pattern.size())
    ASSERT_EQ(wire.compare(p, pattern.size(), pattern), 0) << "pattern at " << p;
  EXPECT_EQ(fake::OutstandingCount(), 0);

  // A file dropped while its write hangs: the write is cut short at once,
  // not after the seconds a stuck write is given, and the patterns go on.
  fake::PendNext("WriteFile");
  writer.LoadFile(std::vector<char>(file.begin(), file.end()));
  writer.Start(port->handle, pattern.data(), kPatternSize, 9600, true);
  until([&] { return fake::OutstandingCount() == 1; });
  writer.WantPatterns(true);
  writer.DropFile();
  const uint64_t dropped = sent;
  until([&] { return sent >= dropped + 10 * pattern.size(); });
  writer.Stop();
  EXPECT_EQ(writer.TakeFailure().kind, WriteFailure::kNone);
  EXPECT_EQ(writer.File().Sent(), 0u);
  wire = written();
  EXPECT_EQ(wire.find(file.substr(0, 64), wire.find(file) + 1), std::string::npos) << "the dropped file went out";
}

}  // namespace
