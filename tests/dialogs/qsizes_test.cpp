// Queue sizes: the driver's current sizes on two boxes and SetupComm on OK.
#include "dialog_fixture.h"

namespace {

enum { kRx = 360, kTx = 361 };

class QueueSizesTest : public DialogTest {
 protected:
  void OpenDialog() { Open(QueueSizesDlgProc, {{kTx, kEdit}, {kRx, kEdit}, {IDOK, kButton}, {IDCANCEL, kButton}}); }
  std::vector<uint64_t> LastSetup() {
    auto calls = fake::CallsTo("SetupComm");
    return calls.empty() ? std::vector<uint64_t>{} : calls.back().args;
  }
};

TEST_F(QueueSizesTest, SizesInEveryFormReachSetupComm) {
  const struct {
    const char *rx, *tx;
    DWORD sentRx, sentTx;
  } cases[] = {
      {"4096", "0x1000", 4096, 4096},
      {"1000H", "2048", 4096, 2048},
      {"", "", 1200, 3400},  // an empty box keeps the size shown
      {"4294967295", "0x", MAXDWORD, 3400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rx);
    device->props.dwCurrentRxQueue = 1200;
    device->props.dwCurrentTxQueue = 3400;
    OpenDialog();
    EXPECT_EQ(Text(kRx), "1200");
    EXPECT_EQ(Text(kTx), "3400");
    Type(kRx, c.rx);
    Type(kTx, c.tx);
    Press(IDOK);
    EXPECT_EQ(LastSetup(), (std::vector<uint64_t>{c.sentRx, c.sentTx}));
    EXPECT_EQ(fake::CallsTo("SetupComm").back().handle, port->handle);
  }
  EXPECT_TRUE(fake::Boxes().empty());
}

TEST_F(QueueSizesTest, RefusalIsShownWhateverTheNumber) {
  for (DWORD error : {DWORD{87}, DWORD{0}}) {
    fake::Boxes().clear();
    OpenDialog();
    fake::FailNext("SetupComm", error);
    Press(IDOK);
    EXPECT_EQ(fake::BoxTexts(), std::vector<std::string>{"Error from SetupComm:" + std::to_string(error)});
  }
}

TEST_F(QueueSizesTest, FailedReadShowsTheSizesLastAskedFor) {
  OpenDialog();
  Type(kRx, "777");
  Type(kTx, "888");
  fake::FailNext("SetupComm", ERROR_INVALID_PARAMETER);
  Press(IDOK);
  fake::FailNext("GetCommProperties", ERROR_INVALID_HANDLE);
  OpenDialog();
  EXPECT_EQ(Text(kRx), "777");
  EXPECT_EQ(Text(kTx), "888");
}

TEST_F(QueueSizesTest, CancelSendsNothing) {
  OpenDialog();
  Type(kRx, "1");
  Press(IDCANCEL);
  EXPECT_EQ(DriverWrites(), 0);
}

}  // namespace
