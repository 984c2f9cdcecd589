// What a user takes out of a terminal's history: the text of a selection,
// and where a text is found. Places are given by row number (see
// ScreenBuffer::Advances), so that they stay put while new rows come.
#pragma once
#include <cstdint>
#include <string>

#include "core/screen_buffer.h"

struct TextSpot {
  uint64_t row = 0;  // the row's number
  int column = 0;    // a character of the row as shown, 0 to 80
};

inline bool operator<(const TextSpot& a, const TextSpot& b) {
  return a.row < b.row || (a.row == b.row && a.column < b.column);
}
inline bool operator==(const TextSpot& a, const TextSpot& b) { return a.row == b.row && a.column == b.column; }

// The number of the oldest row held.
inline uint64_t OldestRow(const ScreenBuffer& screen) { return screen.Advances() - (screen.Kept() - 1); }

// The characters from `from` up to (not including) `to`, in either order,
// rows joined with CR LF, as the rows show them. A place in a row no longer
// held counts from the oldest row held.
std::string SelectedText(const ScreenBuffer& screen, TextSpot from, TextSpot to);

struct FindRequest {
  std::string text;
  bool matchCase = false;
  bool up = false;  // towards older rows
};

// Finds the request's text within a row, searching from `from` (down: at it
// or after it; up: ending before it) to the end of the history, then on from
// its other end. True with the found characters' first place in *found.
bool FindInHistory(const ScreenBuffer& screen, const FindRequest& request, TextSpot from, TextSpot* found);
