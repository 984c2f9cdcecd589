#include "port/port_writer.h"

#include <cstring>
#include <utility>

#include "port/comport.h"

namespace {
// As long as a single write was ever given: a write that takes longer means a line that does not move.
constexpr DWORD kWriteWaitMs = 6000;
}  // namespace

void PortWriter::Start(HANDLE device, const char* pattern, int length, DWORD baud, bool threaded) {
  Stop();
  length_ = length;
  most_ = kMostWriteBytes / length > 1 ? kMostWriteBytes / length : 1;
  rate_ = LineRate(LineRate::FromBaud(baud));
  block_.clear();
  for (int i = 0; i < most_; i++) block_.insert(block_.end(), pattern, pattern + length);
  failure_.Clear();
  keys_.Reserve();
  io_.Start(device, threaded, [this] { return Cycle(true); });
}

void PortWriter::Pump(bool outputEmpty) {
  if (io_.Running() && !io_.Threaded() && !failure_.Pending()) Cycle(outputEmpty);
}

void PortWriter::LoadFile(std::vector<char> bytes) {
  if (fileLoaded_.load()) DropFile();
  std::lock_guard<std::mutex> hold(fileLock_);
  file_.bytes_ = std::move(bytes);
  file_.sent_.store(0);
  fileLoaded_.store(true);
}

void PortWriter::DropFile() {
  fileLoaded_.store(false);
  io_.Wake();  // a write of the file in flight, or a pause after one, ends now
  std::lock_guard<std::mutex> hold(fileLock_);  // and the thread lets go of the file
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
  waiting_.insert(waiting_.end(), bytes, bytes + count);
  return true;
}

bool KeyQueue::Waiting() {
  std::lock_guard<std::mutex> hold(lock_);
  return !waiting_.empty();
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

bool PortWriter::Cycle(bool outputEmpty) {
  if (!keys_.Send(io_, failure_)) return false;
  const Step file = SendFileBlock();
  if (file != kNothing) return file == kWrote;
  if (!patterns_.load() || !outputEmpty) return false;  // nothing to send: the thread ends
  const DWORD count = static_cast<DWORD>(PatternsPerWrite(rate_, length_, most_) * length_);
  const uint64_t began = MonotonicMicros();
  if (!WriteBlock(io_, block_.data(), count, patternSent_, failure_)) return false;
  // Without a thread a write is cut short at once: its time says nothing of the line.
  if (io_.Threaded()) rate_.Busy(count, MonotonicMicros() - began);
  return true;
}

// Held for the whole write and the pause after it, both of which DropFile
// cuts short: the window's thread then waits no longer than a cancel takes.
PortWriter::Step PortWriter::SendFileBlock() {
  std::lock_guard<std::mutex> hold(fileLock_);
  const uint64_t at = file_.sent_.load();
  if (!fileLoaded_.load() || at >= file_.bytes_.size()) return kNothing;
  DWORD pause = 0;
  const DWORD count = file_.Next(at, &pause);
  if (!WriteBlock(io_, file_.bytes_.data() + at, count, file_.sent_, failure_, &fileLoaded_)) return kStop;
  if (pause > 0 && io_.Threaded() && fileLoaded_.load() && file_.sent_.load() < file_.bytes_.size()) io_.Pause(pause);
  return kWrote;
}

DWORD FileJob::Next(uint64_t at, DWORD* pause) const {
  *pause = pauseMs_.load();
  uint64_t count = bytes_.size() - at;
  if (*pause > 0 && perLine_.load()) {
    // Up to and with the next line feed.
    const void* end = std::memchr(bytes_.data() + at, '\n', static_cast<size_t>(count));
    if (end != nullptr) count = static_cast<const char*>(end) - (bytes_.data() + at) + 1;
  }
  const DWORD most = *pause > 0 && !perLine_.load() ? block_.load() : kSendBlock;
  return static_cast<DWORD>(count > most ? most : count);
}

bool WriteBlock(IoThread& io, const char* bytes, DWORD count, std::atomic<uint64_t>& sent,
                FailureSlot<WriteFailure>& failure, const std::atomic<bool>* wanted) {
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
  DWORD wait;
  if (!io.Threaded()) {
    wait = WaitForSingleObject(record->hEvent, 0);
  } else {
    // A wake for something else (the file still wanted) waits on, for what is left of the time.
    const uint64_t until = MonotonicMicros() + kWriteWaitMs * 1000ull;
    do {
      const uint64_t now = MonotonicMicros();
      wait = io.WaitForOperation(now < until ? static_cast<DWORD>((until - now) / 1000) : 0);
    } while (wait == IoThread::kWoken && (wanted == nullptr || wanted->load()));
  }
  if (wait != WAIT_OBJECT_0) {
    sent.fetch_add(CancelAndCollect(device, record));
    if (!io.Threaded() || wait == IoThread::kWoken) return true;
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
