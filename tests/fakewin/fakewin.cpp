// The fake Win32 layer: enough of KERNEL32 and USER32, faithful to the
// documented behaviour of each call, to drive the program's logic on Linux.
#include "fake.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <optional>

namespace fake {
namespace {

constexpr ULONG_PTR kStatusPending = 0x103;

struct Script {
  enum Kind { kPass, kFail, kPend } kind;
  DWORD error;
  std::function<void(Op&)> whenWaited;
};

struct HandleInfo {
  enum Kind { kDevice, kEvent } kind;
  Device* device = nullptr;
  bool signalled = false;
};

struct State {
  std::deque<std::unique_ptr<Device>> devices;
  std::map<HANDLE, HandleInfo> handles;
  uintptr_t nextHandle = 0x1000;
  std::map<std::string, std::deque<Script>> scripts;
  std::deque<DWORD> waitResults;
  std::deque<std::unique_ptr<Op>> ops;
  std::vector<Call> calls;
  std::vector<Box> boxes;
  std::vector<std::string> violations;
};

State& S() {
  static State state;
  return state;
}

thread_local DWORD lastError = 0;

uint64_t U(const void* p) { return reinterpret_cast<uintptr_t>(p); }

void Record(const char* fn, HANDLE handle, std::vector<uint64_t> args, std::string text = {}) {
  S().calls.push_back(Call{fn, handle, std::move(args), std::move(text)});
}

std::optional<Script> TakeScript(const char* fn) {
  auto it = S().scripts.find(fn);
  if (it == S().scripts.end() || it->second.empty()) return std::nullopt;
  Script s = std::move(it->second.front());
  it->second.pop_front();
  if (s.kind == Script::kPass) return std::nullopt;
  return s;
}

BOOL Fail(DWORD error) {
  lastError = error;
  return FALSE;
}

HANDLE NewHandle(HandleInfo info) {
  HANDLE h = reinterpret_cast<HANDLE>(S().nextHandle);
  S().nextHandle += 4;
  S().handles[h] = info;
  return h;
}

HandleInfo* Info(HANDLE h) {
  auto it = S().handles.find(h);
  return it == S().handles.end() ? nullptr : &it->second;
}

void Signal(HANDLE event) {
  if (HandleInfo* info = Info(event); info != nullptr && info->kind == HandleInfo::kEvent)
    info->signalled = true;
}

Op* OutstandingOn(OVERLAPPED* record) {
  for (auto& op : S().ops)
    if (op->record == record && !op->done) return op.get();
  return nullptr;
}

// Starts an overlapped operation. Any operation begun on an overlapped record
// resets its event first, as the system does.
Op& Begin(const char* fn, HANDLE device, OVERLAPPED* record) {
  if (OutstandingOn(record) != nullptr)
    S().violations.push_back(std::string(fn) + ": OVERLAPPED reused while its operation is outstanding");
  if (HandleInfo* info = Info(record->hEvent); info != nullptr) info->signalled = false;
  record->Internal = kStatusPending;
  record->InternalHigh = 0;
  S().ops.push_back(std::make_unique<Op>());
  Op& op = *S().ops.back();
  op.fn = fn;
  op.device = device;
  op.record = record;
  return op;
}

// Either leaves the operation pending (scripted) or lets finish() complete it at once.
BOOL Run(const char* fn, Op& op, LPDWORD transferred, const std::function<DWORD(Op&)>& finish) {
  if (auto s = TakeScript(fn)) {
    if (s->kind == Script::kPend) {
      op.whenWaited = std::move(s->whenWaited);
      return Fail(ERROR_IO_PENDING);
    }
    Complete(op, 0, s->error);
    op.collected = true;  // a call that fails at once has nothing to collect
    return Fail(s->error);
  }
  DWORD n = finish(op);
  Complete(op, n, 0);
  op.collected = true;
  if (transferred != nullptr) *transferred = n;
  return TRUE;
}

}  // namespace

std::function<int(const Box&)> onMessageBox;

void Reset() {
  S() = State{};
  onMessageBox = nullptr;
  lastError = 0;
}

Device& AddDevice(const std::string& name) {
  S().devices.push_back(std::make_unique<Device>());
  Device& d = *S().devices.back();
  d.name = name;
  d.dcb.DCBlength = sizeof(DCB);
  d.dcb.BaudRate = 9600;
  d.dcb.ByteSize = 8;
  d.dcb.fBinary = 1;
  d.dcb.fDtrControl = DTR_CONTROL_ENABLE;
  d.dcb.fRtsControl = RTS_CONTROL_ENABLE;
  d.dcb.XonChar = 17;
  d.dcb.XoffChar = 19;
  d.props.dwCurrentRxQueue = 4096;
  d.props.dwCurrentTxQueue = 4096;
  return d;
}

Device* FindDevice(const std::string& name) {
  for (auto& d : S().devices)
    if (d->name == name) return d.get();
  return nullptr;
}

Device* DeviceOf(HANDLE handle) {
  HandleInfo* info = Info(handle);
  return info != nullptr && info->kind == HandleInfo::kDevice ? info->device : nullptr;
}

void FailNext(const std::string& fn, DWORD error, int after) {
  for (int i = 0; i < after; i++) S().scripts[fn].push_back({Script::kPass, 0, nullptr});
  S().scripts[fn].push_back({Script::kFail, error, nullptr});
}
void PendNext(const std::string& fn, std::function<void(Op&)> whenWaited) {
  S().scripts[fn].push_back({Script::kPend, 0, std::move(whenWaited)});
}
void WaitReturnsNext(DWORD value) { S().waitResults.push_back(value); }

Op* LastOp(const std::string& fn) {
  for (auto it = S().ops.rbegin(); it != S().ops.rend(); ++it)
    if ((*it)->fn == fn) return it->get();
  return nullptr;
}

void Complete(Op& op, DWORD transferred, DWORD error) {
  op.done = true;
  op.record->Internal = error;
  op.record->InternalHigh = transferred;
  Signal(op.record->hEvent);
}

void CompleteRead(Op& op, const std::string& bytes, DWORD error) {
  DWORD n = static_cast<DWORD>(std::min<size_t>(bytes.size(), op.size));
  std::memcpy(op.buffer, bytes.data(), n);
  Complete(op, n, error);
}

void CompleteWrite(Op& op, DWORD error) {
  if (Device* d = DeviceOf(op.device); d != nullptr && error == 0)
    d->written.append(static_cast<const char*>(op.buffer), op.size);
  Complete(op, error == 0 ? op.size : 0, error);
}

void CompleteEvent(Op& op, DWORD mask, DWORD error) {
  *op.mask = mask;
  Complete(op, 0, error);
}

int OutstandingCount() {
  return static_cast<int>(std::count_if(S().ops.begin(), S().ops.end(), [](auto& op) { return !op->done; }));
}

std::vector<Call>& Calls() { return S().calls; }

std::vector<Call> CallsTo(const std::string& fn) {
  std::vector<Call> out;
  for (auto& c : S().calls)
    if (c.fn == fn) out.push_back(c);
  return out;
}

std::vector<std::string> CallNames() {
  std::vector<std::string> out;
  for (auto& c : S().calls) out.push_back(c.fn);
  return out;
}

std::vector<Box>& Boxes() { return S().boxes; }

std::vector<std::string> BoxTexts() {
  std::vector<std::string> out;
  for (auto& b : S().boxes) out.push_back(b.text);
  return out;
}

std::vector<std::string>& Violations() { return S().violations; }
int OpenHandleCount() { return static_cast<int>(S().handles.size()); }

}  // namespace fake

using namespace fake;

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
  Record("CreateFileA", nullptr, {access, share, U(security), disposition, flags, U(templateFile)}, name);
  if (auto s = TakeScript("CreateFileA")) {
    lastError = s->error;
    return INVALID_HANDLE_VALUE;
  }
  static const char kPrefix[] = "\\\\.\\";
  Device* d = nullptr;
  if (std::strncmp(name, kPrefix, 4) == 0) d = FindDevice(name + 4);
  if (d == nullptr || !d->exists) {
    lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  // A serial port is never shared: a second open is refused whatever the share mode.
  if (d->openCount > 0) {
    lastError = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  d->openCount++;
  return NewHandle({HandleInfo::kDevice, d, false});
}

BOOL CloseHandle(HANDLE handle) {
  Record("CloseHandle", handle, {});
  HandleInfo* info = Info(handle);
  if (info == nullptr) {
    if (handle != nullptr) S().violations.push_back("CloseHandle on a handle that is not open");
    return Fail(ERROR_INVALID_HANDLE);
  }
  if (info->kind == HandleInfo::kDevice) {
    info->device->openCount--;
    for (auto& op : S().ops) {
      if (op->device == handle && !op->done) {
        S().violations.push_back(op->fn + ": device closed while its operation is outstanding");
        Complete(*op, 0, ERROR_OPERATION_ABORTED);
      }
    }
  }
  S().handles.erase(handle);
  return TRUE;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name) {
  Record("CreateEventA", nullptr, {U(security), static_cast<uint64_t>(manualReset),
                                   static_cast<uint64_t>(initialState), U(name)});
  if (auto s = TakeScript("CreateEventA")) {
    lastError = s->error;
    return nullptr;
  }
  return NewHandle({HandleInfo::kEvent, nullptr, initialState != FALSE});
}

BOOL SetEvent(HANDLE event) {
  HandleInfo* info = Info(event);
  if (info == nullptr || info->kind != HandleInfo::kEvent) return Fail(ERROR_INVALID_HANDLE);
  info->signalled = true;
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  HandleInfo* info = Info(event);
  if (info == nullptr || info->kind != HandleInfo::kEvent) return Fail(ERROR_INVALID_HANDLE);
  info->signalled = false;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  Record("WaitForSingleObject", handle, {milliseconds});
  if (!S().waitResults.empty()) {
    DWORD r = S().waitResults.front();
    S().waitResults.pop_front();
    return r;
  }
  HandleInfo* info = Info(handle);
  if (info == nullptr) {
    lastError = ERROR_INVALID_HANDLE;
    return WAIT_FAILED;
  }
  if (!info->signalled) {
    // Nothing else runs while the one thread waits: only a scripted
    // completion can end the wait; otherwise the time runs out.
    for (auto& op : S().ops) {
      if (!op->done && op->record->hEvent == handle && op->whenWaited) {
        auto whenWaited = std::move(op->whenWaited);
        whenWaited(*op);
        break;
      }
    }
  }
  return info->signalled ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
  Record("ReadFile", file, {U(buffer), toRead, U(read), U(overlapped)});
  Device* d = DeviceOf(file);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (read != nullptr) *read = 0;
  Op& op = Begin("ReadFile", file, overlapped);
  op.buffer = buffer;
  op.size = toRead;
  return Run("ReadFile", op, read, [d](Op& o) {
    DWORD n = static_cast<DWORD>(std::min<size_t>(o.size, d->rx.size()));
    std::memcpy(o.buffer, d->rx.data(), n);
    d->rx.erase(0, n);
    return n;
  });
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped) {
  Record("WriteFile", file, {U(buffer), toWrite, U(written), U(overlapped)},
         std::string(static_cast<const char*>(buffer), toWrite));
  Device* d = DeviceOf(file);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (written != nullptr) *written = 0;
  Op& op = Begin("WriteFile", file, overlapped);
  op.buffer = const_cast<void*>(buffer);
  op.size = toWrite;
  return Run("WriteFile", op, written, [d](Op& o) {
    d->written.append(static_cast<const char*>(o.buffer), o.size);
    return o.size;
  });
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait) {
  Record("GetOverlappedResult", file, {U(overlapped), U(transferred), static_cast<uint64_t>(wait)});
  if (overlapped->Internal == kStatusPending) {
    if (wait) S().violations.push_back("GetOverlappedResult would wait for ever on an operation that never ends");
    return Fail(ERROR_IO_INCOMPLETE);
  }
  for (auto& op : S().ops)
    if (op->record == overlapped) op->collected = true;
  if (transferred != nullptr) *transferred = static_cast<DWORD>(overlapped->InternalHigh);
  if (overlapped->Internal != 0) return Fail(static_cast<DWORD>(overlapped->Internal));
  return TRUE;
}

BOOL CancelIoEx(HANDLE file, LPOVERLAPPED overlapped) {
  Record("CancelIoEx", file, {U(overlapped)});
  bool found = false;
  for (auto& op : S().ops) {
    if (op->device == file && !op->done && (overlapped == nullptr || op->record == overlapped)) {
      Complete(*op, 0, ERROR_OPERATION_ABORTED);
      found = true;
    }
  }
  return found ? TRUE : Fail(ERROR_NOT_FOUND);
}

namespace {
bool IsLoopRequest(DWORD code) { return code == 0x001B2014 || code == 0x001B2018; }
}  // namespace

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD returned, LPOVERLAPPED overlapped) {
  Record("DeviceIoControl", device, {code, U(in), inSize, U(out), outSize, U(returned), U(overlapped)});
  Device* d = DeviceOf(device);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  DWORD error = IsLoopRequest(code) ? (d->loopAnswer ? 0 : d->loopError) : ERROR_INVALID_PARAMETER;
  if (overlapped == nullptr) {
    if (auto s = TakeScript("DeviceIoControl")) return Fail(s->error == 0 ? ERROR_GEN_FAILURE : s->error);
    if (returned != nullptr) *returned = 0;
    return error == 0 ? TRUE : Fail(error);
  }
  Op& op = Begin("DeviceIoControl", device, overlapped);
  if (auto s = TakeScript("DeviceIoControl")) {
    if (s->kind == Script::kPend) {
      op.whenWaited = std::move(s->whenWaited);
      return Fail(ERROR_IO_PENDING);
    }
    error = s->error;
  }
  Complete(op, 0, error);
  op.collected = true;
  if (returned != nullptr) *returned = 0;
  return error == 0 ? TRUE : Fail(error);
}

BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT stat) {
  Record("ClearCommError", file, {U(errors), U(stat)});
  Device* d = DeviceOf(file);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (auto s = TakeScript("ClearCommError")) return Fail(s->error);
  if (errors != nullptr) *errors = d->lineErrors;
  d->lineErrors = 0;
  if (stat != nullptr) {
    std::memset(stat, 0, sizeof *stat);
    stat->cbInQue = static_cast<DWORD>(d->rx.size());
    stat->cbOutQue = d->outQueue;
  }
  return TRUE;
}

BOOL GetCommModemStatus(HANDLE file, LPDWORD status) {
  Record("GetCommModemStatus", file, {U(status)});
  Device* d = DeviceOf(file);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (auto s = TakeScript("GetCommModemStatus")) return Fail(s->error);
  *status = d->modemStatus;
  return TRUE;
}

BOOL WaitCommEvent(HANDLE file, LPDWORD mask, LPOVERLAPPED overlapped) {
  Record("WaitCommEvent", file, {U(mask), U(overlapped)});
  Device* d = DeviceOf(file);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  Op& op = Begin("WaitCommEvent", file, overlapped);
  op.mask = mask;
  if (auto s = TakeScript("WaitCommEvent")) {
    if (s->kind == Script::kPend) {
      op.whenWaited = std::move(s->whenWaited);
      return Fail(ERROR_IO_PENDING);
    }
    Complete(op, 0, s->error);
    op.collected = true;
    return Fail(s->error);
  }
  DWORD ready = d->events & d->eventMask;
  if (ready == 0) return Fail(ERROR_IO_PENDING);  // waits until an event or a mask change
  d->events &= ~ready;
  CompleteEvent(op, ready);
  op.collected = true;
  return TRUE;
}

BOOL SetCommMask(HANDLE file, DWORD mask) {
  Record("SetCommMask", file, {mask});
  Device* d = DeviceOf(file);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (auto s = TakeScript("SetCommMask")) return Fail(s->error);
  d->eventMask = mask;
  // A new mask ends an outstanding wait with an empty event mask.
  for (auto& op : S().ops)
    if (op->device == file && op->fn == "WaitCommEvent" && !op->done) CompleteEvent(*op, 0);
  return TRUE;
}

#define FAKE_COMM_GETSET(GetName, SetName, Type, member)             \
  BOOL GetName(HANDLE file, Type* value) {                           \
    Record(#GetName, file, {U(value)});                              \
    Device* d = DeviceOf(file);                                      \
    if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);             \
    if (auto s = TakeScript(#GetName)) return Fail(s->error);        \
    *value = d->member;                                              \
    return TRUE;                                                     \
  }                                                                  \
  BOOL SetName(HANDLE file, Type* value) {                           \
    Record(#SetName, file, {U(value)},                               \
           std::string(reinterpret_cast<const char*>(value), sizeof *value)); \
    Device* d = DeviceOf(file);                                      \
    if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);             \
    if (auto s = TakeScript(#SetName)) return Fail(s->error);        \
    d->member = *value;                                              \
    return TRUE;                                                     \
  }
FAKE_COMM_GETSET(GetCommState, SetCommState, DCB, dcb)
FAKE_COMM_GETSET(GetCommTimeouts, SetCommTimeouts, COMMTIMEOUTS, timeouts)
#undef FAKE_COMM_GETSET

BOOL GetCommProperties(HANDLE file, LPCOMMPROP properties) {
  Record("GetCommProperties", file, {U(properties)});
  Device* d = DeviceOf(file);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (auto s = TakeScript("GetCommProperties")) return Fail(s->error);
  *properties = d->props;
  return TRUE;
}

BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
  Record("SetupComm", file, {inQueue, outQueue});
  Device* d = DeviceOf(file);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (auto s = TakeScript("SetupComm")) return Fail(s->error);
  d->props.dwCurrentRxQueue = inQueue;
  d->props.dwCurrentTxQueue = outQueue;
  return TRUE;
}

BOOL EscapeCommFunction(HANDLE file, DWORD function) {
  Record("EscapeCommFunction", file, {function});
  Device* d = DeviceOf(file);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (auto s = TakeScript("EscapeCommFunction")) return Fail(s->error);
  if (function == 0x3D20 || function == 0x3D21) return d->loopAnswer ? TRUE : Fail(d->loopError);
  return TRUE;
}

BOOL PurgeComm(HANDLE file, DWORD flags) {
  Record("PurgeComm", file, {flags});
  Device* d = DeviceOf(file);
  if (d == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (auto s = TakeScript("PurgeComm")) return Fail(s->error);
  for (auto& op : S().ops) {
    if (op->device != file || op->done) continue;
    if (((flags & PURGE_TXABORT) && op->fn == "WriteFile") || ((flags & PURGE_RXABORT) && op->fn == "ReadFile"))
      Complete(*op, 0, ERROR_OPERATION_ABORTED);
  }
  if (flags & PURGE_RXCLEAR) d->rx.clear();
  if (flags & PURGE_TXCLEAR) d->outQueue = 0;
  return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Box box;
  box.owner = owner;
  box.text = text != nullptr ? text : "";
  box.hasCaption = caption != nullptr;
  box.caption = caption != nullptr ? caption : "";
  box.flags = type;
  Record("MessageBoxA", nullptr, {U(owner), type}, box.text);
  S().boxes.push_back(box);
  return onMessageBox ? onMessageBox(box) : IDOK;
}
