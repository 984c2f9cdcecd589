// Shared fixture: a clean fake Win32 layer and clean globals for every test.
#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "fake.h"
#include "port/comport.h"
#include "port/errorbox.h"
#include "port/program.h"
#include "terminal/view.h"

// Makes a fresh directory the current one for its lifetime (capture files
// land in the current directory), then goes back and removes it.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    char pattern[] = "/tmp/plix-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr || getcwd(previous_, sizeof previous_) == nullptr || chdir(pattern) != 0)
      ADD_FAILURE() << "no scratch directory";
    path_ = pattern;
  }
  ~ScratchDirectory() {
    if (chdir(previous_) != 0) ADD_FAILURE() << "cannot go back to " << previous_;
    std::string cleanup = "rm -rf " + path_;
    if (std::system(cleanup.c_str()) != 0) ADD_FAILURE() << "cannot remove " << path_;
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

 private:
  std::string path_;
  char previous_[4096] = {};
};

// A file's whole content ("" when it cannot be read).
inline std::string FileText(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class FakeWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    g_program = ProgramState{};
    g_program.platformId = VER_PLATFORM_WIN32_NT;
    SetErrorBoxOwner(reinterpret_cast<HWND>(0xF00));
  }
  void TearDown() override {
    EXPECT_TRUE(fake::Violations().empty()) << ::testing::PrintToString(fake::Violations());
  }

  // Opens a port on a fresh fake device of that name; the test owns the result.
  std::unique_ptr<ComPort> OpenPort(const std::string& name) {
    if (fake::FindDevice(name) == nullptr) fake::AddDevice(name);
    auto port = std::make_unique<ComPort>();
    EXPECT_EQ(port->Open(name.c_str()), 0);
    return port;
  }
};

// One port open on the fake device "COM1", with the records of its opening
// cleared, so that a test sees only what the operation under test does.
class OnePortTest : public FakeWinTest {
 protected:
  void SetUp() override {
    FakeWinTest::SetUp();
    port = OpenPort("COM1");
    device = fake::FindDevice("COM1");
    fake::Calls().clear();
    fake::Boxes().clear();
  }
  void TearDown() override {
    port.reset();
    FakeWinTest::TearDown();
  }

  std::unique_ptr<ComPort> port;
  fake::Device* device = nullptr;
};
