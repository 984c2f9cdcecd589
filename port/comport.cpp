#include "port/comport.h"

#include <cstring>
#include <initializer_list>

#include "port/errorbox.h"
#include "port/program.h"

ComPort::ComPort()
    : watcher(nullptr),
      next(nullptr),
      portName{},
      handle(nullptr),
      eventResult(0),
      eventMask(0),
      loopSupported(0),
      lampCount(5),
      modemStatus(0),
      outputLines(kLineDtr | kLineRts),
      screen(g_program.historyRows > 0 ? g_program.historyRows : kHistoryRows),
      needsRepaint(0),
      eventPending(0),
      eventOverlapped{},
      writeOverlapped{},
      writePending(0),
      readOverlapped{},
      dcb{},
      modemStatusFailed(0),
      eventWaitFailed(0),
      queueStatusFailed(0),
      inPass(0),
      holds(0),
      closePending(0) {
  dcb.DCBlength = sizeof(DCB);
}

int ComPort::Open(const char* name) {
  size_t length = std::strlen(name);
  if (length > static_cast<size_t>(kPortNameMax)) {
    // A cut name would open another device: refuse it instead.
    ErrorBox("Port name too long, characters:", static_cast<int>(length));
    return 1;
  }
  std::memcpy(portName, name, length + 1);

  char path[sizeof "\\\\.\\" + kPortNameMax];
  std::strcpy(path, "\\\\.\\");
  std::strcat(path, portName);

  HANDLE device = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    ErrorBox("Error from CreateFile:", static_cast<int>(GetLastError()), portName, 0);
    return 1;
  }
  handle = device;
  RememberSettings();

  // A missing event does not fail the open; that record just has none.
  readOverlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (readOverlapped.hEvent == nullptr) ErrorBox("Error A CreateEvent", 0);
  writeOverlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (writeOverlapped.hEvent == nullptr) ErrorBox("Error B CreateEvent", 0);
  std::memset(&eventOverlapped, 0, sizeof eventOverlapped);
  eventOverlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (eventOverlapped.hEvent == nullptr) ErrorBox("Error C CreateEvent", 0);

  writePending = 0;
  eventPending = 0;

  ProbeLoopback();
  ReadQueueSize();

  next = g_program.portList;
  g_program.portList = this;
  return 0;
}

ComPort::~ComPort() {
  if (g_program.portList == this) {
    g_program.portList = next;
  } else {
    for (ComPort* p = g_program.portList; p != nullptr; p = p->next) {
      if (p->next == this) {
        p->next = next;
        break;
      }
    }
  }

  reader.Stop();
  writer.Stop();
  CloseCapture();
  // A lost port's handle is closed already; its events are not.
  if (handle != nullptr) {
    PurgeComm(handle, PURGE_TXABORT);
    PurgeComm(handle, PURGE_RXABORT);
    // The records and txCopy live inside this object: nothing may still be
    // outstanding on them when it is freed. A read never outlives its ComIn.
    if (writePending) CancelAndCollect(handle, &writeOverlapped);
    if (eventPending) CancelAndCollect(handle, &eventOverlapped);
    writePending = eventPending = 0;
    CloseHandle(handle);
    handle = nullptr;
  }
  for (HANDLE event : {readOverlapped.hEvent, writeOverlapped.hEvent, eventOverlapped.hEvent})
    if (event != nullptr) CloseHandle(event);
}

int ComPort::Box(const char* message, int number, const char* second, int secondNumber) {
  if (closePending) return 0;
  return ErrorBox(message, number, second, secondNumber);
}

DWORD CancelAndCollect(HANDLE device, OVERLAPPED* record) {
  DWORD transferred = 0;
  // Fails with ERROR_NOT_FOUND when the operation has already ended; the
  // completion must be collected either way.
  CancelIoEx(device, record);
  GetOverlappedResult(device, record, &transferred, TRUE);
  return transferred;
}

void ComPort::ReadQueueSize() {
  if (Lost()) return;
  COMMPROP properties = {};
  if (GetCommProperties(handle, &properties)) stats.inQueueSize = properties.dwCurrentRxQueue;
}
