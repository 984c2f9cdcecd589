// The screen buffer: markers, row wrapping, CR overwrite, the ring and the
// repaint flags, on a ComPort that is never opened.
#include <string>
#include <utility>
#include <vector>

#include "port/comport.h"
#include "port/program.h"
#include "support.h"

namespace {

class ScreenTest : public FakeWinTest {
 protected:
  // Adds the bytes with their explicit count, NULs included.
  void Add(const std::string& bytes) { port.AddText(bytes.data(), static_cast<int>(bytes.size())); }
  std::string Row(int index) const { return port.screen.RingRow(index).text; }
  void ForgetChanges() {
    for (int age = 0; age < kScreenRows; age++) port.screen.MarkPainted(age);
    port.needsRepaint = 0;
  }
  void ExpectCursor(int row, int column) {
    EXPECT_EQ(port.screen.CurrentIndex(), row);
    EXPECT_EQ(port.screen.Column(), column);
  }

  ComPort port;
};

TEST_F(ScreenTest, ByteClassesAreStoredOrSpelledOutInLowercaseHex) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0x00, "<0H>"},   {0x09, "<9H>"},   {0x1B, "<1bH>"}, {0x1F, "<1fH>"},
      {0x20, " "},      {0x7E, "~"},      {0x7F, "\x7f"},  {0x80, "\x80"},
      {0x81, "<81H>"},  {0xAB, "<abH>"},  {0xFF, "<ffH>"},
  };
  for (const auto& [byte, shown] : cases) {
    SCOPED_TRACE(byte);
    ComPort fresh;
    const char b = static_cast<char>(byte);
    fresh.AddText(&b, 1);
    EXPECT_EQ(std::string(fresh.screen.RingRow(0).text), shown);
    EXPECT_EQ(fresh.screen.CurrentIndex(), 0);
    EXPECT_EQ(fresh.screen.Column(), static_cast<int>(shown.size()));
  }
}

TEST_F(ScreenTest, ExplicitCountTakesEmbeddedNulsAndStopsAtTheCount) {
  Add(std::string("a\0b", 3));
  EXPECT_EQ(Row(0), "a<0H>b");

  // The count, not a terminator, ends the bytes.
  port.AddText("cdef", 2);
  EXPECT_EQ(Row(0), "a<0H>bcd");
  ExpectCursor(0, 8);
}

TEST_F(ScreenTest, CountZeroTakesTheStringUpToItsNul) {
  port.AddText("<Port Opened>", 0);
  EXPECT_EQ(Row(0), "<Port Opened>");
  ExpectCursor(0, 13);
}

TEST_F(ScreenTest, CarriageReturnRewritesTheRowFromItsStart) {
  Add("hello\r");
  EXPECT_EQ(Row(0), "hello");  // not emptied by the CR itself
  ExpectCursor(0, 0);
  Add("ab");
  EXPECT_EQ(Row(0), "ab");
  ExpectCursor(0, 2);
}

TEST_F(ScreenTest, CarriageReturnWithShowCrLfKeepsTheMarkerUntilTheNextCharacter) {
  g_program.showCrLf = 1;
  Add("hello\r");
  EXPECT_EQ(Row(0), "hello<CR>");
  ExpectCursor(0, 0);
  Add("a");
  EXPECT_EQ(Row(0), "a");
  Add("b");
  EXPECT_EQ(Row(0), "ab");
  EXPECT_EQ(Row(1), "");
}

TEST_F(ScreenTest, CrLfSequenceWithAndWithoutShowCrLf) {
  Add("abc\r\ndef");
  EXPECT_EQ(Row(0), "abc");
  EXPECT_EQ(Row(1), "def");
  ExpectCursor(1, 3);

  ComPort shown;
  g_program.showCrLf = 1;
  const std::string bytes = "abc\r\ndef";
  shown.AddText(bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_STREQ(shown.screen.RingRow(0).text, "abc<CR>");
  EXPECT_STREQ(shown.screen.RingRow(1).text, "<LF>def");
  EXPECT_EQ(shown.screen.CurrentIndex(), 1);
  EXPECT_EQ(shown.screen.Column(), 7);
}

TEST_F(ScreenTest, ShowCrLfSwitchAffectsOnlyLaterBytes) {
  g_program.showCrLf = 1;
  Add("x\r");
  EXPECT_EQ(Row(0), "x<CR>");

  g_program.showCrLf = 0;
  Add("\n");
  EXPECT_EQ(Row(0), "x<CR>");  // what is already shown stays
  EXPECT_EQ(Row(1), "");
  ExpectCursor(1, 0);

  g_program.showCrLf = 1;
  Add("\n");
  EXPECT_EQ(Row(2), "<LF>");
  ExpectCursor(2, 4);

  g_program.showCrLf = 0;
  Add("y\rz");
  EXPECT_EQ(Row(2), "z");
}

TEST_F(ScreenTest, RowWrapsRightAfterItsEightiethCharacter) {
  const std::string eighty(80, 'x');
  Add(eighty);
  EXPECT_EQ(Row(0), eighty);
  EXPECT_EQ(port.screen.RingRow(0).text[80], 0);
  ExpectCursor(1, 0);
  EXPECT_EQ(Row(1), "");

  // The LF advances once more: an empty row stands between.
  Add("\nnext");
  EXPECT_EQ(Row(1), "");
  EXPECT_EQ(Row(2), "next");
  ExpectCursor(2, 4);
}

TEST_F(ScreenTest, EightyFirstCharacterStartsTheNextRow) {
  Add(std::string(80, 'x') + "Z");
  EXPECT_EQ(Row(0), std::string(80, 'x'));
  EXPECT_EQ(Row(1), "Z");
  ExpectCursor(1, 1);
}

TEST_F(ScreenTest, MarkerStartingAtColumn78IsSplitAcrossRows) {
  Add(std::string(78, '.') + "\x1b");
  EXPECT_EQ(Row(0), std::string(78, '.') + "<1");
  EXPECT_EQ(Row(1), "bH>");
  ExpectCursor(1, 3);
}

TEST_F(ScreenTest, RingReusesTheOldestRowOnceTheHistoryIsFull) {
  const int rows = port.screen.Capacity();
  for (int i = 0; i < rows; i++) Add("row " + std::to_string(i) + "\n");
  ExpectCursor(0, 0);
  EXPECT_EQ(Row(0), "");  // emptied for reuse; its old bytes are not shown
  for (int i = 1; i < rows; i += 997) EXPECT_EQ(Row(i), "row " + std::to_string(i)) << i;
  EXPECT_EQ(port.screen.Kept(), static_cast<uint64_t>(rows));

  Add("A");
  EXPECT_EQ(Row(0), "A");
  Add("\n");
  ExpectCursor(1, 0);
  EXPECT_EQ(Row(1), "");
  EXPECT_EQ(Row(2), "row 2");
}

TEST_F(ScreenTest, WrappingAlsoRunsThroughTheRing) {
  const int rows = port.screen.Capacity();
  Add(std::string(static_cast<size_t>(rows) * 80, 'w'));
  ExpectCursor(0, 0);
  EXPECT_EQ(Row(0), "");
  EXPECT_EQ(Row(rows - 1), std::string(80, 'w'));
}

TEST_F(ScreenTest, NullPointerDoesNothingAtAll) {
  Add("abc");
  ForgetChanges();
  port.AddText(nullptr, 5);
  port.AddText(nullptr, 0);
  EXPECT_EQ(port.needsRepaint, 0);
  EXPECT_EQ(port.screen.RingRow(0).changed, 0);
  EXPECT_EQ(Row(0), "abc");
  ExpectCursor(0, 3);
}

TEST_F(ScreenTest, EmptyTextAddsNothingButAsksForARepaint) {
  Add("abc");
  ForgetChanges();
  port.AddText("", 0);
  EXPECT_EQ(port.needsRepaint, 1);
  EXPECT_EQ(Row(0), "abc");
  ExpectCursor(0, 3);
  for (int age = 0; age < kScreenRows; age++) EXPECT_EQ(port.screen.Row(age).changed, 0);
}

TEST_F(ScreenTest, ChangedFlagsMarkOnlyTheRowsWritten) {
  Add("one\ntwo\nthree");
  ForgetChanges();

  Add("!");
  EXPECT_EQ(port.needsRepaint, 1);
  EXPECT_EQ(port.screen.RingRow(2).changed, 1);
  EXPECT_EQ(port.screen.RingRow(0).changed, 0);
  EXPECT_EQ(port.screen.RingRow(1).changed, 0);

  ForgetChanges();
  Add("\r");
  EXPECT_EQ(port.screen.RingRow(2).changed, 1);  // a CR alone marks its row
  EXPECT_EQ(port.screen.RingRow(3).changed, 0);

  ForgetChanges();
  Add("\n");
  EXPECT_EQ(port.screen.RingRow(3).changed, 1);  // the new, emptied row
  EXPECT_EQ(port.screen.RingRow(2).changed, 0);

  ForgetChanges();
  Add(std::string(80, 'x'));
  EXPECT_EQ(port.screen.RingRow(3).changed, 1);
  EXPECT_EQ(port.screen.RingRow(4).changed, 1);  // the row the wrap moved to
  EXPECT_EQ(port.screen.RingRow(5).changed, 0);
}

TEST_F(ScreenTest, ClearScreenEmptiesEveryRowAndHomesTheCursor) {
  for (int i = 0; i < 40; i++) Add("line " + std::to_string(i) + "\n");
  Add("partial");
  ASSERT_NE(port.screen.CurrentIndex(), 0);

  port.ClearScreen();
  ExpectCursor(0, 0);
  for (int i = 0; i < kScreenRows; i++) EXPECT_EQ(Row(i), "") << i;

  Add("hi");
  EXPECT_EQ(Row(0), "hi");
  EXPECT_EQ(Row(1), "");
  ExpectCursor(0, 2);
}

}  // namespace
