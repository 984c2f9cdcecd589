// How fast a line moves bytes, as its own transfers show it, and what that
// makes of the size of the next one: a read should fill, and a write of the
// test pattern end, within a few tens of milliseconds at the line's rate, so
// that received bytes show at once and a typed key waits for no more than
// that, at 300 baud as at 12 Mbaud.
#pragma once
#include <cstdint>

// A steady clock in microseconds, for timing transfers.
uint64_t MonotonicMicros();

class LineRate {
 public:
  explicit LineRate(uint64_t bytesPerSecond) : perSecond_(bytesPerSecond > 0 ? bytesPerSecond : 1) {}
  // Bytes per second from a baud rate, ten bits to the byte (start, 8 data, stop).
  static uint64_t FromBaud(uint32_t baud) { return baud / 10; }
  // A transfer that the line kept busy from start to end (a write seen to its
  // end, a read that filled) moved `bytes` in `micros`.
  void Busy(uint64_t bytes, uint64_t micros);
  // Bytes the line moves in `ms` milliseconds at the rate last seen.
  uint64_t BytesIn(uint32_t ms) const { return perSecond_ * ms / 1000; }
  uint64_t PerSecond() const { return perSecond_; }

 private:
  uint64_t perSecond_;
};

// What the reader asks of its next read: what the line brings in kReadFillMs,
// from kLeastRead (the first read after a quiet spell) up to `most`. A short
// message (a command's answer, a line) comes in one read, and one drain:
// a notice that follows it then follows its line end too.
constexpr uint32_t kReadFillMs = 30;
constexpr uint32_t kLeastRead = 64;
uint32_t ReadAsk(const LineRate& rate, uint32_t most);

// Test patterns of `length` bytes in one write: what the line moves in
// kWriteLineMs, at least one (a key typed meanwhile goes out between two
// patterns, never inside one) and at most `most`.
constexpr uint32_t kWriteLineMs = 100;
int PatternsPerWrite(const LineRate& rate, int length, int most);
