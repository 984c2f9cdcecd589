#include "port/program.h"
#include "support.h"

using LoopbackTest = FakeWinTest;
using ::testing::ElementsAre;

namespace {
constexpr uint64_t kIoctlOn = 0x001B2014, kIoctlOff = 0x001B2018;
}

TEST_F(LoopbackTest, OnNtTheProbeIsTheOffIoctlWithItsOwnOverlapped) {
  auto port = OpenPort("COM1");
  auto requests = fake::CallsTo("DeviceIoControl");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].handle, port->handle);
  EXPECT_EQ(requests[0].args[0], kIoctlOff);
  EXPECT_THAT(std::vector<uint64_t>(requests[0].args.begin() + 1, requests[0].args.begin() + 5),
              ElementsAre(0u, 0u, 0u, 0u));  // no buffers
  const uint64_t record = requests[0].args[6];
  EXPECT_NE(record, 0u);
  // Not one of the port's own records, which belong to read, write and event wait.
  for (const OVERLAPPED* own : {&port->readOverlapped, &port->writeOverlapped, &port->eventOverlapped})
    EXPECT_NE(record, reinterpret_cast<uintptr_t>(own));
  EXPECT_TRUE(fake::CallsTo("EscapeCommFunction").empty());
}

TEST_F(LoopbackTest, TheAnswerToTheProbeDecidesTheLampCount) {
  fake::AddDevice("COM1").loopAnswer = FALSE;
  fake::AddDevice("COM2").loopAnswer = TRUE;
  auto plain = OpenPort("COM1");
  auto looping = OpenPort("COM2");
  EXPECT_EQ(plain->loopSupported, 0);
  EXPECT_EQ(plain->lampCount, 5);
  EXPECT_EQ(looping->loopSupported, 1);
  EXPECT_EQ(looping->lampCount, 6);
  // The probe switched loop-back off, which is what outputLines already says.
  EXPECT_EQ(looping->outputLines, kLineDtr | kLineRts);
  EXPECT_TRUE(fake::Boxes().empty());  // a refused probe is not an error
}

TEST_F(LoopbackTest, OtherPlatformsUseTheEscapeFunctions) {
  g_program.platformId = VER_PLATFORM_WIN32_WINDOWS;
  fake::AddDevice("COM1").loopAnswer = TRUE;
  auto port = OpenPort("COM1");
  EXPECT_EQ(port->lampCount, 6);
  port->SetLoopback(1);
  port->SetLoopback(0);
  auto escapes = fake::CallsTo("EscapeCommFunction");
  ASSERT_EQ(escapes.size(), 3u);
  EXPECT_THAT(escapes[0].args, ElementsAre(0x3D21u));
  EXPECT_THAT(escapes[1].args, ElementsAre(0x3D20u));
  EXPECT_THAT(escapes[2].args, ElementsAre(0x3D21u));
  EXPECT_TRUE(fake::CallsTo("DeviceIoControl").empty());
}

TEST_F(LoopbackTest, TheBitFollowsTheRequestEvenWhenTheDeviceRefuses) {
  fake::AddDevice("COM1").loopAnswer = FALSE;
  auto port = OpenPort("COM1");
  port->SetLoopback(1);
  EXPECT_EQ(port->outputLines & kLineLoop, kLineLoop);
  EXPECT_EQ(fake::CallsTo("DeviceIoControl").back().args[0], kIoctlOn);
  port->SetLoopback(0);
  EXPECT_EQ(port->outputLines, kLineDtr | kLineRts);
  EXPECT_EQ(fake::CallsTo("DeviceIoControl").back().args[0], kIoctlOff);
  EXPECT_TRUE(fake::Boxes().empty());
}

TEST_F(LoopbackTest, RequestsGoToThePortsOwnDevice) {
  auto first = OpenPort("COM1");
  auto second = OpenPort("COM2");
  second->SetLoopback(1);
  EXPECT_EQ(fake::CallsTo("DeviceIoControl").back().handle, second->handle);
}

TEST_F(LoopbackTest, APendingProbeIsWaitedForWithinItsBound) {
  fake::AddDevice("COM1");
  // The driver finishes the request while the program waits.
  fake::PendNext("DeviceIoControl", [](fake::Op& op) { fake::Complete(op, 0, 0); });
  auto port = OpenPort("COM1");
  EXPECT_EQ(port->loopSupported, 1);
  auto waits = fake::CallsTo("WaitForSingleObject");
  ASSERT_EQ(waits.size(), 1u);
  EXPECT_GT(waits[0].args[0], 0u);
  EXPECT_LT(waits[0].args[0], static_cast<uint64_t>(INFINITE));
}

TEST_F(LoopbackTest, AProbeThatNeverFinishesIsCancelledAndCollected) {
  fake::AddDevice("COM1");
  fake::PendNext("DeviceIoControl");  // the driver never answers
  auto port = OpenPort("COM1");
  EXPECT_EQ(port->loopSupported, 0);
  EXPECT_EQ(port->lampCount, 5);
  EXPECT_EQ(fake::OutstandingCount(), 0);
  auto names = fake::CallNames();
  auto cancel = std::find(names.begin(), names.end(), "CancelIoEx");
  ASSERT_NE(cancel, names.end());
  EXPECT_NE(std::find(cancel, names.end(), "GetOverlappedResult"), names.end());
  EXPECT_EQ(g_program.portList, port.get());  // the open itself succeeded
}

TEST_F(LoopbackTest, EveryHandleTheRequestsMadeIsClosedAgain) {
  auto port = OpenPort("COM1");
  for (int i = 0; i < 10; i++) port->SetLoopback(i % 2);
  port.reset();
  EXPECT_EQ(fake::OpenHandleCount(), 0);
}
