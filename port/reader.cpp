#include "port/reader.h"

#include "port/comport.h"

void PortReader::Start(HANDLE device, bool threaded, HWND notify, UINT message) {
  notify_ = notify;
  message_ = message;
  failure_.Clear();
  quietReads_ = 0;
  ring_.Reserve();  // before the thread, which writes into it
  io_.Start(device, threaded, [this] { return Cycle(); });
}

void PortReader::Pump() {
  if (!io_.Running() || io_.Threaded() || failure_.Pending()) return;
  for (;;) {
    const size_t before = ring_.Filled();
    if (!Cycle() || ring_.Filled() == before || ring_.Filled() == ring_.Capacity()) return;
  }
}

void PortReader::Tell() {
  if (notify_ != nullptr && !told_.exchange(true)) PostMessageA(notify_, message_, 0, 0);
}

bool PortReader::Fail(DWORD error, bool afterPending) {
  failure_.Put(ReadFailure{error, afterPending});
  Tell();
  return false;
}

bool PortReader::Cycle() {
  const bool threaded = io_.Threaded();
  size_t room = 0;
  char* at = ring_.FreeSpan(&room);
  if (room == 0) {
    // The window's thread is behind: the driver keeps the bytes meanwhile.
    if (threaded) io_.Pause(5);
    return threaded;
  }
  if (room > kReadBlock) room = kReadBlock;
  HANDLE device = io_.device();
  if (threaded && quietReads_ >= kQuietReads) io_.Pause(kQuietPauseMs);
  OVERLAPPED* record = io_.record();
  DWORD got = 0;
  bool waited = false;
  if (!ReadFile(device, at, static_cast<DWORD>(room), &got, record)) {
    DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) return Fail(error, false);
    waited = true;
    // Without a thread, only what has come by now. With one, no longer than
    // a few time-outs: under Wine a read issued while bytes already wait
    // can lose its time-out and wait for its whole block, which at the end
    // of a stream never comes. A read ended that way keeps what it took.
    const DWORD wait = threaded ? io_.WaitForOperation(kReadWaitMs) : WaitForSingleObject(record->hEvent, 0);
    if (wait != WAIT_OBJECT_0) {
      got = CancelAndCollect(device, record);
      if (got > 0) {
        ring_.Commit(got);
        Tell();
        quietReads_ = 0;
      }
      return threaded && wait != IoThread::kStopping;
    }
    if (!GetOverlappedResult(device, record, &got, FALSE)) {
      error = GetLastError();
      // Wine ends a read at its time-out with ERROR_TIMEOUT where Windows
      // reports success; the count is right either way.
      if (error != ERROR_TIMEOUT) {
        if (got > 0) ring_.Commit(got);
        return Fail(error, true);
      }
    }
  }
  if (got > 0) {
    ring_.Commit(got);
    Tell();
    quietReads_ = 0;
  } else if (threaded) {
    // A driver that answers at once with nothing would have the thread spin.
    if (!waited) io_.Pause(kReadSliceMs);
    if (quietReads_ < kQuietReads) quietReads_++;
  }
  return true;
}
