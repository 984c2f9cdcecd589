// Send Text and Send File: what the user gives goes out, counted in the
// port's statistics like typed keys, with a notice and a log entry for a
// file's end.
#include <cstdio>
#include <cstring>
#include <utility>

#include "port/comport.h"
#include "port/program.h"

void ComPort::SendBytes(const std::string& bytes) {
  if (bytes.empty()) return;
  if (!Lost()) LogBytes(LogKind::kTx, bytes.data(), bytes.size());
  ComOut(bytes.data(), static_cast<int>(bytes.size()));
}

bool ComPort::StartFileSend(const char* name, std::vector<char> bytes) {
  if (Lost()) {
    NothingSent();
    return false;
  }
  std::snprintf(send.name, sizeof send.name, "%s", name);
  send.startedAt = GetTickCount();
  send.counted = 0;
  send.active = 1;
  send.sender.Load(std::move(bytes));
  StartFileWhenLineFree();
  return true;
}

// Send Test Data, if on, first ends after its write in flight (see
// ServiceTestData): two threads writing at once would mix their bytes.
bool ComPort::StartFileWhenLineFree() {
  if (!send.sender.Running() && !writer.Running()) send.sender.Start(handle, g_program.threadedIo != 0);
  return send.sender.Running();
}

// Counted as the driver takes them, like every write.
void ComPort::CountFileSend() {
  const uint64_t sent = send.sender.Sent();
  if (sent <= send.counted) return;
  const uint64_t more = sent - send.counted;
  send.counted = sent;
  stats.bytesSent += more;
  stats.sendRate.Add(static_cast<DWORD>(more), GetTickCount());
}

void ComPort::EndFileSend(bool finished) {
  if (!send.active) return;
  send.sender.Stop();
  CountFileSend();
  send.active = 0;
  char notice[160];
  if (finished)
    std::snprintf(notice, sizeof notice, "<Sent %s: %llu bytes in %.1f s>", send.name,
                  static_cast<unsigned long long>(send.sender.Size()), (GetTickCount() - send.startedAt) / 1000.0);
  else
    std::snprintf(notice, sizeof notice, "<Send cancelled after %llu of %llu bytes>",
                  static_cast<unsigned long long>(send.sender.Sent()),
                  static_cast<unsigned long long>(send.sender.Size()));
  Notice(LogKind::kNote, notice);
  SendKeysLeft(send.sender.TakeKeys());
}

void ComPort::CancelFileSend() { EndFileSend(false); }

void ComPort::ServiceFileSend() {
  if (!send.active || !StartFileWhenLineFree()) return;
  send.sender.Pump();  // without a thread, the pass writes
  CountFileSend();
  const WriteFailure failure = send.sender.TakeFailure();
  if (failure.kind != WriteFailure::kNone) {
    EndFileSend(false);
    ReportWriteFailure(failure);
    return;
  }
  if (send.sender.Done()) EndFileSend(true);
}
