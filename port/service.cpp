// The poll: on every timer tick each open port gets one pass that fetches
// errors and events, sends the test pattern and looks after its reader.
// What the reader takes in is drained whenever it says so (DrainAllPorts),
// inside any box or menu too, and at the end of every pass.
#include <cstdio>
#include <cstring>

#include "core/test_pattern.h"
#include "port/comport.h"
#include "port/program.h"

namespace {
const char kWanted[] = ",Wanted:";
}  // namespace

// The file stays open while data keeps coming: opening it for every block
// would cost more than writing the block. A pass with nothing written closes
// it, so that between bursts the user may move or delete it, as any closed file.
void ComPort::SaveBlock(const char* bytes, size_t count) {
  char name[kPortNameMax + sizeof ".txt"];
  PortFileName(portName, ".txt", name);
  if (capture.file == nullptr) capture.file = std::fopen(name, "ab");
  bool saved = capture.file != nullptr && std::fwrite(bytes, 1, count, capture.file) == count &&
               std::fflush(capture.file) == 0;
  if (saved) {
    capture.failed = 0;
    capture.written = 1;
    return;
  }
  CloseCapture();  // opened again for the next block
  if (!capture.failed) {
    // Once, until saving works again; the data itself is on the screen.
    capture.failed = 1;
    char notice[sizeof name + 32];
    std::snprintf(notice, sizeof notice, "<Save To Disk failed: %s>", name);
    Notice(LogKind::kNote, notice);
  }
}

void ComPort::CloseCapture() {
  if (capture.file == nullptr) return;
  std::fclose(capture.file);
  capture.file = nullptr;
}

void ComPort::Drain() {
  reader.Heard();
  ByteRing& ring = reader.Ring();
  size_t taken = 0;
  for (;;) {
    size_t length = 0;
    const char* bytes = ring.FilledSpan(&length);
    if (length == 0) break;
    // In blocks no longer than a read, so that a notice of the checker
    // lands near the bytes it is about.
    if (length > kReadBlock) length = kReadBlock;
    LogBytes(LogKind::kRx, bytes, length);
    AddReceived(bytes, static_cast<int>(length));
    if (g_program.saveToDisk) SaveBlock(bytes, length);
    if (g_program.checkTestData) CheckBlock(bytes, static_cast<DWORD>(length));
    ring.Release(length);
    taken += length;
  }
  if (taken == 0) return;
  readTrouble.shown = 0;  // reads work
  // Counted once per drain: one clock reading however many blocks came.
  stats.bytesReceived += taken;
  stats.receiveRate.Add(static_cast<DWORD>(taken), GetTickCount());
  EndCheckPass();
}

// A reader stopped by a failure is reported here, at the end of a pass,
// where a box may be shown; it is started again a second later: a driver
// that refuses every read gets one box, not one per read.
void ComPort::ReportReadFailure() {
  const ReadFailure failure = reader.TakeFailure();
  if (failure.error == 0) return;
  reader.Stop();
  Drain();  // what came before the failure first
  stats.failedReads++;
  // A read that fails as its device goes may fail with an error that says
  // nothing of it: the driver is asked before any box.
  if (LostBy(failure.error) || Vanished()) return;
  readTrouble.since = GetTickCount();
  if (readTrouble.shown) return;
  readTrouble.shown = 1;
  Notice(LogKind::kErr, "Error reading data");
  if (failure.afterPending)
    Box("Error Comin GetOverLappedResult:", static_cast<int>(failure.error));
  else
    Box("Error On Read!:", static_cast<int>(failure.error), kWanted, static_cast<int>(kReadBlock));
}

void ComPort::StartReaderIfDue() {
  if (reader.Running() || Lost() || closePending) return;
  if (readTrouble.since != 0 && GetTickCount() - readTrouble.since < 1000) return;
  readTrouble.since = 0;
  GiveReadSlice();
  reader.Start(handle, g_program.threadedIo != 0, g_program.dataWindow, kPortDataMessage);
}

// The writer runs while there is something to send: Send Test Data's
// patterns while the switch is on and the queues can be read (a dead handle
// would only pile up failures), a file while one is sent. Its failures get
// the boxes a single write always had.
void ComPort::ServiceWriter(bool outputEmpty, bool queuesKnown) {
  const bool patterns = g_program.sendTestData && queuesKnown && !Lost() && !closePending;
  writer.WantPatterns(patterns);
  // A thread that found nothing left has ended; switched on again meanwhile, a new one.
  if (writer.Running() && writer.Finished() && !writer.Failed()) StopWriter();
  if (patterns || send.active) StartWriter();
  writer.Pump(outputEmpty);  // without a thread, the pass writes
  CountTestData();
  CountFileSend();

  const WriteFailure failure = writer.TakeFailure();
  if (failure.kind != WriteFailure::kNone) {
    writer.Stop();  // started again by the next pass
    CountTestData();
    EndFileSend(false);  // a file being sent ends with the line's failure
    ReportWriteFailure(failure);
    SendKeysLeft(writer.TakeKeys());
  } else if (send.active && writer.File().Sent() == writer.File().Size()) {
    EndFileSend(true);
  }
}

// Not beside a typed key's write still pending: under Wine the two would mix.
void ComPort::StartWriter() {
  if (writer.Running() || writePending) return;
  if (g_program.testPatternLength == 0) g_program.testPatternLength = kPatternSize;
  const DWORD baud = recovery.saved.dcbKnown ? recovery.saved.dcb.BaudRate : 9600;
  writer.Start(handle, TestPattern(), g_program.testPatternLength, baud, g_program.threadedIo != 0);
}

void ComPort::StopWriter() {
  writer.Stop();
  SendKeysLeft(writer.TakeKeys());
}

// Typed bytes a sending thread took and had not sent when it ended go out on
// their own, counted once (when typed).
void ComPort::SendKeysLeft(const std::string& keys) {
  if (keys.empty()) return;
  stats.bytesSent -= keys.size() < stats.bytesSent ? keys.size() : stats.bytesSent;  // a reset may lie between
  ComOut(keys.data(), static_cast<int>(keys.size()));
}

// A writer thread's failure, with the boxes a single write has always had.
void ComPort::ReportWriteFailure(const WriteFailure& failure) {
  stats.failedWrites++;
  if (failure.kind == WriteFailure::kTimedOut) {
    // A write that never ends may be the first sign of a device gone.
    if (!Vanished()) Box("ComOut Pending Failed, stat:", static_cast<int>(failure.error));
  } else if (!LostBy(failure.error)) {
    Box(failure.kind == WriteFailure::kRefused ? "Com Write Error:" : "Error Comout GetOverLappedResult:",
        static_cast<int>(failure.error));
  }
}

// Counted as the driver takes them; one log entry per pass for all of them.
void ComPort::CountTestData() {
  const uint64_t sent = writer.TakePatternBytes();
  if (sent == 0) return;
  stats.bytesSent += sent;
  stats.sendRate.Add(static_cast<DWORD>(sent), GetTickCount());
  if (g_program.logToFile) {
    char entry[48];
    std::snprintf(entry, sizeof entry, "test pattern, %llu bytes", static_cast<unsigned long long>(sent));
    LogText(LogKind::kTx, entry);
  }
}

int ComPort::ServicePort() {
  if (Lost()) {
    RetryIfDue();
    if (Lost()) return 0;
  }
  DWORD outCount = 0;
  DWORD inCount = 0;
  const bool queuesKnown = QueueStatus(&outCount, &inCount) == 0;
  if (Lost()) return 0;
  // A device that came back and no longer answers is most likely going again:
  // no box about its other calls while the queue question decides.
  if (!queuesKnown && recovery.regained) return 0;
  // Before anything that may show a box: reading goes on behind the box.
  StartReaderIfDue();
  CollectEndedWrite();
  if (Lost() || closePending) return 0;
  CheckEvents();
  if (Lost() || closePending) return 0;

  ServiceWriter(queuesKnown && outCount == 0, queuesKnown);
  if (closePending || Lost()) return 0;
  reader.Pump();  // without a thread, the pass reads
  Drain();
  ReportReadFailure();
  if (!capture.written) CloseCapture();
  capture.written = 0;
  return 0;
}

void PollAllPorts() {
  ComPort* port = g_program.portList;
  while (port != nullptr) {
    ComPort* next = nullptr;
    {
      PortHold hold(port);
      // A pass still inside a message box must not be overtaken by a second
      // one on the same port: it would reuse records in flight.
      if (!port->inPass && !port->closePending) {
        port->inPass = 1;
        port->ServicePort();
        port->FlushLog();
        // The window decides what, if anything, to paint.
        if (!port->closePending && port->watcher != nullptr) port->watcher->PortChanged(*port);
        port->inPass = 0;
      }
      // Read while held: ports after this one may have been freed inside a
      // box of the pass, and freeing unlinks them.
      next = port->next;
    }
    port = next;
  }
}

void DrainAllPorts() {
  for (ComPort* port = g_program.portList; port != nullptr; port = port->next) {
    if (port->closePending) continue;
    port->Drain();
    port->FlushLog();
    if (port->watcher != nullptr) port->watcher->PortChanged(*port);
  }
}

PortHold::~PortHold() {
  if (port_ == nullptr) return;
  if (--port_->holds == 0 && port_->closePending) delete port_;
}

void ReleasePort(ComPort* port) {
  if (port == nullptr) return;
  port->watcher = nullptr;
  port->closePending = 1;
  port->reader.Stop();
  port->writer.Stop();
  if (port->holds > 0) return;
  delete port;
}
