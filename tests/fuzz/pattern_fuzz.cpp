// Edits a stream of the repeated test pattern as the input says (bytes
// deleted, inserted, changed), feeds it to the pattern checker in blocks of
// random sizes, and traps unless the checker reports exactly the edits made,
// at the offset of the first byte each one made differ, and counts to match.
//
// The edits are ones whose smallest explanation is the true one: deletions of
// at most 511 bytes and insertions of at most 40 (less than half the pattern
// either way), at least 200 bytes apart. Inserted bytes may make up a whole
// line of their own; an input is skipped when a plain scan shows that the
// first whole line after a fault is not where the true stream goes on, or
// that it ends past the next edit: then another explanation is the smallest.
//
// Input: two bytes of start position, two of block-size seed, then records:
//   gap, kind, size, value  [inserted bytes]
// gap: 200 + gap clean bytes before the edit; kind % 3: delete 1 + 2 * size
// bytes, insert 1 + size % 40 bytes taken from the input, change one byte by
// XOR with value (0 taken as 1).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/pattern_checker.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

struct Edit {
  CheckFault::Kind kind;
  uint64_t count;
  size_t at;          // in the edited stream: where the edit is, then its first differing byte
  size_t align;       // the unedited stream's offset that `at` had before the edit
  size_t after;       // the edited stream's offset just after the edit
  size_t alignAfter;  // and the unedited stream's offset there
};

// The letters of the whole line starting at out[s], or 0.
int LineAt(const std::string& out, size_t s) {
  int n = 0;
  while (n < kPatternLongest && s + n < out.size() && out[s + n] == kPatternLetters[n]) n++;
  if (n < kPatternShortest || s + n + 1 >= out.size() || out[s + n] != '\r' || out[s + n + 1] != '\n') return 0;
  return n;
}

char PatternAt(size_t pos) { return TestPattern()[pos % kPatternSize]; }

size_t Take(const uint8_t*& data, size_t& size) {
  if (size == 0) return 0;
  size--;
  return *data++;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  size_t src = Take(data, size);
  src = (src | Take(data, size) << 8) % kPatternSize;
  uint32_t seed = static_cast<uint32_t>(Take(data, size));
  seed |= static_cast<uint32_t>(Take(data, size)) << 8;
  const size_t start = src;

  std::string out;
  std::vector<Edit> edits;
  auto clean = [&](size_t n) {
    for (size_t i = 0; i < n; i++) out += PatternAt(src++);
  };
  while (size >= 4 && edits.size() < 32) {
    clean(200 + Take(data, size));
    const size_t kind = Take(data, size) % 3;
    const size_t n = Take(data, size);
    const size_t value = Take(data, size);
    Edit e{CheckFault::kMissing, 0, out.size(), src, 0, 0};
    if (kind == 0) {
      e.count = 1 + 2 * n;
      src += e.count;
    } else if (kind == 1) {
      e.kind = CheckFault::kExtra;
      e.count = 1 + n % 40;
      for (size_t i = 0; i < e.count; i++) out += static_cast<char>(Take(data, size));
    } else {
      e.kind = CheckFault::kCorrupt;
      e.count = 1;
      out += static_cast<char>(PatternAt(src++) ^ (value == 0 ? 1 : value));
    }
    e.after = out.size();
    e.alignAfter = src;
    edits.push_back(e);
  }
  clean(200);

  for (size_t i = 0; i < edits.size(); i++) {
    Edit& e = edits[i];
    // Each fault stands where the edited stream first leaves the old alignment.
    size_t t = 0;
    while (e.at + t < out.size() && out[e.at + t] == PatternAt(e.align + t)) t++;
    Check(t < 100);  // a shifted pattern differs within two lines
    e.at += t;
    size_t s = e.at;
    int n = 0;
    while (s < out.size() && (n = LineAt(out, s)) == 0) s++;
    Check(n > 0);  // the clean tail holds whole lines
    // Where the true stream puts s (it may lie among inserted bytes).
    const size_t truePos = (e.alignAfter + 2 * kPatternSize + s - e.after) % kPatternSize;
    if (truePos != static_cast<size_t>(PatternLineStart(n - kPatternShortest))) return 0;
    if (i + 1 < edits.size() && s + n + 2 > edits[i + 1].at) return 0;
    // Extra bytes the line just read cannot show to be extra.
    if (e.kind == CheckFault::kExtra && e.at + e.count > s + n + 2) return 0;
  }

  PatternChecker checker;
  std::vector<CheckFault> faults;
  for (size_t at = 0; at < out.size();) {
    seed = seed * 1103515245u + 12345u;
    const uint32_t r = seed >> 16;
    size_t n = r % 8 == 0 ? 1 + r % 7 : 1 + r % 3000;
    if (n > out.size() - at) n = out.size() - at;
    CheckFault got[32];
    const size_t found = checker.Feed(out.data() + at, n, got, 32);
    Check(found <= 32);
    faults.insert(faults.end(), got, got + found);
    at += n;
  }

  Check(faults.size() == edits.size());
  uint64_t missing = 0, extra = 0, corrupted = 0;
  for (size_t i = 0; i < edits.size(); i++) {
    Check(faults[i].kind == edits[i].kind);
    Check(faults[i].count == edits[i].count);
    Check(faults[i].offset == edits[i].at);
    (edits[i].kind == CheckFault::kMissing ? missing : edits[i].kind == CheckFault::kExtra ? extra : corrupted) +=
        edits[i].count;
  }

  size_t firstLine = kPatternSize;
  for (int k = 0; k < kPatternLines; k++) {
    if (static_cast<size_t>(PatternLineStart(k)) >= start) {
      firstLine = static_cast<size_t>(PatternLineStart(k));
      break;
    }
  }
  const CheckCounts& c = checker.Counts();
  Check(c.unchecked == firstLine - start);
  Check(c.checked == out.size() - c.unchecked);
  Check(c.missing == missing && c.extra == extra && c.corrupted == corrupted);
  Check(c.good == c.checked - c.corrupted - c.extra);
  Check(c.resyncs == edits.size() && c.lost == 0);
  return 0;
}
