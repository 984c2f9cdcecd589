#include "core/pattern_checker.h"

#include <cstring>

namespace {

// Index of the first byte where a and b differ; n when none does. Eight bytes
// at a time, as a fault region starts somewhere inside a long run.
size_t FirstDifference(const char* a, const char* b, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
  }
  while (i < n && a[i] == b[i]) i++;
  return i;
}

// Writes text at *at while room is left; always advances *at.
void Put(const char* text, char* out, size_t size, size_t* at) {
  for (; *text != '\0'; text++, (*at)++)
    if (*at + 1 < size) out[*at] = *text;
}

void PutNumber(uint64_t n, char* out, size_t size, size_t* at) {
  char digits[21];
  int i = 20;
  digits[i] = '\0';
  do {
    digits[--i] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  Put(digits + i, out, size, at);
}

int Finish(char* out, size_t size, size_t at) {
  if (size > 0) out[at < size ? at : size - 1] = '\0';
  return static_cast<int>(at);
}

}  // namespace

PatternChecker::PatternChecker() = default;

size_t PatternChecker::Feed(const char* data, size_t n, CheckFault* faults, size_t room) {
  size_t found = 0;
  size_t i = 0;
  while (i < n) {
    switch (mode_) {
      case kLocked: i = RunLocked(data, n, i); break;
      case kFault: i = RunFault(data, n, i, faults, room, &found); break;
      case kUnlocked: i = RunUnlocked(data, n, i); break;
    }
  }
  offset_ += n;
  if (mode_ == kUnlocked) {
    // Bytes up to an unfinished line are unchecked now; the line's own wait
    // until it is known whether it locks.
    const uint64_t upTo = letters_ > 0 ? lineAt_ : offset_;
    counts_.unchecked += upTo - countedTo_;
    countedTo_ = upTo;
  }
  return found;
}

size_t PatternChecker::RunLocked(const char* data, size_t n, size_t i) {
  const char* pattern = TestPattern();
  while (i < n) {
    size_t run = n - i;
    if (run > static_cast<size_t>(kPatternSize - pos_)) run = static_cast<size_t>(kPatternSize - pos_);
    const size_t same =
        std::memcmp(data + i, pattern + pos_, run) == 0 ? run : FirstDifference(data + i, pattern + pos_, run);
    counts_.good += same;
    counts_.checked += same;
    i += same;
    pos_ += static_cast<int>(same);
    if (pos_ == kPatternSize) pos_ = 0;
    if (same < run) {
      mode_ = kFault;
      faultAt_ = offset_ + i;
      faultPos_ = pos_;
      alignPos_ = pos_;
      differing_ = 0;
      ForgetLine();
      return i;
    }
  }
  return i;
}

size_t PatternChecker::RunFault(const char* data, size_t n, size_t i, CheckFault* faults, size_t room,
                                size_t* found) {
  const char* pattern = TestPattern();
  for (; i < n; i++) {
    const char c = data[i];
    const uint64_t at = offset_ + i;
    const int letters = ScanLine(c, at);
    differing_ += c != pattern[alignPos_];
    if (++alignPos_ == kPatternSize) alignPos_ = 0;
    if (letters > 0) {
      const CheckFault fault = Resolve(letters);
      if (*found < room) faults[*found] = fault;
      (*found)++;
      return i + 1;
    }
    if (at + 1 - faultAt_ >= kGiveUpBytes) {
      // No line to explain the region by: judge nothing of it. A line being
      // read goes on, and may lock as at the start.
      mode_ = kUnlocked;
      countedTo_ = faultAt_;
      counts_.lost++;
      return i + 1;
    }
  }
  return i;
}

size_t PatternChecker::RunUnlocked(const char* data, size_t n, size_t i) {
  while (i < n) {
    if (letters_ == 0) {
      // Only an "a" can start a line.
      const void* a = std::memchr(data + i, 'a', n - i);
      if (a == nullptr) return n;
      i = static_cast<size_t>(static_cast<const char*>(a) - data);
    }
    const int letters = ScanLine(data[i], offset_ + i);
    i++;
    if (letters > 0) {
      const int length = letters + 2;
      counts_.unchecked += lineAt_ - countedTo_;
      counts_.checked += static_cast<uint64_t>(length);
      counts_.good += static_cast<uint64_t>(length);
      mode_ = kLocked;
      pos_ = (PatternLineStart(PatternLineOfLength(letters)) + length) % kPatternSize;
      return i;
    }
  }
  return i;
}

// One byte of the line reader. Returns the line's letters when this byte is
// the LF that completes a line, else 0.
int PatternChecker::ScanLine(char c, uint64_t at) {
  if (sawCr_) {
    sawCr_ = false;
    const int letters = letters_;
    letters_ = 0;
    if (c == '\n') return letters;
  } else if (letters_ > 0) {
    if (letters_ < kPatternLongest && c == kPatternLetters[letters_]) {
      letters_++;
      return 0;
    }
    if (c == '\r' && letters_ >= kPatternShortest) {
      sawCr_ = true;
      return 0;
    }
    letters_ = 0;
  }
  if (c == 'a') {
    letters_ = 1;
    lineAt_ = at;
  }
  return 0;
}

void PatternChecker::ForgetLine() {
  letters_ = 0;
  sawCr_ = false;
}

CheckFault PatternChecker::Resolve(int letters) {
  const int line = PatternLineOfLength(letters);
  const int64_t length = letters + 2;
  const int64_t r = static_cast<int64_t>(lineAt_ - faultAt_);
  const int64_t size = kPatternSize;
  int64_t d = ((PatternLineStart(line) - faultPos_) % size + size) % size;
  // The distance closest to r; a negative one may not reach past the line
  // just read, which is all that is known to follow.
  d += size * ((r - d + size / 2 + size) / size - 1);  // the dividend is positive: r >= 0, d < size
  if (d < -length) d += size;

  CheckFault fault;
  fault.offset = faultAt_;
  uint64_t good;
  if (d == r) {
    fault.kind = CheckFault::kCorrupt;
    // A line that ends a corrupt region matches the old alignment too, so
    // every difference counted lies before it.
    fault.count = differing_;
    counts_.corrupted += fault.count;
    good = static_cast<uint64_t>(r + length) - fault.count;
  } else if (d > r) {
    fault.kind = CheckFault::kMissing;
    fault.count = static_cast<uint64_t>(d - r);
    counts_.missing += fault.count;
    good = static_cast<uint64_t>(r + length);
  } else {
    fault.kind = CheckFault::kExtra;
    fault.count = static_cast<uint64_t>(r - d);
    counts_.extra += fault.count;
    good = static_cast<uint64_t>(d + length);
  }
  counts_.good += good;
  counts_.checked += static_cast<uint64_t>(r + length);
  counts_.resyncs++;
  mode_ = kLocked;
  pos_ = static_cast<int>((PatternLineStart(line) + length) % size);
  return fault;
}

void PatternChecker::Restart() {
  if (mode_ == kFault) counts_.unchecked += offset_ - faultAt_;
  if (mode_ == kUnlocked) counts_.unchecked += offset_ - countedTo_;
  mode_ = kUnlocked;
  offset_ = 0;
  pos_ = 0;
  countedTo_ = 0;
  ForgetLine();
}

void PatternChecker::ResetCounts() { counts_ = CheckCounts{}; }

int FormatCheckNotice(const CheckFault& fault, char* out, size_t size) {
  static const char* const kKinds[] = {" missing at ", " corrupt at ", " extra at "};
  size_t at = 0;
  Put("<CHECK: ", out, size, &at);
  PutNumber(fault.count, out, size, &at);
  Put(kKinds[fault.kind], out, size, &at);
  PutNumber(fault.offset, out, size, &at);
  Put(">", out, size, &at);
  return Finish(out, size, at);
}

int FormatMoreFaults(uint64_t n, char* out, size_t size) {
  size_t at = 0;
  Put("<CHECK: ", out, size, &at);
  PutNumber(n, out, size, &at);
  Put(" more faults>", out, size, &at);
  return Finish(out, size, at);
}
