// One row of a terminal's screen buffer and the buffer's dimensions.
#pragma once

constexpr int kScreenColumns = 80;  // characters in a row before it wraps
constexpr int kScreenRows = 35;     // rows kept in the ring

struct ScreenRow {
  char text[82];  // at most 80 characters, always NUL-terminated
  char changed;   // non-zero: changed since it was last painted
  char dump;      // non-zero: a Hex Dump row, drawn in a fixed-pitch font so that its columns line up
};
