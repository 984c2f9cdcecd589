#include "core/spelling_reader.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte spelled at text[at] ('<'), and the spelling's length; 0 for none.
size_t SpellingAt(const std::string& text, size_t at, unsigned char* byte) {
  if (text.compare(at, 4, "<CR>") == 0) return *byte = 0x0D, 4;
  if (text.compare(at, 4, "<LF>") == 0) return *byte = 0x0A, 4;
  int value = 0;
  size_t digits = 0;
  for (size_t i = at + 1; i < text.size() && digits < 2; i++, digits++) {
    const int d = HexDigit(text[i]);
    if (d < 0) break;
    value = value * 16 + d;
  }
  const size_t end = at + 1 + digits;
  if (digits == 0 || text.compare(end, 2, "H>") != 0) return 0;
  *byte = static_cast<unsigned char>(value);
  return end + 2 - at;
}

}  // namespace

std::string ReadSpelled(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    unsigned char byte = 0;
    const size_t length = text[at] == '<' ? SpellingAt(text, at, &byte) : 0;
    if (length == 0) {
      out += text[at++];
    } else {
      out += static_cast<char>(byte);
      at += length;
    }
  }
  return out;
}
