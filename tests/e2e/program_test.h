// The fixture of the tests that drive the real program: plix32.exe started in
// the run's work directory (or one a test names), its message boxes answered
// and recorded, and the program closed again after each test.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "msgbox_watcher.h"
#include "plix_app.h"

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = EnvOr("PLIX_E2E_PORT", "COM5");
    far_ = EnvOr("PLIX_E2E_FAR", "COM6");
    missing_ = EnvOr("PLIX_E2E_MISSING", "COM9");
    workdir_ = FullPath(EnvOr("PLIX_E2E_WORKDIR", "build\\e2e-app"));
    CreateDirectoryA(workdir_.c_str(), nullptr);
  }

  void StartIn(const std::string& directory) {
    std::string why;
    ASSERT_TRUE(app_.Start(FullPath(EnvOr("PLIX_EXE", "build\\win64\\plix32.exe")), directory, &why)) << why;
    boxes_ = std::make_unique<MessageBoxWatcher>(app_.pid());
  }

  void TearDown() override {
    if (app_.Running()) {
      EXPECT_EQ(app_.CloseAndWait(10000), 0u) << "the program did not end cleanly";
    }
    boxes_.reset();
  }

  static int Number(const std::string& com) { return std::stoi(com.substr(3)); }

  std::string port_, far_, missing_, workdir_;
  PlixApp app_;
  std::unique_ptr<MessageBoxWatcher> boxes_;
};
