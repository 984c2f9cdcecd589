// Overlapped transmit, and the driver's queue counts (receiving: port/reader.cpp).
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "port/comport.h"
#include "port/errorbox.h"

namespace {
constexpr DWORD kWriteWaitMs = 6000;
}  // namespace

// Sees the previous write to its end. The record is made reusable before any
// box is shown, since a box lets other messages (a typed key) call ComOut again.
void ComPort::CollectWrite() {
  if (!writePending) return;
  DWORD wait = WaitForSingleObject(writeOverlapped.hEvent, kWriteWaitMs);
  if (wait != WAIT_OBJECT_0) {
    CancelAndCollect(handle, &writeOverlapped);
    writePending = 0;
    stats.failedWrites++;
    // A write that never ends may be the first sign of a device gone.
    if (Vanished()) return;
    Box("ComOut Pending Failed, stat:", static_cast<int>(wait));
    return;
  }
  DWORD written = 0;
  BOOL done = GetOverlappedResult(handle, &writeOverlapped, &written, FALSE);
  DWORD error = done ? 0 : GetLastError();
  if (error == ERROR_IO_INCOMPLETE) CancelAndCollect(handle, &writeOverlapped);
  writePending = 0;
  if (done) return;
  stats.failedWrites++;
  const uint64_t unsent = txCopy.size() - (written < txCopy.size() ? written : txCopy.size());
  stats.bytesSent -= unsent < stats.bytesSent ? unsent : stats.bytesSent;  // a reset may lie between
  if (LostBy(error)) return;
  Box(error == ERROR_IO_INCOMPLETE ? "Timeout Comout GetOverLappedResult:" : "Error Comout GetOverLappedResult:",
           static_cast<int>(error));
}

int ComPort::ComOut(const char* bytes, int count) {
  if (count == 0) count = static_cast<int>(std::strlen(bytes));
  if (count < 0) return 0;
  if (Lost()) {
    NothingSent();
    return 0;
  }
  // A box shown while collecting may have let another write start; see it out too.
  while (writePending) CollectWrite();
  if (closePending) return 0;  // the window went while a box was up: nothing more goes out
  if (Lost()) {  // found gone while the last write was seen out
    NothingSent();
    return 0;
  }

  // Counted as the driver takes them; a write that fails later takes its bytes back off.
  auto countSent = [this, count] {
    stats.bytesSent += static_cast<DWORD>(count);
    stats.sendRate.Add(static_cast<DWORD>(count), GetTickCount());
  };
  // While Send Test Data or Send File runs, the writer's thread sends the
  // bytes between two of its writes: a write of our own would go out inside
  // the one in flight.
  if (writer.Insert(bytes, static_cast<size_t>(count))) {
    countSent();
    return 0;
  }
  // The driver may still read the bytes after WriteFile returns: send a copy
  // that lives until the write has been collected.
  txCopy.assign(bytes, bytes + count);
  DWORD written = 0;
  BOOL done = WriteFile(handle, txCopy.data(), static_cast<DWORD>(count), &written, &writeOverlapped);
  DWORD error = done ? 0 : GetLastError();
  if (done || error == ERROR_IO_PENDING) countSent();
  if (done) return 0;
  if (error == ERROR_IO_PENDING) {
    writePending = 1;
  } else {
    stats.failedWrites++;
    if (LostBy(error)) return 0;
    Box("Com Write Error:", static_cast<int>(error));
  }
  return 0;
}

void ComPort::CollectEndedWrite() {
  if (writePending && WaitForSingleObject(writeOverlapped.hEvent, 0) == WAIT_OBJECT_0) CollectWrite();
}

bool ComPort::StillSending() {
  CollectEndedWrite();
  return writePending || writer.KeysWaiting();
}

int ComPort::QueueStatus(DWORD* outCount, DWORD* inCount) {
  DWORD errors = 0;
  COMSTAT stat = {};
  if (!ClearCommError(handle, &errors, &stat)) {
    const DWORD error = GetLastError();
    const DWORD now = GetTickCount();
    // No COMSTAT came back: nothing is read on guesswork, and the caller must
    // not take the zero output count for an empty queue.
    *outCount = 0;
    *inCount = 0;
    // The queue counts are what a present device always answers: no second
    // question. A device that came back once and has failed for a while since,
    // with whatever error, has gone again: a driver may answer a vanished device with any.
    if (IsLossError(error) ||
        (recovery.regained && queueStatusFailed && now - recovery.failingSince >= kRegainedFailMs)) {
      MarkLost(error);
      return 1;
    }
    // Once until the driver answers again: a notice on every tick would push
    // everything received before the failure off the screen within seconds.
    if (!queueStatusFailed) {
      queueStatusFailed = 1;
      recovery.failingSince = now;
      char notice[sizeof "<ERR ffffffffH,ClearCommError, , handle:ffffffff>" + kPortNameMax];
      std::snprintf(notice, sizeof notice, "<ERR %xH,ClearCommError, %s, handle:%x>",
                    static_cast<unsigned>(error), portName,
                    static_cast<unsigned>(reinterpret_cast<uintptr_t>(handle)));
      Notice(LogKind::kErr, notice);
    }
    return 1;
  }
  queueStatusFailed = 0;
  if (stat.cbInQue > stats.highestInQueue) stats.highestInQueue = stat.cbInQue;
  if (errors != 0) ShowLineErrors(errors);
  *outCount = stat.cbOutQue;
  *inCount = stat.cbInQue;
  return 0;
}
