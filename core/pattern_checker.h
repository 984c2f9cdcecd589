// Check Test Data: compares what a port receives with the endlessly repeated
// test pattern, block by block as the poll pass reads it, and explains each
// difference as bytes missing, extra or corrupted.
//
// How it judges:
// - Unlocked, it looks for one complete line (its letters from "a", then
//   CR LF). The line's length says where in the pattern it stands; that line
//   counts as checked and good, and every byte after it is compared. Bytes
//   before it are unchecked, never faults.
// - Locked, runs of bytes are compared with the pattern up to its wrap. At the
//   first differing byte (offset o, pattern position p) a fault region opens:
//   the checker counts how many of the following bytes differ from the pattern
//   at the old alignment and looks for the next complete line starting at o or
//   later. When that line closes, the r bytes from o to its start and the
//   pattern distance d from p to the line's place (d taken modulo the pattern
//   size, the value closest to r) give the smallest explanation:
//     d == r  corrupted: the bytes that differed, the others good;
//     d >  r  missing d - r (the stream went on at a later place);
//     d <  r  extra r - d (bytes inserted; d may be negative down to minus
//             the line's length, when the inserted bytes repeated some of the
//             pattern just passed).
//   The fault is reported at o, and the checker is locked again after that
//   line. A region holding two kinds of fault at once is still given one
//   explanation, the smallest.
// - A fault region that finds no complete line within kGiveUpBytes (two
//   whole patterns) cannot be explained: the lock is lost (counted in `lost`),
//   the region's bytes count as unchecked, no fault is reported, and the
//   checker locks again on the next complete line as at the start.
//
// Bytes still being judged (an open fault region, an unfinished line while
// unlocked) enter the counts when judged; so once the stream has ended on
// clean data, checked + unchecked is every byte fed, and at all times
// checked == good + corrupted + extra.
//
// Feed never allocates and costs a memcmp per run of good bytes up to the
// pattern's wrap; only fault regions and unlocked data go byte by byte.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/test_pattern.h"

struct CheckFault {
  enum Kind { kMissing, kCorrupt, kExtra };
  Kind kind;
  uint64_t count;   // bytes missing, corrupted or extra
  uint64_t offset;  // in the bytes fed since Restart, of the first differing byte
};

struct CheckCounts {
  uint64_t checked = 0;    // bytes received after the first lock and judged
  uint64_t good = 0;
  uint64_t missing = 0;    // not received, so not part of checked
  uint64_t corrupted = 0;
  uint64_t extra = 0;
  uint64_t resyncs = 0;    // faults explained; the checker locked again after each
  uint64_t unchecked = 0;  // received while not locked
  uint64_t lost = 0;       // locks given up on a region no line explained
};

class PatternChecker {
 public:
  // Bytes a fault region may run without a complete line before the lock is lost.
  static constexpr uint64_t kGiveUpBytes = 2 * kPatternSize;

  PatternChecker();

  // Judges the next n received bytes. Returns how many faults were resolved in
  // this call and stores the first `room` of them, in stream order, at
  // `faults` (which may be null when room is 0).
  size_t Feed(const char* data, size_t n, CheckFault* faults, size_t room = 1);

  // Starts a new stream: offset 0, unlocked, any open fault region dropped
  // (its bytes, and those of an unfinished line, count as unchecked). The
  // counts are kept.
  void Restart();
  // Zeroes the counts; the stream and lock are left as they are.
  void ResetCounts();

  const CheckCounts& Counts() const { return counts_; }
  // Whether the place in the pattern is known (locked, or inside a fault region).
  bool Locked() const { return mode_ != kUnlocked; }
  // Bytes fed since Restart: the offset the next byte will have.
  uint64_t Offset() const { return offset_; }

 private:
  enum Mode { kUnlocked, kLocked, kFault };

  size_t RunLocked(const char* data, size_t n, size_t i);
  size_t RunFault(const char* data, size_t n, size_t i, CheckFault* faults, size_t room, size_t* found);
  size_t RunUnlocked(const char* data, size_t n, size_t i);
  int ScanLine(char c, uint64_t at);
  CheckFault Resolve(int letters);
  void ForgetLine();

  Mode mode_ = kUnlocked;
  uint64_t offset_ = 0;  // of data[0] during Feed, of the next byte otherwise
  int pos_ = 0;          // locked: the pattern position the next byte must match

  // The open fault region.
  uint64_t faultAt_ = 0;    // o: offset of its first differing byte
  int faultPos_ = 0;        // p: the pattern position that byte should have had
  int alignPos_ = 0;        // the position the next byte would have at the old alignment
  uint64_t differing_ = 0;  // bytes of the region that differ at the old alignment

  // The line being read: letters so far (0: none), whether its CR came.
  int letters_ = 0;
  bool sawCr_ = false;
  uint64_t lineAt_ = 0;  // its first byte's offset

  uint64_t countedTo_ = 0;  // unlocked: offset up to which bytes are counted unchecked
  CheckCounts counts_;
};

// The notice shown for a fault: "<CHECK: 10 missing at 48210>",
// "<CHECK: 1 corrupt at 50000>", "<CHECK: 3 extra at 61234>". Like snprintf:
// writes at most size - 1 characters and a NUL, returns the full length.
int FormatCheckNotice(const CheckFault& fault, char* out, size_t size);
// The notice for the faults after the first in one pass: "<CHECK: 4 more faults>".
int FormatMoreFaults(uint64_t n, char* out, size_t size);
