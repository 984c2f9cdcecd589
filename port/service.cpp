// The poll: on every timer tick each open port gets one pass that fetches
// errors and events, sends the test pattern, and takes in what has arrived.
#include <cstdio>
#include <cstring>

#include "core/test_pattern.h"
#include "port/comport.h"
#include "port/program.h"

void ComPort::SaveBlock(DWORD count) {
  char name[kPortNameMax + sizeof ".txt"];
  PortFileName(portName, ".txt", name);
  bool saved = false;
  if (std::FILE* file = std::fopen(name, "ab")) {
    saved = std::fwrite(rxBuffer, 1, count, file) == count;
    saved = (std::fclose(file) == 0) && saved;
  }
  if (saved) {
    captureFailed = 0;
  } else if (!captureFailed) {
    // Once, until saving works again; the data itself is on the screen.
    captureFailed = 1;
    char notice[sizeof name + 32];
    std::snprintf(notice, sizeof notice, "<Save To Disk failed: %s>", name);
    Notice(LogKind::kNote, notice);
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
  CheckEvents();
  if (Lost() || closePending) return 0;

  // With the queues unknown the pattern waits: sent on every pass, it would
  // pile up in the driver or raise a box per pass from a dead handle.
  if (g_program.sendTestData && queuesKnown && outCount == 0) {
    if (g_program.testPatternLength == 0) g_program.testPatternLength = kPatternSize;
    if (g_program.logToFile) {
      char entry[40];
      std::snprintf(entry, sizeof entry, "test pattern, %d bytes", g_program.testPatternLength);
      LogText(LogKind::kTx, entry);
    }
    ComOut(TestPattern(), g_program.testPatternLength);
  }

  DWORD passBytes = 0;
  while (inCount > 0 && !closePending && !Lost()) {
    DWORD block = inCount < static_cast<DWORD>(kRxBlock) ? inCount : static_cast<DWORD>(kRxBlock);
    inCount -= block;
    DWORD received = 0;
    if (ComIn(rxBuffer, static_cast<int>(block), &received) != 0) {
      if (Lost()) break;
      stats.failedReads++;
      Notice(LogKind::kErr, "Error reading data");
      continue;
    }
    rxBuffer[received] = 0;
    if (received == 0) continue;  // count 0 would mean "a text up to its NUL"
    passBytes += received;
    LogBytes(LogKind::kRx, rxBuffer, received);
    AddReceived(rxBuffer, static_cast<int>(received));
    if (g_program.saveToDisk) SaveBlock(received);
    if (g_program.checkTestData) CheckBlock(rxBuffer, received);
  }
  // Counted once per pass: one clock reading however many blocks came.
  if (passBytes > 0) {
    stats.bytesReceived += passBytes;
    stats.receiveRate.Add(passBytes, GetTickCount());
  }
  EndCheckPass();
  return 0;
}

void PollAllPorts() {
  ComPort* port = g_program.portList;
  while (port != nullptr) {
    ComPort* next = nullptr;
    {
      PortHold hold(port);
      // A pass still inside a message box must not be overtaken by a second
      // one on the same port: it would overwrite rxBuffer and reuse records in flight.
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

PortHold::~PortHold() {
  if (port_ == nullptr) return;
  if (--port_->holds == 0 && port_->closePending) delete port_;
}

void ReleasePort(ComPort* port) {
  if (port == nullptr) return;
  port->watcher = nullptr;
  port->closePending = 1;
  if (port->holds > 0) return;
  delete port;
}
