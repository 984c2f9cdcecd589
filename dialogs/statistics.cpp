// Port Statistics: every figure of the port the Settings menu acts on, kept
// up to date while the dialog is open; Reset zeroes the counters.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "dialogs/port_dialog.h"
#include "port/comport.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 1000;

void SetFigure(HWND dialog, int control, uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%" PRIu64, value);
  SetDlgItemTextA(dialog, control, text);
}

// "FRAME 1  OVERRUN 2" from the counters and their notices ("<ERR:FRAME ",
// "<EV_CTS>"): the kinds seen, "none" if none was.
void SetKinds(HWND dialog, int control, const uint64_t* counts, int kinds, const char* (*notice)(int),
              size_t prefix) {
  char text[512] = "";
  size_t used = 0;
  for (int i = 0; i < kinds && used + 40 < sizeof text; i++) {
    if (counts[i] == 0) continue;
    const char* name = notice(i) + prefix;
    size_t length = std::strcspn(name, " >");
    used += static_cast<size_t>(std::snprintf(text + used, sizeof text - used, "%s%.*s %" PRIu64,
                                              used ? "  " : "", static_cast<int>(length), name, counts[i]));
  }
  SetDlgItemTextA(dialog, control, used ? text : "none");
}

void Show(HWND dialog, const ComPort& port) {
  const PortStats& s = port.stats;
  const CheckCounts& c = port.check.checker.Counts();
  const uint32_t now = GetTickCount();
  const struct {
    int control;
    uint64_t value;
  } figures[] = {
      {IDC_STAT_RECEIVED, s.bytesReceived},
      {IDC_STAT_SENT, s.bytesSent},
      {IDC_STAT_RXRATE, s.receiveRate.PerSecond(now)},
      {IDC_STAT_TXRATE, s.sendRate.PerSecond(now)},
      {IDC_STAT_LINEERRORS, s.LineErrorTotal()},
      {IDC_STAT_HIGHESTQUEUE, s.highestInQueue},
      {IDC_STAT_QUEUESIZE, s.inQueueSize},
      {IDC_STAT_FAILEDREADS, s.failedReads},
      {IDC_STAT_FAILEDWRITES, s.failedWrites},
      {IDC_STAT_TIMESLOST, s.timesLost},
      {IDC_STAT_CHECKED, c.checked},
      {IDC_STAT_GOOD, c.good},
      {IDC_STAT_MISSING, c.missing},
      {IDC_STAT_CORRUPTED, c.corrupted},
      {IDC_STAT_EXTRA, c.extra},
      {IDC_STAT_RESYNCS, c.resyncs},
      {IDC_STAT_UNCHECKED, c.unchecked},
      {IDC_STAT_LOST, c.lost},
  };
  for (const auto& f : figures) SetFigure(dialog, f.control, f.value);
  // Tenths of a second, the period still going on included.
  const uint64_t awayMs = s.lostMs + (port.Lost() ? now - port.recovery.lostAt : 0);
  char away[32];
  std::snprintf(away, sizeof away, "%" PRIu64 ".%" PRIu64, awayMs / 1000, awayMs % 1000 / 100);
  SetDlgItemTextA(dialog, IDC_STAT_LOSTFOR, away);
  SetKinds(dialog, IDC_STAT_ERRORKINDS, s.lineErrors, kLineErrorKinds, LineErrorText, std::strlen("<ERR:"));
  SetKinds(dialog, IDC_STAT_EVENTKINDS, s.events, kEventKinds, EventText, std::strlen("<"));
}

void End(HWND dialog) {
  KillTimer(dialog, kRefreshTimer);
  EndPortDialog(dialog, 0);
}

}  // namespace

// FALSE throughout, as the settings dialogs answer. Each message finds the
// port afresh: its window may have closed since the last one (in a box's
// loop, say), and then the dialog closes without touching it.
INT_PTR CALLBACK StatisticsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) BindDialog(dialog, reinterpret_cast<ComPort*>(lParam));
  if (message == WM_DESTROY) UnbindDialog(dialog);
  if (message != WM_INITDIALOG && message != WM_TIMER && message != WM_COMMAND) return FALSE;
  ComPort* port = BoundPort(dialog);
  const WORD command = message == WM_COMMAND ? LOWORD(wParam) : 0;
  if (port == nullptr || command == IDOK || command == IDCANCEL) {
    End(dialog);
  } else if (message == WM_INITDIALOG) {
    Show(dialog, *port);
    SetTimer(dialog, kRefreshTimer, kRefreshMs, nullptr);
  } else if (message == WM_TIMER) {
    Show(dialog, *port);
  } else if (command == IDC_STAT_RESET) {
    port->stats.Reset();
    port->check.checker.ResetCounts();
    Show(dialog, *port);
  }
  return FALSE;
}
