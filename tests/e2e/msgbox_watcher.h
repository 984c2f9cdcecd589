// Answers the message boxes of a process from a second thread, so that code
// which shows them can run unattended, and records what each box said.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A message box: a "#32770" window with the text control 0xFFFF and no edit
// field or list, which the program's settings dialogs have (their labels may
// also have id -1, that is 0xFFFF), no list box, which the Ports dialog has,
// and no Reset button (410), which the Port Statistics dialog has instead.
inline bool IsMessageBox(HWND window) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::string(cls) != "#32770" || GetDlgItem(window, 0xFFFF) == nullptr) return false;
  return FindWindowExA(window, nullptr, "Edit", nullptr) == nullptr &&
         FindWindowExA(window, nullptr, "ComboBox", nullptr) == nullptr &&
         FindWindowExA(window, nullptr, "ListBox", nullptr) == nullptr && GetDlgItem(window, 410) == nullptr;
}

class MessageBoxWatcher {
 public:
  // Watches the boxes of the process `pid` (0: this process).
  explicit MessageBoxWatcher(DWORD pid = 0);
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // Texts of the boxes answered so far, in order; Take also forgets them.
  std::vector<std::string> Texts();
  std::vector<std::string> Take();
  // Waits until at least n boxes have been answered or the time is up.
  bool WaitFor(size_t n, DWORD milliseconds);

 private:
  void Run();
  static BOOL CALLBACK OnWindow(HWND window, LPARAM self);

  DWORD pid_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> texts_;
  std::vector<HWND> answered_;
  std::thread thread_;
};
