// Check Test Data in the poll pass: the received bytes reach the checker, one
// notice per pass for the first fault and one for the rest, a restart when
// the switch goes on, nothing while it is off.
#include <string>
#include <vector>

#include "core/test_pattern.h"
#include "port/comport.h"
#include "port/program.h"
#include "support.h"

namespace {

class CheckTest : public OnePortTest {
 protected:
  void SetUp() override {
    OnePortTest::SetUp();
    g_program.checkTestData = 1;
  }
  static std::string Patterns(int n) {
    std::string s;
    for (int i = 0; i < n; i++) s.append(TestPattern(), kPatternSize);
    return s;
  }
  // The notices on screen, oldest row first.
  std::vector<std::string> Notices() const {
    std::vector<std::string> out;
    for (int i = 1; i <= kScreenRows; i++) {
      std::string text = port->screen.Row(static_cast<uint64_t>(kScreenRows - i)).text;
      for (size_t at = text.find("<CHECK:"); at != std::string::npos; at = text.find("<CHECK:", at + 1))
        out.push_back(text.substr(at, text.find('>', at) - at + 1));
    }
    return out;
  }
};

TEST_F(CheckTest, APassShowsItsFirstFaultAndSumsUpTheRest) {
  std::string stream = Patterns(4);
  stream[3000] = '#';          // corrupt
  stream.erase(2000, 5);       // missing
  stream.insert(4000, "xyz");  // extra (offset in the stream as received)
  device->rx = stream;
  port->ServicePort();
  EXPECT_EQ(Notices(), (std::vector<std::string>{"<CHECK: 5 missing at 2000>", "<CHECK: 2 more faults>"}));

  // The next pass: one fault, one notice and no sum (the screen has scrolled
  // past the first pass's notices by then).
  std::string more = Patterns(1);
  more[600] = '!';
  device->rx = more;
  port->ServicePort();
  const CheckCounts& c = port->check.checker.Counts();
  EXPECT_EQ(c.missing, 5u);
  EXPECT_EQ(c.corrupted, 2u);
  EXPECT_EQ(c.extra, 3u);
  EXPECT_EQ(c.checked, c.good + c.corrupted + c.extra);
  const uint64_t at = 4 * kPatternSize - 5 + 3 + 600;
  EXPECT_EQ(Notices(), (std::vector<std::string>{"<CHECK: 1 corrupt at " + std::to_string(at) + ">"}));
}

TEST_F(CheckTest, SwitchingOnRestartsTheOffsetAndTheLockButKeepsTheCounts) {
  device->rx = Patterns(2);
  port->ServicePort();
  const uint64_t checked = port->check.checker.Counts().checked;
  EXPECT_GT(checked, 0u);
  g_program.checkTestData = 0;  // off: nothing is fed
  device->rx = "garbage that would be a fault";
  port->ServicePort();
  EXPECT_EQ(port->check.checker.Offset(), 2u * kPatternSize);

  g_program.checkTestData = 1;
  RestartPatternChecks();
  EXPECT_EQ(port->check.checker.Offset(), 0u);
  EXPECT_FALSE(port->check.checker.Locked());
  std::string stream = Patterns(1);
  stream.erase(700, 1);
  device->rx = stream;
  port->ServicePort();
  EXPECT_EQ(Notices(), (std::vector<std::string>{"<CHECK: 1 missing at 700>"}));
  EXPECT_GE(port->check.checker.Counts().checked, checked);  // kept, and added to
}

}  // namespace
