// One open serial device together with everything its terminal window shows.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/log_line.h"
#include "core/port_stats.h"
#include "core/screen_buffer.h"
#include "port/check.h"
#include "port/port_writer.h"
#include "port/reader.h"
#include "port/recovery.h"

constexpr int kPortNameMax = 37;  // longest name the port-name dialog accepts

// Output-line bits of outputLines.
constexpr WORD kLineDtr = 0x1;
constexpr WORD kLineRts = 0x2;
constexpr WORD kLineLoop = 0x4;

// Log To File: the entries of this port not yet in its file.
struct PortLog {
  LogBuffer buffer;
  int failed = 0;  // the failure notice already shown; cleared when writing works
};

// Save To Disk: the port's .txt file, open while the switch is on.
struct PortCapture {
  std::FILE* file = nullptr;
  int failed = 0;   // the failure notice already shown; cleared when saving works
  int written = 0;  // written to since the last poll pass; a quiet pass closes the file
};

// Send File: the file going out (its bytes are the writer's), and what the
// passes have counted of it.
struct PortSend {
  char name[64] = {};    // the file's name, for the notices
  DWORD startedAt = 0;
  uint64_t counted = 0;  // bytes already in the statistics
  int active = 0;
};

// A read the driver refused: shown once until a read works again, and the
// reader started again a second later.
struct ReadTrouble {
  int shown = 0;
  DWORD since = 0;
};

struct ComPort;

// Whoever shows a port (its terminal window) hears after every poll pass that
// what it shows may have changed, and decides what to paint.
class PortWatcher {
 public:
  virtual void PortChanged(ComPort& port) = 0;

 protected:
  ~PortWatcher() = default;
};

struct ComPort {
  PortWatcher* watcher;               // its window; null once the window has gone
  ComPort* next;                      // next older port in the list
  char portName[kPortNameMax + 1];
  HANDLE handle;
  DWORD eventResult;                  // filled in by WaitCommEvent
  DWORD eventMask;                    // 0: no event wait is ever issued
  int loopSupported;
  int lampCount;                      // 6 with a loop-back switch, else 5
  WORD modemStatus;                   // MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON
  WORD outputLines;                   // kLineDtr, kLineRts, kLineLoop
  ScreenBuffer screen;                // what the terminal shows
  int needsRepaint;                   // the screen or the lamps changed since the window last looked
  int eventPending;
  OVERLAPPED eventOverlapped;         // event C
  OVERLAPPED writeOverlapped;         // event B
  int writePending;
  OVERLAPPED readOverlapped;          // event A
  DCB dcb;

  // Beyond the record above:
  int modemStatusFailed;  // GetCommModemStatus failure already shown; cleared on success
  int eventWaitFailed;    // a failed event wait already shown; cleared when one completes
  int queueStatusFailed;  // the ClearCommError notice already shown; cleared when it works
  std::vector<char> txCopy;  // the bytes of the write in flight, kept until it completes
  int inPass;             // a poll pass on this port is running (maybe inside a message box)
  int holds;              // PortHolds alive: code that may show a box is using the port
  int closePending;       // its window is gone; free the port when the last hold ends
  PortCapture capture;    // Save To Disk
  PortReader reader;      // the thread that takes what arrives
  PortWriter writer;      // the thread that sends test data, a file and the keys typed meanwhile
  PortSend send;          // Send File
  PortStats stats;        // what the port has done, for the Statistics dialog and the status bar
  PortCheck check;        // Check Test Data: the received bytes against the test pattern
  PortRecovery recovery;  // a lost device: noticing it, reopening it, its settings to give back
  PortLog log;            // Log To File
  ReadTrouble readTrouble;  // the reader's last failure

  ComPort();
  ~ComPort();
  ComPort(const ComPort&) = delete;
  ComPort& operator=(const ComPort&) = delete;

  // An error box about this port, unless its window has gone: a box that
  // comes after the user closed the window can only confuse. 0 when not shown.
  int Box(const char* message, int number, const char* second = nullptr, int secondNumber = 0);

  // The device has gone away and its handle is closed; see port/recovery.cpp.
  bool Lost() const { return recovery.lost != 0; }
  // After a call on the handle failed with `error`: true if the device is
  // gone (then the port is lost now, or was already), false if it is present.
  bool LostBy(DWORD error);
  // After a call that timed out: asks the driver whether the device is still there.
  bool Vanished();
  // Marks the port lost: the notice, pending I/O cancelled, the handle closed.
  void MarkLost(DWORD error);
  // Opens the lost device again and gives it its settings; true once it is back.
  bool Reopen();
  // On a poll pass of a lost port: Reopen if the switch is on and a second has passed.
  void RetryIfDue();
  // A key or command while lost: one notice per lost period.
  void NothingSent();

  // Settings to and from the driver, remembered for a device that returns;
  // while lost, only the remembered copy (port/settings.cpp).
  BOOL ReadState(DCB* out);
  BOOL GiveState(DCB* state);
  BOOL ReadTimeouts(COMMTIMEOUTS* out);
  BOOL GiveTimeouts(COMMTIMEOUTS* timeouts);
  // The reader's read time-outs with the write time-outs the user set.
  BOOL GiveReadSlice();
  BOOL GiveEventMask(DWORD mask);
  BOOL ReadProperties(COMMPROP* out);
  BOOL GiveQueueSizes(DWORD inQueue, DWORD outQueue);
  BOOL SetOutputLine(WORD line, int on);  // kLineRts or kLineDtr
  // Reads the DCB and time-outs at open, so that there is something to give back.
  void RememberSettings();
  // Gives a reopened device its settings, in order; the number refused, or -1 if it went again.
  int RestoreSettings(RestoreFailure* failed, int room);

  // Opens "\\.\" + name exclusively for overlapped I/O and links the port at
  // the head of the port list. 0 on success, 1 (after an error box) on failure.
  int Open(const char* name);

  // Asks the device to switch its loop-back off; sets loopSupported and lampCount.
  int ProbeLoopback();
  // Switches the loop-back on or off; the bit follows the request, whatever the device says.
  int SetLoopback(int on);

  // To the screen buffer, laid out as the switches say now. count 0: bytes is
  // a NUL-terminated text. A null pointer does nothing.
  void AddText(const char* bytes, int count);
  // Received bytes: as AddText, or as dump rows while Hex Dump is on.
  void AddReceived(const char* bytes, int count);
  // A notice: on the screen, and in the log as an entry of that kind.
  void Notice(LogKind kind, const char* text);

  // Log To File (port/log.cpp): entries while the switch is on, written to
  // the port's .log file at the end of each poll pass.
  void LogText(LogKind kind, const char* text);
  void LogBytes(LogKind kind, const char* bytes, size_t count);
  void FlushLog();
  void ClearScreen();

  // Transmit and receive. count 0: bytes is a NUL-terminated text.
  int ComOut(const char* bytes, int count);
  // Send Text: the bytes go out at once, logged as sent.
  void SendBytes(const std::string& bytes);
  // Bytes given to ComOut that the driver has not taken yet: a write pending
  // (one that has ended is seen out now, its failure with it), or keys
  // waiting for the writer's thread. A repeated Send Text waits for them
  // rather than piling up behind a line slower than its repeat.
  bool StillSending();
  // Send File: `bytes` (the file `name`) go out from a thread of their own;
  // false (with the lost port's notice) when the port is lost.
  bool StartFileSend(const char* name, std::vector<char> bytes);
  // Ends a send: its notice says how far it came.
  void CancelFileSend();
  // Takes what the reader has put into its ring: to the statistics, the
  // log, the screen, the capture file and the checker, in that order.
  // Shows no box, so it may run inside any other box of the port.
  void Drain();
  // Queue counts from the driver; line errors go to the screen. 1 (counts 0)
  // when the driver could not give them.
  int QueueStatus(DWORD* outCount, DWORD* inCount);

  // The driver's input queue size into the statistics (at open and after QSizes).
  void ReadQueueSize();

  // Check Test Data: feeds a received block to the checker and shows the
  // pass's first fault; at the end of the pass, one notice for the others.
  void CheckBlock(const char* bytes, DWORD count);
  void EndCheckPass();

  // Modem status into the lamp bits, and the event wait. 1 once wait failures are no longer shown.
  int CheckEvents();
  void ShowLineErrors(DWORD bits);
  void ShowEvents(DWORD mask);

  // One poll pass: queue counts and errors, events, the test pattern, the
  // reader's state (started, failed), and what it has read.
  int ServicePort();

 private:
  void CollectWrite();
  // A typed key's write that has ended is seen out now, its failure with it.
  void CollectEndedWrite();
  void StartReaderIfDue();
  void ServiceWriter(bool outputEmpty, bool queuesKnown);
  // Starts the writer's thread unless it runs, or a typed key's write is still
  // pending (a later pass does).
  void StartWriter();
  // Ends the writer; the typed bytes it held and had not sent go out on their own.
  void StopWriter();
  void SendKeysLeft(const std::string& keys);
  void CountTestData();
  void CountFileSend();
  void EndFileSend(bool finished);
  void ReportWriteFailure(const WriteFailure& failure);
  void ReportReadFailure();
  void SaveBlock(const char* bytes, size_t count);
  void CloseCapture();
  bool Confirmed(DWORD error);
  bool Refused();
};

// A box runs a message loop, and any message in it may close a window: a
// port is freed only once no code that may show a box still uses it. Every
// entry that reaches a port (a poll pass, the terminal's window procedure)
// holds it for as long as it runs.
class PortHold {
 public:
  explicit PortHold(ComPort* port) : port_(port) {
    if (port_ != nullptr) port_->holds++;
  }
  ~PortHold();  // frees the port if its window went meanwhile
  PortHold(const PortHold&) = delete;
  PortHold& operator=(const PortHold&) = delete;

 private:
  ComPort* port_;
};

// Frees a port whose window is gone, or marks it to be freed when the last
// hold on it (a pass or a window message still inside a box) ends.
void ReleasePort(ComPort* port);

// One poll pass over every open port; run on every timer tick.
void PollAllPorts();
// Takes in what every port's reader has read; on kPortDataMessage.
void DrainAllPorts();

// What the driver is given for the time-outs `asked`: the write fields as
// asked, the read fields the reader's own. A reader that keeps one read
// pending needs a read to end soon after bytes came, and some settings
// (MAXDWORD, MAXDWORD, n under Wine) would never end one. Under Wine a
// pending read hands its bytes over only when it ends; reads that return at
// once (MAXDWORD, 0, 0) beside a pending write made that write hang.
COMMTIMEOUTS DriverTimeouts(const COMMTIMEOUTS& asked);

// The notice of line error or event kind i, in the order of PortStats' counters.
const char* LineErrorText(int kind);
const char* EventText(int kind);

// WaitCommEvent failures of the whole run; after the fourth they are no longer shown.
extern DWORD eventWaitErrors;

// Cancels the operation of an OVERLAPPED record that may still be outstanding
// and waits for its completion, so that the record and its buffer may be reused or freed.
// Returns the bytes the operation moved: it may have ended just before the cancel.
DWORD CancelAndCollect(HANDLE device, OVERLAPPED* record);
