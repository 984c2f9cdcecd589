// The status bar's line for the active terminal's port.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/pattern_checker.h"
#include "core/port_stats.h"

// "COM5   received 1155000   11550 B/s   errors 0", and while the check is on
// (check not null) "   checked 1155000  good 1154986  missing 10  corrupt 1
// extra 3". No port: an empty line. Like snprintf: at most size - 1
// characters and a NUL.
void FormatStatusLine(char* out, size_t size, const char* portName, const PortStats* stats, uint32_t nowMs,
                      const CheckCounts* check);
