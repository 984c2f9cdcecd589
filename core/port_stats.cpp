#include "core/port_stats.h"

void RateMeter::Add(uint64_t bytes, uint32_t nowMs) {
  const uint32_t tenth = nowMs / 100;
  const int slot = static_cast<int>(tenth % kSlots);
  if (!used_[slot] || tenth_[slot] != tenth) {
    used_[slot] = true;
    tenth_[slot] = tenth;
    bytes_[slot] = 0;
  }
  bytes_[slot] += bytes;
}

uint64_t RateMeter::PerSecond(uint32_t nowMs) const {
  const uint32_t now = nowMs / 100;
  uint64_t sum = 0;
  // The current tenth and the nine before it; unsigned differences also hold
  // across the millisecond count's wrap.
  for (int i = 0; i < kSlots; i++)
    if (used_[i] && now - tenth_[i] < static_cast<uint32_t>(kSlots)) sum += bytes_[i];
  return sum;
}

void RateMeter::Reset() { *this = RateMeter(); }

uint64_t PortStats::LineErrorTotal() const {
  uint64_t total = 0;
  for (uint64_t n : lineErrors) total += n;
  return total;
}

void PortStats::Reset() {
  const uint32_t queueSize = inQueueSize;
  *this = PortStats();
  inQueueSize = queueSize;
}
