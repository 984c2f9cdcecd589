#include "port/pattern_writer.h"

#include "port/comport.h"

namespace {
// As long as a single write was ever given: a write that takes longer means a line that does not move.
constexpr DWORD kWriteWaitMs = 6000;
}  // namespace

void PatternWriter::Start(HANDLE device, const char* pattern, int length, DWORD baud, bool threaded) {
  Stop();
  length_ = length;
  most_ = kMostWriteBytes / length > 1 ? kMostWriteBytes / length : 1;
  rate_ = LineRate(LineRate::FromBaud(baud));
  block_.clear();
  for (int i = 0; i < most_; i++) block_.insert(block_.end(), pattern, pattern + length);
  failure_.Clear();
  keys_.Reserve();
  io_.Start(device, threaded, [this] { return Cycle(); });
}

void KeyQueue::Reserve() {
  std::lock_guard<std::mutex> hold(lock_);
  waiting_.clear();
  waiting_.reserve(kKeyRoom);
  out_.reserve(kKeyRoom);
}

bool KeyQueue::Put(const IoThread& io, const char* bytes, size_t count) {
  // Taken until the thread has ended, ending or not: its last write may still
  // be in flight. What it takes after its last look is sent by the window's
  // thread once it has ended (Take).
  if (!io.Running() || io.Ended()) return false;  // Ended: also when there is no thread
  std::lock_guard<std::mutex> hold(lock_);
  if (waiting_.size() + count > kMostKeyBytes) return false;
  waiting_.insert(waiting_.end(), bytes, bytes + count);
  return true;
}

bool KeyQueue::Send(IoThread& io, FailureSlot<WriteFailure>& failure) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (waiting_.empty()) return true;
    out_.swap(waiting_);
  }
  std::atomic<uint64_t> moved{0};  // counted when typed, not as the sender's
  const bool sent = WriteBlock(io, out_.data(), static_cast<DWORD>(out_.size()), moved, failure);
  out_.clear();
  return sent;
}

std::string KeyQueue::Take() {
  std::lock_guard<std::mutex> hold(lock_);
  std::string keys(waiting_.begin(), waiting_.end());
  waiting_.clear();
  return keys;
}

void PatternWriter::Pump() {
  if (io_.Running() && !io_.Threaded() && !failure_.Pending()) Cycle();
}

bool PatternWriter::Cycle() {
  if (!keys_.Send(io_, failure_)) return false;
  const DWORD count = static_cast<DWORD>(PatternsPerWrite(rate_, length_, most_) * length_);
  const uint64_t began = MonotonicMicros();
  if (!WriteBlock(io_, block_.data(), count, sent_, failure_)) return false;
  // Without a thread a write is cut short at once: its time says nothing of the line.
  if (io_.Threaded()) rate_.Busy(count, MonotonicMicros() - began);
  return true;
}

bool WriteBlock(IoThread& io, const char* bytes, DWORD count, std::atomic<uint64_t>& sent,
                FailureSlot<WriteFailure>& failure) {
  auto fail = [&failure](WriteFailure::Kind kind, DWORD error) {
    failure.Put(WriteFailure{kind, error});
    return false;
  };
  HANDLE device = io.device();
  OVERLAPPED* record = io.record();
  DWORD written = 0;
  if (WriteFile(device, bytes, count, &written, record)) {
    sent.fetch_add(written);
    return true;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_IO_PENDING) return fail(WriteFailure::kRefused, error);
  // Without a thread a write not done at once is cancelled; what it moved counts.
  const DWORD wait = io.Threaded() ? io.WaitForOperation(kWriteWaitMs) : WaitForSingleObject(record->hEvent, 0);
  if (wait != WAIT_OBJECT_0) {
    sent.fetch_add(CancelAndCollect(device, record));
    if (!io.Threaded()) return true;
    if (wait == IoThread::kStopping) return false;
    // A write that does not end for seconds is reported as a stuck write always was.
    return fail(WriteFailure::kTimedOut, wait);
  }
  if (!GetOverlappedResult(device, record, &written, FALSE)) {
    sent.fetch_add(written);
    return fail(WriteFailure::kFailed, GetLastError());
  }
  sent.fetch_add(written);
  return true;
}
