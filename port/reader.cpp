#include "port/reader.h"

#include "port/comport.h"

void PortReader::Start(HANDLE device, bool threaded, HWND notify, UINT message) {
  notify_ = notify;
  message_ = message;
  failure_.Clear();
  quiet_ = true;
  rate_ = LineRate(0);
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
  // Without a thread the pass takes what the driver has, a block at a time.
  const size_t ask = threaded ? ReadAsk(rate_, kReadBlock) : kReadBlock;
  if (room > ask) room = ask;
  HANDLE device = io_.device();
  OVERLAPPED* record = io_.record();
  DWORD got = 0;
  bool waited = false;
  const uint64_t began = MonotonicMicros();
  if (!ReadFile(device, at, static_cast<DWORD>(room), &got, record)) {
    DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) return Fail(error, false);
    waited = true;
    // Without a thread, only what has come by now. With one, a quiet line's
    // read waits for its first byte, any other no longer than kReadWaitMs. A
    // read ended that way keeps what it took.
    const DWORD wait = !threaded ? WaitForSingleObject(record->hEvent, 0)
                                 : io_.WaitForOperation(quiet_ ? kQuietWaitMs : kReadWaitMs);
    if (wait != WAIT_OBJECT_0) {
      got = CancelAndCollect(device, record);
      Took(got, room, MonotonicMicros() - began, true);
      return threaded && wait != IoThread::kStopping;
    }
    if (!GetOverlappedResult(device, record, &got, FALSE)) {
      error = GetLastError();
      // Wine ends a read at a time-out with ERROR_TIMEOUT where Windows
      // reports success; the count is right either way.
      if (error != ERROR_TIMEOUT) {
        if (got > 0) ring_.Commit(got);
        return Fail(error, true);
      }
    }
  }
  Took(got, room, MonotonicMicros() - began, false);
  // A driver that answers at once with nothing would have the thread spin.
  if (got == 0 && threaded && !waited) io_.Pause(kEmptyReadPauseMs);
  return true;
}

// A read that filled, or was cut short while bytes kept coming, shows the
// line's rate; one that ended by the line's gap says only that a burst ended.
void PortReader::Took(DWORD got, size_t asked, uint64_t micros, bool cutShort) {
  quiet_ = got == 0;
  if (got == 0) return;
  ring_.Commit(got);
  Tell();
  if (cutShort || got == asked) rate_.Busy(got, micros);
}
