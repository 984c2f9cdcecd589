// The fake must behave as the system does where the program relies on it.
#include "support.h"

using FakeDriverTest = FakeWinTest;

TEST_F(FakeDriverTest, PendingOperationsCompleteIntoTheirRecordsAndAreCollectedOnce) {
  fake::AddDevice("COM1").rx = "hello";
  HANDLE h = CreateFileA("\\\\.\\COM1", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  OVERLAPPED ov = {};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  char buf[8] = {};
  DWORD n = 99;

  fake::PendNext("ReadFile");
  EXPECT_FALSE(ReadFile(h, buf, 5, nullptr, &ov));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 100), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(GetOverlappedResult(h, &ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));

  fake::CompleteRead(*fake::LastOp("ReadFile"), "abc");
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 100), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
  EXPECT_EQ(n, 3u);
  EXPECT_STREQ(buf, "abc");

  // An immediate read takes from the queue.
  EXPECT_TRUE(ReadFile(h, buf, 8, &n, &ov));
  EXPECT_EQ(n, 5u);
  CloseHandle(ov.hEvent);
  CloseHandle(h);
}

TEST_F(FakeDriverTest, ReportsMisuseOfRecordsAndHandles) {
  fake::AddDevice("COM1");
  HANDLE h = CreateFileA("\\\\.\\COM1", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  OVERLAPPED ov = {};
  DWORD mask = 0;
  SetCommMask(h, EV_CTS);
  EXPECT_FALSE(WaitCommEvent(h, &mask, &ov));  // nothing yet: pends
  EXPECT_FALSE(WaitCommEvent(h, &mask, &ov));  // same record again while outstanding
  CloseHandle(h);
  CloseHandle(h);
  auto& v = fake::Violations();
  ASSERT_EQ(v.size(), 4u);
  EXPECT_NE(v[0].find("reused"), std::string::npos);
  EXPECT_NE(v[1].find("device closed"), std::string::npos);  // both waits were outstanding
  EXPECT_NE(v[2].find("device closed"), std::string::npos);
  EXPECT_NE(v[3].find("not open"), std::string::npos);
  fake::Violations().clear();
}

TEST_F(FakeDriverTest, ANewMaskEndsAnOutstandingEventWaitWithAnEmptyMask) {
  fake::AddDevice("COM1");
  HANDLE h = CreateFileA("\\\\.\\COM1", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  OVERLAPPED ov = {};
  DWORD mask = 0xdead, n;
  SetCommMask(h, EV_CTS);
  EXPECT_FALSE(WaitCommEvent(h, &mask, &ov));
  SetCommMask(h, EV_DSR);
  EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
  EXPECT_EQ(mask, 0u);
  CloseHandle(h);
}
