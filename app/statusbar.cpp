#include "app/statusbar.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "app/globals.h"
#include "core/status_line.h"
#include "port/comport.h"
#include "port/program.h"

namespace {

// A new text makes the bar repaint; under a steady stream the count changes
// on every pass, and ten repaints a second cost as much as the terminal's
// own drawing. Once a second, as the rate itself is counted, reads as well;
// another port shows at once.
constexpr DWORD kRefreshMs = 1000;

constexpr DWORD kNoteMs = 5000;

HWND statusBar;
char shownText[256];
const ComPort* shownPort;
DWORD shownAt;
char note[128];
DWORD noteAt;

}  // namespace

void CreateStatusBar(HWND frame) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  statusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, frame,
                              nullptr, g_app.instance, nullptr);
  shownText[0] = '\0';
}

void LayOutFrame(int width, int height) {
  int barHeight = 0;
  if (statusBar != nullptr) {
    SendMessageA(statusBar, WM_SIZE, 0, 0);  // the bar places itself along the bottom
    RECT bar;
    if (GetWindowRect(statusBar, &bar)) barHeight = bar.bottom - bar.top;
  }
  if (g_app.mdiClient != nullptr) MoveWindow(g_app.mdiClient, 0, 0, width, height - barHeight, TRUE);
}

void ShowStatusNote(const char* text) {
  std::snprintf(note, sizeof note, "%s", text);
  noteAt = GetTickCount();
  shownAt = noteAt - kRefreshMs;  // shown at the next update
}

void UpdateStatusBar(const ComPort* port, unsigned long long newRowsBelow) {
  if (statusBar == nullptr) return;
  const DWORD now = GetTickCount();
  if (port == shownPort && now - shownAt < kRefreshMs) return;
  shownPort = port;
  shownAt = now;
  char text[sizeof shownText];
  if (port != nullptr)
    FormatStatusLine(text, sizeof text, port->portName, &port->stats, now,
                     g_program.checkTestData ? &port->check.checker.Counts() : nullptr);
  else
    FormatStatusLine(text, sizeof text, nullptr, nullptr, 0, nullptr);
  const size_t used = std::strlen(text);
  if (newRowsBelow > 0)
    std::snprintf(text + used, sizeof text - used, "   %llu new row%s below", newRowsBelow, newRowsBelow == 1 ? "" : "s");
  const size_t more = std::strlen(text);
  if (note[0] != 0 && now - noteAt < kNoteMs) std::snprintf(text + more, sizeof text - more, "   %s", note);
  if (std::strcmp(text, shownText) == 0) return;
  std::memcpy(shownText, text, sizeof text);
  SendMessageA(statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}
