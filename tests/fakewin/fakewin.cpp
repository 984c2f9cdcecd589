// The fake Win32 layer: enough of KERNEL32 and USER32, faithful to the
// documented behaviour of each call, to drive the program's logic on Linux.
#include "fake.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>
#include <random>

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
  DWORD goneError = 0;  // the device was unplugged: every call on this handle fails so
  bool autoReset = false;  // an event that a satisfied wait resets
};

struct State {
  DWORD tickCount = 0;
  std::deque<std::unique_ptr<Device>> devices;
  std::map<HANDLE, HandleInfo> handles;
  uintptr_t nextHandle = 0x1000;
  std::map<std::string, std::deque<Script>> scripts;
  std::deque<DWORD> waitResults;
  std::deque<std::unique_ptr<Op>> ops;
  std::vector<Call> calls;
  std::vector<Box> boxes;
  std::vector<std::string> violations;
  bool chaos = false;
  ChaosConfig chaosConfig;
  ChaosStats chaosStats;
  std::mt19937 random;
  bool realWaits = false;  // a reader thread runs: waits take real time
};

State& S() {
  static State state;
  return state;
}

thread_local DWORD lastError = 0;

uint64_t U(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// Every call is recorded, the window's thread's beside the port threads': under the one lock.
void Record(const char* fn, HANDLE handle, std::vector<uint64_t> args, std::string text = {}) {
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
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

// Why a call on this device handle fails before it starts: not a device, or
// a device unplugged since it was opened; 0 when the call may go on.
DWORD DeadError(HANDLE h, const Device* d) {
  if (d == nullptr) return ERROR_INVALID_HANDLE;
  return Info(h)->goneError;
}

// What a driver reports for a device it has just made.
void SetDefaults(Device& d) {
  d.dcb = DCB{};
  d.dcb.DCBlength = sizeof(DCB);
  d.dcb.BaudRate = 9600;
  d.dcb.ByteSize = 8;
  d.dcb.fBinary = 1;
  d.dcb.fDtrControl = DTR_CONTROL_ENABLE;
  d.dcb.fRtsControl = RTS_CONTROL_ENABLE;
  d.dcb.XonChar = 17;
  d.dcb.XoffChar = 19;
  d.timeouts = COMMTIMEOUTS{};
  d.eventMask = 0;
  d.props = COMMPROP{};
  d.props.dwCurrentRxQueue = 4096;
  d.props.dwCurrentTxQueue = 4096;
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

// A buffer an outstanding read still fills may be neither read into again nor
// sent from; nor may a new read fill the bytes an outstanding write still sends.
void CheckBuffer(const char* fn, const void* buffer, DWORD size, bool isRead) {
  auto begin = static_cast<const char*>(buffer);
  for (auto& op : S().ops) {
    if (op->done || op->buffer == nullptr) continue;
    if (op->fn != "ReadFile" && !(isRead && op->fn == "WriteFile")) continue;
    auto opBegin = static_cast<const char*>(op->buffer);
    if (begin < opBegin + op->size && opBegin < begin + size)
      S().violations.push_back(std::string(fn) + ": buffer of an outstanding " + op->fn + " reused");
  }
}

// Starts an overlapped operation. Any operation begun on an overlapped record
// resets its event first, as the system does.
Op& Begin(const char* fn, HANDLE device, OVERLAPPED* record) {
  if (OutstandingOn(record) != nullptr)
    S().violations.push_back(std::string(fn) + ": OVERLAPPED reused while its operation is outstanding");
  if (HandleInfo* info = Info(record->hEvent); info != nullptr) info->signalled = false;
  // Without an event the device handle itself is what signals the completion.
  if (record->hEvent == nullptr)
    if (HandleInfo* info = Info(device); info != nullptr) info->signalled = false;
  record->Internal = kStatusPending;
  record->InternalHigh = 0;
  S().ops.push_back(std::make_unique<Op>());
  Op& op = *S().ops.back();
  op.fn = fn;
  op.device = device;
  op.record = record;
  return op;
}

// Chaos mode's dice.
bool Roll(int percent) { return S().chaos && static_cast<int>(S().random() % 100) < percent; }
uint32_t Below(uint32_t n) { return n == 0 ? 0 : S().random() % n; }

// An error a serial driver plausibly gives for a call it could not serve.
DWORD ChaosError() {
  static const DWORD kErrors[] = {ERROR_GEN_FAILURE, ERROR_ACCESS_DENIED, ERROR_OPERATION_ABORTED,
                                  ERROR_NOT_SUPPORTED, ERROR_INVALID_PARAMETER, 1117 /* ERROR_IO_DEVICE */,
                                  1167 /* ERROR_DEVICE_NOT_CONNECTED */};
  return kErrors[Below(sizeof kErrors / sizeof kErrors[0])];
}

// A random failure of a call that was not scripted.
std::optional<Script> ChaosFailure() {
  if (!Roll(S().chaosConfig.failPercent)) return std::nullopt;
  S().chaosStats.failedCalls++;
  return Script{Script::kFail, ChaosError(), nullptr};
}

std::optional<Script> TakeScriptOrChaos(const char* fn) {
  if (auto s = TakeScript(fn)) return s;
  return ChaosFailure();
}

// Ends an operation chaos mode left pending: with an error at random, else as the device would.
void ChaosFinish(Op& op) {
  if (Roll(S().chaosConfig.failCompletionPercent)) {
    S().chaosStats.failedCompletions++;
    Complete(op, 0, ChaosError());
    return;
  }
  Device* d = DeviceOf(op.device);
  if (op.fn == "ReadFile") {
    DWORD n = d == nullptr ? 0 : static_cast<DWORD>(std::min<size_t>(op.size, d->rx.size()));
    if (n > 1 && Roll(S().chaosConfig.shortReadPercent)) {
      S().chaosStats.shortReads++;
      n = 1 + Below(n - 1);
    }
    if (n > 0) {
      std::memcpy(op.buffer, d->rx.data(), n);
      d->rx.erase(0, n);
    }
    Complete(op, n, 0);
  } else if (op.fn == "WriteFile") {
    CompleteWrite(op);
  } else if (op.fn == "WaitCommEvent") {
    DWORD ready = d == nullptr ? 0 : d->events & d->eventMask;
    if (d != nullptr) d->events &= ~ready;
    CompleteEvent(op, ready);
  } else {
    Complete(op, 0, d != nullptr && d->loopAnswer ? 0 : (d != nullptr ? d->loopError : ERROR_INVALID_HANDLE));
  }
}

// With nothing scripted for fn, chaos may fail the call at once or leave it
// pending; then this is the call's result.
std::optional<BOOL> ChaosTakesOver(const char* fn, Op& op) {
  if (!S().chaos || (S().scripts.count(fn) && !S().scripts[fn].empty())) return std::nullopt;
  if (auto s = ChaosFailure()) {
    Complete(op, 0, s->error);
    op.collected = true;
    return Fail(s->error);
  }
  if (Roll(S().chaosConfig.pendPercent)) {
    S().chaosStats.pended++;
    op.chaos = true;
    return Fail(ERROR_IO_PENDING);
  }
  return std::nullopt;
}

// Either leaves the operation pending (scripted) or lets finish() complete it at once.
BOOL Run(const char* fn, Op& op, LPDWORD transferred, const std::function<DWORD(Op&)>& finish) {
  if (auto result = ChaosTakesOver(fn, op)) return *result;
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

void SetTickCount(DWORD milliseconds) { S().tickCount = milliseconds; }

std::recursive_mutex& Mutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

void SetRealWaits(bool on) { S().realWaits = on; }

void Reset() {
  S() = State{};
  onMessageBox = nullptr;
  lastError = 0;
}

Device& AddDevice(const std::string& name) {
  S().devices.push_back(std::make_unique<Device>());
  Device& d = *S().devices.back();
  d.name = name;
  SetDefaults(d);
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

void Unplug(const std::string& name, DWORD error, DWORD pendingError) {
  Device* d = FindDevice(name);
  if (d == nullptr) return;
  d->exists = false;
  for (auto& [handle, info] : S().handles) {
    if (info.kind != HandleInfo::kDevice || info.device != d) continue;
    info.goneError = error;
    for (auto& op : S().ops)
      if (op->device == handle && !op->done) Complete(*op, 0, pendingError);
  }
}

void Plug(const std::string& name) {
  Device* d = FindDevice(name);
  if (d == nullptr) return;
  // A device made anew: the driver's defaults, not what the last one was
  // given. Handles of the old one still count as open until closed.
  SetDefaults(*d);
  d->exists = true;
  d->hollowError = 0;
}

void Hollow(const std::string& name, DWORD error) {
  Unplug(name, error);
  if (Device* d = FindDevice(name)) d->hollowError = error;
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
  if (op.fn == "WriteFile" && !op.done && std::memcmp(op.buffer, op.sent.data(), op.sent.size()) != 0)
    S().violations.push_back("WriteFile: its bytes changed while the write was outstanding");
  op.done = true;
  op.record->Internal = error;
  op.record->InternalHigh = transferred;
  if (op.fn == "ReadFile" && error == 0 && transferred > 0) {
    if (Device* d = DeviceOf(op.device)) {
      d->delivered.append(static_cast<const char*>(op.buffer), transferred);
      d->lastRead.assign(static_cast<const char*>(op.buffer), transferred);
    }
  }
  Signal(op.record->hEvent);
  if (op.record->hEvent == nullptr)
    if (HandleInfo* info = Info(op.device); info != nullptr) info->signalled = true;
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
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
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

void StartChaos(const ChaosConfig& config) {
  S().chaos = true;
  S().chaosConfig = config;
  S().chaosStats = ChaosStats{};
  S().random.seed(config.seed);
}

ChaosStats& Chaos() { return S().chaosStats; }

void ChaosTick() {
  if (!S().chaos) return;
  const ChaosConfig& c = S().chaosConfig;
  ChaosStats& stats = S().chaosStats;
  for (auto& [handle, info] : S().handles) {
    if (info.kind != HandleInfo::kDevice) continue;
    Device& d = *info.device;
    if (Roll(c.arrivePercent)) {
      // Mostly a few bytes, now and then a burst longer than one read block.
      size_t n = Roll(3) ? 4000 + Below(9000) : 1 + Below(300);
      for (size_t i = 0; i < n; i++) {
        // Printable text with line ends, and now and then any byte at all.
        uint32_t r = Below(100);
        d.rx += static_cast<char>(r < 8 ? Below(256) : r < 12 ? '\r' : r < 16 ? '\n' : 0x20 + Below(0x5F));
      }
      stats.bytesArrived += static_cast<long>(n);
    }
    if (Roll(c.lineErrorPercent)) {
      static const DWORD kBits[] = {CE_RXOVER, CE_OVERRUN, CE_RXPARITY, CE_FRAME, CE_BREAK, CE_TXFULL,
                                    CE_PTO, CE_IOE, CE_DNS, CE_OOP, CE_MODE};
      d.lineErrors |= kBits[Below(11)] | (Roll(30) ? kBits[Below(11)] : 0);
      stats.lineErrors++;
    }
    if (Roll(c.modemChangePercent)) {
      d.modemStatus = Below(16) << 4;  // CTS, DSR, RING, RLSD in any combination
      stats.modemChanges++;
    }
    if (Roll(c.eventPercent)) {
      d.events |= 1u << Below(13);
      stats.events++;
    }
    d.outQueue = Roll(70) ? 0 : Below(2000);
  }
  for (auto& op : S().ops) {
    if (op->done || !op->chaos) continue;
    if (op->fn == "WaitCommEvent") {
      Device* d = DeviceOf(op->device);
      bool ready = d != nullptr && (d->events & d->eventMask) != 0;
      if (ready || Roll(5)) ChaosFinish(*op);
    } else if (Roll(c.tickCompletePercent)) {
      ChaosFinish(*op);
    }
  }
  // Operations ended and seen are of no further use; keep the searches short.
  S().ops.erase(std::remove_if(S().ops.begin(), S().ops.end(), [](auto& op) { return op->done; }),
                S().ops.end());
}

}  // namespace fake

using namespace fake;

DWORD GetLastError() { return lastError; }
DWORD GetTickCount() { return S().tickCount; }

void GetLocalTime(LPSYSTEMTIME time) {
  Record("GetLocalTime", nullptr, {});
  // Within one day of 14:03:00, which is all a test needs.
  const DWORD ms = S().tickCount % (10 * 3600 * 1000);
  const DWORD seconds = 3 * 60 + ms / 1000;
  *time = SYSTEMTIME{2026, 12, 4, 10, static_cast<WORD>(14 + seconds / 3600),
                     static_cast<WORD>(seconds / 60 % 60), static_cast<WORD>(seconds % 60),
                     static_cast<WORD>(ms % 1000)};
}
void SetLastError(DWORD error) { lastError = error; }

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
  Record("CreateFileA", nullptr, {access, share, U(security), disposition, flags, U(templateFile)}, name);
  if (auto s = TakeScriptOrChaos("CreateFileA")) {
    lastError = s->error;
    return INVALID_HANDLE_VALUE;
  }
  static const char kPrefix[] = "\\\\.\\";
  Device* d = nullptr;
  if (std::strncmp(name, kPrefix, 4) == 0) d = FindDevice(name + 4);
  if (d == nullptr || (!d->exists && d->hollowError == 0)) {
    lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  // A serial port is never shared: a second open is refused whatever the share mode.
  if (d->openCount > 0) {
    lastError = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  d->openCount++;
  return NewHandle({HandleInfo::kDevice, d, false, d->exists ? 0 : d->hollowError});
}

BOOL CloseHandle(HANDLE handle) {
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
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
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
  Record("CreateEventA", nullptr, {U(security), static_cast<uint64_t>(manualReset),
                                   static_cast<uint64_t>(initialState), U(name)});
  if (auto s = TakeScriptOrChaos("CreateEventA")) {
    lastError = s->error;
    return nullptr;
  }
  return NewHandle({HandleInfo::kEvent, nullptr, initialState != FALSE, 0, manualReset == FALSE});
}

BOOL SetEvent(HANDLE event) {
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
  HandleInfo* info = Info(event);
  if (info == nullptr || info->kind != HandleInfo::kEvent) return Fail(ERROR_INVALID_HANDLE);
  info->signalled = true;
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
  HandleInfo* info = Info(event);
  if (info == nullptr || info->kind != HandleInfo::kEvent) return Fail(ERROR_INVALID_HANDLE);
  info->signalled = false;
  return TRUE;
}

namespace {
// With real waits on (a thread test), a wait that finds nothing signalled
// lets go of the fake and looks again until its time is up.
template <typename Try>
DWORD WaitReally(DWORD milliseconds, Try attempt) {
  for (DWORD waited = 0;; waited++) {
    DWORD result;
    {
      std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
      result = attempt();
      if (result != WAIT_TIMEOUT || !S().realWaits || waited >= milliseconds) return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
DWORD WaitOnce(HANDLE handle, DWORD milliseconds);
}  // namespace

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitReally(milliseconds, [&] { return WaitOnce(handle, milliseconds); });
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL all, DWORD milliseconds) {
  if (all) return WAIT_FAILED;  // not used by the program
  return WaitReally(milliseconds, [&]() -> DWORD {
    for (DWORD i = 0; i < count; i++)
      if (WaitOnce(handles[i], milliseconds) == WAIT_OBJECT_0) return WAIT_OBJECT_0 + i;
    return WAIT_TIMEOUT;
  });
}

namespace {
DWORD WaitOnce(HANDLE handle, DWORD milliseconds) {
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
  if (!info->signalled && S().chaos) {
    for (auto& op : S().ops) {
      if (op->done || !op->chaos) continue;  // a finished op's record may be gone
      if (op->record->hEvent != handle && (op->record->hEvent != nullptr || op->device != handle)) continue;
      if (Roll(S().chaosConfig.completeInWaitPercent))
        ChaosFinish(*op);
      else
        S().chaosStats.waitTimeouts++;
      break;
    }
  }
  if (!info->signalled) return WAIT_TIMEOUT;
  if (info->autoReset) info->signalled = false;
  return WAIT_OBJECT_0;
}
}  // namespace

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
  Record("ReadFile", file, {U(buffer), toRead, U(read), U(overlapped)});
  Device* d = DeviceOf(file);
  if (DWORD e = DeadError(file, d)) return Fail(e);
  d->lastRead.clear();
  CheckBuffer("ReadFile", buffer, toRead, true);
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
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
  Record("WriteFile", file, {U(buffer), toWrite, U(written), U(overlapped)},
         std::string(static_cast<const char*>(buffer), toWrite));
  Device* d = DeviceOf(file);
  if (DWORD e = DeadError(file, d)) return Fail(e);
  if (written != nullptr) *written = 0;
  CheckBuffer("WriteFile", buffer, toWrite, false);
  Op& op = Begin("WriteFile", file, overlapped);
  op.buffer = const_cast<void*>(buffer);
  op.size = toWrite;
  op.sent.assign(static_cast<const char*>(buffer), toWrite);
  return Run("WriteFile", op, written, [d](Op& o) {
    d->written.append(static_cast<const char*>(o.buffer), o.size);
    return o.size;
  });
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait) {
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
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
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());
  Record("CancelIoEx", file, {U(overlapped)});
  bool found = false;
  for (auto& op : S().ops) {
    if (op->device == file && !op->done && (overlapped == nullptr || op->record == overlapped)) {
      // The operation may end on its own just before the cancel reaches it.
      if (op->chaos && Roll(S().chaosConfig.cancelRacePercent)) {
        S().chaosStats.cancelRaces++;
        ChaosFinish(*op);
        continue;
      }
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
  if (DWORD e = DeadError(device, d)) return Fail(e);
  DWORD error = IsLoopRequest(code) ? (d->loopAnswer ? 0 : d->loopError) : ERROR_INVALID_PARAMETER;
  if (overlapped == nullptr) {
    if (auto s = TakeScriptOrChaos("DeviceIoControl")) return Fail(s->error == 0 ? ERROR_GEN_FAILURE : s->error);
    if (returned != nullptr) *returned = 0;
    return error == 0 ? TRUE : Fail(error);
  }
  Op& op = Begin("DeviceIoControl", device, overlapped);
  if (auto result = ChaosTakesOver("DeviceIoControl", op)) return *result;
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
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());  // a quiet reader asks too
  Record("ClearCommError", file, {U(errors), U(stat)});
  Device* d = DeviceOf(file);
  if (DWORD e = DeadError(file, d)) return Fail(e);
  d->lastRead.clear();  // a new pass begins: notices may follow the last data
  if (auto s = TakeScriptOrChaos("ClearCommError")) return Fail(s->error);
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
  if (DWORD e = DeadError(file, d)) return Fail(e);
  if (auto s = TakeScriptOrChaos("GetCommModemStatus")) return Fail(s->error);
  *status = d->modemStatus;
  return TRUE;
}

BOOL WaitCommEvent(HANDLE file, LPDWORD mask, LPOVERLAPPED overlapped) {
  Record("WaitCommEvent", file, {U(mask), U(overlapped)});
  Device* d = DeviceOf(file);
  if (DWORD e = DeadError(file, d)) return Fail(e);
  Op& op = Begin("WaitCommEvent", file, overlapped);
  op.mask = mask;
  if (auto result = ChaosTakesOver("WaitCommEvent", op)) return *result;
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
  if (ready == 0) {  // waits until an event or a mask change
    op.chaos = S().chaos;
    return Fail(ERROR_IO_PENDING);
  }
  d->events &= ~ready;
  CompleteEvent(op, ready);
  op.collected = true;
  return TRUE;
}

BOOL SetCommMask(HANDLE file, DWORD mask) {
  Record("SetCommMask", file, {mask});
  Device* d = DeviceOf(file);
  if (DWORD e = DeadError(file, d)) return Fail(e);
  if (auto s = TakeScriptOrChaos("SetCommMask")) return Fail(s->error);
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
    if (DWORD e = DeadError(file, d)) return Fail(e);             \
    if (auto s = TakeScriptOrChaos(#GetName)) return Fail(s->error);        \
    *value = d->member;                                              \
    return TRUE;                                                     \
  }                                                                  \
  BOOL SetName(HANDLE file, Type* value) {                           \
    Record(#SetName, file, {U(value)},                               \
           std::string(reinterpret_cast<const char*>(value), sizeof *value)); \
    Device* d = DeviceOf(file);                                      \
    if (DWORD e = DeadError(file, d)) return Fail(e);             \
    if (auto s = TakeScriptOrChaos(#SetName)) return Fail(s->error);        \
    d->member = *value;                                              \
    return TRUE;                                                     \
  }
FAKE_COMM_GETSET(GetCommState, SetCommState, DCB, dcb)
FAKE_COMM_GETSET(GetCommTimeouts, SetCommTimeouts, COMMTIMEOUTS, timeouts)
#undef FAKE_COMM_GETSET

BOOL GetCommProperties(HANDLE file, LPCOMMPROP properties) {
  Record("GetCommProperties", file, {U(properties)});
  Device* d = DeviceOf(file);
  if (DWORD e = DeadError(file, d)) return Fail(e);
  if (auto s = TakeScriptOrChaos("GetCommProperties")) return Fail(s->error);
  *properties = d->props;
  return TRUE;
}

BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
  Record("SetupComm", file, {inQueue, outQueue});
  Device* d = DeviceOf(file);
  if (DWORD e = DeadError(file, d)) return Fail(e);
  if (auto s = TakeScriptOrChaos("SetupComm")) return Fail(s->error);
  d->props.dwCurrentRxQueue = inQueue;
  d->props.dwCurrentTxQueue = outQueue;
  return TRUE;
}

BOOL EscapeCommFunction(HANDLE file, DWORD function) {
  Record("EscapeCommFunction", file, {function});
  Device* d = DeviceOf(file);
  if (DWORD e = DeadError(file, d)) return Fail(e);
  if (auto s = TakeScriptOrChaos("EscapeCommFunction")) return Fail(s->error);
  if (function == 0x3D20 || function == 0x3D21) return d->loopAnswer ? TRUE : Fail(d->loopError);
  return TRUE;
}

BOOL PurgeComm(HANDLE file, DWORD flags) {
  Record("PurgeComm", file, {flags});
  Device* d = DeviceOf(file);
  if (DWORD e = DeadError(file, d)) return Fail(e);
  if (auto s = TakeScriptOrChaos("PurgeComm")) return Fail(s->error);
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
