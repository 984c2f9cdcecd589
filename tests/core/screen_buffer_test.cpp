// The screen buffer on its own: the switches come in as arguments, the
// stamp clock is asked only when a row begins, and rows come back by age.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log_line.h"
#include "core/screen_buffer.h"

namespace {

class CountingClock : public RowClock {
 public:
  const char* Stamp() override {
    asked++;
    return "[stamp........]";  // kRowStampWidth characters
  }
  int asked = 0;
};

// The non-empty rows, oldest first.
std::vector<std::string> Shown(const ScreenBuffer& screen) {
  std::vector<std::string> out;
  for (int age = kScreenRows - 1; age >= 0; age--)
    if (screen.Row(age).text[0] != 0) out.push_back(screen.Row(age).text);
  return out;
}

TEST(ScreenBuffer, LaysTextOutAsTheOptionsOfEachCallSay) {
  ASSERT_EQ(std::string("[stamp........]").size(), static_cast<size_t>(kRowStampWidth));
  CountingClock clock;
  const struct {
    const char* name;
    bool showCrLf, hexDump, stamps;
    std::string text;
    bool received;
    std::vector<std::string> rows;
  } cases[] = {
      {"Show CR/LF", true, false, false, "abc\r\ndef", false, {"abc<CR>", "<LF>def"}},
      {"a CR returns after the stamp", false, false, true, "xyz\rA", false, {"[stamp........]A"}},
      {"hex dump", false, true, false, "AB\r", true,
       {"00000000  41 42 0D" + std::string(41, ' ') + "AB."}},
      {"a notice between dump rows has its own row", false, true, false, "<note>", false, {"<note>"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScreenBuffer screen;
    ScreenOptions options;
    options.showCrLf = c.showCrLf;
    options.hexDump = c.hexDump;
    options.stamps = c.stamps ? &clock : nullptr;
    clock.asked = 0;
    if (c.received)
      screen.AddReceived(c.text.data(), static_cast<int>(c.text.size()), options);
    else
      screen.AddText(c.text.data(), static_cast<int>(c.text.size()), options);
    EXPECT_EQ(Shown(screen), c.rows);
    EXPECT_LE(clock.asked, 1) << "the clock is read once per call at most";
  }
}

TEST(ScreenBuffer, TheClockIsAskedOnlyWhenARowBeginsAndAdvancesCountNewRows) {
  CountingClock clock;
  ScreenOptions options;
  options.stamps = &clock;
  ScreenBuffer screen;
  screen.AddText("one", 0, options);
  screen.AddText(" more", 0, options);  // the same row: no new stamp
  EXPECT_EQ(clock.asked, 1);
  EXPECT_EQ(screen.Advances(), 0u);
  screen.AddText(std::string(200, 'x').c_str(), 0, ScreenOptions{});  // wraps twice, 208 characters in all
  EXPECT_EQ(screen.Advances(), 2u);
  EXPECT_EQ(screen.Column(), 208 + kRowStampWidth - 2 * kScreenColumns);
  // As the window answers WM_GETTEXT: every kept row, oldest first, CR LF between.
  std::string expected;
  for (int i = 0; i < kScreenRows - 3; i++) expected += "\r\n";
  expected += "[stamp........]one more" + std::string(57, 'x') + "\r\n" + std::string(80, 'x') + "\r\n" +
              std::string(63, 'x');
  EXPECT_EQ(screen.Text(), expected);
  const uint64_t advances = screen.Advances(), kept = screen.Kept();
  screen.Clear();
  EXPECT_TRUE(Shown(screen).empty());
  // Cleared rows are repainted: to a painter, every row held moved out of sight.
  EXPECT_EQ(screen.Advances(), advances + kept);
  EXPECT_EQ(screen.Kept(), 1u);
}

}  // namespace
