// Hex Dump: received bytes 16 to a row, each row
//   "00000010  48 65 6C 6C 6F 0D 0A 00 FF 41 42 43 44 45 46 47  Hello....ABCDEFG"
// the offset of its first byte (bytes received since the dump began) in 8
// hexadecimal digits, the bytes in upper-case hexadecimal, and the same bytes
// as characters, "." for every byte below 20H or above 7EH. A row is filled
// as bytes come; a partial row keeps the character column where a full row
// has it, so that completing it only adds.
#pragma once
#include <cstddef>
#include <cstdint>

class HexDump {
 public:
  static constexpr int kRowBytes = 16;
  static constexpr int kRowChars = 8 + 2 + kRowBytes * 3 - 1 + 2 + kRowBytes;  // 75

  // Offset 0, no row open: the switch went on.
  void Restart();
  // The next byte starts a new row at its offset (a notice came between).
  void BreakRow() { fill_ = 0; }
  bool RowOpen() const { return fill_ > 0; }

  // Takes up to the rest of the open row from `bytes`; returns how many it
  // took. `startsRow` tells whether the first of them began a new row.
  size_t Take(const unsigned char* bytes, size_t count, bool* startsRow);
  // Whether the open row has all its bytes.
  bool RowFull() const { return fill_ == kRowBytes; }
  // The open row as text, NUL-terminated (room for kRowChars + 1); its length.
  int FormatRow(char* out) const;

  uint64_t offset() const { return offset_; }

 private:
  uint64_t offset_ = 0;     // bytes taken since Restart
  uint64_t rowOffset_ = 0;  // offset of the open row's first byte
  unsigned char row_[kRowBytes] = {};
  int fill_ = 0;            // bytes in the open row; 0: none open
};

// One whole row of up to 16 bytes, as FormatRow lays it out (for tests and
// for anyone who needs a row without the state).
int FormatHexRow(uint64_t offset, const unsigned char* bytes, int count, char* out);
