// Log To File: every entry of a port (received bytes, typed keys, notices,
// settings, open and close) with its local time, kept in the port's buffer
// and appended to its .log file at the end of each poll pass, as the capture
// file is written.
#include <cstdio>
#include <cstring>

#include "port/comport.h"
#include "port/program.h"

namespace {

LocalTime Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace

void ComPort::Notice(LogKind kind, const char* text) {
  AddText(text, 0);
  LogText(kind, text);
}

void ComPort::LogText(LogKind kind, const char* text) {
  if (!g_program.logToFile) return;
  log.buffer.Add(Now(), portName, kind, text, std::strlen(text));
}

void ComPort::LogBytes(LogKind kind, const char* bytes, size_t count) {
  if (!g_program.logToFile) return;
  log.buffer.AddSpelled(Now(), portName, kind, reinterpret_cast<const unsigned char*>(bytes), count);
}

void ComPort::FlushLog() {
  const std::string& pending = log.buffer.Pending();
  if (pending.empty()) return;
  char name[kPortNameMax + sizeof ".log"];
  PortFileName(portName, ".log", name);
  bool written = false;
  if (std::FILE* file = std::fopen(name, "ab")) {
    written = std::fwrite(pending.data(), 1, pending.size(), file) == pending.size();
    written = (std::fclose(file) == 0) && written;
  }
  // Not kept for a later try: a file that cannot be written would make it grow without end.
  log.buffer.Clear();
  if (written) {
    log.failed = 0;
  } else if (!log.failed) {
    // Once, until writing works again; the data is still shown and captured.
    log.failed = 1;
    char notice[sizeof name + 32];
    std::snprintf(notice, sizeof notice, "<Log To File failed: %s>", name);
    AddText(notice, 0);
  }
}
