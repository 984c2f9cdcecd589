// Log To File over the fake layer: entries in the order things happened,
// received bytes spelled as the screen spells them, one notice for a file
// that cannot be written, and nothing at all while the switch is off.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fakegdi.h"
#include "port/program.h"
#include "res/resource.h"
#include "support.h"
#include "terminal/commands.h"

namespace {

class LogTest : public OnePortTest {
 protected:
  void SetUp() override {
    OnePortTest::SetUp();
    fake::ResetGdi();
    g_program.logToFile = 1;
  }
  // The entries of kOM1.log without their time: "COM1 RX ab<CR><LF>".
  static std::vector<std::string> Entries() {
    std::vector<std::string> out;
    std::istringstream in(FileText("kOM1.log"));
    std::string line;
    while (std::getline(in, line)) {
      EXPECT_EQ(line.back(), '\r');
      EXPECT_EQ(line.rfind("2026-12-10 14:03:0", 0), 0u) << line;
      out.push_back(line.substr(24, line.size() - 25));
    }
    return out;
  }
  ScratchDirectory scratch_;
};

TEST_F(LogTest, NoticesSettingsAndDataAreLoggedInTheOrderTheyHappened) {
  fake::SetTickCount(1250);
  device->lineErrors = CE_FRAME;
  device->rx = std::string("ab\r\n\x1b", 5);
  PollAllPorts();
  DCB dcb = device->dcb;
  dcb.BaudRate = 19200;
  dcb.StopBits = TWOSTOPBITS;
  ASSERT_TRUE(port->GiveState(&dcb));  // as every settings dialog does on OK
  RunControlCommand(port.get(), IDM_SETXOFF);
  fake::SetTickCount(1350);
  g_program.sendTestData = 1;
  PollAllPorts();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"COM1 ERR <ERR:FRAME ", "COM1 RX ab<CR><LF><1bH>",
                                                 "COM1 SET 19200,8,N,2 RTS=on DTR=on", "COM1 NOTE <SETXOFF set>",
                                                 "COM1 TX test pattern, 1155 bytes"}));
  // Each entry has its own time: the first pass at 01.250, the last at 01.350.
  const std::string text = FileText("kOM1.log");
  EXPECT_EQ(text.compare(0, 23, "2026-12-10 14:03:01.250"), 0) << text;
  EXPECT_NE(text.find("2026-12-10 14:03:01.350 COM1 TX"), std::string::npos) << text;
}

TEST_F(LogTest, ReceivedBytesAreSpelledExactlyAsTheScreenSpellsThemOneEntryPerRead) {
  // Every byte but CR and LF, which move the screen's cursor as well (their
  // spelling is in the test above).
  std::string all;
  for (int b = 0; b < 256; b++)
    if (b != '\r' && b != '\n') all += static_cast<char>(b);
  device->rx = all;
  PollAllPorts();
  device->rx = "tail";
  PollAllPorts();
  std::string screen;
  for (int r = 0; r <= port->screen.CurrentIndex(); r++) screen += port->screen.RingRow(r).text;
  const std::vector<std::string> entries = Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ("COM1 RX " + screen, entries[0] + "tail");
  EXPECT_EQ(entries[1], "COM1 RX tail");
}

TEST_F(LogTest, AFileThatCannotBeWrittenGivesOneNoticeAndTheDataIsStillShownAndCaptured) {
  g_program.saveToDisk = 1;
  ASSERT_EQ(mkdir("kOM1.log", 0700), 0);  // a directory in the file's place
  for (const char* block : {"one ", "two "}) {
    device->rx = block;
    PollAllPorts();
  }
  std::string screen = port->screen.RingRow(0).text;
  EXPECT_EQ(screen, "one <Log To File failed: kOM1.log>two ");
  EXPECT_EQ(FileText("kOM1.txt"), "one two ");

  ASSERT_EQ(rmdir("kOM1.log"), 0);
  device->rx = "three";
  PollAllPorts();
  EXPECT_EQ(Entries(), std::vector<std::string>{"COM1 RX three"});  // what could not be written is not kept
  EXPECT_TRUE(fake::BoxTexts().empty());
}

TEST_F(LogTest, WithTheSwitchOffNothingIsWrittenAndNoClockIsRead) {
  g_program.logToFile = 0;
  device->rx = "data";
  device->lineErrors = CE_OVERRUN;
  PollAllPorts();
  RunControlCommand(port.get(), IDM_SETXON);
  PollAllPorts();
  EXPECT_EQ(access("kOM1.log", F_OK), -1);
  EXPECT_TRUE(fake::CallsTo("GetLocalTime").empty());
}

}  // namespace
