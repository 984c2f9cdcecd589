#include "port/io_thread.h"

#include <utility>

void IoThread::Start(HANDLE device, bool threaded, std::function<bool()> step) {
  Stop();
  device_ = device;
  record_ = OVERLAPPED{};
  record_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  stopEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  wakeEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  threaded_ = threaded;
  ended_.store(false);
  if (threaded) thread_ = std::thread([this, step = std::move(step)] {
      while (!stopping_.load() && step()) {
      }
      ended_.store(true);
    });
}

void IoThread::Stop() {
  if (device_ == nullptr) return;
  if (thread_.joinable()) {
    // In this order: an operation issued after the cancel still sees the stop event.
    stopping_.store(true);
    SetEvent(stopEvent_);
    CancelIoEx(device_, &record_);
    thread_.join();
  }
  for (HANDLE event : {record_.hEvent, stopEvent_, wakeEvent_})
    if (event != nullptr) CloseHandle(event);
  record_.hEvent = stopEvent_ = wakeEvent_ = nullptr;
  device_ = nullptr;
  stopping_.store(false);
}

DWORD IoThread::WaitForOperation(DWORD milliseconds) {
  HANDLE waits[3] = {record_.hEvent, stopEvent_, wakeEvent_};
  return WaitForMultipleObjects(3, waits, FALSE, milliseconds);
}

void IoThread::Pause(DWORD milliseconds) {
  HANDLE waits[2] = {stopEvent_, wakeEvent_};
  WaitForMultipleObjects(2, waits, FALSE, milliseconds);
}
