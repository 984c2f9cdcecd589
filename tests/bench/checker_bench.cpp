// Benchmarks of the pattern checker as the poll pass feeds it: 64 MiB of the
// test pattern in blocks of 5000 bytes (one read's worth), clean, and with a
// corrupted byte every 1000 bytes. Each also checks that the counts are what
// the data holds; a wrong count ends it with an error.
#include <benchmark/benchmark.h>

#include <string>

#include "core/pattern_checker.h"

namespace {

constexpr size_t kStreamBytes = 64u << 20;
constexpr size_t kBlock = 5000;

const std::string& CleanStream() {
  static const std::string stream = [] {
    std::string s(kStreamBytes, 0);
    for (size_t i = 0; i < s.size(); i++) s[i] = TestPattern()[i % kPatternSize];
    return s;
  }();
  return stream;
}

// Feeds the stream once per iteration into a fresh checker, and checks the
// last run's counts.
void FeedThroughput(benchmark::State& state, const std::string& stream, uint64_t corrupted) {
  CheckCounts counts;
  size_t faults = 0;
  for (auto _ : state) {
    PatternChecker checker;
    faults = 0;
    CheckFault first;
    for (size_t at = 0; at < stream.size(); at += kBlock) {
      const size_t n = stream.size() - at < kBlock ? stream.size() - at : kBlock;
      faults += checker.Feed(stream.data() + at, n, &first);
    }
    counts = checker.Counts();
    benchmark::DoNotOptimize(counts);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
  // The stream starts at a line start: every byte is checked, but a last
  // corrupted byte whose region the stream's end leaves open.
  const uint64_t open = stream.size() - counts.checked;
  if (counts.corrupted + (open > 0) != corrupted || faults != counts.corrupted || open > 2 * kPatternSize ||
      counts.good + counts.corrupted != counts.checked || counts.missing + counts.extra + counts.unchecked != 0)
    state.SkipWithError("the counts do not match the stream");
}

void BM_CheckerClean(benchmark::State& state) { FeedThroughput(state, CleanStream(), 0); }
BENCHMARK(BM_CheckerClean)->Unit(benchmark::kMillisecond);

void BM_CheckerFaultEvery1000(benchmark::State& state) {
  std::string stream = CleanStream();
  uint64_t changed = 0;
  for (size_t i = 999; i < stream.size(); i += 1000, changed++) stream[i] = static_cast<char>(stream[i] ^ 0x40);
  FeedThroughput(state, stream, changed);
}
BENCHMARK(BM_CheckerFaultEvery1000)->Unit(benchmark::kMillisecond);

}  // namespace
