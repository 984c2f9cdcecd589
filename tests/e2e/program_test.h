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
    ASSERT_TRUE(EmptyCable(port_, far_)) << "the cable " << port_ << " <-> " << far_ << " does not fall quiet";
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

  // Opens a COM port from the Port menu (command 499 + n opens COMn) and
  // waits for its terminal window.
  HWND OpenFromMenu(const std::string& com) {
    app_.Command(499 + Number(com));
    return app_.WaitForTerminal(com.c_str(), 5000);
  }

  // Waits until the program has done what it was going to do: no box or
  // dialog of it exists, and it answered a message sent after the last one
  // went. A box it shows next exists before it can answer (the box's own loop
  // answers, even before the box is visible), so once this holds, every box
  // it showed has been answered and recorded by the watcher.
  bool Settled(DWORD milliseconds = 5000) {
    const DWORD start = GetTickCount();
    for (;;) {
      const DWORD used = GetTickCount() - start;
      if (used >= milliseconds) return false;
      if (!WaitUntil([&] { return !HasDialog(); }, milliseconds - used)) return false;
      if (!app_.Answers(milliseconds - used, nullptr)) return false;
      if (!HasDialog()) return true;
    }
  }

  // Whether a window of the dialog class (a box too), shown or not yet, exists.
  bool HasDialog() const {
    DialogSearch search{app_.pid(), false};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  struct DialogSearch {
    DWORD pid;
    bool found;
  };
  static BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD pid = 0;
    char cls[16] = {};
    GetWindowThreadProcessId(window, &pid);
    GetClassNameA(window, cls, sizeof cls);
    if (pid == search->pid && std::string(cls) == "#32770") search->found = true;
    return !search->found;
  }

  std::string port_, far_, missing_, workdir_;
  PlixApp app_;
  std::unique_ptr<MessageBoxWatcher> boxes_;
};
