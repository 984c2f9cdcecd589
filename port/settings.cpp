// Settings reach the driver through the port, which remembers what it read
// and gave: a device that comes back after a loss starts with its defaults
// and is given these again. While the device is lost the dialogs read and
// change the remembered copy, and nothing reaches a driver.
#include <cstdio>

#include "port/comport.h"
#include "port/program.h"

// After a failed call: true if it is a refusal to report, with its error
// kept for the box; false if the device has gone (the value is kept for its return).
bool ComPort::Refused() {
  const DWORD error = GetLastError();
  if (LostBy(error)) return false;
  SetLastError(error);
  return true;
}

namespace {

// While the device is lost, the kept copy (left alone if there is none);
// otherwise the driver's value, which is then kept.
template <typename T>
BOOL ReadKept(bool lost, HANDLE handle, BOOL(WINAPI* get)(HANDLE, T*), T* out, T* kept, int* known) {
  if (lost) {
    if (*known) *out = *kept;
    return TRUE;
  }
  if (!get(handle, out)) return FALSE;
  *kept = *out;
  *known = 1;
  return TRUE;
}

}  // namespace

BOOL ComPort::ReadState(DCB* out) {
  return ReadKept(Lost(), handle, GetCommState, out, &recovery.saved.dcb, &recovery.saved.dcbKnown);
}

// The driver's read fields are the reader's (DriverTimeouts): once the port
// has given its own, the read fields shown are the kept ones, which the user set.
BOOL ComPort::ReadTimeouts(COMMTIMEOUTS* out) {
  SavedSettings& saved = recovery.saved;
  COMMTIMEOUTS asked = saved.timeouts;
  const bool readFieldsKept = saved.timeoutsKnown != 0;
  if (!ReadKept(Lost(), handle, GetCommTimeouts, out, &saved.timeouts, &saved.timeoutsKnown)) return FALSE;
  if (readFieldsKept) {
    out->ReadIntervalTimeout = asked.ReadIntervalTimeout;
    out->ReadTotalTimeoutMultiplier = asked.ReadTotalTimeoutMultiplier;
    out->ReadTotalTimeoutConstant = asked.ReadTotalTimeoutConstant;
    saved.timeouts = *out;
  }
  return TRUE;
}

COMMTIMEOUTS DriverTimeouts(const COMMTIMEOUTS& asked) {
  COMMTIMEOUTS given = asked;
  given.ReadIntervalTimeout = kReadGapMs;
  given.ReadTotalTimeoutMultiplier = 0;
  given.ReadTotalTimeoutConstant = 0;
  return given;
}

BOOL ComPort::GiveReadSlice() {
  COMMTIMEOUTS timeouts = {};
  if (!ReadTimeouts(&timeouts)) return FALSE;
  COMMTIMEOUTS given = DriverTimeouts(timeouts);
  return SetCommTimeouts(handle, &given);
}

// A value given while lost, or taken by the driver, is kept for the device's return.
BOOL ComPort::GiveState(DCB* state) {
  if (!Lost() && !SetCommState(handle, state) && Refused()) return FALSE;
  recovery.saved.dcb = *state;
  recovery.saved.dcbKnown = 1;
  if (g_program.logToFile)
    LogText(LogKind::kSet, DescribeLine(state->BaudRate, state->ByteSize, state->Parity, state->StopBits,
                                        static_cast<int>(state->fRtsControl), static_cast<int>(state->fDtrControl))
                               .c_str());
  return TRUE;
}

BOOL ComPort::GiveTimeouts(COMMTIMEOUTS* timeouts) {
  COMMTIMEOUTS given = DriverTimeouts(*timeouts);
  if (!Lost() && !SetCommTimeouts(handle, &given) && Refused()) return FALSE;
  recovery.saved.timeouts = *timeouts;
  recovery.saved.timeoutsKnown = 1;
  char entry[96];
  std::snprintf(entry, sizeof entry, "timeouts %lu,%lu,%lu,%lu,%lu",
                static_cast<unsigned long>(timeouts->ReadIntervalTimeout),
                static_cast<unsigned long>(timeouts->ReadTotalTimeoutMultiplier),
                static_cast<unsigned long>(timeouts->ReadTotalTimeoutConstant),
                static_cast<unsigned long>(timeouts->WriteTotalTimeoutMultiplier),
                static_cast<unsigned long>(timeouts->WriteTotalTimeoutConstant));
  LogText(LogKind::kSet, entry);
  return TRUE;
}

BOOL ComPort::GiveEventMask(DWORD mask) {
  // Kept even when refused: the event wait reports what follows.
  eventMask = mask;
  char entry[32];
  std::snprintf(entry, sizeof entry, "event mask %04lXH", static_cast<unsigned long>(mask));
  LogText(LogKind::kSet, entry);
  if (Lost()) return TRUE;
  return SetCommMask(handle, mask) || !Refused();
}

BOOL ComPort::ReadProperties(COMMPROP* out) {
  if (!Lost()) return GetCommProperties(handle, out);
  const SavedSettings& saved = recovery.saved;
  out->dwCurrentRxQueue = saved.queuesAsked ? saved.inQueue : stats.inQueueSize;
  if (saved.queuesAsked) out->dwCurrentTxQueue = saved.outQueue;
  return TRUE;
}

BOOL ComPort::GiveQueueSizes(DWORD inQueue, DWORD outQueue) {
  if (!Lost() && !SetupComm(handle, inQueue, outQueue) && Refused()) return FALSE;
  recovery.saved.inQueue = inQueue;
  recovery.saved.outQueue = outQueue;
  recovery.saved.queuesAsked = 1;
  char entry[48];
  std::snprintf(entry, sizeof entry, "queues %lu,%lu", static_cast<unsigned long>(inQueue),
                static_cast<unsigned long>(outQueue));
  LogText(LogKind::kSet, entry);
  return TRUE;
}

BOOL ComPort::SetOutputLine(WORD line, int on) {
  if (on)
    outputLines |= line;
  else
    outputLines &= static_cast<WORD>(~line);
  if (Lost()) return TRUE;  // given back when the device returns
  DWORD function = line == kLineRts ? (on ? SETRTS : CLRRTS) : (on ? SETDTR : CLRDTR);
  return EscapeCommFunction(handle, function) || !Refused();
}

void ComPort::RememberSettings() {
  DCB state = {};
  state.DCBlength = sizeof state;
  ReadState(&state);
  COMMTIMEOUTS timeouts = {};
  ReadTimeouts(&timeouts);
}

namespace {

// What RTS or DTR is after SetCommState with this control mode; -1 when the
// driver drives the line itself and refuses to have it set.
int LineAfterState(DWORD control, DWORD enable, DWORD disable) {
  if (control == enable) return 1;
  if (control == disable) return 0;
  return -1;
}

}  // namespace

// In the order a driver wants them: the queues before the line settings
// (SetupComm may reset the device), the line before the lines' levels.
// Refusals go into `failed` (up to `room`); -1 when the device went again.
int ComPort::RestoreSettings(RestoreFailure* failed, int room) {
  SavedSettings& saved = recovery.saved;
  int failures = 0;
  auto step = [&](const char* call, BOOL ok) {
    if (ok) return true;
    const DWORD error = GetLastError();
    // Gone again (the queue question fails too): the caller closes and retries.
    DWORD lineErrors = 0;
    COMSTAT stat = {};
    if (IsLossError(error) && !ClearCommError(handle, &lineErrors, &stat) && IsLossError(GetLastError()))
      return false;
    if (failures < room) failed[failures++] = {call, error};
    return true;
  };

  if (saved.queuesAsked && !step("SetupComm", SetupComm(handle, saved.inQueue, saved.outQueue))) return -1;
  if (saved.dcbKnown && !step("SetCommState", SetCommState(handle, &saved.dcb))) return -1;
  COMMTIMEOUTS given = DriverTimeouts(saved.timeouts);
  if (saved.timeoutsKnown && !step("SetCommTimeouts", SetCommTimeouts(handle, &given))) return -1;
  if (eventMask != 0 && !step("SetCommMask", SetCommMask(handle, eventMask))) return -1;

  const struct {
    WORD line;
    int afterState;  // -2: not known, so always set
    DWORD set, clear;
  } lines[] = {
      {kLineRts, saved.dcbKnown ? LineAfterState(saved.dcb.fRtsControl, RTS_CONTROL_ENABLE, RTS_CONTROL_DISABLE) : -2,
       SETRTS, CLRRTS},
      {kLineDtr, saved.dcbKnown ? LineAfterState(saved.dcb.fDtrControl, DTR_CONTROL_ENABLE, DTR_CONTROL_DISABLE) : -2,
       SETDTR, CLRDTR},
  };
  for (const auto& l : lines) {
    const int wanted = (outputLines & l.line) ? 1 : 0;
    // -1: the driver's to drive; equal: the line settings already put it there.
    if (l.afterState == -1 || l.afterState == wanted) continue;
    if (!step("EscapeCommFunction", EscapeCommFunction(handle, wanted ? l.set : l.clear))) return -1;
  }

  ProbeLoopback();  // the device that came back may be another model
  if (outputLines & kLineLoop) SetLoopback(1);
  ReadQueueSize();
  return failures;
}
