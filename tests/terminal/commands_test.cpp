#include "terminal/commands.h"

#include "fakegdi.h"
#include "res/resource.h"
#include "support.h"
#include "terminal/lamps.h"

namespace {

class CommandsTest : public FakeWinTest {
 protected:
  void SetUp() override {
    FakeWinTest::SetUp();
    fake::ResetGdi();
    LayoutLamps();
    port_ = OpenPort("COM1");
    fake::Calls().clear();
  }
  void ClickAt(int x, int y) {
    ClickLamp(port_.get(), x, y);
  }
  std::vector<uint64_t> Escapes() {
    std::vector<uint64_t> out;
    for (auto& c : fake::CallsTo("EscapeCommFunction")) out.push_back(c.args[0]);
    return out;
  }
  std::unique_ptr<ComPort> port_;
};

TEST_F(CommandsTest, ControlCommandsCallTheDriverAndLeaveTheirNoticeWhateverItSays) {
  struct {
    unsigned id;
    const char* fn;
    uint64_t arg;
    const char* notice;
  } cases[] = {
      {IDM_SETXOFF, "EscapeCommFunction", SETXOFF, "<SETXOFF set>"},
      {IDM_SETXON, "EscapeCommFunction", SETXON, "<SETXON set>"},
      {IDM_SETBREAK, "EscapeCommFunction", SETBREAK, "<SETBREAK set>"},
      {IDM_CLRBREAK, "EscapeCommFunction", CLRBREAK, "<CLRBREAK set>"},
      {IDM_TXABORT, "PurgeComm", PURGE_TXABORT, "<TXABORT called>"},
      {IDM_TXCLEAR, "PurgeComm", PURGE_TXCLEAR, "<TXCLEAR called>"},
      {IDM_RXABORT, "PurgeComm", PURGE_RXABORT, "<RXABORT called>"},
      {IDM_RXCLEAR, "PurgeComm", PURGE_RXCLEAR, "<RXCLEAR called>"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.notice);
    port_->ClearScreen();
    fake::Calls().clear();
    fake::FailNext(c.fn, ERROR_NOT_SUPPORTED);  // the driver refuses: the notice comes all the same
    EXPECT_TRUE(RunControlCommand(port_.get(), c.id));
    auto calls = fake::CallsTo(c.fn);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].handle, port_->handle);
    EXPECT_EQ(calls[0].args[0], c.arg);
    EXPECT_STREQ(port_->screen.RingRow(0).text, c.notice);
  }
  EXPECT_TRUE(fake::Boxes().empty());
  for (unsigned other : {199u, 216u, 225u, 500u}) EXPECT_FALSE(RunControlCommand(port_.get(), other));
}

TEST_F(CommandsTest, OnlyAPointStrictlyInsideALampOfTheTopRowHitsIt) {
  // Edges, the wider gap between CD and RTS, right of the last lamp, and y.
  EXPECT_EQ(LampAt(6, 5, 6), 0);
  EXPECT_EQ(LampAt(5, 5, 6), -1);
  EXPECT_EQ(LampAt(35, 5, 6), -1);
  EXPECT_EQ(LampAt(34, 5, 6), 0);
  EXPECT_EQ(LampAt(36, 5, 6), -1);  // the 2-pixel gap
  EXPECT_EQ(LampAt(90, 5, 6), -1);  // between CD and RTS
  EXPECT_EQ(LampAt(100, 15, 6), 3);
  EXPECT_EQ(LampAt(100, 16, 6), -1);
  EXPECT_EQ(LampAt(170, 5, 6), 5);
  EXPECT_EQ(LampAt(170, 5, 5), -1);  // no LOOP lamp without a loop-back switch
  EXPECT_EQ(LampAt(205, 5, 6), -1);
  EXPECT_EQ(LampAt(-1, -1, 6), -1);  // where a new port's mouse position starts
}

TEST_F(CommandsTest, InputLampsOnlySayTheyAreInputs) {
  fake::focus = reinterpret_cast<HWND>(0x4242);
  for (int x : {10, 40, 75}) ClickAt(x, 8);
  ASSERT_EQ(fake::Boxes().size(), 3u);
  for (auto& box : fake::Boxes()) {
    EXPECT_EQ(box.text, "These are inputs, so cannot be controlled!");
    EXPECT_TRUE(box.hasCaption);
    EXPECT_EQ(box.caption, "");
    EXPECT_EQ(box.owner, fake::focus);
    EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK));
  }
  EXPECT_EQ(port_->outputLines, kLineDtr | kLineRts);
  EXPECT_TRUE(fake::CallsTo("EscapeCommFunction").empty());
}

TEST_F(CommandsTest, RtsAndDtrFlipWithOneEscapeEachEvenWhenRefused) {
  ClickAt(100, 8);  // RTS on -> off
  ClickAt(100, 8);  // and on again
  EXPECT_EQ(port_->outputLines, kLineDtr | kLineRts);
  fake::FailNext("EscapeCommFunction", ERROR_NOT_SUPPORTED);
  ClickAt(140, 8);  // DTR off, although the driver refused
  EXPECT_EQ(port_->outputLines, kLineRts);
  ClickAt(140, 8);
  EXPECT_EQ(Escapes(), (std::vector<uint64_t>{CLRRTS, SETRTS, CLRDTR, SETDTR}));
  EXPECT_TRUE(fake::Boxes().empty());
}

TEST_F(CommandsTest, TheLoopLampSwitchesLoopBackOnAndOff) {
  fake::AddDevice("COM2").loopAnswer = TRUE;
  auto looping = OpenPort("COM2");
  ASSERT_EQ(looping->lampCount, 6);
  fake::Calls().clear();
  ClickLamp(looping.get(), 180, 3);
  EXPECT_EQ(looping->outputLines & kLineLoop, kLineLoop);
  ClickLamp(looping.get(), 180, 3);  // released again without a move: same place
  EXPECT_EQ(looping->outputLines & kLineLoop, 0);
  auto requests = fake::CallsTo("DeviceIoControl");
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].args[0], 0x001B2014u);
  EXPECT_EQ(requests[1].args[0], 0x001B2018u);
  // Where LOOP would be on a port without it, nothing happens.
  ClickAt(180, 3);
  EXPECT_EQ(port_->outputLines, kLineDtr | kLineRts);
}

}  // namespace
