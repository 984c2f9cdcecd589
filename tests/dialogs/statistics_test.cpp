// Port Statistics: the figures as the port's counters hold them, each in its
// own control, kept up to date on the dialog's timer, and Reset.
#include "core/test_pattern.h"
#include "dialog_fixture.h"
#include "dialogs/dialog_ids.h"
#include "port/program.h"

namespace {

class StatisticsTest : public DialogTest {
 protected:
  void OpenDialog() {
    Controls controls = {{IDOK, kButton}, {IDC_STAT_RESET, kButton}};
    for (int id = IDC_STAT_RECEIVED; id <= IDC_STAT_LOSTFOR; id++)
      if (id != IDC_STAT_RESET && id != IDC_STAT_LOST + 1) controls.push_back({id, kEdit});
    Open(StatisticsDlgProc, controls);
  }
  void Tick() { proc(dialog, WM_TIMER, 1, 0); }
};

TEST_F(StatisticsTest, ShowsEveryFigureAsPlainDecimalAndTheKindsSeen) {
  g_program.checkTestData = 1;
  fake::SetTickCount(20000);
  std::string stream(TestPattern(), kPatternSize);
  stream += stream;
  stream.erase(1500, 10);  // 10 missing, in the second pattern
  device->rx = stream;
  device->lineErrors = CE_FRAME | CE_OVERRUN;
  port->ServicePort();
  port->ShowEvents(EV_CTS);
  port->ComOut("12345", 0);
  port->stats.failedReads = 4;
  OpenDialog();
  EXPECT_EQ(Text(IDC_STAT_RECEIVED), std::to_string(stream.size()));
  EXPECT_EQ(Text(IDC_STAT_SENT), "5");
  EXPECT_EQ(Text(IDC_STAT_RXRATE), std::to_string(stream.size()));
  EXPECT_EQ(Text(IDC_STAT_LINEERRORS), "2");
  EXPECT_EQ(Text(IDC_STAT_ERRORKINDS), "FRAME 1  OVERRUN 1");
  EXPECT_EQ(Text(IDC_STAT_EVENTKINDS), "EV_CTS 1");
  EXPECT_EQ(Text(IDC_STAT_HIGHESTQUEUE), std::to_string(stream.size()));
  EXPECT_EQ(Text(IDC_STAT_QUEUESIZE), "4096");
  EXPECT_EQ(Text(IDC_STAT_FAILEDREADS), "4");
  EXPECT_EQ(Text(IDC_STAT_FAILEDWRITES), "0");
  EXPECT_EQ(Text(IDC_STAT_MISSING), "10");
  EXPECT_EQ(Text(IDC_STAT_CORRUPTED), "0");
  EXPECT_EQ(Text(IDC_STAT_EXTRA), "0");
  EXPECT_EQ(Text(IDC_STAT_LOST), "0");
  const CheckCounts& c = port->check.checker.Counts();
  EXPECT_EQ(Text(IDC_STAT_CHECKED), std::to_string(c.checked));
  EXPECT_EQ(c.checked, c.good);
  EXPECT_EQ(std::stoull(Text(IDC_STAT_CHECKED)) + std::stoull(Text(IDC_STAT_UNCHECKED)), stream.size());

  // The timer brings the figures up to date, the rate falls once a second has passed.
  device->rx = "more";
  port->ServicePort();
  fake::SetTickCount(21500);
  Tick();
  EXPECT_EQ(Text(IDC_STAT_RECEIVED), std::to_string(stream.size() + 4));
  EXPECT_EQ(Text(IDC_STAT_RXRATE), "0");
  Press(IDOK);
  EXPECT_EQ(fake::CallsTo("KillTimer").size(), 1u);
}

TEST_F(StatisticsTest, ResetZeroesTheCountersAndKeepsTheQueueSize) {
  g_program.checkTestData = 1;
  device->rx = std::string(TestPattern(), kPatternSize);
  device->lineErrors = CE_BREAK;
  port->ServicePort();
  OpenDialog();
  EXPECT_NE(Text(IDC_STAT_RECEIVED), "0");
  EXPECT_NE(Text(IDC_STAT_CHECKED), "0");
  Command(IDC_STAT_RESET);
  EXPECT_FALSE(fake::DialogOf(dialog).ended);
  for (int id : {IDC_STAT_RECEIVED, IDC_STAT_SENT, IDC_STAT_CHECKED, IDC_STAT_GOOD, IDC_STAT_MISSING,
                 IDC_STAT_CORRUPTED, IDC_STAT_EXTRA, IDC_STAT_LINEERRORS, IDC_STAT_HIGHESTQUEUE})
    EXPECT_EQ(Text(id), "0") << id;
  EXPECT_EQ(Text(IDC_STAT_ERRORKINDS), "none");
  EXPECT_EQ(Text(IDC_STAT_QUEUESIZE), "4096");
  Press(IDOK);
}

}  // namespace
