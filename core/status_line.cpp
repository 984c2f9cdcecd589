#include "core/status_line.h"

#include <cinttypes>
#include <cstdio>

void FormatStatusLine(char* out, size_t size, const char* portName, const PortStats* stats, uint32_t nowMs,
                      const CheckCounts* check) {
  if (size == 0) return;
  out[0] = '\0';
  if (portName == nullptr || stats == nullptr) return;
  int used = std::snprintf(out, size, "%s   received %" PRIu64 "   %" PRIu64 " B/s   errors %" PRIu64, portName,
                           stats->bytesReceived, stats->receiveRate.PerSecond(nowMs), stats->LineErrorTotal());
  if (check == nullptr || used < 0 || static_cast<size_t>(used) >= size) return;
  std::snprintf(out + used, size - static_cast<size_t>(used),
                "   checked %" PRIu64 "  good %" PRIu64 "  missing %" PRIu64 "  corrupt %" PRIu64 "  extra %" PRIu64,
                check->checked, check->good, check->missing, check->corrupted, check->extra);
}
