// How the terminal spells a received byte, shared by the screen and the log:
// CR and LF as "<CR>" and "<LF>", any other byte below 20H or above 80H as
// "<1bH>" (lower-case hexadecimal, no leading zero), the rest as itself.
#pragma once

constexpr int kSpelledMax = 5;  // "<ffH>", "<CR>"

// Writes the spelling of `b` into `out` (room for kSpelledMax); its length.
inline int SpellByte(unsigned char b, char* out) {
  static const char kHex[] = "0123456789abcdef";
  if (b == 0x0D || b == 0x0A) {
    out[0] = '<';
    out[1] = b == 0x0D ? 'C' : 'L';
    out[2] = b == 0x0D ? 'R' : 'F';
    out[3] = '>';
    return 4;
  }
  if (b >= 0x20 && b <= 0x80) {
    out[0] = static_cast<char>(b);
    return 1;
  }
  int n = 0;
  out[n++] = '<';
  if (b >= 0x10) out[n++] = kHex[b >> 4];
  out[n++] = kHex[b & 0xF];
  out[n++] = 'H';
  out[n++] = '>';
  return n;
}
