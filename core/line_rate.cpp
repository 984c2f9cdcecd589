#include "core/line_rate.h"

#include <chrono>

uint64_t MonotonicMicros() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void LineRate::Busy(uint64_t bytes, uint64_t micros) {
  if (bytes == 0) return;
  // Quicker than the clock can tell: at least a byte a microsecond.
  if (micros == 0) micros = 1;
  const uint64_t seen = bytes * 1000000 / micros;
  perSecond_ = seen > 0 ? seen : 1;
}

uint32_t ReadAsk(const LineRate& rate, uint32_t most) {
  const uint64_t ask = rate.BytesIn(kReadFillMs);
  if (ask < kLeastRead) return kLeastRead < most ? kLeastRead : most;
  return ask < most ? static_cast<uint32_t>(ask) : most;
}

int PatternsPerWrite(const LineRate& rate, int length, int most) {
  if (length <= 0 || most <= 1) return 1;
  const uint64_t fits = rate.BytesIn(kWriteLineMs) / static_cast<uint64_t>(length);
  if (fits < 1) return 1;
  return fits < static_cast<uint64_t>(most) ? static_cast<int>(fits) : most;
}
