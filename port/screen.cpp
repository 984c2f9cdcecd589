// The port's side of its screen buffer (core/screen_buffer.h): the menu
// switches as they stand now, and the local time for Time Stamps.
#include "core/log_line.h"
#include "port/comport.h"
#include "port/program.h"

namespace {

// Read only when a row begins, once per call.
class LocalRowClock : public RowClock {
 public:
  const char* Stamp() override {
    SYSTEMTIME t;
    GetLocalTime(&t);
    FormatRowStamp(LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}, stamp_);
    return stamp_;
  }

 private:
  char stamp_[kRowStampWidth + 1];
};

ScreenOptions Options(LocalRowClock* clock) {
  ScreenOptions options;
  options.showCrLf = g_program.showCrLf != 0;
  options.hexDump = g_program.hexDump != 0;
  options.stamps = g_program.timeStamps ? clock : nullptr;
  return options;
}

}  // namespace

void ComPort::AddText(const char* bytes, int count) {
  if (bytes == nullptr) return;
  LocalRowClock clock;
  screen.AddText(bytes, count, Options(&clock));
  needsRepaint = 1;
}

void ComPort::AddReceived(const char* bytes, int count) {
  LocalRowClock clock;
  screen.AddReceived(bytes, count, Options(&clock));
  needsRepaint = 1;
}

void ComPort::ClearScreen() { screen.Clear(); }
