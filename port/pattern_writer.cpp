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
  failure_.Clear();
  io_.Start(device, threaded, [this] { return Cycle(); });
}

void PatternWriter::Pump() {
  if (io_.Running() && !io_.Threaded() && !failure_.Pending()) Cycle();
}

bool PatternWriter::Cycle() {
  return WriteBlock(io_, block_.data(), static_cast<DWORD>(block_.size()), sent_, failure_);
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
