// The device-specific loop-back switch. Only some drivers answer it; the
// answer to the off-request at open tells whether the device has it.
#include "port/comport.h"
#include "port/program.h"

namespace {

// FILE_DEVICE_SERIAL_PORT, functions 0x805 (on) and 0x806 (off), METHOD_BUFFERED.
constexpr DWORD kIoctlLoopOn = 0x001B2014;
constexpr DWORD kIoctlLoopOff = 0x001B2018;
// The same requests as escape functions, on platforms other than NT.
constexpr DWORD kEscapeLoopOn = 0x3D20;
constexpr DWORD kEscapeLoopOff = 0x3D21;
// The handle is overlapped, so the request may pend; a driver gets this long.
constexpr DWORD kLoopWaitMs = 2000;

BOOL SendLoopRequest(HANDLE device, int on) {
  if (g_program.platformId != VER_PLATFORM_WIN32_NT)
    return EscapeCommFunction(device, on ? kEscapeLoopOn : kEscapeLoopOff);

  OVERLAPPED record = {};
  record.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD returned = 0;
  BOOL result = DeviceIoControl(device, on ? kIoctlLoopOn : kIoctlLoopOff, nullptr, 0, nullptr, 0,
                                &returned, &record);
  if (!result && GetLastError() == ERROR_IO_PENDING) {
    HANDLE signal = record.hEvent != nullptr ? record.hEvent : device;
    if (WaitForSingleObject(signal, kLoopWaitMs) == WAIT_OBJECT_0) {
      result = GetOverlappedResult(device, &record, &returned, FALSE);
    } else {
      // The record is on this stack frame: the request must be over before we leave.
      CancelAndCollect(device, &record);
      result = FALSE;
    }
  }
  if (record.hEvent != nullptr) CloseHandle(record.hEvent);
  return result;
}

}  // namespace

// The requests go to this port's own device: a box shown while a port opens
// lets other windows run and change currentPort meanwhile.
int ComPort::ProbeLoopback() {
  loopSupported = 0;
  if (SendLoopRequest(handle, 0) == TRUE) loopSupported = 1;
  lampCount = loopSupported ? 6 : 5;
  return 0;
}

int ComPort::SetLoopback(int on) {
  if (on)
    outputLines |= kLineLoop;
  else
    outputLines &= static_cast<WORD>(~kLineLoop);
  if (Lost()) return 0;  // given back when the device returns
  SendLoopRequest(handle, on);
  return 0;
}
