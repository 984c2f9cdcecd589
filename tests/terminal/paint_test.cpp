#include <cstring>
#include <map>
#include <memory>

#include "fakegdi.h"
#include "port/program.h"
#include "support.h"
#include "terminal/lamps.h"

namespace {

const HWND kWindow = reinterpret_cast<HWND>(0x777);

class PaintTest : public FakeWinTest {
 protected:
  void SetUp() override {
    FakeWinTest::SetUp();
    fake::ResetGdi();
    LayoutLamps();
    port_.lampCount = 5;
  }
  void TearDown() override {
    EXPECT_EQ(fake::DcInUse(), 0) << "a device context was not released";
    view_.reset();  // the view owns its drawing objects
    owned_.reset();
    EXPECT_EQ(fake::BrushesAlive(), 0) << "a brush was not deleted";
    EXPECT_EQ(fake::FontsAlive(), 0) << "a font was not deleted";
    FakeWinTest::TearDown();
  }
  // Text lines drawn, keyed by their screen line (y = 14 * line + 4); empty rows too.
  std::map<int, std::string> TextByLine() {
    std::map<int, std::string> lines;
    for (auto& d : fake::DrawsOf("ExtTextOutA"))
      if (!d.text.empty()) lines[(d.args[1] - 4) / 14] = d.text;
    return lines;
  }
  // The lines whose band was filled, in drawing order.
  std::vector<int> BandLines() {
    std::vector<int> lines;
    for (auto& d : fake::DrawsOf("ExtTextOutA")) lines.push_back((d.args[1] - 4) / 14);
    return lines;
  }
  std::unique_ptr<ComPort> owned_ = std::make_unique<ComPort>();
  ComPort& port_ = *owned_;
  std::unique_ptr<TerminalView> view_ = std::make_unique<TerminalView>(kWindow);
};

TEST_F(PaintTest, LampsAreLaidOutInTwoGroups) {
  const int x[] = {5, 37, 69, 96, 128, 160}, width[] = {30, 30, 20, 30, 30, 40};
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(signalLamps[i].x, x[i]) << signalLamps[i].name;
    EXPECT_EQ(signalLamps[i].width, width[i]) << signalLamps[i].name;
  }
  EXPECT_EQ(signalLamps[6].name[0], 0);
}

TEST_F(PaintTest, LitAndUnlitLampsHaveTheirColoursAndLabels) {
  port_.lampCount = 6;
  view_->Resize(100);
  port_.modemStatus = MS_CTS_ON | MS_RLSD_ON;   // CTS and CD lit
  port_.outputLines = kLineDtr | kLineLoop;     // RTS off, DTR and LOOP lit
  view_->Paint(port_, 0);

  auto lamps = fake::DrawsOf("RoundRect");
  auto labels = fake::DrawsOf("DrawTextA");
  ASSERT_EQ(lamps.size(), 6u);
  ASSERT_EQ(labels.size(), 6u);
  const char* text[] = {"CTS", "dsr", "CD", "rts", "DTR", "LOOP"};
  const bool lit[] = {true, false, true, false, true, true};
  for (int i = 0; i < 6; i++) {
    SCOPED_TRACE(text[i]);
    const int left = signalLamps[i].x, right = left + signalLamps[i].width;
    EXPECT_EQ(lamps[i].args, (std::vector<int>{left, 1, right, 17, 6, 8}));
    EXPECT_EQ(lamps[i].brush.color, lit[i] ? RGB(128, 255, 128) : RGB(192, 192, 192));
    EXPECT_EQ(lamps[i].pen.color, RGB(0, 0, 0));
    EXPECT_EQ(labels[i].text, text[i]);
    EXPECT_EQ(labels[i].args, (std::vector<int>{left, 1, right, 17, DT_CENTER}));
    EXPECT_EQ(labels[i].bkMode, TRANSPARENT);
    EXPECT_EQ(labels[i].textColor, RGB(0, 0, 0));
  }
  // The ring indicator has no lamp.
  fake::Draws().clear();
  port_.modemStatus |= MS_RING_ON;
  view_->Paint(port_, 0);
  for (auto& d : fake::DrawsOf("DrawTextA")) EXPECT_NE(d.text, "RING");
}

TEST_F(PaintTest, TooSmallAWindowDrawsNothingAndTwoLinesShowLampsAndTheCurrentRow) {
  port_.AddText("current", 0);
  view_->Resize(31);  // a line would be cut by a pixel
  view_->Paint(port_, 1);
  EXPECT_TRUE(fake::Draws().empty());
  EXPECT_EQ(fake::DcInUse(), 0);

  view_->Resize(32);
  view_->Paint(port_, 1);
  EXPECT_EQ(fake::DrawsOf("RoundRect").size(), 5u);
  EXPECT_EQ(TextByLine(), (std::map<int, std::string>{{1, "current"}}));
  // One call per line: the white band from x 10 to 1600 filled behind the text.
  auto band = fake::DrawsOf("ExtTextOutA");
  ASSERT_EQ(band.size(), 1u);
  EXPECT_EQ(band[0].args, (std::vector<int>{10, 18, ETO_OPAQUE, 10, 18, 1600, 32}));
  EXPECT_EQ(band[0].bkColor, RGB(255, 255, 255));
  // The rows draw in the state the lamps left: black, transparent, on the white band.
  EXPECT_EQ(band[0].textColor, RGB(0, 0, 0));
  EXPECT_EQ(band[0].bkMode, TRANSPARENT);
  EXPECT_TRUE(fake::DrawsOf("Rectangle").empty());
  EXPECT_TRUE(fake::DrawsOf("TextOutA").empty());
}

// Taller than the history: every row once, blank lines above the oldest, and
// the bottom line whole whatever the height.
TEST_F(PaintTest, ATallWindowShowsEachRowOnceWithBlankLinesAboveTheOldest) {
  for (int i = 0; i < 40; i++) {
    std::string line = "row" + std::to_string(i) + "\n";
    port_.AddText(line.c_str(), 0);
  }
  port_.AddText("newest", 0);  // the current row, 41st of the run
  for (int height : {690, 693}) {  // 48 lines; 48 and 3 pixels to spare
    fake::Draws().clear();
    view_->Resize(height);
    view_->Paint(port_, 1);
    auto text = TextByLine();
    EXPECT_EQ(BandLines().size(), 48u);
    EXPECT_EQ(text.size(), 41u);
    EXPECT_EQ(text[48], "newest");
    EXPECT_EQ(text[47], "row39");
    EXPECT_EQ(text[8], "row0");
    EXPECT_EQ(text.count(7), 0u);
    EXPECT_LE(14 * 48 + 18, height);
  }
}

TEST_F(PaintTest, TextOnTheCurrentRowRedrawsItsLineOnlyAndALineFeedMovesTheRestUp) {
  view_->Resize(200);  // 13 lines
  port_.AddText("abc", 0);
  view_->Paint(port_, 0);  // first paint: lamps
  fake::Draws().clear();

  port_.AddText("d", 0);
  view_->Paint(port_, 0);
  EXPECT_TRUE(fake::DrawsOf("RoundRect").empty());
  EXPECT_EQ(BandLines(), std::vector<int>{13});
  EXPECT_EQ(TextByLine(), (std::map<int, std::string>{{13, "abcd"}}));

  fake::Draws().clear();
  view_->Paint(port_, 0);  // nothing new: nothing drawn
  EXPECT_TRUE(fake::Draws().empty());

  port_.AddText("\n", 0);
  view_->Paint(port_, 0);
  // The shown lines move up one line over the text area; only the new row,
  // empty, is drawn: its band.
  ASSERT_EQ(fake::DrawsOf("ScrollDC").size(), 1u);
  EXPECT_EQ(fake::DrawsOf("ScrollDC")[0].args, (std::vector<int>{0, -14, 10, 18, 1600, 200}));
  EXPECT_EQ(BandLines(), std::vector<int>{13});
  EXPECT_TRUE(TextByLine().empty());
  EXPECT_TRUE(fake::DrawsOf("RoundRect").empty());

  // Covered, nothing can be moved: the next line feed draws every line.
  fake::Draws().clear();
  port_.AddText("e\n", 0);
  view_->Paint(port_, 1);
  EXPECT_TRUE(fake::DrawsOf("ScrollDC").empty());
  EXPECT_EQ(BandLines().size(), 13u);
}

TEST_F(PaintTest, AChangedRowInATallWindowIsRedrawnOnItsOneLine) {
  view_->Resize(600);  // 41 lines
  port_.AddText("abc", 0);
  view_->Paint(port_, 1);
  fake::Draws().clear();
  port_.AddText("d", 0);
  view_->Paint(port_, 0);
  EXPECT_EQ(TextByLine(), (std::map<int, std::string>{{41, "abcd"}}));
}

TEST_F(PaintTest, LampsAreDrawnFirstTimeAndThenOnlyWhenALineChanges) {
  view_->Resize(100);
  view_->Paint(port_, 0);  // painted copies start at 0xFF: lamps drawn
  EXPECT_EQ(fake::DrawsOf("RoundRect").size(), 5u);
  fake::Draws().clear();
  port_.outputLines &= static_cast<WORD>(~kLineRts);
  view_->Paint(port_, 0);
  EXPECT_EQ(fake::DrawsOf("RoundRect").size(), 5u);
  EXPECT_EQ(fake::DrawsOf("DrawTextA")[3].text, "rts");
  fake::Draws().clear();
  view_->Paint(port_, 1);  // a full paint draws them whatever changed
  EXPECT_EQ(fake::DrawsOf("RoundRect").size(), 5u);
  // No LOOP lamp without a loop-back switch.
  for (auto& d : fake::DrawsOf("DrawTextA")) EXPECT_NE(d.text, "loop");
}

TEST_F(PaintTest, TextIsDrawnInTheSystemFontsCellWithoutAntiAliasing) {
  view_->Resize(100);
  port_.AddText("abc", 0);
  for (int i = 0; i < 3; i++) {
    view_->Paint(port_, 1);
    port_.AddText("d", 0);
  }
  LOGFONTA system = {};
  ASSERT_GT(GetObjectA(GetStockObject(SYSTEM_FONT), sizeof system, &system), 0);
  auto rows = fake::DrawsOf("ExtTextOutA");
  auto labels = fake::DrawsOf("DrawTextA");
  ASSERT_FALSE(rows.empty());
  ASSERT_FALSE(labels.empty());
  for (auto* draws : {&rows, &labels}) {
    for (auto& d : *draws) {
      EXPECT_EQ(d.font.font.lfQuality, NONANTIALIASED_QUALITY) << d.fn << " " << d.text;
      EXPECT_EQ(d.font.font.lfHeight, system.lfHeight);
      EXPECT_EQ(d.font.font.lfWidth, system.lfWidth);
      EXPECT_EQ(d.font.font.lfWeight, system.lfWeight);
      EXPECT_STREQ(d.font.font.lfFaceName, system.lfFaceName);
    }
  }
  // Made once for the window, and the context gets its own font back after each paint.
  EXPECT_EQ(fake::FontsAlive(), 1);
  EXPECT_EQ(fake::BrushesAlive(), 1);  // the lit lamps' green
  RoundRect(fake::DcOf(kWindow), 0, 0, 1, 1, 0, 0);
  EXPECT_EQ(fake::Draws().back().font.font.lfQuality, DEFAULT_QUALITY);
}

TEST_F(PaintTest, AMinimizedOrCoveredWindowDrawsNothingUntilItsNextFullPaint) {
  view_->Resize(100);
  port_.AddText("first", 0);
  view_->Paint(port_, 1);
  fake::Draws().clear();
  int callsBefore = fake::GdiCalls();

  // The window minimized, then its frame, then covered by another window: new
  // rows and lamp changes come, and nothing at all is drawn.
  const HWND frame = reinterpret_cast<HWND>(0x999);
  for (int hidden = 0; hidden < 3; hidden++) {
    fake::SetIconic(kWindow, hidden == 0);
    fake::SetIconic(frame, hidden == 1);
    fake::SetCovered(kWindow, hidden == 2);
    port_.AddText("\nmore", 0);
    port_.outputLines ^= kLineRts;
    view_->Paint(port_, 0);
    EXPECT_TRUE(fake::Draws().empty()) << "case " << hidden;
    EXPECT_EQ(fake::DcInUse(), 0);
  }
  EXPECT_LE(fake::GdiCalls() - callsBefore, 3) << "only the covered case may ask for a context";

  // Shown again: the system asks for a full paint, which draws it all as it is now.
  fake::SetCovered(kWindow, false);
  view_->Paint(port_, 1);
  EXPECT_EQ(fake::DrawsOf("RoundRect").size(), 5u);
  EXPECT_EQ(fake::DrawsOf("DrawTextA")[3].text, "rts");  // lit at first, switched three times
  EXPECT_EQ(TextByLine(), (std::map<int, std::string>{{2, "first"}, {3, "more"}, {4, "more"}, {5, "more"}}));
  EXPECT_EQ(BandLines().size(), 5u);
}

}  // namespace

namespace {

// Dump rows line up only in a fixed-pitch font; every other row keeps the
// terminal's font, and the window's context gets its own font back.
TEST_F(PaintTest, DumpRowsAreDrawnInTheFixedPitchFontAndOtherRowsInTheRowFont) {
  view_->Resize(14 * 6 + 4);  // five text lines
  g_program.hexDump = 1;
  port_.AddText("<Port Opened>", 0);
  port_.AddReceived("0123456789abcdefXY", 18);
  port_.AddText("<EV_CTS>", 0);
  port_.AddReceived("Z", 1);
  view_->Paint(port_, 1);
  g_program.hexDump = 0;

  std::map<std::string, std::string> faceOf;
  for (auto& d : fake::DrawsOf("ExtTextOutA"))
    if (!d.text.empty()) faceOf[d.text.substr(0, 8)] = d.font.font.lfFaceName;
  EXPECT_EQ(faceOf["<Port Op"], "System");
  EXPECT_EQ(faceOf["00000000"], "Courier");
  EXPECT_EQ(faceOf["00000010"], "Courier");
  EXPECT_EQ(faceOf["<EV_CTS>"], "System");
  EXPECT_EQ(faceOf["00000012"], "Courier");
  for (auto& d : fake::DrawsOf("ExtTextOutA"))
    EXPECT_EQ(d.font.font.lfQuality, NONANTIALIASED_QUALITY) << d.text;
}

}  // namespace

namespace {

// However often the data path says the screen changed, the window paints at
// most once a frame: the first change at once, the ones inside the frame at
// its end, by the frame timer, together.
TEST_F(PaintTest, ChangesInsideAFramePaintOnceAtItsEnd) {
  view_->Resize(200);
  fake::SetTickCount(1000);
  port_.AddText("a", 0);
  view_->PortChanged(port_);
  EXPECT_EQ(TextByLine(), (std::map<int, std::string>{{13, "a"}}));

  fake::Draws().clear();
  fake::Calls().clear();
  fake::SetTickCount(1010);
  port_.AddText("b", 0);
  view_->PortChanged(port_);
  fake::SetTickCount(1020);
  port_.AddText("c", 0);
  view_->PortChanged(port_);
  EXPECT_TRUE(fake::Draws().empty());
  const auto timers = fake::CallsTo("SetTimer");
  ASSERT_EQ(timers.size(), 1u);  // one timer for the frame, whatever came after
  EXPECT_EQ(timers[0].args, (std::vector<uint64_t>{reinterpret_cast<uintptr_t>(kWindow), kFrameTimer, kFrameMs - 10}));

  fake::SetTickCount(1033);
  view_->FrameDue(port_);
  EXPECT_EQ(TextByLine(), (std::map<int, std::string>{{13, "abc"}}));
  EXPECT_EQ(fake::CallsTo("KillTimer").size(), 1u);

  // A change a frame or more after the last paint is painted at once again.
  fake::Draws().clear();
  fake::SetTickCount(1033 + kFrameMs);
  port_.AddText("d", 0);
  view_->PortChanged(port_);
  EXPECT_EQ(TextByLine(), (std::map<int, std::string>{{13, "abcd"}}));
}

// Following the data, the scroll bar is given every new row count but drawn
// only when its thumb has moved, at most every kBarDrawMs; the last count is
// drawn once that has passed, by the next look at the port even with nothing
// new. With a long history the thumb stays at the bottom and the bar is not
// drawn at all. Moving the view, back or to the newest rows, draws it at once.
TEST_F(PaintTest, TheScrollBarFollowingTheDataIsDrawnOnlyWhenItsThumbMoves) {
  view_->Resize(200);  // 13 rows
  DWORD now = 5000;
  std::vector<int> ranges;   // each frame's range end, as last given
  std::vector<DWORD> drawn;  // when the bar was drawn
  auto stream = [&](int frames, const std::string& text) {
    ranges.clear(), drawn.clear();
    for (int frame = 0; frame < frames; frame++, now += kFrameMs) {
      fake::Draws().clear();
      fake::SetTickCount(now);
      port_.AddText(text.c_str(), 0);
      view_->PortChanged(port_);
      const auto calls = fake::DrawsOf("SetScrollInfo");  // a drawing is a frame's last call
      if (calls.empty()) continue;
      ranges.push_back(calls.back().args[0]);
      if (calls.back().args[3] != 0) drawn.push_back(now);
    }
  };

  // A short history: the thumb shrinks and moves with every frame.
  stream(30, "line\r\n");
  ASSERT_EQ(ranges.size(), 30u);  // every frame's new range, for a drag of the thumb
  EXPECT_EQ(ranges.back() - ranges.front(), 29);
  ASSERT_GE(drawn.size(), 2u);
  for (size_t i = 1; i < drawn.size(); i++) EXPECT_GE(drawn[i] - drawn[i - 1], kBarDrawMs);
  fake::Draws().clear();
  fake::SetTickCount(now + kBarDrawMs);
  view_->PortChanged(port_);  // nothing new: only the bar, as last given
  auto last = fake::DrawsOf("SetScrollInfo");
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].args[0], ranges.back());
  EXPECT_EQ(last[0].args[3], 1);

  // A long history: the thumb is at its smallest, at the bottom, and stays.
  now += 2 * kBarDrawMs;
  stream(1, std::string(2000, '\n'));
  stream(60, "line\r\n");
  EXPECT_EQ(ranges.back() - ranges.front(), 59);
  EXPECT_TRUE(drawn.empty());

  for (int64_t move : {5, -5}) {
    fake::Draws().clear();
    view_->ScrollBy(port_, move);
    last = fake::DrawsOf("SetScrollInfo");
    ASSERT_EQ(last.size(), 1u) << move;
    EXPECT_EQ(last[0].args[3], 1) << move;
  }
}

}  // namespace

namespace {

// Scrolled back, the view keeps its rows while data comes and counts what
// came below; a drag selects whole characters, drawn inverted, read back as
// shown; returning to the bottom follows the data again.
TEST_F(PaintTest, AViewScrolledBackHoldsItsRowsAndShowsASelectionInverted) {
  view_->Resize(88);  // five lines
  for (int i = 0; i < 20; i++) port_.AddText(("row" + std::to_string(i) + "\n").c_str(), 0);
  view_->Paint(port_, 1);
  view_->ScrollBy(port_, 10);  // lines show rows 6 to 10
  EXPECT_EQ(TextByLine()[1], "row6");
  EXPECT_EQ(TextByLine()[5], "row10");

  fake::Draws().clear();
  port_.AddText("more\nand more\n", 0);
  view_->Paint(port_, 0);
  EXPECT_TRUE(fake::DrawsOf("ExtTextOutA").empty()) << "the rows shown moved";
  EXPECT_EQ(view_->NewRowsBelow(), 2u);
  EXPECT_EQ(port_.screen.Text(view_->BottomAge(), 2), "row9\r\nrow10");

  // From the second character of line 2 (row7) to the middle of the third
  // character of line 4 (row9): 8 pixels a character in the fake font.
  fake::Draws().clear();
  ASSERT_TRUE(view_->SelectFrom(port_, 10 + 8 + 1, 18 + 14 + 2));
  view_->SelectTo(port_, 10 + 2 * 8 + 5, 18 + 3 * 14 + 2);
  view_->EndSelecting();
  EXPECT_EQ(view_->SelectedText(port_), "ow7\r\nrow8\r\nrow");
  const auto inverted = fake::DrawsOf("InvertRect");
  ASSERT_GE(inverted.size(), 3u);
  const auto& last = inverted[inverted.size() - 3];  // the last paint: row9, row8, row7, bottom up
  EXPECT_EQ(last.args, (std::vector<int>{10, 18 + 3 * 14, 10 + 3 * 8, 18 + 4 * 14}));
  EXPECT_FALSE(view_->SelectFrom(port_, 40, 5)) << "a press on the lamps selects nothing";

  fake::Draws().clear();
  view_->ScrollToBottom(port_);
  EXPECT_EQ(view_->NewRowsBelow(), 0u);
  EXPECT_EQ(TextByLine().count(5), 0u);  // the empty current row
  EXPECT_EQ(TextByLine()[4], "and more");
}

}  // namespace
