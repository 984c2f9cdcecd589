#include "port/comport.h"

#include <algorithm>
#include <cstring>

#include "port/program.h"
#include "support.h"

using ComPortTest = FakeWinTest;
using ::testing::ElementsAre;

TEST_F(ComPortTest, ConstructionSetsDefaultsWithoutTouchingTheSystem) {
  ComPort port;
  EXPECT_TRUE(fake::Calls().empty());
  EXPECT_EQ(port.watcher, nullptr);
  EXPECT_EQ(port.next, nullptr);
  EXPECT_STREQ(port.portName, "");
  EXPECT_EQ(port.handle, nullptr);
  EXPECT_EQ(port.eventMask, 0u);
  EXPECT_EQ(port.modemStatus, 0);
  EXPECT_EQ(port.outputLines, kLineDtr | kLineRts);
  for (int age = 0; age < kScreenRows; age++) {
    EXPECT_EQ(port.screen.Row(age).text[0], 0);
    EXPECT_EQ(port.screen.Row(age).changed, 0);
  }
  EXPECT_EQ(port.needsRepaint, 0);
  EXPECT_EQ(port.screen.CurrentIndex(), 0);
  EXPECT_EQ(port.screen.Column(), 0);
  EXPECT_EQ(port.eventPending, 0);
  EXPECT_EQ(port.writePending, 0);
  EXPECT_EQ(port.modemStatusFailed, 0);
  EXPECT_EQ(port.dcb.DCBlength, sizeof(DCB));
  EXPECT_EQ(port.dcb.BaudRate, 0u);
}

TEST_F(ComPortTest, OpenUsesTheDevicePathExclusivelyForOverlappedIo) {
  auto port = OpenPort("COM5");
  auto opens = fake::CallsTo("CreateFileA");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].text, "\\\\.\\COM5");
  EXPECT_THAT(opens[0].args, ElementsAre(GENERIC_READ | GENERIC_WRITE, 0u /*exclusive*/, 0u /*no security*/,
                                         static_cast<uint64_t>(OPEN_EXISTING),
                                         FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, 0u /*no template*/));
  EXPECT_STREQ(port->portName, "COM5");
  EXPECT_EQ(fake::DeviceOf(port->handle), fake::FindDevice("COM5"));
  EXPECT_TRUE(fake::Boxes().empty());
}

TEST_F(ComPortTest, OpenCreatesThreeManualResetEventsUnsignalled) {
  auto port = OpenPort("COM1");
  auto events = fake::CallsTo("CreateEventA");
  // Three for the records, one more for the loop-back request of its own.
  ASSERT_GE(events.size(), 3u);
  for (size_t i = 0; i < 3; i++) EXPECT_THAT(events[i].args, ElementsAre(0u, 1u /*manual*/, 0u /*unsignalled*/, 0u));
  EXPECT_NE(port->readOverlapped.hEvent, nullptr);
  EXPECT_NE(port->writeOverlapped.hEvent, nullptr);
  EXPECT_NE(port->eventOverlapped.hEvent, nullptr);
  EXPECT_NE(port->readOverlapped.hEvent, port->writeOverlapped.hEvent);
  EXPECT_NE(port->writeOverlapped.hEvent, port->eventOverlapped.hEvent);
  EXPECT_EQ(port->eventOverlapped.Internal, 0u);
  EXPECT_EQ(port->writePending, 0);
  EXPECT_EQ(port->eventPending, 0);
}

TEST_F(ComPortTest, FailedOpenShowsTheSystemErrorAndLinksNothing) {
  fake::AddDevice("COM1");
  auto first = OpenPort("COM1");

  ComPort missing;
  EXPECT_EQ(missing.Open("COM9"), 1);
  ComPort second;
  EXPECT_EQ(second.Open("COM1"), 1);

  EXPECT_EQ(fake::BoxTexts(),
            (std::vector<std::string>{"Error from CreateFile: 2 COM9 0", "Error from CreateFile: 5 COM1 0"}));
  EXPECT_EQ(missing.handle, nullptr);
  EXPECT_EQ(second.handle, nullptr);
  EXPECT_EQ(g_program.portList, first.get());
  EXPECT_EQ(first->next, nullptr);
  // Nothing beyond the failed CreateFileA was asked of the system.
  EXPECT_EQ(fake::CallsTo("CreateEventA").size(), 4u);  // all from the first port
  // The first port still works.
  EXPECT_EQ(fake::DeviceOf(first->handle)->openCount, 1);
}

TEST_F(ComPortTest, DestroyingAPortThatNeverOpenedCallsNothing) {
  ComPort* port = new ComPort;
  port->Open("COM7");  // no such device
  size_t calls = fake::Calls().size();
  delete port;
  EXPECT_EQ(fake::Calls().size(), calls);
}

TEST_F(ComPortTest, FailedEventCreationIsShownAndTheOpenGoesOn) {
  const char* texts[] = {"Error A CreateEvent0", "Error B CreateEvent0", "Error C CreateEvent0"};
  for (int failing = 0; failing < 3; failing++) {
    SCOPED_TRACE(failing);
    fake::Reset();
    fake::AddDevice("COM2");
    fake::FailNext("CreateEventA", 8, failing);
    ComPort port;
    EXPECT_EQ(port.Open("COM2"), 0);
    EXPECT_EQ(fake::BoxTexts(), std::vector<std::string>{texts[failing]});
    HANDLE events[] = {port.readOverlapped.hEvent, port.writeOverlapped.hEvent, port.eventOverlapped.hEvent};
    for (int i = 0; i < 3; i++) EXPECT_EQ(events[i] == nullptr, i == failing);
    EXPECT_EQ(g_program.portList, &port);
  }
}

TEST_F(ComPortTest, NewestPortHeadsTheListAndRemovalKeepsTheOthersInOrder) {
  auto oldest = OpenPort("COM1");
  auto middle = OpenPort("COM2");
  auto newest = OpenPort("COM3");
  EXPECT_EQ(g_program.portList, newest.get());
  EXPECT_EQ(newest->next, middle.get());
  EXPECT_EQ(middle->next, oldest.get());
  EXPECT_EQ(oldest->next, nullptr);

  middle.reset();
  EXPECT_EQ(g_program.portList, newest.get());
  EXPECT_EQ(newest->next, oldest.get());
  EXPECT_EQ(oldest->next, nullptr);

  newest.reset();
  EXPECT_EQ(g_program.portList, oldest.get());
  oldest.reset();
  EXPECT_EQ(g_program.portList, nullptr);
  EXPECT_EQ(fake::OpenHandleCount(), 0);
}

TEST_F(ComPortTest, DestructionPurgesThenClosesDeviceAndEventsInOrder) {
  auto port = OpenPort("COM4");
  HANDLE device = port->handle;
  HANDLE a = port->readOverlapped.hEvent, b = port->writeOverlapped.hEvent, c = port->eventOverlapped.hEvent;
  fake::Calls().clear();
  port.reset();

  auto calls = fake::Calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[0].fn, "PurgeComm");
  EXPECT_THAT(calls[0].args, ElementsAre(PURGE_TXABORT));
  EXPECT_EQ(calls[1].fn, "PurgeComm");
  EXPECT_THAT(calls[1].args, ElementsAre(PURGE_RXABORT));
  const HANDLE closed[] = {device, a, b, c};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(calls[2 + i].fn, "CloseHandle");
    EXPECT_EQ(calls[2 + i].handle, closed[i]);
  }
  EXPECT_EQ(fake::OpenHandleCount(), 0);
  EXPECT_EQ(fake::FindDevice("COM4")->openCount, 0);
}

TEST_F(ComPortTest, DestructionCancelsAndCollectsOutstandingOperationsBeforeClosing) {
  auto port = OpenPort("COM4");
  HANDLE device = port->handle;
  // A write held up by flow control and an event wait, both outstanding.
  fake::PendNext("WriteFile");
  port->ComOut("x", 1);
  ASSERT_EQ(port->writePending, 1);
  port->eventMask = EV_CTS;
  port->CheckEvents();
  ASSERT_EQ(port->eventPending, 1);
  ASSERT_EQ(fake::OutstandingCount(), 2);
  // The purge alone ends the write; the wait needs the cancel.
  fake::Calls().clear();
  port.reset();

  EXPECT_EQ(fake::OutstandingCount(), 0);
  auto names = fake::CallNames();
  auto closeDevice = std::find(names.begin(), names.end(), "CloseHandle");
  ASSERT_NE(closeDevice, names.end());
  EXPECT_EQ(fake::Calls()[closeDevice - names.begin()].handle, device);
  // Every record's completion was collected before the device was closed.
  EXPECT_EQ(std::count(names.begin(), closeDevice, "GetOverlappedResult"), 2);
  EXPECT_EQ(fake::OpenHandleCount(), 0);
  // TearDown checks that nothing was closed or freed while outstanding.
}

TEST_F(ComPortTest, DestroyingAPortNotInTheListLeavesTheListAlone) {
  auto listed = OpenPort("COM1");
  auto stray = OpenPort("COM2");
  g_program.portList = listed.get();  // take COM2 out by hand
  stray.reset();
  EXPECT_EQ(g_program.portList, listed.get());
  EXPECT_EQ(listed->next, nullptr);
  EXPECT_EQ(fake::FindDevice("COM2")->openCount, 0);  // its device is released all the same
}

TEST_F(ComPortTest, LongNamesAreKeptWholeAndOverlongOnesRefused) {
  std::string name19(19, 'A'), name37 = "PIPE_" + std::string(32, 'B'), name38(38, 'C'), name300(300, 'D');
  for (const std::string& name : {name19, name37}) {
    auto port = OpenPort(name);
    EXPECT_EQ(std::string(port->portName), name);
    EXPECT_EQ(fake::CallsTo("CreateFileA").back().text, "\\\\.\\" + name);
  }
  EXPECT_TRUE(fake::Boxes().empty());

  fake::AddDevice(name38.substr(0, 37));  // the device a cut name would reach
  size_t opensBefore = fake::CallsTo("CreateFileA").size();
  for (const std::string& name : {name38, name300}) {
    ComPort port;
    EXPECT_EQ(port.Open(name.c_str()), 1);
    EXPECT_EQ(port.handle, nullptr);
  }
  EXPECT_EQ(fake::CallsTo("CreateFileA").size(), opensBefore);
  EXPECT_EQ(fake::BoxTexts(), (std::vector<std::string>{"Port name too long, characters:38",
                                                        "Port name too long, characters:300"}));
}
