// The status bar's line: what it shows with and without the check, and that
// it never runs past its buffer.
#include "core/status_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(StatusLine, ShowsThePortsFiguresAndTheCheckWhileItIsOn) {
  PortStats stats;
  stats.bytesReceived = 1155000;
  stats.receiveRate.Add(11550, 5000);
  stats.lineErrors[2] = 1;
  stats.lineErrors[4] = 2;
  char line[256];
  FormatStatusLine(line, sizeof line, "COM5", &stats, 5500, nullptr);
  EXPECT_STREQ(line, "COM5   received 1155000   11550 B/s   errors 3");

  CheckCounts check;
  check.checked = 1154993;
  check.good = 1154989;
  check.missing = 10;
  check.corrupted = 1;
  check.extra = 3;
  FormatStatusLine(line, sizeof line, "COM5", &stats, 5500, &check);
  EXPECT_STREQ(line,
               "COM5   received 1155000   11550 B/s   errors 3   checked 1154993  good 1154989  missing 10  "
               "corrupt 1  extra 3");

  FormatStatusLine(line, sizeof line, nullptr, nullptr, 0, nullptr);
  EXPECT_STREQ(line, "");
}

TEST(StatusLine, IsCutToItsBuffer) {
  PortStats stats;
  CheckCounts check;
  const std::string longName(37, 'N');
  char line[48];
  std::memset(line, 'x', sizeof line);
  FormatStatusLine(line, 40, longName.c_str(), &stats, 0, &check);
  EXPECT_EQ(std::strlen(line), 39u);
  EXPECT_EQ(line[41], 'x');  // nothing written past the size given
}

}  // namespace
