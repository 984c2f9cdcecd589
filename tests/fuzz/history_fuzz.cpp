// Drives a small history (eight rows, so that the ring wraps at once) with
// text, received bytes, switches and clears, and checks what is taken out of
// it after each step: a selection of everything reads back row by row, and a
// find that says it found a text finds it where it says, in a selection of
// that place. Traps on the first fault.
//
// Input, a sequence of commands, each starting with an opcode byte:
//   0-15    toggle Show CR/LF (even) or Hex Dump (odd)
//   16-23   clear
//   24-127  AddText (even) or AddReceived (odd): the next n bytes (n = next byte)
//   128-255 find: the next n bytes (n = next byte & 7), case from bit 0 and
//           direction from bit 1 of the opcode, from the row and column given
//           by the two bytes after
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/history_text.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

size_t Next(const uint8_t*& data, size_t& size) {
  if (size == 0) return 0;
  size--;
  return *data++;
}

std::string Take(const uint8_t*& data, size_t& size, size_t n) {
  n = n < size ? n : size;
  std::string out(reinterpret_cast<const char*>(data), n);
  data += n;
  size -= n;
  return out;
}

bool Same(const std::string& a, const std::string& b, bool matchCase) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    const int x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (matchCase ? x != y : std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

void CheckWhole(const ScreenBuffer& screen) {
  std::string expected;
  for (uint64_t age = screen.Kept(); age-- > 0;) {
    expected += screen.Row(age).text;
    if (age > 0) expected += "\r\n";
  }
  const TextSpot end{screen.Advances(), kScreenColumns + 1};
  Check(SelectedText(screen, TextSpot{0, 0}, end) == expected);
  Check(SelectedText(screen, end, TextSpot{0, 0}) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScreenBuffer screen(8);
  ScreenOptions options;
  while (size > 0) {
    const size_t op = Next(data, size);
    if (op < 16) {
      (op % 2 == 0 ? options.showCrLf : options.hexDump) ^= true;
    } else if (op < 24) {
      screen.Clear();
    } else if (op < 128) {
      const std::string bytes = Take(data, size, Next(data, size));
      if (op % 2 == 0)
        screen.AddText(bytes.data(), static_cast<int>(bytes.size()), options);
      else
        screen.AddReceived(bytes.data(), static_cast<int>(bytes.size()), options);
    } else {
      FindRequest request;
      request.text = Take(data, size, Next(data, size) & 7);
      request.matchCase = (op & 1) != 0;
      request.up = (op & 2) != 0;
      const TextSpot from{screen.Advances() - Next(data, size) % 10, static_cast<int>(Next(data, size) % 90)};
      TextSpot found;
      if (FindInHistory(screen, request, from, &found)) {
        Check(found.row >= OldestRow(screen) && found.row <= screen.Advances());
        const TextSpot end{found.row, found.column + static_cast<int>(request.text.size())};
        Check(Same(SelectedText(screen, found, end), request.text, request.matchCase));
      }
    }
    CheckWhole(screen);
  }
  return 0;
}
