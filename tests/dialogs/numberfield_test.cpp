// The number reader of the settings dialogs: its text rules, the 32-bit
// wrap-around of its hand-written conversions, and the 17-character field.
#include "dialogs/numberfield.h"

#include "dialog_fixture.h"

namespace {

struct Case {
  const char* text;
  bool stored;
  DWORD value;
};

const Case kCases[] = {
    // decimal
    {"100", true, 100},
    {"4294967296", true, 0},
    {"4294967297", true, 1},
    {"99999999999", true, 1215752191},
    {"-1", true, 4294967295u},
    {"-2147483648", true, 2147483648u},
    {"+7", true, 7},
    {"12abc", true, 12},
    {"\t7", true, 7},     // the conversion skips any white space,
    {"\t0x10", true, 0},  // the prefix test only blanks
    {"-0x10", true, 0},  // the prefix must come first: decimal "-0", stopping at the x
    // hexadecimal with "0x"
    {"0x1F", true, 31},
    {"0X1f", true, 31},
    {" 0x10", true, 16},
    {"  0x10  ", true, 16},
    {"0x1G", true, 1},
    {"0x-10", true, 4294967280u},
    {"0x", false, 0},
    {"0xZZ", false, 0},
    // after the prefix, the hexadecimal conversion takes white space, a sign
    // and a "0x" of its own, as "%lx" does
    {"0x0x10", true, 16},
    {"0x 0x10", true, 16},
    {"0x\t-0x10", true, 4294967280u},
    {"0x0x", true, 0},   // the "0" of the inner prefix is a digit
    {"0x0xZ", true, 0},
    {"0x0x0x1", true, 0},  // only one inner prefix
    // hexadecimal with "H"
    {"1Fh", true, 31},
    {"1FH", true, 31},
    {"0AH", true, 10},
    {"Ch", true, 12},
    {"1FH   ", true, 31},
    {"12 H", true, 18},
    {"100000000H", true, 0},
    {"FFFFFFFFH", true, 4294967295u},
    {" -1FH", true, 4294967265u},
    {"-0x1FH", true, 4294967265u},
    {"+0x1FH", true, 31},
    {"\t0x1FH", true, 31},
    {"0X1fh", true, 31},  // the prefix is taken, then the conversion stops at the h
    {"H", false, 0},
    {"zH", false, 0},  // ends in H, so no fall-back to the character code
    // a character's code, the very first character
    {"A", true, 65},
    {" A", true, 32},
    {"   ", true, 32},
    {"- 5", true, '-'},
    {"\xE9", true, 0xFFFFFFE9u},
    {"", false, 0},
};

TEST(ParseNumberText, FollowsTheFieldRules) {
  for (const Case& c : kCases) {
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(ParseNumberText(c.text, &value), c.stored) << '"' << c.text << '"';
    EXPECT_EQ(value, c.stored ? c.value : 0xDEADBEEF) << '"' << c.text << '"';
  }
}

TEST(ParseConversions, NeedADigitAndStopAtTheFirstOther) {
  const struct {
    bool hex;
    const char* text;
    bool ok;
    DWORD value;
  } cases[] = {
      {false, " \n\t\v\f\r42x", true, 42}, {false, "-", false, 0}, {false, "+", false, 0},
      {false, "--1", false, 0},            {false, "8 bits", true, 8}, {false, "", false, 0},
      {true, "fF", true, 255},             {true, "-1", true, 4294967295u},
      {true, "123456789", true, 0x23456789}, {true, "g", false, 0},
      // the hexadecimal conversion's own "0x", after white space and sign
      {true, "\t-0X1f", true, 4294967265u}, {true, "0x", true, 0},
      {true, "x1", false, 0},                {true, "-x1", false, 0},
      {false, "0x1", true, 0},  // decimal has no prefix
  };
  for (const auto& c : cases) {
    DWORD value = 7;
    EXPECT_EQ((c.hex ? ParseHex : ParseDecimal)(c.text, &value), c.ok) << c.text;
    EXPECT_EQ(value, c.ok ? c.value : 7u) << c.text;
  }
}

class ReadNumberFieldTest : public DialogTest {};

TEST_F(ReadNumberFieldTest, ReadsTheFirstSeventeenCharactersOfTheControl) {
  dialog = fake::MakeDialog({{400, kEdit}});
  const struct {
    const char* text;
    int stored;
    DWORD value;
  } cases[] = {
      {"123456789012345678", 1, 1567312775},  // 12345678901234567 mod 2^32
      {"00000000000000010H", 1, 10},          // the H is cut off: decimal
      {"0000000000000010H", 1, 16},           // 17 characters: the H counts
      {"0x1F", 1, 31},
      {"", 0, 0},
  };
  for (const auto& c : cases) {
    Type(400, c.text);
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(ReadNumberField(dialog, 400, &value) != 0, c.stored != 0) << c.text;
    EXPECT_EQ(value, c.stored ? c.value : 0xDEADBEEF) << c.text;
  }
}

}  // namespace
