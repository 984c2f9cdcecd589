// Drives the number reader's text conversion with arbitrary texts: it must
// never read past the text, and its answer must agree with a reference worked
// out independently in 64 bits wherever the rules make it easy to state.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dialogs/numberfield.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

bool IsWhite(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Decimal digits after optional white space and sign, in 64 bits, then cut to 32.
bool ReferenceDecimal(const std::string& text, uint32_t* value) {
  size_t i = 0;
  while (i < text.size() && IsWhite(text[i])) i++;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint64_t v = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; i++, digits++)
    v = (v * 10 + static_cast<uint64_t>(text[i] - '0')) & 0xFFFFFFFFull;
  if (digits == 0) return false;
  *value = static_cast<uint32_t>(negative ? (0 - v) : v);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The field holds at most 17 characters and no NUL.
  std::string text(reinterpret_cast<const char*>(data), size < 17 ? size : 17);
  text = text.substr(0, text.find('\0'));

  DWORD value = 0xA5A5A5A5;
  const bool stored = ParseNumberText(text.c_str(), &value);
  if (!stored) Check(value == 0xA5A5A5A5);

  // Only an empty text or one that looks hexadecimal can give no value.
  if (!stored) Check(text.empty() || text.find_first_of("xXhH") != std::string::npos);

  // A text of decimal digits only (after optional blanks and a sign) is
  // decimal, with its low 32 bits kept.
  size_t first = text.find_first_not_of(' ');
  bool plainDecimal = first != std::string::npos;
  for (size_t i = first; plainDecimal && i < text.size(); i++) {
    const char c = text[i];
    plainDecimal = (c >= '0' && c <= '9') || (i == first && (c == '-' || c == '+') && i + 1 < text.size());
  }
  if (plainDecimal && !(text[first] == '0' && first + 1 < text.size() && (text[first + 1] | 0x20) == 'x')) {
    uint32_t expected = 0;
    Check(ReferenceDecimal(text, &expected));
    Check(stored && value == expected);
  }

  // The decimal conversion alone agrees with the reference on any text.
  uint32_t expected = 0;
  DWORD decimal = 0x5A5A5A5A;
  const bool decimalOk = ParseDecimal(text.c_str(), &decimal);
  Check(decimalOk == ReferenceDecimal(text, &expected));
  Check(decimalOk ? decimal == expected : decimal == 0x5A5A5A5A);
  return 0;
}
