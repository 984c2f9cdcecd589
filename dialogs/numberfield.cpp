#include "dialogs/numberfield.h"

#include <cctype>
#include <cstring>

namespace {

constexpr int kFieldChars = 17;

// The white space of the "C" locale, as the scanf family skips it.
bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int DecimalDigit(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

bool Parse(const char* text, DWORD base, int (*digit)(char), DWORD* value) {
  const char* p = text;
  while (IsWhite(*p)) p++;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // Hexadecimal may carry its own "0x" after the sign, as "%lx" takes it; its
  // "0" is a digit read, so "0x" alone gives 0.
  bool prefixed = false;
  if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    p += 2;
    prefixed = true;
  }
  DWORD result = 0;  // unsigned, so that overflow wraps instead of being undefined
  const char* first = p;
  for (int d; (d = digit(*p)) >= 0; p++) result = result * base + static_cast<DWORD>(d);
  if (p == first && !prefixed) return false;
  *value = negative ? 0u - result : result;
  return true;
}

int Upper(char c) { return std::toupper(static_cast<unsigned char>(c)); }

}  // namespace

bool ParseDecimal(const char* text, DWORD* value) { return Parse(text, 10, DecimalDigit, value); }

bool ParseHex(const char* text, DWORD* value) { return Parse(text, 16, HexDigit, value); }

bool ParseNumberText(const char* text, DWORD* value) {
  // Only blanks count when looking for the "0x" prefix.
  const char* p = text;
  while (*p == ' ') p++;
  if (p[0] == '0' && Upper(p[1]) == 'X') return ParseHex(p + 2, value);

  // The "H" suffix may be followed by blanks; the hex conversion stops at the H.
  size_t last = std::strlen(text);
  if (last > 0) {
    last--;
    while (last > 0 && text[last] == ' ') last--;
    if (Upper(text[last]) == 'H') return ParseHex(text, value);
  }

  if (ParseDecimal(text, value)) return true;

  // Anything else is a character typed for its code; the code is sign-widened
  // as a char is, so 0x91 gives 0xFFFFFF91 (callers keep only the low bits).
  if (text[0] == '\0') return false;
  *value = static_cast<DWORD>(static_cast<LONG>(static_cast<signed char>(text[0])));
  return true;
}

int ReadNumberField(HWND dialog, int control, DWORD* value) {
  char text[kFieldChars + 1];
  text[0] = '\0';  // stays empty if the control cannot be read
  GetDlgItemTextA(dialog, control, text, static_cast<int>(sizeof text));
  return ParseNumberText(text, value) ? 1 : 0;
}
