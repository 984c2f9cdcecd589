#include "msgbox_watcher.h"

#include <algorithm>

namespace {
constexpr int kMessageTextId = 0xFFFF;  // the static control holding a message box's text
}

MessageBoxWatcher::MessageBoxWatcher(DWORD pid)
    : pid_(pid != 0 ? pid : GetCurrentProcessId()), thread_([this] { Run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
}

std::vector<std::string> MessageBoxWatcher::Texts() {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_;
}

std::vector<std::string> MessageBoxWatcher::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  out.swap(texts_);
  return out;
}

bool MessageBoxWatcher::WaitFor(size_t n, DWORD milliseconds) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (texts_.size() >= n) return true;
    }
    Sleep(20);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_.size() >= n;
}

void MessageBoxWatcher::Run() {
  while (!stop_) {
    EnumWindows(OnWindow, reinterpret_cast<LPARAM>(this));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      answered_.erase(std::remove_if(answered_.begin(), answered_.end(), [](HWND w) { return !IsWindow(w); }),
                      answered_.end());
    }
    Sleep(20);
  }
}

BOOL CALLBACK MessageBoxWatcher::OnWindow(HWND window, LPARAM selfParam) {
  auto* self = reinterpret_cast<MessageBoxWatcher*>(selfParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != self->pid_ || !IsWindowVisible(window)) return TRUE;
  if (!IsMessageBox(window)) return TRUE;
  HWND text = GetDlgItem(window, kMessageTextId);
  {
    std::lock_guard<std::mutex> lock(self->mutex_);
    if (std::find(self->answered_.begin(), self->answered_.end(), window) != self->answered_.end()) return TRUE;
    char buffer[512] = {};
    GetWindowTextA(text, buffer, sizeof buffer);
    self->texts_.push_back(buffer);
    self->answered_.push_back(window);
  }
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}
