#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <sstream>

#include "fakegdi.h"
#include "port/program.h"
#include "support.h"
#include "terminal/lamps.h"

namespace {

// Each test runs in a directory of its own: capture files land in the current one.
class ServiceTest : public FakeWinTest {
 protected:
  void SetUp() override {
    FakeWinTest::SetUp();
    fake::ResetGdi();
    LayoutLamps();
  }
  std::unique_ptr<ComPort> OpenWindowed(const std::string& name) {
    auto port = OpenPort(name);
    views_.emplace_back(reinterpret_cast<HWND>(0x700 + name.back()));
    views_.back().Resize(200);
    port->watcher = &views_.back();
    return port;
  }
  std::deque<TerminalView> views_;  // the ports' windows' views
  // A timer tick: a poll pass a frame or more after the last, so the windows paint now.
  void Tick() {
    now_ += 100;
    fake::SetTickCount(now_);
    PollAllPorts();
  }
  DWORD now_ = 1000;
  // Everything the screen shows, oldest row first, rows joined by "|".
  static std::string Screen(const ComPort& port) {
    std::string out;
    for (int i = 1; i <= kScreenRows; i++) {
      const ScreenRow& row = port.screen.Row(static_cast<uint64_t>(kScreenRows - i));
      if (!out.empty() || row.text[0] != 0) out += std::string(row.text) + (i < kScreenRows ? "|" : "");
    }
    return out;
  }
  static std::string RandomBytes(size_t n, unsigned seed) {
    std::string s(n, 0);
    for (auto& c : s) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    return s;
  }
  ScratchDirectory scratch_;
};

TEST_F(ServiceTest, ReadsWhatWaitsInBlocksOf64KiBAndCapturesThemInOrder) {
  g_program.saveToDisk = 1;
  auto port = OpenWindowed("COM2");
  std::string data = RandomBytes(150000, 7);
  data[10] = 0;  // NUL bytes reach the file unchanged
  fake::FindDevice("COM2")->rx = data;
  Tick();

  auto reads = fake::CallsTo("ReadFile");
  ASSERT_GE(reads.size(), 3u);
  EXPECT_EQ(reads[0].args[1], kReadBlock);
  EXPECT_EQ(reads[1].args[1], kReadBlock);
  EXPECT_EQ(FileText("kOM2.txt"), data);
  EXPECT_EQ(port->stats.bytesReceived, data.size());
  EXPECT_TRUE(fake::Boxes().empty());

  // The next block is appended, nothing else is added.
  fake::FindDevice("COM2")->rx = "tail\r\n";
  Tick();
  EXPECT_EQ(FileText("kOM2.txt"), data + "tail\r\n");
}

TEST_F(ServiceTest, ReceivedBytesReachTheScreenWithTheirMarkers) {
  auto port = OpenWindowed("COM1");
  port->AddText("<Port Opened>", 0);
  fake::FindDevice("COM1")->rx = std::string("ok\0\x1b", 4) + "\r\nnext";
  Tick();
  EXPECT_EQ(Screen(*port), "<Port Opened>ok<0H><1bH>|next");
  EXPECT_EQ(port->needsRepaint, 0);  // painted and cleared
}

// A refused read: one box and one notice until a read works again, reading
// started again a second later, and then what waited comes in whole.
TEST_F(ServiceTest, AFailedReadIsNotedOnceAndReadingResumesASecondLater) {
  g_program.saveToDisk = 1;
  auto port = OpenWindowed("COM1");
  fake::FindDevice("COM1")->rx = "kept";
  fake::FailNext("ReadFile", ERROR_GEN_FAILURE);
  Tick();
  EXPECT_EQ(fake::BoxTexts(), std::vector<std::string>{"Error On Read!: 31 ,Wanted: 65536"});
  EXPECT_EQ(Screen(*port), "Error reading data");
  EXPECT_EQ(access("kOM1.txt", F_OK), -1);

  for (int pass = 0; pass < 9; pass++) Tick();  // 900 ms: not yet
  EXPECT_EQ(Screen(*port), "Error reading data");
  fake::FailNext("ReadFile", ERROR_GEN_FAILURE);
  Tick();  // a second: tried again, refused again, no second box
  EXPECT_EQ(fake::BoxTexts().size(), 1u);
  for (int pass = 0; pass < 10; pass++) Tick();
  EXPECT_EQ(Screen(*port), "Error reading datakept");
  EXPECT_EQ(FileText("kOM1.txt"), "kept");
  EXPECT_EQ(port->stats.failedReads, 2u);
}

TEST_F(ServiceTest, APassThatChangesNothingPaintsNothing) {
  auto port = OpenWindowed("COM1");
  Tick();  // first pass: lamps, since the painted copies start at 0xFF
  EXPECT_EQ(fake::DrawsOf("RoundRect").size(), 5u);
  fake::Draws().clear();
  Tick();
  EXPECT_TRUE(fake::Draws().empty());

  fake::FindDevice("COM1")->modemStatus = MS_RING_ON;  // no lamp, but a change all the same
  Tick();
  EXPECT_EQ(fake::DrawsOf("RoundRect").size(), 5u);
  EXPECT_TRUE(fake::DrawsOf("ExtTextOutA").empty());
}

// However many reads and AddText calls a pass makes, the window is drawn once,
// at its end: each line at most once, and rows that scrolled away before the
// paint never; rows already shown are moved, not drawn again.
TEST_F(ServiceTest, APassPaintsEachLineAtMostOnceAfterAllItsReads) {
  auto port = OpenWindowed("COM1");  // 200 pixels: 13 lines
  Tick();
  fake::Draws().clear();

  // Three short lines: what was shown moves up three lines, and only the
  // three new lines and the row that was current are drawn.
  const std::string data = std::string(20, 'x') + "a\r\nb\r\nc\r\nyy";
  fake::FindDevice("COM1")->rx = data;
  Tick();
  ASSERT_EQ(fake::DrawsOf("ScrollDC").size(), 1u);
  EXPECT_EQ(fake::DrawsOf("ScrollDC")[0].args[1], -3 * 14);
  std::map<int, int> drawsPerLine;
  for (auto& d : fake::DrawsOf("ExtTextOutA")) drawsPerLine[d.args[1]]++;
  EXPECT_EQ(drawsPerLine.size(), 4u);
  for (auto& [y, n] : drawsPerLine) EXPECT_EQ(n, 1) << "line at y " << y;

  // 120000 random bytes, one tick of a 12 Mbaud line: hundreds of rows come,
  // still only the 13 lines are drawn, once each, showing the newest rows.
  fake::Draws().clear();
  fake::FindDevice("COM1")->rx = RandomBytes(120000, 3);
  Tick();
  drawsPerLine.clear();
  std::map<int, std::string> shown;
  for (auto& d : fake::DrawsOf("ExtTextOutA")) {
    drawsPerLine[d.args[1]]++;
    shown[(d.args[1] - 4) / 14] = d.text;
  }
  EXPECT_EQ(drawsPerLine.size(), 13u);
  for (auto& [y, n] : drawsPerLine) EXPECT_EQ(n, 1) << "line at y " << y;
  for (int line = 13; line >= 1; line--)
    EXPECT_EQ(shown[line], port->screen.Row(static_cast<uint64_t>(13 - line)).text) << "line " << line;
  EXPECT_TRUE(fake::DrawsOf("TextOutA").empty());
  EXPECT_TRUE(fake::DrawsOf("Rectangle").empty());
}

// Without a thread the writer keeps the rate of the baud: the fake line's
// 9600 baud moves less than a pattern in 100 ms, so one a write.
const size_t kPatternsPerWrite = 1;

// Patterns a write: what the line moves in 100 ms, from the baud rate or from
// a write's time, at least one and at most what 64 KiB holds.
TEST(PatternsPerWriteTest, AsManyAsTheLineMovesIn100MsBetweenOneAndTheBlock) {
  const int most = kMostWriteBytes / 1155;
  const struct {
    uint64_t perSecond;
    int length, patterns;
  } byBaud[] = {{LineRate::FromBaud(300), 1155, 1},   {LineRate::FromBaud(9600), 1155, 1},
                {LineRate::FromBaud(115200), 1155, 1}, {LineRate::FromBaud(921600), 1155, 7},
                {LineRate::FromBaud(3000000), 1155, 25}, {LineRate::FromBaud(12000000), 1155, most},
                {LineRate::FromBaud(9600), 50, 1},     {LineRate::FromBaud(115200), 50, 23}};
  for (const auto& c : byBaud)
    EXPECT_EQ(PatternsPerWrite(LineRate(c.perSecond), c.length, most), c.patterns) << c.perSecond << " B/s";

  // Measured: 8 patterns in 1.2 s is 7700 B/s; a write the driver took at
  // once (a pty, a USB adapter's buffer) allows the whole block.
  LineRate rate(LineRate::FromBaud(9600));
  rate.Busy(8 * 1155, 1200000);
  EXPECT_EQ(rate.PerSecond(), 7700u);
  EXPECT_EQ(PatternsPerWrite(rate, 1155, most), 1);
  rate.Busy(1155, 0);
  EXPECT_EQ(PatternsPerWrite(rate, 1155, most), most);
  rate.Busy(most * 1155, 20000);
  EXPECT_EQ(PatternsPerWrite(rate, 1155, most), most);
  rate.Busy(most * 1155, 1000000);  // the adapter's buffer full: the line's own rate
  EXPECT_EQ(PatternsPerWrite(rate, 1155, most), most / 10);
}

// A read asks for what the line brings in 30 ms: 64 bytes after a quiet
// spell, up to the block.
TEST(ReadAskTest, WhatTheLineBringsIn30MsBetween64BytesAndTheBlock) {
  const struct {
    uint64_t bytes, micros;
    uint32_t ask;
  } cases[] = {{0, 0, 64}, {10, 100000, 64}, {960, 1000000, 64}, {9600, 1000000, 288}, {115200, 1000000, 3456},
               {16, 2, 65536}, {65536, 1000, 65536}};
  for (const auto& c : cases) {
    LineRate rate(0);
    rate.Busy(c.bytes, c.micros);
    EXPECT_EQ(ReadAsk(rate, 65536), c.ask) << c.bytes << " bytes in " << c.micros << " us";
  }
}

TEST_F(ServiceTest, TheTestPatternIs42LinesOfGrowingLength) {
  g_program.sendTestData = 1;
  auto port = OpenWindowed("COM1");
  Tick();
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string expected;
  for (size_t length = 5; length <= 46; length++) expected += letters.substr(0, length) + "\r\n";
  ASSERT_EQ(expected.size(), 1155u);
  const std::string& written = fake::FindDevice("COM1")->written;
  ASSERT_EQ(written.size(), kPatternsPerWrite * 1155u);  // whole patterns, back to back
  for (size_t at = 0; at < written.size(); at += 1155) EXPECT_EQ(written.substr(at, 1155), expected);
  EXPECT_EQ(g_program.testPatternLength, 1155);
  EXPECT_EQ(expected.substr(0, 7), "abcde\r\n");
  EXPECT_EQ(expected.substr(1155 - 48), letters.substr(0, 46) + "\r\n");
}

TEST_F(ServiceTest, EachPortSendsThePatternWheneverItsOutputQueueIsEmpty) {
  g_program.sendTestData = 1;
  auto a = OpenWindowed("COM1");
  auto b = OpenWindowed("COM2");
  fake::Device& busy = *fake::FindDevice("COM2");
  busy.outQueue = 10;  // still sending
  Tick();
  Tick();
  EXPECT_EQ(fake::FindDevice("COM1")->written.size(), 2 * kPatternsPerWrite * 1155u);
  EXPECT_EQ(busy.written.size(), 0u);
  busy.outQueue = 0;
  Tick();
  EXPECT_EQ(busy.written.size(), kPatternsPerWrite * 1155u);
  EXPECT_EQ(busy.written, fake::FindDevice("COM1")->written.substr(0, busy.written.size()));
  g_program.sendTestData = 0;
  Tick();
  EXPECT_EQ(busy.written.size(), kPatternsPerWrite * 1155u);
}

// Send File without a thread: a block per pass, whole blocks of 8 KiB, or a
// line at a time when paced; its end and a cancel each leave their notice.
TEST_F(ServiceTest, AFileGoesOutInBlocksOrLinesAndEndsWithItsNotice) {
  auto port = OpenWindowed("COM1");
  fake::Device& device = *fake::FindDevice("COM1");
  std::string file;
  for (int i = 0; file.size() < 20000; i++) file += "line " + std::to_string(i) + " of the file\n";
  file.resize(20000);
  ASSERT_TRUE(port->StartFileSend("log.txt", std::vector<char>(file.begin(), file.end())));
  Tick();
  EXPECT_EQ(device.written, file.substr(0, kSendBlock));
  port->writer.File().Pace(10, true, 0);  // a line, up to its LF, per write
  Tick();
  EXPECT_EQ(device.written, file.substr(0, file.find('\n', kSendBlock) + 1));
  port->writer.File().Pace(0, false, 0);
  for (int i = 0; i < 4; i++) Tick();
  EXPECT_EQ(device.written, file);
  EXPECT_NE(Screen(*port).find("<Sent log.txt: 20000 bytes in "), std::string::npos) << Screen(*port);
  EXPECT_EQ(port->stats.bytesSent, 20000u);

  device.written.clear();
  ASSERT_TRUE(port->StartFileSend("log.txt", std::vector<char>(file.begin(), file.end())));
  Tick();
  port->CancelFileSend();
  Tick();
  EXPECT_EQ(device.written.size(), kSendBlock);
  EXPECT_NE(Screen(*port).find("<Send cancelled after 8192 of 20000 bytes>"), std::string::npos) << Screen(*port);

  // Unplugged in the middle: the send ends with its notice, then the loss's.
  ASSERT_TRUE(port->StartFileSend("log.txt", std::vector<char>(file.begin(), file.end())));
  Tick();
  fake::Unplug("COM1");
  Tick();
  const std::string screen = Screen(*port);
  const size_t cancelled = screen.rfind("<Send cancelled after 8192 of 20000 bytes>");
  ASSERT_NE(cancelled, std::string::npos) << screen;
  EXPECT_LT(cancelled, screen.find("<Port Lost: ", cancelled)) << screen;
  EXPECT_EQ(port->send.active, 0);
}

TEST_F(ServiceTest, ThePatternWaitsWhileTheQueuesCannotBeRead) {
  g_program.sendTestData = 1;
  auto port = OpenWindowed("COM1");
  fake::Device& device = *fake::FindDevice("COM1");
  // An unknown output count once read as an empty queue: the pattern went out
  // on every pass, piling up in a driver that cannot give its counts.
  for (int pass = 0; pass < 3; pass++) fake::FailNext("ClearCommError", ERROR_NOT_SUPPORTED);
  for (int pass = 0; pass < 3; pass++) Tick();
  EXPECT_THAT(fake::CallsTo("WriteFile"), ::testing::IsEmpty());
  EXPECT_TRUE(fake::Boxes().empty());
  const std::string screen = Screen(*port);
  EXPECT_EQ(screen.find("<ERR 32H,ClearCommError, COM1,"), 0u);
  EXPECT_EQ(screen.find("<ERR", 1), std::string::npos);  // once, not per pass

  Tick();  // the driver answers again
  EXPECT_EQ(device.written.size(), kPatternsPerWrite * 1155u);
}

TEST_F(ServiceTest, CaptureFilesStayInTheCurrentDirectory) {
  g_program.saveToDisk = 1;
  for (const char* name : {"COM12", "..\\evil", "a/b:c"}) fake::AddDevice(name).rx = name;
  auto p1 = OpenWindowed("COM12");
  auto p2 = OpenWindowed("..\\evil");
  auto p3 = OpenWindowed("a/b:c");
  Tick();
  EXPECT_EQ(FileText("kOM12.txt"), "COM12");
  EXPECT_EQ(FileText("k._evil.txt"), "..\\evil");
  EXPECT_EQ(FileText("k_b_c.txt"), "a/b:c");
}

TEST_F(ServiceTest, ACaptureFileThatCannotBeWrittenIsReportedOnceUntilItWorksAgain) {
  g_program.saveToDisk = 1;
  auto port = OpenWindowed("COM3");
  fake::Device& device = *fake::FindDevice("COM3");
  ASSERT_EQ(mkdir("kOM3.txt", 0755), 0);  // a directory where the file should be
  device.rx = "one";
  Tick();
  device.rx = "two";
  Tick();
  EXPECT_EQ(Screen(*port), "one<Save To Disk failed: kOM3.txt>two");
  ASSERT_EQ(rmdir("kOM3.txt"), 0);
  device.rx = "three";
  Tick();
  EXPECT_EQ(FileText("kOM3.txt"), "three");
  // The file stays open while data comes; a pass with nothing to write closes it.
  Tick();
  ASSERT_EQ(unlink("kOM3.txt"), 0);
  ASSERT_EQ(mkdir("kOM3.txt", 0755), 0);
  device.rx = "four";
  Tick();
  EXPECT_EQ(Screen(*port), "one<Save To Disk failed: kOM3.txt>twothreefour<Save To Disk failed: kOM3.txt>");
  EXPECT_TRUE(fake::Boxes().empty());
}

TEST_F(ServiceTest, APassInsideAMessageBoxDoesNotOvertakeTheOneThatOpenedIt) {
  g_program.saveToDisk = 1;
  auto other = OpenWindowed("COM2");
  auto port = OpenWindowed("COM1");  // the newest: served first
  fake::Device& device = *fake::FindDevice("COM1");
  device.rx = "XXXXXXXXXX";
  fake::FindDevice("COM2")->rx = "other";
  // COM1's modem status fails: a box, and the timer keeps firing while it is open.
  fake::FailNext("GetCommModemStatus", ERROR_NOT_SUPPORTED);
  int nested = 0;
  fake::onMessageBox = [&](const fake::Box&) {
    if (nested++ < 3) Tick();
    return IDOK;
  };
  Tick();

  EXPECT_EQ(fake::BoxTexts(), std::vector<std::string>{"GetCommModemStatus Error:50"});
  EXPECT_EQ(Screen(*port), "XXXXXXXXXX");
  EXPECT_EQ(FileText("kOM1.txt"), "XXXXXXXXXX");
  // The other port was served meanwhile.
  EXPECT_EQ(Screen(*other), "other");
  // COM1 got no second pass while its first was inside the box.
  int questions = 0;
  for (auto& c : fake::CallsTo("GetCommModemStatus")) questions += fake::DeviceOf(c.handle) == &device;
  EXPECT_EQ(questions, 1);
}

TEST_F(ServiceTest, APortClosedWhileItsPassIsInABoxIsFreedWhenThePassEnds) {
  fake::AddDevice("COM1").rx = "0123456789";
  ComPort* port = new ComPort;
  ASSERT_EQ(port->Open("COM1"), 0);
  TerminalView view(reinterpret_cast<HWND>(0x701));
  view.Resize(200);
  port->watcher = &view;
  fake::FailNext("GetCommModemStatus", ERROR_NOT_SUPPORTED);
  fake::onMessageBox = [&](const fake::Box&) {
    ReleasePort(port);  // the window goes away meanwhile
    EXPECT_EQ(g_program.portList, port) << "freed while its pass still runs";
    return IDOK;
  };
  fake::ResetGdi();
  Tick();
  EXPECT_EQ(g_program.portList, nullptr);
  EXPECT_EQ(fake::OpenHandleCount(), 0);
  EXPECT_TRUE(fake::Draws().empty());  // nothing painted into a window that is gone
}

// A typed key whose write must first see a stuck one out: the box comes from
// the window's handler, not from a pass. The window closes inside the box: the
// port lives until the handler lets go, starts no new write, and shows no
// second box; then it is freed with nothing left open.
TEST_F(ServiceTest, AWindowClosedInsideAHandlersBoxFreesItsPortWhenTheHandlerEnds) {
  fake::AddDevice("COM1");
  ComPort* port = new ComPort;
  ASSERT_EQ(port->Open("COM1"), 0);
  fake::PendNext("WriteFile");  // never completes: the far end takes nothing
  port->ComOut("a", 1);
  fake::onMessageBox = [&](const fake::Box&) {
    ReleasePort(port);
    EXPECT_EQ(g_program.portList, port) << "freed under the handler";
    return IDOK;
  };
  {
    PortHold handler(port);  // as the terminal's window procedure holds it
    port->ComOut("b", 1);
    EXPECT_EQ(g_program.portList, port);
  }
  EXPECT_EQ(fake::BoxTexts(), std::vector<std::string>{"ComOut Pending Failed, stat:258"});
  EXPECT_EQ(fake::CallsTo("WriteFile").size(), 1u);  // "b" never went out
  EXPECT_EQ(g_program.portList, nullptr);
  EXPECT_EQ(fake::OpenHandleCount(), 0);
}

}  // namespace
