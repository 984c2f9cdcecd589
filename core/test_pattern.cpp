#include "core/test_pattern.h"

#include <cstring>

const char kPatternLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

namespace {

struct Pattern {
  char bytes[kPatternSize];
  int lineStart[kPatternLines];
  Pattern() {
    int at = 0;
    for (int line = 0; line < kPatternLines; line++) {
      const int letters = kPatternShortest + line;
      lineStart[line] = at;
      std::memcpy(bytes + at, kPatternLetters, static_cast<size_t>(letters));
      at += letters;
      bytes[at++] = '\r';
      bytes[at++] = '\n';
    }
  }
};

const Pattern& ThePattern() {
  static const Pattern pattern;
  return pattern;
}

}  // namespace

const char* TestPattern() { return ThePattern().bytes; }

int PatternLineStart(int index) { return ThePattern().lineStart[index]; }

int PatternLineOfLength(int letters) {
  return letters >= kPatternShortest && letters <= kPatternLongest ? letters - kPatternShortest : -1;
}
