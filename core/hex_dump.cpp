#include "core/hex_dump.h"

#include <cstring>

void HexDump::Restart() {
  offset_ = 0;
  rowOffset_ = 0;
  fill_ = 0;
}

size_t HexDump::Take(const unsigned char* bytes, size_t count, bool* startsRow) {
  *startsRow = false;
  if (count == 0) return 0;
  if (fill_ == kRowBytes) fill_ = 0;  // the full row was shown: a new one begins
  if (fill_ == 0) {
    rowOffset_ = offset_;
    *startsRow = true;
  }
  size_t n = static_cast<size_t>(kRowBytes - fill_);
  if (n > count) n = count;
  std::memcpy(row_ + fill_, bytes, n);
  fill_ += static_cast<int>(n);
  offset_ += n;
  return n;
}

int HexDump::FormatRow(char* out) const { return FormatHexRow(rowOffset_, row_, fill_, out); }

int FormatHexRow(uint64_t offset, const unsigned char* bytes, int count, char* out) {
  static const char kHex[] = "0123456789ABCDEF";
  // The offset wraps at 8 digits, as the column has room for.
  for (int i = 7; i >= 0; i--) {
    out[i] = kHex[offset & 0xF];
    offset >>= 4;
  }
  char* p = out + 8;
  *p++ = ' ';
  *p++ = ' ';
  for (int i = 0; i < HexDump::kRowBytes; i++) {
    if (i > 0) *p++ = ' ';
    if (i < count) {
      *p++ = kHex[bytes[i] >> 4];
      *p++ = kHex[bytes[i] & 0xF];
    } else {
      *p++ = ' ';
      *p++ = ' ';
    }
  }
  *p++ = ' ';
  *p++ = ' ';
  for (int i = 0; i < count; i++) *p++ = (bytes[i] < 0x20 || bytes[i] > 0x7E) ? '.' : static_cast<char>(bytes[i]);
  *p = 0;
  return static_cast<int>(p - out);
}
