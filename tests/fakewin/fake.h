// Test-side control of the fake Win32 layer: a scriptable serial driver,
// recorded calls and recorded message boxes.
#pragma once
#include <windows.h>

#include <functional>
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
};

void Reset();

Device& AddDevice(const std::string& name);
Device* FindDevice(const std::string& name);
Device* DeviceOf(HANDLE handle);

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

}  // namespace fake
