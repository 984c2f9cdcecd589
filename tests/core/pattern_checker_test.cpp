#include "core/pattern_checker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

// n bytes of the repeated pattern, from pattern position `from`.
std::string Pattern(size_t n, size_t from = 0) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; i++) s[i] = TestPattern()[(from + i) % kPatternSize];
  return s;
}

// The pattern position of the first line start at or after pos (1155 for the wrap).
size_t NextLineStart(size_t pos) {
  for (int k = 0; k < kPatternLines; k++)
    if (static_cast<size_t>(PatternLineStart(k)) >= pos) return static_cast<size_t>(PatternLineStart(k));
  return kPatternSize;
}

struct Result {
  std::vector<CheckFault> faults;
  CheckCounts counts;
};

// Feeds `stream` in blocks of `block` bytes and gathers every fault.
Result Check(const std::string& stream, size_t block = 5000) {
  PatternChecker checker;
  Result result;
  for (size_t at = 0; at < stream.size(); at += block) {
    const size_t n = std::min(block, stream.size() - at);
    CheckFault faults[16];
    const size_t found = checker.Feed(stream.data() + at, n, faults, 16);
    EXPECT_LE(found, 16u);
    result.faults.insert(result.faults.end(), faults, faults + found);
  }
  result.counts = checker.Counts();
  return result;
}

}  // namespace

// Readable failures: "missing 10 at 100000".
void PrintTo(const CheckFault& f, std::ostream* os) {
  static const char* const kKinds[] = {"missing", "corrupt", "extra"};
  *os << kKinds[f.kind] << ' ' << f.count << " at " << f.offset;
}

namespace {

MATCHER_P3(IsFault, kind, count, offset, "") {
  return arg.kind == kind && arg.count == static_cast<uint64_t>(count) && arg.offset == static_cast<uint64_t>(offset);
}

void ExpectBalanced(const CheckCounts& c) { EXPECT_EQ(c.checked, c.good + c.corrupted + c.extra); }

TEST(PatternCheckerLock, BytesBeforeTheFirstWholeLineAreUnchecked) {
  // Starts in the middle of line 10: up to line 11's start is unchecked.
  const int from = PatternLineStart(10) + 4;
  const std::string stream = Pattern(2000, static_cast<size_t>(from));
  const uint64_t lead = static_cast<uint64_t>(PatternLineStart(11) - from);
  Result r = Check(stream, 7);
  EXPECT_TRUE(r.faults.empty());
  EXPECT_EQ(r.counts.unchecked, lead);
  EXPECT_EQ(r.counts.checked, stream.size() - lead);
  EXPECT_EQ(r.counts.good, r.counts.checked);

  // Halfway through line 11 its bytes are not counted yet: they may lock.
  PatternChecker checker;
  EXPECT_EQ(checker.Feed(stream.data(), lead + 8, nullptr, 0), 0u);
  EXPECT_FALSE(checker.Locked());
  EXPECT_EQ(checker.Counts().unchecked, lead);
  EXPECT_EQ(checker.Counts().checked, 0u);
}

TEST(PatternCheckerLock, BrokenLinesAndGarbageClaimNothing) {
  // Garbage, line 2 with a letter changed, a line too short, then line 3 on.
  std::string stream = "\x01\xff zz" + Pattern(9, PatternLineStart(2));
  stream[stream.size() - 5] = 'X';
  stream += "abcd\r\n";
  const size_t lead = stream.size();
  stream += Pattern(1500, PatternLineStart(3));
  Result r = Check(stream, 1);
  EXPECT_TRUE(r.faults.empty());
  EXPECT_EQ(r.counts.unchecked, lead);
  EXPECT_EQ(r.counts.checked, stream.size() - lead);

  // Letters and line ends that never make a whole line.
  std::string garbage;
  for (int i = 0; i < 3000; i++) garbage += "abcdX\r\nabc\r\nzzz";
  r = Check(garbage, 4096);
  EXPECT_TRUE(r.faults.empty());
  EXPECT_EQ(r.counts.unchecked, garbage.size());
  EXPECT_EQ(r.counts.checked, 0u);
}

TEST(PatternCheckerFaults, EachKindTheSameInAnyBlockSize) {
  // Faults over the pattern's wrap, inside a line, like a line end, and over
  // a line and the wrap; offsets in the edited stream.
  std::string s = Pattern(6 * kPatternSize);
  s.erase(kPatternSize - 4, 9);                   // a CR where an "S" belongs
  s[2 * kPatternSize + 30] = '#';
  s.insert(3 * kPatternSize + 500, "zz\r\n", 4);  // before a "c"
  s.erase(5 * kPatternSize - 20, 300);            // a "g" where an "H" belongs
  for (size_t block : {s.size(), size_t{1}, size_t{7}, size_t{5000}}) {
    SCOPED_TRACE(block);
    const Result r = Check(s, block);
    EXPECT_THAT(r.faults, testing::ElementsAre(IsFault(CheckFault::kMissing, 9, kPatternSize - 4),
                                               IsFault(CheckFault::kCorrupt, 1, 2 * kPatternSize + 30),
                                               IsFault(CheckFault::kExtra, 4, 3 * kPatternSize + 500),
                                               IsFault(CheckFault::kMissing, 300, 5 * kPatternSize - 20)));
    EXPECT_EQ(r.counts.checked, s.size());
    EXPECT_EQ(r.counts.good, s.size() - 5);
    EXPECT_EQ(r.counts.missing, 309u);
    EXPECT_EQ(r.counts.corrupted, 1u);
    EXPECT_EQ(r.counts.extra, 4u);
    EXPECT_EQ(r.counts.resyncs, 4u);
  }
}

TEST(PatternCheckerFaults, OffsetIsTheFirstByteThatDiffers) {
  const std::string clean = Pattern(3 * kPatternSize);
  // Line 20 (25 letters) lost whole: line 21 matches it for 25 letters, then
  // its 26th letter stands where the CR should be.
  const size_t line20 = static_cast<size_t>(PatternLineStart(20));
  std::string lostLine = clean;
  lostLine.erase(line20, 27);
  Result r = Check(lostLine);
  ASSERT_EQ(r.faults.size(), 1u);
  EXPECT_THAT(r.faults[0], IsFault(CheckFault::kMissing, 27, line20 + 25));

  // A copy of line 20 inserted before line 21: it matches line 21's first
  // 25 letters, so the extra bytes are counted from the CR that differs.
  const size_t line21 = static_cast<size_t>(PatternLineStart(21));
  std::string twice = clean;
  twice.insert(line21, clean.substr(line20, 27));
  r = Check(twice);
  ASSERT_EQ(r.faults.size(), 1u);
  EXPECT_THAT(r.faults[0], IsFault(CheckFault::kExtra, 27, line21 + 25));
  EXPECT_EQ(r.counts.good, clean.size());
  ExpectBalanced(r.counts);
}

TEST(PatternCheckerFaults, TheSendersAcceptanceStream) {
  // The pattern 1000 times; 10 bytes deleted at 100000, the byte at 300000
  // changed, 00 FF 01 inserted before 600000 (offsets in the unedited stream).
  std::string s = Pattern(1000 * kPatternSize);
  s[300000] = static_cast<char>(s[300000] ^ 0x20);
  s.insert(600000, "\x00\xff\x01", 3);
  s.erase(100000, 10);
  Result r = Check(s);
  ASSERT_EQ(r.faults.size(), 3u);
  EXPECT_THAT(r.faults[0], IsFault(CheckFault::kMissing, 10, 100000));
  EXPECT_THAT(r.faults[1], IsFault(CheckFault::kCorrupt, 1, 299990));
  EXPECT_THAT(r.faults[2], IsFault(CheckFault::kExtra, 3, 599990));
  EXPECT_EQ(r.counts.checked, s.size());
  EXPECT_EQ(r.counts.good, s.size() - 4);
  EXPECT_EQ(r.counts.missing, 10u);
  ExpectBalanced(r.counts);

  // All in one call with room for one: the first, and how many there were.
  PatternChecker checker;
  CheckFault first{};
  EXPECT_EQ(checker.Feed(s.data(), s.size(), &first, 1), 3u);
  EXPECT_THAT(first, IsFault(CheckFault::kMissing, 10, 100000));
  EXPECT_EQ(checker.Counts().corrupted, 1u);
  EXPECT_EQ(checker.Counts().extra, 3u);
}

TEST(PatternCheckerFaults, GarbageAfterTheLockLosesItWithoutAFault) {
  std::string s = Pattern(1000);
  s += std::string(3 * kPatternSize, '~');
  s += Pattern(500, 1000);
  Result r = Check(s, 333);
  EXPECT_TRUE(r.faults.empty());
  EXPECT_EQ(r.counts.lost, 1u);
  EXPECT_EQ(r.counts.resyncs, 0u);
  // The garbage, and the pattern up to its next line start, are unchecked.
  const uint64_t beforeLine = NextLineStart(1000) - 1000;
  EXPECT_EQ(r.counts.unchecked, 3 * kPatternSize + beforeLine);
  EXPECT_EQ(r.counts.checked, 1000 + 500 - beforeLine);
  EXPECT_EQ(r.counts.good, r.counts.checked);
}

TEST(PatternCheckerRestart, StartsOverAndKeepsTheCounts) {
  PatternChecker checker;
  std::string s = Pattern(2000);
  s[1500] = '#';
  CheckFault fault{};
  EXPECT_EQ(checker.Feed(s.data(), 1501, &fault), 0u);  // the fault region is open
  EXPECT_TRUE(checker.Locked());
  EXPECT_EQ(checker.Counts().checked, 1500u);

  checker.Restart();
  EXPECT_FALSE(checker.Locked());
  EXPECT_EQ(checker.Offset(), 0u);
  EXPECT_EQ(checker.Counts().checked, 1500u);
  EXPECT_EQ(checker.Counts().unchecked, 1u);  // the dropped region's byte
  // The rest of the old stream no longer fits: a new lock, offsets from 0.
  const std::string fresh = Pattern(1000, 40) + "##" + Pattern(200, 1042);
  EXPECT_EQ(checker.Feed(fresh.data(), fresh.size(), &fault), 1u);
  EXPECT_THAT(fault, IsFault(CheckFault::kCorrupt, 2, 1000));
  EXPECT_EQ(checker.Counts().corrupted, 2u);
  EXPECT_EQ(checker.Counts().unchecked, 1u + NextLineStart(40) - 40);

  checker.ResetCounts();
  EXPECT_EQ(checker.Counts().checked + checker.Counts().corrupted + checker.Counts().unchecked, 0u);
  EXPECT_TRUE(checker.Locked());  // the lock survives a count reset
  const std::string more = Pattern(100, 1242 % kPatternSize);
  EXPECT_EQ(checker.Feed(more.data(), more.size(), &fault), 0u);
  EXPECT_EQ(checker.Counts().good, 100u);
}

TEST(PatternCheckerNotice, FormatsEachKindAndTruncatesLikeSnprintf) {
  char buf[64];
  EXPECT_EQ(FormatCheckNotice({CheckFault::kMissing, 10, 48210}, buf, sizeof buf), 28);
  EXPECT_STREQ(buf, "<CHECK: 10 missing at 48210>");
  FormatCheckNotice({CheckFault::kCorrupt, 1, 50000}, buf, sizeof buf);
  EXPECT_STREQ(buf, "<CHECK: 1 corrupt at 50000>");
  FormatCheckNotice({CheckFault::kExtra, 3, 61234}, buf, sizeof buf);
  EXPECT_STREQ(buf, "<CHECK: 3 extra at 61234>");
  FormatCheckNotice({CheckFault::kExtra, 0, 18446744073709551615u}, buf, sizeof buf);
  EXPECT_STREQ(buf, "<CHECK: 0 extra at 18446744073709551615>");
  EXPECT_EQ(FormatMoreFaults(4, buf, sizeof buf), 22);
  EXPECT_STREQ(buf, "<CHECK: 4 more faults>");

  char small[8];
  EXPECT_EQ(FormatMoreFaults(12, small, sizeof small), 23);
  EXPECT_STREQ(small, "<CHECK:");
  EXPECT_EQ(FormatCheckNotice({CheckFault::kMissing, 1, 2}, small, 0), 23);
}

}  // namespace
