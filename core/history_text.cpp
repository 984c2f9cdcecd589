#include "core/history_text.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

const char* TextOf(const ScreenBuffer& screen, uint64_t row) { return screen.Row(screen.Advances() - row).text; }

int Length(const ScreenBuffer& screen, uint64_t row) { return static_cast<int>(std::strlen(TextOf(screen, row))); }

TextSpot Held(const ScreenBuffer& screen, TextSpot spot) {
  const uint64_t oldest = OldestRow(screen);
  if (spot.row < oldest) return TextSpot{oldest, 0};
  if (spot.row > screen.Advances()) return TextSpot{screen.Advances(), Length(screen, screen.Advances())};
  return spot;
}

bool Same(char a, char b, bool matchCase) {
  if (matchCase) return a == b;
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// The first (or, up, the last) place in `text` at or after `from` (up: that
// ends at or before `before`) where `what` stands.
int FindInRow(const char* text, const FindRequest& request, int from, int before) {
  const int length = static_cast<int>(std::strlen(text));
  const int size = static_cast<int>(request.text.size());
  auto matchesAt = [&](int at) {
    for (int k = 0; k < size; k++)
      if (!Same(text[at + k], request.text[static_cast<size_t>(k)], request.matchCase)) return false;
    return true;
  };
  if (request.up) {
    for (int at = std::min(before, length) - size; at >= 0; at--)
      if (matchesAt(at)) return at;
  } else {
    for (int at = std::max(from, 0); at + size <= length; at++)
      if (matchesAt(at)) return at;
  }
  return -1;
}

// From `from` to the end of the history the request's direction goes to.
bool FindOnePass(const ScreenBuffer& screen, const FindRequest& request, TextSpot from, TextSpot* found) {
  const uint64_t oldest = OldestRow(screen), newest = screen.Advances();
  for (uint64_t row = from.row;;) {
    const bool first = row == from.row;
    const int at = FindInRow(TextOf(screen, row), request, first ? from.column : 0, first ? from.column : kScreenColumns + 1);
    if (at >= 0) {
      *found = TextSpot{row, at};
      return true;
    }
    if (request.up ? row == oldest : row == newest) return false;
    row = request.up ? row - 1 : row + 1;
  }
}

}  // namespace

std::string SelectedText(const ScreenBuffer& screen, TextSpot from, TextSpot to) {
  if (to < from) std::swap(from, to);
  from = Held(screen, from);
  to = Held(screen, to);
  std::string out;
  for (uint64_t row = from.row; row <= to.row; row++) {
    const char* text = TextOf(screen, row);
    const int length = static_cast<int>(std::strlen(text));
    const int first = row == from.row ? std::min(from.column, length) : 0;
    const int end = row == to.row ? std::min(to.column, length) : length;
    if (end > first) out.append(text + first, static_cast<size_t>(end - first));
    if (row != to.row) out += "\r\n";
  }
  return out;
}

bool FindInHistory(const ScreenBuffer& screen, const FindRequest& request, TextSpot from, TextSpot* found) {
  if (request.text.empty()) return false;
  from = Held(screen, from);
  if (FindOnePass(screen, request, from, found)) return true;
  const TextSpot end = request.up ? TextSpot{screen.Advances(), kScreenColumns + 1} : TextSpot{OldestRow(screen), 0};
  return FindOnePass(screen, request, end, found);
}
