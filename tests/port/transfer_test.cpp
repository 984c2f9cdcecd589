// ComOut and QueueStatus against the fake serial driver: what reaches
// the device, what the user is shown, and the state each call leaves behind.
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "port/comport.h"
#include "support.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class TransferTest : public OnePortTest {
 protected:

  // The calls of the given functions, in the order they were made.
  static std::vector<std::string> CallsAmong(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const std::string& n : fake::CallNames())
      for (const std::string& wanted : names)
        if (n == wanted) out.push_back(n);
    return out;
  }
};

// ---------------------------------------------------------------- ComOut

TEST_F(TransferTest, ComOutSendsTheCountGivenOrTheTextUpToItsNul) {
  struct Case {
    const char* bytes;
    int count;
    std::string sent;
  };
  const char withInnerNul[] = "ab\0cd";
  const Case cases[] = {
      {"hello", 0, "hello"},
      {withInnerNul, 0, "ab"},
      {"hello", 3, "hel"},
      {withInnerNul, 5, std::string("ab\0cd", 5)},  // a count sends NULs too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent.size());
    device->written.clear();
    fake::Calls().clear();
    EXPECT_EQ(port->ComOut(c.bytes, c.count), 0);
    auto writes = fake::CallsTo("WriteFile");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].args[1], c.sent.size());
    EXPECT_EQ(writes[0].args[3], reinterpret_cast<uintptr_t>(&port->writeOverlapped));
    EXPECT_EQ(device->written, c.sent);
  }
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

TEST_F(TransferTest, WriteCompletingAtOnceLeavesNothingToWaitFor) {
  port->ComOut("a", 1);
  EXPECT_EQ(port->writePending, 0);
  port->ComOut("b", 1);
  EXPECT_THAT(fake::CallsTo("WaitForSingleObject"), IsEmpty());
  EXPECT_EQ(device->written, "ab");
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

TEST_F(TransferTest, PendingWriteIsWaitedForBeforeTheNextOne) {
  fake::PendNext("WriteFile", [](fake::Op& op) { fake::CompleteWrite(op); });
  EXPECT_EQ(port->ComOut("first", 0), 0);
  EXPECT_EQ(port->writePending, 1);
  EXPECT_EQ(device->written, "");

  EXPECT_EQ(port->ComOut("second", 0), 0);
  EXPECT_EQ(port->writePending, 0);
  EXPECT_THAT(CallsAmong({"WriteFile", "WaitForSingleObject", "GetOverlappedResult"}),
              ElementsAre("WriteFile", "WaitForSingleObject", "GetOverlappedResult", "WriteFile"));
  auto waits = fake::CallsTo("WaitForSingleObject");
  ASSERT_EQ(waits.size(), 1u);
  EXPECT_EQ(waits[0].handle, port->writeOverlapped.hEvent);
  EXPECT_THAT(waits[0].args, ElementsAre(6000u));
  auto results = fake::CallsTo("GetOverlappedResult");
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].args[2], 0u);  // never blocks there
  EXPECT_EQ(device->written, "firstsecond");
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

// Each way the previous write can fail to be seen through: the box, and that
// the record is free again and the new write goes out in any case.
TEST_F(TransferTest, PreviousWriteFailuresAreShownAndTheNewWriteIsIssued) {
  struct Case {
    const char* name;
    std::function<void()> script;
    std::string box;
    bool cancelled;  // the old write was still running and had to be cancelled
  };
  const Case cases[] = {
      {"wait times out", [] { fake::PendNext("WriteFile"); }, "ComOut Pending Failed, stat:258", true},
      {"wait fails",
       [] {
         fake::PendNext("WriteFile");
         fake::WaitReturnsNext(WAIT_FAILED);
       },
       "ComOut Pending Failed, stat:-1", true},
      {"result not ready after the wait",
       [] {
         fake::PendNext("WriteFile");
         fake::WaitReturnsNext(WAIT_OBJECT_0);
       },
       "Timeout Comout GetOverLappedResult:996", true},
      {"write ended with an error",
       [] { fake::PendNext("WriteFile", [](fake::Op& op) { fake::CompleteWrite(op, ERROR_GEN_FAILURE); }); },
       "Error Comout GetOverLappedResult:31", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device->written.clear();
    fake::Calls().clear();
    fake::Boxes().clear();
    c.script();
    port->ComOut("old", 0);
    ASSERT_EQ(port->writePending, 1);

    EXPECT_EQ(port->ComOut("new", 0), 0);
    EXPECT_THAT(fake::BoxTexts(), ElementsAre(c.box));
    EXPECT_EQ(port->writePending, 0);
    EXPECT_EQ(device->written, "new");
    EXPECT_EQ(fake::OutstandingCount(), 0);
    EXPECT_EQ(fake::CallsTo("CancelIoEx").size(), c.cancelled ? 1u : 0u);
    EXPECT_THAT(fake::Violations(), IsEmpty());
  }
}

TEST_F(TransferTest, StuckWriteIsCancelledAndCollectedBeforeTheBoxAndTheNextWrite) {
  fake::PendNext("WriteFile");
  port->ComOut("stuck", 0);
  port->ComOut("k", 1);

  EXPECT_THAT(CallsAmong({"WriteFile", "WaitForSingleObject", "CancelIoEx", "GetOverlappedResult", "MessageBoxA"}),
              ElementsAre("WriteFile", "WaitForSingleObject", "CancelIoEx", "GetOverlappedResult", "MessageBoxA",
                          "WriteFile"));
  auto cancels = fake::CallsTo("CancelIoEx");
  ASSERT_EQ(cancels.size(), 1u);
  EXPECT_EQ(cancels[0].handle, port->handle);
  EXPECT_EQ(cancels[0].args[0], reinterpret_cast<uintptr_t>(&port->writeOverlapped));
  EXPECT_THAT(fake::CallsTo("WaitForSingleObject")[0].args, ElementsAre(6000u));
  EXPECT_EQ(device->written, "k");  // the cancelled bytes never went out
  EXPECT_THAT(fake::Violations(), IsEmpty());
}

// A key typed while the failure box is open sends at once; the outer call then
// still sends its own bytes, one write at a time on the record.
TEST_F(TransferTest, KeyTypedInsideTheFailureBoxDoesNotReuseABusyRecord) {
  fake::PendNext("WriteFile");
  port->ComOut("stuck", 0);
  int inner = 0;
  fake::onMessageBox = [&](const fake::Box&) {
    if (inner++ == 0) {
      // This write goes pending in turn: the outer call must see it through first.
      fake::PendNext("WriteFile", [](fake::Op& op) { fake::CompleteWrite(op); });
      port->ComOut("x", 1);
    }
    return IDOK;
  };
  port->ComOut("outer", 0);
  EXPECT_THAT(fake::BoxTexts(), ElementsAre("ComOut Pending Failed, stat:258"));
  EXPECT_EQ(device->written, "xouter");
  EXPECT_EQ(port->writePending, 0);
  EXPECT_THAT(fake::Violations(), IsEmpty());
}

TEST_F(TransferTest, PendingWriteSendsItsOwnCopyOfTheBytes) {
  fake::PendNext("WriteFile");
  char key[] = "XYZ";
  port->ComOut(key, 3);
  std::memset(key, 'Q', 3);  // the caller's buffer is gone or reused

  fake::Op* op = fake::LastOp("WriteFile");
  ASSERT_NE(op, nullptr);
  fake::CompleteWrite(*op);
  EXPECT_EQ(device->written, "XYZ");
  // Collect it, so the port is left with nothing outstanding.
  port->ComOut("", 0);
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

TEST_F(TransferTest, WriteFileFailingIsShownAndNothingIsPending) {
  fake::FailNext("WriteFile", ERROR_ACCESS_DENIED);
  EXPECT_EQ(port->ComOut("abc", 0), 0);
  EXPECT_THAT(fake::BoxTexts(), ElementsAre("Com Write Error:5"));
  EXPECT_EQ(port->writePending, 0);
  // The next write does not wait for the failed one.
  port->ComOut("d", 1);
  EXPECT_THAT(fake::CallsTo("WaitForSingleObject"), IsEmpty());
  EXPECT_EQ(device->written, "d");
}

// ---------------------------------------------------------------- QueueStatus

TEST_F(TransferTest, QueueStatusReportsTheDriversCounts) {
  device->rx = std::string(123, 'r');
  device->outQueue = 45;
  DWORD out = 99, in = 99;
  EXPECT_EQ(port->QueueStatus(&out, &in), 0);
  EXPECT_EQ(out, 45u);
  EXPECT_EQ(in, 123u);
  EXPECT_STREQ(port->screen.RingRow(0).text, "");
  EXPECT_EQ(port->needsRepaint, 0);
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

TEST_F(TransferTest, QueueStatusWritesLineErrorsToTheScreenAndClearsThem) {
  device->lineErrors = CE_FRAME | CE_OVERRUN;
  DWORD out = 0, in = 0;
  port->QueueStatus(&out, &in);
  EXPECT_STREQ(port->screen.RingRow(port->screen.CurrentIndex()).text, "<ERR:FRAME <ERR:OVERRUN>");
  // Cleared by the driver when read: the next pass adds nothing.
  port->QueueStatus(&out, &in);
  EXPECT_STREQ(port->screen.RingRow(port->screen.CurrentIndex()).text, "<ERR:FRAME <ERR:OVERRUN>");
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

TEST_F(TransferTest, QueueStatusFailureGoesToTheScreenAndReportsNoCounts) {
  device->rx = "waiting";
  device->outQueue = 7;
  // An error that does not mean a device gone (those are tests/port/recovery_test.cpp's).
  fake::FailNext("ClearCommError", ERROR_NOT_SUPPORTED);
  DWORD out = 99, in = 99;
  EXPECT_EQ(port->QueueStatus(&out, &in), 1);  // the zeros are no counts
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(in, 0u);
  std::ostringstream expected;
  expected << "<ERR 32H,ClearCommError, COM1, handle:" << std::hex << reinterpret_cast<uintptr_t>(port->handle)
           << ">";
  EXPECT_EQ(std::string(port->screen.RingRow(port->screen.CurrentIndex()).text), expected.str());
  EXPECT_EQ(port->needsRepaint, 1);
  EXPECT_THAT(fake::BoxTexts(), IsEmpty());
}

TEST_F(TransferTest, AFailingClearCommErrorIsNotedOnceUntilItWorksAgain) {
  DWORD out = 9, in = 9;
  port->AddText("received before", 0);
  for (int tick = 0; tick < 50; tick++) {
    fake::FailNext("ClearCommError", ERROR_NOT_SUPPORTED);
    port->QueueStatus(&out, &in);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(in, 0u);
  }
  std::string row = port->screen.RingRow(0).text;
  EXPECT_EQ(row.rfind("received before<ERR 32H,ClearCommError, COM1, handle:", 0), 0u) << row;
  EXPECT_EQ(port->screen.CurrentIndex(), 0);  // one notice, not fifty: what came before is still on screen
  port->QueueStatus(&out, &in);   // the driver answers again
  fake::FailNext("ClearCommError", ERROR_NOT_SUPPORTED);
  port->QueueStatus(&out, &in);
  std::string shown;  // rows 0 up to the cursor: the ring has not wrapped here
  for (int r = 0; r <= port->screen.CurrentIndex(); r++) shown += port->screen.RingRow(r).text;
  int notices = 0;
  for (size_t at = 0; (at = shown.find("ClearCommError", at)) != std::string::npos; at++) notices++;
  EXPECT_EQ(notices, 2) << shown;
}

TEST_F(TransferTest, QueueStatusErrorNumberIsLowerCaseHex) {
  fake::FailNext("ClearCommError", 0xABC);
  DWORD out = 0, in = 0;
  port->QueueStatus(&out, &in);
  EXPECT_EQ(std::string(port->screen.RingRow(port->screen.CurrentIndex()).text).rfind("<ERR abcH,ClearCommError, COM1, handle:", 0), 0u)
      << port->screen.RingRow(port->screen.CurrentIndex()).text;
}

}  // namespace
