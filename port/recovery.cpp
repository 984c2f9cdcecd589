// Losing a device and getting it back: the errors that mean it has gone, the
// closing of its handle so that the driver can make the device again, and the
// reopening by name with its settings given back.
#include <cstdio>

#include "port/comport.h"
#include "port/program.h"

namespace {

constexpr DWORD kRetryMs = 1000;

// What drivers answer once their device is gone: usbser and most USB serial
// drivers 22, 31 or 1167; some 5 or 1617; a pseudo-terminal whose other side
// closed 21 (under Wine); 6 a handle the system has already invalidated.
// 995 and 1117 come also from a present device (a purge ends pending I/O with
// 995), so every error but ClearCommError's own is confirmed by asking the
// driver for its queue counts.
constexpr DWORD kLossErrors[] = {
    5,     // ERROR_ACCESS_DENIED
    6,     // ERROR_INVALID_HANDLE
    21,    // ERROR_NOT_READY
    22,    // ERROR_BAD_COMMAND
    31,    // ERROR_GEN_FAILURE
    55,    // ERROR_DEV_NOT_EXIST
    433,   // ERROR_NO_SUCH_DEVICE
    995,   // ERROR_OPERATION_ABORTED
    1117,  // ERROR_IO_DEVICE
    1167,  // ERROR_DEVICE_NOT_CONNECTED
    1617,  // ERROR_DEVICE_REMOVED
};

}  // namespace

bool IsLossError(DWORD error) {
  for (DWORD e : kLossErrors)
    if (e == error) return true;
  return false;
}

bool ComPort::LostBy(DWORD error) {
  if (Lost()) return true;
  return IsLossError(error) && Confirmed(error);
}

bool ComPort::Vanished() { return Lost() || Confirmed(0); }

// Asks the driver for its queue counts, which a present device answers. The
// loss is shown with `error`, or with the question's own error if none came.
bool ComPort::Confirmed(DWORD error) {
  DWORD lineErrors = 0;
  COMSTAT stat = {};
  if (ClearCommError(handle, &lineErrors, &stat)) {
    // Present after all; what the question cleared is shown, not dropped.
    if (lineErrors != 0) ShowLineErrors(lineErrors);
    return false;
  }
  const DWORD answer = GetLastError();
  if (!IsLossError(answer)) return false;
  MarkLost(error != 0 ? error : answer);
  return true;
}

void ComPort::MarkLost(DWORD error) {
  if (Lost()) return;
  recovery.lost = 1;
  recovery.lostError = error;
  recovery.lostAt = GetTickCount();
  recovery.lastTry = recovery.lostAt;
  recovery.nothingSentShown = 0;
  stats.timesLost++;

  // The reader ends first: what it read before the loss is shown before the notice.
  reader.Stop();
  writer.Stop();
  Drain();
  EndFileSend(false);  // its notice before the loss's
  SendKeysLeft(writer.TakeKeys());  // not sent, and no longer counted as sent
  // Nothing may stay outstanding on the records once the handle is closed.
  if (writePending) {
    DWORD moved = CancelAndCollect(handle, &writeOverlapped);
    const uint64_t unsent = txCopy.size() - (moved < txCopy.size() ? moved : txCopy.size());
    stats.bytesSent -= unsent < stats.bytesSent ? unsent : stats.bytesSent;
  }
  if (eventPending) CancelAndCollect(handle, &eventOverlapped);
  writePending = eventPending = 0;
  CloseHandle(handle);
  handle = nullptr;

  // The failure flags stay: a returning device that still cannot give its
  // modem status is not announced again with a box on every return.
  modemStatus = 0;  // the input lamps go dark
  needsRepaint = 1;
  char notice[40];
  std::snprintf(notice, sizeof notice, "<Port Lost: error %lu>", static_cast<unsigned long>(error));
  Notice(LogKind::kNote, notice);
}

void ComPort::NothingSent() {
  if (recovery.nothingSentShown) return;
  recovery.nothingSentShown = 1;
  Notice(LogKind::kNote, "<Port Lost: nothing sent>");
}

bool ComPort::Reopen() {
  if (!Lost()) return true;
  recovery.lastTry = GetTickCount();
  char path[sizeof "\\\\.\\" + kPortNameMax];
  std::snprintf(path, sizeof path, "\\\\.\\%s", portName);
  // No box: the device is expected to be missing for a while.
  HANDLE device = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) return false;
  // A name may open with no device behind it (under Wine, a mapped path that
  // has gone): it counts only once the device answers. Otherwise the handle
  // goes at once and the retries go on, silently.
  DWORD lineErrors = 0;
  COMSTAT stat = {};
  DCB state = {};
  state.DCBlength = sizeof state;
  if (!ClearCommError(device, &lineErrors, &stat) || !GetCommState(device, &state)) {
    CloseHandle(device);
    return false;
  }
  handle = device;
  recovery.lost = 0;
  RestoreFailure failed[6];
  const int refused = RestoreSettings(failed, 6);
  if (refused < 0) {
    // Gone again while being set up: closed, and tried again later.
    recovery.lost = 1;
    CloseHandle(handle);
    handle = nullptr;
    return false;
  }
  const DWORD now = GetTickCount();
  const DWORD away = now - recovery.lostAt;
  stats.lostMs += away;
  recovery.regained = 1;
  queueStatusFailed = 0;  // the new handle has just answered it
  char notice[48];
  std::snprintf(notice, sizeof notice, "<Port Regained after %lu.%lu s>", static_cast<unsigned long>(away / 1000),
                static_cast<unsigned long>(away % 1000 / 100));
  Notice(LogKind::kNote, notice);
  for (int i = 0; i < refused; i++) {
    char refusal[80];
    std::snprintf(refusal, sizeof refusal, "<Port Regained: %s failed, error %lu>", failed[i].call,
                  static_cast<unsigned long>(failed[i].error));
    Notice(LogKind::kNote, refusal);
  }
  if (lineErrors != 0) ShowLineErrors(lineErrors);  // what the first question cleared
  needsRepaint = 1;
  return true;
}

void ComPort::RetryIfDue() {
  if (g_program.reopenLostPorts && GetTickCount() - recovery.lastTry >= kRetryMs) Reopen();
}

void ReopenLostPorts() {
  if (!g_program.reopenLostPorts) return;
  for (ComPort* port = g_program.portList; port != nullptr; port = port->next)
    if (port->Lost() && !port->inPass && !port->closePending) port->Reopen();
}
