// Drives the number reader's text conversion with arbitrary texts: it must
// never read past the text, and its answer must agree with the field's rules
// worked out over the C library's own "%lx" and "%ld" wherever the value fits
// in 32 bits (beyond that the reader wraps and the library saturates).
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "dialogs/numberfield.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

enum class Scan { kNone, kValue, kTooBig };

// Whether the digits that "%lx"/"%ld" consumed stand for at most 32 bits.
bool FitsIn32Bits(const char* consumed, size_t length, bool hex) {
  size_t i = 0;
  while (i < length && std::isspace(static_cast<unsigned char>(consumed[i]))) i++;
  if (i < length && (consumed[i] == '+' || consumed[i] == '-')) i++;
  if (hex && i + 1 < length && consumed[i] == '0' && (consumed[i + 1] | 0x20) == 'x') i += 2;
  while (i < length && consumed[i] == '0') i++;
  const size_t digits = length - i;
  if (hex) return digits <= 8;
  if (digits < 10) return true;
  return digits == 10 && std::string(consumed + i, 10) <= "4294967295";
}

Scan Library(const char* text, bool hex, uint32_t* value) {
  int consumed = 0;
  if (hex) {
    unsigned long v = 0;
    if (std::sscanf(text, "%lx%n", &v, &consumed) != 1) return Scan::kNone;
    *value = static_cast<uint32_t>(v);
  } else {
    long v = 0;
    if (std::sscanf(text, "%ld%n", &v, &consumed) != 1) return Scan::kNone;
    *value = static_cast<uint32_t>(static_cast<unsigned long>(v));
  }
  return FitsIn32Bits(text, static_cast<size_t>(consumed), hex) ? Scan::kValue : Scan::kTooBig;
}

// The field's rules: blanks then "0x" for hexadecimal, a last non-blank "H"
// for hexadecimal, else decimal, else the first character's code.
Scan Reference(const std::string& text, uint32_t* value) {
  size_t p = text.find_first_not_of(' ');
  if (p != std::string::npos && text[p] == '0' && p + 1 < text.size() && (text[p + 1] | 0x20) == 'x')
    return Library(text.c_str() + p + 2, true, value);
  size_t last = text.find_last_not_of(' ');
  if (!text.empty() && (text[last == std::string::npos ? 0 : last] | 0x20) == 'h')
    return Library(text.c_str(), true, value);
  Scan decimal = Library(text.c_str(), false, value);
  if (decimal != Scan::kNone) return decimal;
  if (text.empty()) return Scan::kNone;
  *value = static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(text[0])));
  return Scan::kValue;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The field holds at most 17 characters and no NUL.
  std::string text(reinterpret_cast<const char*>(data), size < 17 ? size : 17);
  text = text.substr(0, text.find('\0'));

  DWORD value = 0xA5A5A5A5;
  const bool stored = ParseNumberText(text.c_str(), &value);
  if (!stored) Check(value == 0xA5A5A5A5);

  uint32_t expected = 0;
  switch (Reference(text, &expected)) {
    case Scan::kNone: Check(!stored); break;
    case Scan::kValue: Check(stored && value == expected); break;
    case Scan::kTooBig: Check(stored); break;  // wrapped: the unit tests pin those values
  }

  // Each conversion alone agrees with the library on any text.
  for (bool hex : {false, true}) {
    DWORD alone = 0x5A5A5A5A;
    const bool ok = (hex ? ParseHex : ParseDecimal)(text.c_str(), &alone);
    switch (Library(text.c_str(), hex, &expected)) {
      case Scan::kNone: Check(!ok && alone == 0x5A5A5A5A); break;
      case Scan::kValue: Check(ok && alone == expected); break;
      case Scan::kTooBig: Check(ok); break;
    }
  }
  return 0;
}
