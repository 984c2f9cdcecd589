// One open serial device together with everything its terminal window shows.
#pragma once
#include <windows.h>

#include "terminal/screen_row.h"

constexpr int kPortNameMax = 37;  // longest name the port-name dialog accepts
constexpr int kRxBlock = 5000;    // most bytes one read brings in

// Output-line bits of outputLines.
constexpr WORD kLineDtr = 0x1;
constexpr WORD kLineRts = 0x2;
constexpr WORD kLineLoop = 0x4;

struct ComPort {
  HWND hwnd;
  ComPort* next;                      // next older port in the list
  char portName[kPortNameMax + 1];
  HANDLE handle;
  DWORD eventResult;                  // filled in by WaitCommEvent
  DWORD eventMask;                    // 0: no event wait is ever issued
  int loopSupported;
  int lampCount;                      // 6 with a loop-back switch, else 5
  WORD modemStatus;                   // MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON
  WORD outputLines;                   // kLineDtr, kLineRts, kLineLoop
  WORD paintedModemStatus;
  WORD paintedOutputLines;
  char rxBuffer[kRxBlock + 1];
  ScreenRow screenRows[kScreenRows];
  int needsRepaint;
  int paintedRow;
  int cursorRow;
  int cursorColumn;
  int clientHeight;
  int mouseX;
  int mouseY;
  int eventPending;
  OVERLAPPED eventOverlapped;         // event C
  OVERLAPPED writeOverlapped;         // event B
  int writePending;
  OVERLAPPED readOverlapped;          // event A
  DCB dcb;

  // A read left outstanding by a failed bounded wait; it must be cancelled
  // and collected before readOverlapped or rxBuffer is used again.
  int readPending;

  ComPort();
  ~ComPort();
  ComPort(const ComPort&) = delete;
  ComPort& operator=(const ComPort&) = delete;

  // Opens "\\.\" + name exclusively for overlapped I/O and links the port at
  // the head of the port list. 0 on success, 1 (after an error box) on failure.
  int Open(const char* name);

  // Asks the device to switch its loop-back off; sets loopSupported and lampCount.
  int ProbeLoopback();
  // Switches the loop-back on or off; the bit follows the request, whatever the device says.
  int SetLoopback(int on);
};

// Cancels the operation of an OVERLAPPED record that may still be outstanding
// and waits for its completion, so that the record and its buffer may be reused or freed.
void CancelAndCollect(HANDLE device, OVERLAPPED* record);
