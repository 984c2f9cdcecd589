#include "port/file_sender.h"

#include <cstring>
#include <utility>

void FileSender::Load(std::vector<char> bytes) {
  Stop();
  bytes_ = std::move(bytes);
  sent_.store(0);
  failure_.Clear();
}

void FileSender::Start(HANDLE device, bool threaded) {
  keys_.Reserve();
  io_.Start(device, threaded, [this] { return Cycle(); });
}

void FileSender::Pump() {
  if (io_.Running() && !io_.Threaded() && !failure_.Pending() && Sent() < Size()) Cycle();
}

bool FileSender::Cycle() {
  if (!keys_.Send(io_, failure_)) return false;
  const uint64_t at = sent_.load();
  if (at >= bytes_.size()) return false;
  const DWORD pause = pauseMs_.load();
  uint64_t count = bytes_.size() - at;
  if (pause > 0 && perLine_.load()) {
    // Up to and with the next line feed.
    const void* end = std::memchr(bytes_.data() + at, '\n', static_cast<size_t>(count));
    if (end != nullptr) count = static_cast<const char*>(end) - (bytes_.data() + at) + 1;
  }
  const DWORD most = pause > 0 && !perLine_.load() ? block_.load() : kSendBlock;
  if (count > most) count = most;
  if (!WriteBlock(io_, bytes_.data() + at, static_cast<DWORD>(count), sent_, failure_)) return false;
  if (sent_.load() >= bytes_.size()) return false;  // the end: the thread ends, Done says so
  if (pause > 0 && io_.Threaded()) io_.Pause(pause);
  return true;
}
