// What a port has done since it was opened (or since its counters were last
// reset): the figures of the Statistics dialog and the status bar.
#pragma once
#include <cstdint>

// Bytes per second over the last second, from the amounts added on each poll
// pass. Ten slots of a tenth of a second each: no allocation, no clock of its
// own (the caller passes the time in milliseconds).
class RateMeter {
 public:
  void Add(uint64_t bytes, uint32_t nowMs);
  uint64_t PerSecond(uint32_t nowMs) const;
  void Reset();

 private:
  static constexpr int kSlots = 10;
  uint64_t bytes_[kSlots] = {};
  uint32_t tenth_[kSlots] = {};  // which tenth of a second each slot holds
  bool used_[kSlots] = {};
};

// As many as the kinds of line error and event the terminal spells out, in
// the order of its notices (port/events.cpp).
constexpr int kLineErrorKinds = 11;
constexpr int kEventKinds = 13;

struct PortStats {
  uint64_t bytesReceived = 0;
  uint64_t bytesSent = 0;
  uint64_t lineErrors[kLineErrorKinds] = {};
  uint64_t events[kEventKinds] = {};
  uint32_t highestInQueue = 0;
  uint32_t inQueueSize = 0;  // the driver's, not a counter: Reset keeps it
  uint64_t failedReads = 0;
  uint64_t failedWrites = 0;
  uint64_t timesLost = 0;   // the device went away
  uint64_t lostMs = 0;      // how long it was away, in all (periods that ended)
  RateMeter receiveRate;
  RateMeter sendRate;

  uint64_t LineErrorTotal() const;
  void Reset();
};
