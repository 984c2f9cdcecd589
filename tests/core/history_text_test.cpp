// The history a terminal keeps, with what is taken out of it: a small ring
// so that the wrap comes soon, selections and finds across rows and the wrap.
#include <gtest/gtest.h>

#include <string>

#include "core/history_text.h"

namespace {

void Add(ScreenBuffer& screen, const std::string& text) {
  screen.AddText(text.data(), static_cast<int>(text.size()), ScreenOptions{});
}

// Six lines through a ring of four rows: "three", "Four", "five" and the
// empty current row are held; "one" and "two" are gone.
class History : public ::testing::Test {
 protected:
  void SetUp() override { Add(screen_, "one\ntwo\nthree\nFour\nfive two\n"); }
  uint64_t Number(uint64_t age) const { return screen_.Advances() - age; }
  ScreenBuffer screen_{4};
};

TEST_F(History, KeepsItsNewestRowsAndLetsTheOldestGoAtTheLimit) {
  EXPECT_EQ(screen_.Kept(), 4u);
  EXPECT_EQ(screen_.Advances(), 5u);
  EXPECT_EQ(OldestRow(screen_), 2u);
  EXPECT_STREQ(screen_.Row(3).text, "three");
  EXPECT_STREQ(screen_.Row(4).text, "");  // older than the history: blank
  EXPECT_EQ(screen_.Text(1, 6), "\r\n\r\n\r\nthree\r\nFour\r\nfive two");
  EXPECT_EQ(screen_.Text(1, 2), "Four\r\nfive two");
}

TEST_F(History, ASelectionReadsAsShownAcrossRowsAndTheWrapInEitherDirection) {
  const struct {
    TextSpot from, to;
    std::string text;
  } cases[] = {
      {{Number(3), 2}, {Number(1), 4}, "ree\r\nFour\r\nfive"},  // across the ring's wrap
      {{Number(1), 4}, {Number(3), 2}, "ree\r\nFour\r\nfive"},  // dragged upwards
      {{Number(2), 1}, {Number(2), 3}, "ou"},
      {{Number(2), 3}, {Number(2), 99}, "r"},                 // past the row's end
      {{0, 0}, {Number(3), 5}, "three"},                       // from rows no longer held
      {{OldestRow(screen_), 0}, {Number(0), 0}, "three\r\nFour\r\nfive two\r\n"},
      {{Number(1), 2}, {Number(1), 2}, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SelectedText(screen_, c.from, c.to), c.text) << c.text;
}

TEST_F(History, FindGoesThroughRowsBothWaysAndComesRoundFromTheOtherEnd) {
  const struct {
    const char* text;
    bool matchCase, up;
    TextSpot from;
    bool found;
    TextSpot at;
  } cases[] = {
      {"four", false, false, {OldestRow(screen_), 0}, true, {Number(2), 0}},
      {"four", true, false, {OldestRow(screen_), 0}, false, {}},
      {"two", false, false, {Number(1), 0}, true, {Number(1), 5}},  // "two" itself is gone
      {"e", false, false, {Number(3), 4}, true, {Number(3), 4}},     // at the place itself
      {"e", false, false, {Number(3), 5}, true, {Number(1), 3}},     // on to a later row
      {"e", false, true, {Number(1), 3}, true, {Number(3), 4}},      // up: ending before it
      {"F", true, true, {Number(1), 0}, true, {Number(2), 0}},
      {"three", false, false, {Number(1), 0}, true, {Number(3), 0}},  // round from the oldest
      {"five", false, true, {Number(2), 0}, true, {Number(1), 0}},    // round from the newest
      {"one", false, false, {Number(3), 0}, false, {}},
  };
  for (const auto& c : cases) {
    FindRequest request{c.text, c.matchCase, c.up};
    TextSpot at{99, 99};
    EXPECT_EQ(FindInHistory(screen_, request, c.from, &at), c.found) << c.text;
    if (c.found) EXPECT_EQ(at, c.at) << c.text << " found at row " << at.row << " column " << at.column;
  }
}

TEST_F(History, ClearingLetsGoOfEveryRowAndNumbersGoOn) {
  const uint64_t before = screen_.Advances();
  screen_.Clear();
  EXPECT_EQ(screen_.Kept(), 1u);
  EXPECT_GT(OldestRow(screen_), before);
  TextSpot at;
  EXPECT_FALSE(FindInHistory(screen_, FindRequest{"Four", false, false}, TextSpot{}, &at));
  EXPECT_EQ(SelectedText(screen_, TextSpot{0, 0}, TextSpot{screen_.Advances(), 80}), "");
  Add(screen_, "again");
  EXPECT_TRUE(FindInHistory(screen_, FindRequest{"gain", false, false}, TextSpot{}, &at));
  EXPECT_EQ(at, (TextSpot{screen_.Advances(), 1}));
}

}  // namespace
