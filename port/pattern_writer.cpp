#include "port/pattern_writer.h"

#include "port/comport.h"

namespace {
// As long as a single write was ever given: a write that takes longer means a line that does not move.
constexpr DWORD kWriteWaitMs = 6000;
constexpr int kLeastPatternBytes = 8 * 1024;
}  // namespace

int PatternsPerWrite(DWORD baud, int length) {
  const int byRate = static_cast<int>(baud / 100 / static_cast<DWORD>(length));
  const int bySize = (kLeastPatternBytes + length - 1) / length;
  return byRate > bySize ? byRate : bySize;
}

void PatternWriter::Start(HANDLE device, const char* pattern, int length, int copies, bool threaded) {
  Stop();
  block_.clear();
  for (int i = 0; i < copies; i++) block_.insert(block_.end(), pattern, pattern + length);
  length_ = length;
  device_ = device;
  record_ = OVERLAPPED{};
  record_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  stopEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  failed_.store(false);
  if (threaded) thread_ = std::thread([this] {
      while (!stopping_.load() && Cycle(kWriteWaitMs)) {
      }
    });
}

void PatternWriter::Stop() {
  if (device_ == nullptr) return;
  if (thread_.joinable()) {
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

void PatternWriter::Pump() {
  if (device_ != nullptr && !thread_.joinable() && !failed_.load()) Cycle(0);
}

WriteFailure PatternWriter::TakeFailure() {
  if (!failed_.load(std::memory_order_acquire)) return WriteFailure{};
  WriteFailure failure = failure_;
  failed_.store(false);
  return failure;
}

bool PatternWriter::Fail(WriteFailure::Kind kind, DWORD error) {
  failure_ = WriteFailure{kind, error};
  failed_.store(true, std::memory_order_release);
  return false;
}

bool PatternWriter::Cycle(DWORD waitMs) {
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(block_.size());
  if (WriteFile(device_, block_.data(), size, &written, &record_)) {
    sent_.fetch_add(written);
    return true;
  }
  DWORD error = GetLastError();
  if (error != ERROR_IO_PENDING) return Fail(WriteFailure::kRefused, error);
  HANDLE waits[2] = {record_.hEvent, stopEvent_};
  const DWORD wait = WaitForMultipleObjects(2, waits, FALSE, waitMs);
  if (wait != WAIT_OBJECT_0) {
    sent_.fetch_add(CancelAndCollect(device_, &record_));
    if (wait == WAIT_OBJECT_0 + 1) return false;  // stopping
    // Without a thread the next pass sees it out; with one, a write that
    // does not end for seconds is reported as a stuck write always was.
    return waitMs == 0 ? true : Fail(WriteFailure::kTimedOut, wait);
  }
  if (!GetOverlappedResult(device_, &record_, &written, FALSE)) {
    sent_.fetch_add(written);
    return Fail(WriteFailure::kFailed, GetLastError());
  }
  sent_.fetch_add(written);
  return true;
}
