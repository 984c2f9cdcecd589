// Send Text's reading of the screen's spelling.
#include <gtest/gtest.h>

#include <string>

#include "core/spelling.h"
#include "core/spelling_reader.h"

namespace {

TEST(SpellingReader, EveryByteSpelledAsTheScreenSpellsItReadsBackToItself) {
  for (int b = 0; b < 256; b++) {
    char spelled[kSpelledMax];
    const int n = SpellByte(static_cast<unsigned char>(b), spelled);
    const std::string read = ReadSpelled(std::string(spelled, static_cast<size_t>(n)));
    ASSERT_EQ(read, std::string(1, static_cast<char>(b))) << "byte " << b << " spelled " << std::string(spelled, n);
  }
}

TEST(SpellingReader, SpellingsBecomeBytesAndAnythingElseGoesAsItIs) {
  const struct {
    const char* text;
    std::string bytes;
  } cases[] = {
      {"AT<CR>", "AT\r"},
      {"<1bH>[2J", "\x1b[2J"},
      {"<1BH><aH><0H>x", std::string("\x1b\x0a\x00x", 4)},
      {"<CR><LF>", "\r\n"},
      {"a < b", "a < b"},
      {"<cr>", "<cr>"},          // the screen's CR is upper case
      {"<123H>", "<123H>"},      // three digits: no spelling of a byte
      {"<H>", "<H>"},
      {"<1g>", "<1g>"},
      {"<1bH", "<1bH"},          // cut short
      {"<<1bH>", "<\x1b"},       // a spelling right after a lone <
      {"<ffH", "<ffH"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadSpelled(c.text), c.bytes) << c.text;
}

}  // namespace
