// The rate over the last second and the counters' reset.
#include "core/port_stats.h"

#include <gtest/gtest.h>

namespace {

TEST(RateMeter, CountsWhatCameWithinTheLastSecondOnly) {
  RateMeter rate;
  EXPECT_EQ(rate.PerSecond(0), 0u);
  rate.Add(100, 1000);
  rate.Add(50, 1050);  // the same tenth
  rate.Add(30, 1550);
  EXPECT_EQ(rate.PerSecond(1550), 180u);
  EXPECT_EQ(rate.PerSecond(1999), 180u);
  EXPECT_EQ(rate.PerSecond(2000), 30u);   // the tenth from 1000 is a second old
  EXPECT_EQ(rate.PerSecond(2599), 0u);
  // A slot is reused for a later tenth: its old amount is not added in.
  rate.Add(7, 3000);
  EXPECT_EQ(rate.PerSecond(3000), 7u);
}

TEST(RateMeter, StaysBoundedAcrossTheMillisecondCountsWrap) {
  RateMeter rate;
  const uint32_t beforeWrap = 0xFFFFFFFFu - 150;
  rate.Add(10, beforeWrap);
  rate.Add(20, beforeWrap + 200);  // the count wraps to 49
  // The tenth before the wrap may drop out early, never count twice or stick.
  const uint64_t now = rate.PerSecond(beforeWrap + 250);
  EXPECT_GE(now, 20u);
  EXPECT_LE(now, 30u);
  EXPECT_EQ(rate.PerSecond(beforeWrap + 2500), 0u);
}

TEST(PortStats, ResetZeroesTheCountersButKeepsTheDriversQueueSize) {
  PortStats stats;
  stats.bytesReceived = 5;
  stats.bytesSent = 6;
  stats.lineErrors[0] = 2;
  stats.lineErrors[kLineErrorKinds - 1] = 3;
  stats.events[4] = 1;
  stats.highestInQueue = 900;
  stats.inQueueSize = 4096;
  stats.failedReads = 1;
  stats.failedWrites = 1;
  stats.receiveRate.Add(100, 0);
  EXPECT_EQ(stats.LineErrorTotal(), 5u);
  stats.Reset();
  EXPECT_EQ(stats.bytesReceived + stats.bytesSent + stats.LineErrorTotal() + stats.events[4] + stats.highestInQueue +
                stats.failedReads + stats.failedWrites + stats.receiveRate.PerSecond(0),
            0u);
  EXPECT_EQ(stats.inQueueSize, 4096u);
}

}  // namespace
