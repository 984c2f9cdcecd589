// The test pattern that Send Test Data sends and Check Test Data expects: 42
// lines of 5 to 46 letters from "a", each ended by CR LF, 1155 bytes. Every
// line has its own length and "a" starts each one, so one whole line tells
// where in the pattern it stands.
#pragma once
#include <cstddef>

constexpr int kPatternLines = 42;
constexpr int kPatternShortest = 5;  // letters of the first line; each next line has one more
constexpr int kPatternLongest = kPatternShortest + kPatternLines - 1;
constexpr int kPatternSize = 1155;

// The pattern's bytes, built once; not NUL-terminated.
const char* TestPattern();
// The pattern offset at which line `index` (0 to 41) starts.
int PatternLineStart(int index);
// The letters lines are made of, in order; a line of n letters is the first n.
extern const char kPatternLetters[];
// The index of the line of `letters` letters, or -1 when no line has that many.
int PatternLineOfLength(int letters);
