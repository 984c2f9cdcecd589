// The port's statistics as the poll pass, the writes and the settings keep
// them, driven through the fake serial driver.
#include <string>

#include "core/port_stats.h"
#include "port/comport.h"
#include "support.h"

namespace {

class StatsTest : public OnePortTest {};

TEST_F(StatsTest, CountsBytesBothWaysWithTheirRatesOverTheLastSecond) {
  fake::SetTickCount(10000);
  device->rx = std::string(12000, 'x');  // three reads
  port->ServicePort();
  port->ComOut("typed", 0);
  fake::SetTickCount(10500);
  device->rx = "more";
  port->ServicePort();
  port->ComOut("ab", 2);
  EXPECT_EQ(port->stats.bytesReceived, 12004u);
  EXPECT_EQ(port->stats.bytesSent, 7u);
  EXPECT_EQ(port->stats.receiveRate.PerSecond(10500), 12004u);
  EXPECT_EQ(port->stats.sendRate.PerSecond(10500), 7u);
  EXPECT_EQ(port->stats.receiveRate.PerSecond(11200), 4u);  // the first second has passed
}

TEST_F(StatsTest, CountsEachKindOfLineErrorAndEvent) {
  device->lineErrors = CE_FRAME | CE_OVERRUN;
  port->ServicePort();
  device->lineErrors = CE_OVERRUN;
  port->ServicePort();
  EXPECT_EQ(port->stats.LineErrorTotal(), 3u);
  for (int i = 0; i < kLineErrorKinds; i++) {
    const std::string text = LineErrorText(i);
    const uint64_t want = text == "<ERR:FRAME " ? 1 : text == "<ERR:OVERRUN>" ? 2 : 0;
    EXPECT_EQ(port->stats.lineErrors[i], want) << text;
  }
  port->ShowEvents(EV_CTS | EV_RING);
  port->ShowEvents(EV_CTS);
  for (int i = 0; i < kEventKinds; i++) {
    const std::string text = EventText(i);
    const uint64_t want = text == "<EV_CTS>" ? 2 : text == "<EV_RING>" ? 1 : 0;
    EXPECT_EQ(port->stats.events[i], want) << text;
  }
}

TEST_F(StatsTest, KeepsTheHighestInputQueueBesideTheDriversSize) {
  EXPECT_EQ(port->stats.inQueueSize, 4096u);  // read at open
  device->rx = std::string(3000, 'q');
  port->ServicePort();
  device->rx = "q";
  port->ServicePort();
  EXPECT_EQ(port->stats.highestInQueue, 3000u);
  ASSERT_TRUE(SetupComm(port->handle, 8192, 512));
  port->ReadQueueSize();
  EXPECT_EQ(port->stats.inQueueSize, 8192u);
}

TEST_F(StatsTest, CountsFailedReadsAndWritesAndTakesBackUnsentBytes) {
  device->rx = "abc";
  fake::FailNext("ReadFile", ERROR_GEN_FAILURE);
  port->ServicePort();
  EXPECT_EQ(port->stats.failedReads, 1u);
  EXPECT_EQ(port->stats.bytesReceived, 0u);

  fake::FailNext("WriteFile", ERROR_GEN_FAILURE);
  port->ComOut("lost", 0);
  EXPECT_EQ(port->stats.failedWrites, 1u);
  EXPECT_EQ(port->stats.bytesSent, 0u);

  // A write that the driver takes, then fails: its bytes come off again.
  fake::PendNext("WriteFile");
  port->ComOut("later", 0);
  EXPECT_EQ(port->stats.bytesSent, 5u);
  fake::CompleteWrite(*fake::LastOp("WriteFile"), ERROR_GEN_FAILURE);
  port->ComOut("x", 0);  // collects the failed one first
  EXPECT_EQ(port->stats.failedWrites, 2u);
  EXPECT_EQ(port->stats.bytesSent, 1u);
}

}  // namespace
