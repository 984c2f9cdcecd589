// Time Stamps and Hex Dump on the screen buffer: stamped rows that still wrap
// at 80, dump rows filled across reads and interrupted by notices, and the
// rows of today while both are off.
#include <string>
#include <vector>

#include "core/hex_dump.h"
#include "port/comport.h"
#include "port/program.h"
#include "support.h"

namespace {

class ModesTest : public FakeWinTest {
 protected:
  void Received(const std::string& bytes) { port.AddReceived(bytes.data(), static_cast<int>(bytes.size())); }
  // The rows from the first to the cursor's (the ring has not wrapped in these tests).
  std::vector<std::string> Rows() const {
    std::vector<std::string> out;
    for (int r = 0; r <= port.screen.CurrentIndex(); r++) out.push_back(port.screen.RingRow(r).text);
    return out;
  }
  static std::string Dump(uint64_t offset, const std::string& bytes) {
    char row[HexDump::kRowChars + 1];
    FormatHexRow(offset, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()), row);
    return row;
  }
  ComPort port;
};

TEST_F(ModesTest, WithBothOffReceivedBytesAreLaidOutExactlyAsText) {
  std::string bytes;
  for (int i = 0; i < 600; i++) bytes += static_cast<char>((i * 37) & 0xFF);
  ComPort asText;
  g_program.showCrLf = 1;
  asText.AddText(bytes.data(), static_cast<int>(bytes.size()));
  Received(bytes.substr(0, 250));
  Received(bytes.substr(250));
  for (int r = 0; r < kScreenRows; r++) EXPECT_STREQ(port.screen.RingRow(r).text, asText.screen.RingRow(r).text) << r;
  EXPECT_EQ(port.screen.Column(), asText.screen.Column());
  EXPECT_TRUE(fake::CallsTo("GetLocalTime").empty());  // no clock is read for switches that are off
}

TEST_F(ModesTest, StampedRowsWrapAtEightyStampIncludedAndACarriageReturnKeepsTheStamp) {
  g_program.timeStamps = 1;
  fake::SetTickCount(7250);  // the fake's local time: 14:03:07.250
  Received(std::string(100, 'x') + "\r\n" + "abc\rZ");
  port.AddText("<EV_CTS>", 0);
  const std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "[14:03:07.250] " + std::string(65, 'x'));
  EXPECT_EQ(rows[1], "[14:03:07.250] " + std::string(35, 'x'));
  // CR writes again from after the stamp (cutting the row there, as without
  // stamps); a notice goes on in the row as now.
  EXPECT_EQ(rows[2], "[14:03:07.250] Z<EV_CTS>");
  EXPECT_EQ(fake::CallsTo("GetLocalTime").size(), 1u);  // once per call that begins rows, not per row

  // An empty line (LF LF) makes no stamped empty row; each call reads the time anew.
  fake::SetTickCount(8001);
  Received("\n\nnext");
  EXPECT_EQ(Rows().back(), "[14:03:08.001] next");
  EXPECT_EQ(std::string(port.screen.RingRow(port.screen.CurrentIndex() - 1).text), "");
}

TEST_F(ModesTest, DumpRowsFillAcrossReadsAndANoticeTakesARowOfItsOwn) {
  g_program.hexDump = 1;
  port.AddText("<Port Opened>", 0);
  const std::string first = std::string("Hello\r\n\0\xff\x7f\x80", 11);
  const std::string second = "ABCDEFGHIJKLMNOPQRSTU";  // 5 close the first row, 16 fill one, 0 left
  Received(first);
  EXPECT_EQ(Rows().back(), Dump(0, first));  // partial
  Received(second);
  port.AddText("<ERR:OVERRUN>", 0);
  Received("xyz");
  std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], "<Port Opened>");
  EXPECT_EQ(rows[1], Dump(0, first + second.substr(0, 5)));
  EXPECT_EQ(rows[2], Dump(16, second.substr(5)));
  EXPECT_EQ(rows[3], "<ERR:OVERRUN>");
  EXPECT_EQ(rows[4], Dump(32, "xyz"));  // at its offset, in a new row

  // A notice after a partial row: the row stays as it was, the dump goes on below.
  port.AddText("<EV_RXCHAR>", 0);
  Received("0123456789abcdefg");
  rows = Rows();
  EXPECT_EQ(rows[4], Dump(32, "xyz"));
  EXPECT_EQ(rows[5], "<EV_RXCHAR>");
  EXPECT_EQ(rows[6], Dump(35, "0123456789abcdef"));
  EXPECT_EQ(rows[7], Dump(51, "g"));
}

TEST_F(ModesTest, SwitchingTheDumpStartsANewRowAndOnRestartsTheOffset) {
  Received("plain");
  g_program.hexDump = 1;
  Received("ab");
  g_program.hexDump = 0;
  Received("text\r\n");
  g_program.hexDump = 1;
  Received("c");
  const std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], "plain");
  EXPECT_EQ(rows[1], Dump(0, "ab"));
  EXPECT_EQ(rows[2], "text");
  EXPECT_EQ(rows[3], Dump(0, "c"));  // in the empty row the line end began
}

TEST_F(ModesTest, UnderBothSwitchesDumpRowsHaveNoStampAndNoticesHaveOne) {
  g_program.hexDump = 1;
  g_program.timeStamps = 1;
  g_program.showCrLf = 1;
  fake::SetTickCount(1);
  Received("\r\n");
  port.AddText("<SETXON set>", 0);
  const std::vector<std::string> rows = Rows();
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows[0], Dump(0, "\r\n"));
  EXPECT_EQ(rows[1], "[14:03:00.001] <SETXON set>");
}

}  // namespace
