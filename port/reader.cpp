#include "port/reader.h"

#include "port/comport.h"

void PortReader::Start(HANDLE device, bool threaded, HWND notify, UINT message) {
  Stop();
  device_ = device;
  threaded_ = threaded;
  notify_ = notify;
  message_ = message;
  record_ = OVERLAPPED{};
  record_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  stopEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  failed_.store(false);
  if (threaded_) thread_ = std::thread(&PortReader::Loop, this);
}

void PortReader::Stop() {
  if (device_ == nullptr) return;
  if (thread_.joinable()) {
    // In this order: a read issued after the cancel still sees the stop event.
    stopping_.store(true);
    SetEvent(stopEvent_);
    CancelIoEx(device_, &record_);
    thread_.join();
  }
  for (HANDLE event : {record_.hEvent, stopEvent_})
    if (event != nullptr) CloseHandle(event);
  record_.hEvent = stopEvent_ = nullptr;
  device_ = nullptr;
  stopping_.store(false);
}

void PortReader::Pump() {
  if (device_ == nullptr || threaded_ || failed_.load()) return;
  for (;;) {
    const size_t before = ring_.Filled();
    if (!Cycle() || ring_.Filled() == before || ring_.Filled() == ring_.Capacity()) return;
  }
}

ReadFailure PortReader::TakeFailure() {
  if (!failed_.load(std::memory_order_acquire)) return ReadFailure{};
  ReadFailure failure = failure_;
  failed_.store(false);
  return failure;
}

void PortReader::Tell() {
  if (notify_ != nullptr && !told_.exchange(true)) PostMessageA(notify_, message_, 0, 0);
}

void PortReader::Loop() {
  while (!stopping_.load() && Cycle()) {
  }
}

bool PortReader::Cycle() {
  size_t room = 0;
  char* at = ring_.FreeSpan(&room);
  if (room == 0) {
    // The window's thread is behind: the driver keeps the bytes meanwhile.
    if (threaded_) WaitForSingleObject(stopEvent_, 5);
    return threaded_;
  }
  if (room > kReadBlock) room = kReadBlock;
  DWORD got = 0;
  bool waited = false;
  if (!ReadFile(device_, at, static_cast<DWORD>(room), &got, &record_)) {
    DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
      failure_ = ReadFailure{error, false};
      failed_.store(true, std::memory_order_release);
      Tell();
      return false;
    }
    waited = true;
    bool ended;
    if (threaded_) {
      HANDLE waits[2] = {record_.hEvent, stopEvent_};
      ended = WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0;
    } else {
      ended = WaitForSingleObject(record_.hEvent, 0) == WAIT_OBJECT_0;
    }
    if (!ended) {
      // Stopping (or, without a thread, nothing more now): what the read took is kept.
      got = CancelAndCollect(device_, &record_);
      if (got > 0) ring_.Commit(got);
      return false;
    }
    if (!GetOverlappedResult(device_, &record_, &got, FALSE)) {
      error = GetLastError();
      // Wine ends a read at its time-out with ERROR_TIMEOUT where Windows
      // reports success; the count is right either way.
      if (error != ERROR_TIMEOUT) {
        if (got > 0) ring_.Commit(got);
        failure_ = ReadFailure{error, true};
        failed_.store(true, std::memory_order_release);
        Tell();
        return false;
      }
    }
  }
  if (got > 0) {
    ring_.Commit(got);
    Tell();
  } else if (!waited && threaded_) {
    // A driver that answers at once with nothing would have the thread spin.
    WaitForSingleObject(stopEvent_, kReadSliceMs);
  }
  return true;
}
