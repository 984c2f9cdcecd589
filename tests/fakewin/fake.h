// Test-side control of the fake Win32 layer: a scriptable serial driver,
// recorded calls and recorded message boxes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace fake {

struct Call {
  std::string fn;
  HANDLE handle = nullptr;       // device, event or window the call was made on
  std::vector<uint64_t> args;    // numeric arguments in order (pointers as addresses)
  std::string text;              // a string argument: path, box text
};

// One serial device known to the fake driver, by its bare name ("COM1").
struct Device {
  std::string name;
  bool exists = true;
  DWORD hollowError = 0;         // while it does not exist, its name opens all the same; calls fail so
  int openCount = 0;
  std::string rx;                // bytes waiting in the input queue
  std::string written;           // bytes the program has written, in order
  DWORD outQueue = 0;            // cbOutQue that ClearCommError reports
  DWORD lineErrors = 0;          // reported, then cleared, by ClearCommError
  DWORD modemStatus = 0;         // what GetCommModemStatus reports
  DWORD events = 0;              // events waiting for WaitCommEvent
  DWORD eventMask = 0;           // last SetCommMask
  BOOL loopAnswer = FALSE;       // answer to the loop-back requests
  DWORD loopError = ERROR_INVALID_PARAMETER;  // error when loopAnswer is FALSE
  DCB dcb{};
  COMMTIMEOUTS timeouts{};
  COMMPROP props{};
  std::string delivered;         // every byte a successful read handed to the program, in order
  // Bytes of the newest successful read; emptied by the next ReadFile or
  // ClearCommError on the device, after which the program may have shown other text.
  std::string lastRead;
};

// An overlapped operation the fake has accepted.
struct Op {
  std::string fn;                // "ReadFile", "WriteFile", "WaitCommEvent", "DeviceIoControl"
  HANDLE device = nullptr;
  OVERLAPPED* record = nullptr;
  void* buffer = nullptr;        // read target, or the caller's write bytes
  DWORD size = 0;
  DWORD* mask = nullptr;         // WaitCommEvent's output
  bool done = false;             // completion written into the record
  bool collected = false;        // the program has seen the completion
  std::function<void(Op&)> whenWaited;  // run when the program waits on its event
  std::string sent;              // a write's bytes as they were when it was issued
  bool chaos = false;            // pending by chaos mode: chaos mode completes it
};

void Reset();

// The fake layer's one lock: it guards the devices, their operations, the
// events and the posted messages, which a reader or writer thread reaches
// through the calls it makes (ReadFile, WriteFile, GetOverlappedResult,
// CancelIoEx, the event calls, ClearCommError, PostMessageA), each of which
// holds it. A test that changes a device while such a thread runs holds it too.
std::recursive_mutex& Mutex();
// Waits take real time (polled), for tests that run the program's threads.
void SetRealWaits(bool on);

Device& AddDevice(const std::string& name);
Device* FindDevice(const std::string& name);
Device* DeviceOf(HANDLE handle);

// The device is unplugged: it no longer opens, every call on a handle opened
// before fails with `error`, and its outstanding operations end with
// `pendingError`. Plug makes it again with the driver's defaults; it opens
// once every handle of the old one is closed (a port is never shared).
void Unplug(const std::string& name, DWORD error = ERROR_GEN_FAILURE, DWORD pendingError = ERROR_OPERATION_ABORTED);
void Plug(const std::string& name);
// Unplugged, but its name still opens (as Wine opens a mapped port whose path
// has gone): every call on a handle opened now fails with `error`.
void Hollow(const std::string& name, DWORD error);

// Scripts a call of fn, after `after` calls that behave as usual: it fails
// with error (result FALSE / null / INVALID_HANDLE_VALUE).
void FailNext(const std::string& fn, DWORD error, int after = 0);
// The next overlapped call of fn goes pending (FALSE, 997) and stays
// outstanding until Complete*, a cancel, or whenWaited when the program waits on its event.
void PendNext(const std::string& fn, std::function<void(Op&)> whenWaited = nullptr);
// The next WaitForSingleObject returns value whatever the object's state.
void WaitReturnsNext(DWORD value);

// Latest operation of fn, or null.
Op* LastOp(const std::string& fn);
// Completions, written into the record as the system does, with the event set.
void CompleteRead(Op& op, const std::string& bytes, DWORD error = 0);
void CompleteWrite(Op& op, DWORD error = 0);  // takes the bytes from the caller's buffer now
void CompleteEvent(Op& op, DWORD mask, DWORD error = 0);
void Complete(Op& op, DWORD transferred, DWORD error);
int OutstandingCount();

std::vector<Call>& Calls();
std::vector<Call> CallsTo(const std::string& fn);
std::vector<std::string> CallNames();  // every call's fn, in order

struct Box {
  HWND owner = nullptr;
  std::string text;
  bool hasCaption = false;
  std::string caption;
  UINT flags = 0;
};
std::vector<Box>& Boxes();
std::vector<std::string> BoxTexts();
// Called for every MessageBoxA, inside the box's "modal loop"; its result is the box's answer.
extern std::function<int(const Box&)> onMessageBox;

// Misuse the fake detected: an OVERLAPPED reused while its operation is
// outstanding, a device closed with operations outstanding, a handle closed twice.
std::vector<std::string>& Violations();
int OpenHandleCount();

// Chaos mode: a seeded random driver and far end. Calls that are not scripted
// fail at random with plausible errors; reads, writes, event waits and the
// loop-back request go pending at random and complete (or fail) while the
// program waits on them, at a later ChaosTick, or just before a cancel takes
// effect. Off unless started; Reset ends it.
struct ChaosConfig {
  uint32_t seed = 1;
  int failPercent = 3;          // a served call fails at once
  int pendPercent = 30;         // an overlapped operation goes pending
  int completeInWaitPercent = 80;  // a pending operation ends while the program waits on it
  int failCompletionPercent = 10;  // a pending operation ends with an error
  int shortReadPercent = 5;     // a read brings fewer bytes than asked
  int cancelRacePercent = 25;   // a pending operation completes before a cancel takes effect
  int tickCompletePercent = 40; // a pending write or event wait ends at a tick
  int arrivePercent = 50;       // bytes arrive at a tick
  int lineErrorPercent = 5;     // line errors at a tick
  int modemChangePercent = 10;  // modem bits change at a tick
  int eventPercent = 10;        // events happen at a tick
};
struct ChaosStats {
  long failedCalls = 0;         // calls failed at once
  long pended = 0;              // operations left pending
  long failedCompletions = 0;   // pending operations ended with an error
  long waitTimeouts = 0;        // pending operations left running through the program's wait
  long shortReads = 0;
  long cancelRaces = 0;
  long lineErrors = 0;
  long modemChanges = 0;
  long events = 0;
  long bytesArrived = 0;        // bytes the far end sent
  long Faults() const { return failedCalls + failedCompletions + waitTimeouts + shortReads + cancelRaces; }
};
void StartChaos(const ChaosConfig& config);
ChaosStats& Chaos();
// One timer tick of the world outside: the far end sends bytes, line errors,
// modem bits and events happen, and pending writes and event waits may end.
void ChaosTick();

// The clock behind GetTickCount: stands still until a test moves it.
// GetLocalTime follows it: 2026-12-10 14:03:00.000 plus the tick count.
void SetTickCount(DWORD milliseconds);

}  // namespace fake
