// The port object on a real Win32 serial path: run under Wine, with COM5
// (PLIX_E2E_PORT) mapped to one end of a pseudo-terminal cable.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "msgbox_watcher.h"
#include "port/comport.h"
#include "port/errorbox.h"
#include "port/program.h"

namespace {

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != 0 ? value : fallback;
}

class PortOnWine : public ::testing::Test {
 protected:
  void SetUp() override {
    g_program = ProgramState{};
    g_program.platformId = VER_PLATFORM_WIN32_NT;
  }
  MessageBoxWatcher boxes_;
};

TEST_F(PortOnWine, OpensTheMappedPortAndLinksIt) {
  std::string name = Env("PLIX_E2E_PORT", "COM5");
  auto* port = new ComPort;
  ASSERT_EQ(port->Open(name.c_str()), 0) << (boxes_.Texts().empty() ? "" : boxes_.Texts()[0]);
  EXPECT_EQ(g_program.portList, port);
  EXPECT_NE(port->handle, nullptr);
  EXPECT_STREQ(port->portName, name.c_str());
  // The device really is a serial port: the driver answers for its state.
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  EXPECT_TRUE(GetCommState(port->handle, &dcb));
  // This driver has no loop-back switch.
  EXPECT_EQ(port->loopSupported, 0);
  EXPECT_EQ(port->lampCount, 5);

  HANDLE device = port->handle;
  delete port;
  EXPECT_EQ(g_program.portList, nullptr);
  // The handle no longer reaches the serial device (its value may already
  // name some other object of this process).
  EXPECT_FALSE(GetCommState(device, &dcb)) << "the device handle is still open";
  EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(PortOnWine, AMissingPortFailsWithTheSystemsNumberAndTheName) {
  std::string name = Env("PLIX_E2E_MISSING", "COM9");
  std::string path = "\\\\.\\" + name;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_EQ(h, INVALID_HANDLE_VALUE) << name << " is expected to be unmapped";
  DWORD expected = GetLastError();

  ComPort port;
  EXPECT_EQ(port.Open(name.c_str()), 1);
  ASSERT_TRUE(boxes_.WaitFor(1, 5000));
  EXPECT_EQ(boxes_.Texts(),
            std::vector<std::string>{"Error from CreateFile: " + std::to_string(expected) + " " + name + " 0"});
  EXPECT_EQ(port.handle, nullptr);
  EXPECT_EQ(g_program.portList, nullptr);
}

TEST_F(PortOnWine, ReopensAfterDestructionAndKeepsTheListInOrder) {
  std::string name = Env("PLIX_E2E_PORT", "COM5");
  std::string other = Env("PLIX_E2E_FAR", "COM6");
  auto* a = new ComPort;
  auto* b = new ComPort;
  ASSERT_EQ(a->Open(name.c_str()), 0);
  ASSERT_EQ(b->Open(other.c_str()), 0);
  EXPECT_EQ(g_program.portList, b);
  EXPECT_EQ(b->next, a);
  delete b;
  EXPECT_EQ(g_program.portList, a);
  delete a;
  auto* again = new ComPort;
  EXPECT_EQ(again->Open(name.c_str()), 0);
  delete again;
  EXPECT_EQ(g_program.portList, nullptr);
  EXPECT_TRUE(boxes_.Texts().empty());
}

}  // namespace
