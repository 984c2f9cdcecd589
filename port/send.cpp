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
  // After the pattern write in flight, if Send Test Data is on.
  writer.LoadFile(std::move(bytes));
  StartWriter();
  return true;
}

// Counted as the driver takes them, like every write.
void ComPort::CountFileSend() {
  const uint64_t sent = writer.File().Sent();
  if (sent <= send.counted) return;
  const uint64_t more = sent - send.counted;
  send.counted = sent;
  stats.bytesSent += more;
  stats.sendRate.Add(static_cast<DWORD>(more), GetTickCount());
}

void ComPort::EndFileSend(bool finished) {
  if (!send.active) return;
  writer.DropFile();
  CountFileSend();
  send.active = 0;
  char notice[160];
  if (finished)
    std::snprintf(notice, sizeof notice, "<Sent %s: %llu bytes in %.1f s>", send.name,
                  static_cast<unsigned long long>(writer.File().Size()), (GetTickCount() - send.startedAt) / 1000.0);
  else
    std::snprintf(notice, sizeof notice, "<Send cancelled after %llu of %llu bytes>",
                  static_cast<unsigned long long>(writer.File().Sent()),
                  static_cast<unsigned long long>(writer.File().Size()));
  Notice(LogKind::kNote, notice);
}

void ComPort::CancelFileSend() { EndFileSend(false); }
