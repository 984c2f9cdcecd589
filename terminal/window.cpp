// The terminal window: one small handler per message, each acting on the
// window's own port.
#include "terminal/window.h"

#include <string>

#include "dialogs/dialogs.h"
#include "dialogs/port_dialog.h"
#include "port/comport.h"
#include "port/program.h"
#include "res/resource.h"
#include "terminal/commands.h"
#include "terminal/view.h"

namespace {

// What the window's extra bytes point at: its port, and its own view of it.
// The port may outlive the window (a box still uses it); the view may not.
struct Terminal {
  ComPort* port;
  TerminalView view;
};

Terminal* TerminalOf(HWND window) {
  return window != nullptr ? reinterpret_cast<Terminal*>(GetWindowLongPtrA(window, 0)) : nullptr;
}

}  // namespace

ComPort* PortOf(HWND window) {
  Terminal* terminal = TerminalOf(window);
  return terminal != nullptr ? terminal->port : nullptr;
}

namespace {

LRESULT OnCreate(HWND window, LPARAM lParam) {
  auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
  auto* mdi = static_cast<MDICREATESTRUCTA*>(create->lpCreateParams);
  auto* handover = reinterpret_cast<PortHandover*>(mdi->lParam);
  ComPort* port = handover->port;
  handover->bound = 1;
  auto* terminal = new Terminal{port, TerminalView(window)};
  SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(terminal));
  port->watcher = &terminal->view;

  // The class owns its context: these colours stay set for every paint.
  HDC dc = GetDC(window);
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  ReleaseDC(window, dc);

  SetWindowTextA(window, port->portName);
  port->AddText("<Port Opened>", 0);
  // The line the port was opened with, as read from the driver.
  if (g_program.logToFile) {
    const DCB& line = port->recovery.saved.dcb;
    port->LogText(LogKind::kOpen, DescribeLine(line.BaudRate, line.ByteSize, line.Parity, line.StopBits,
                                               static_cast<int>(line.fRtsControl), static_cast<int>(line.fDtrControl))
                                      .c_str());
  }
  SetFocus(window);
  return 0;
}

LRESULT OnDestroy(HWND window, Terminal* terminal) {
  ComPort* port = terminal->port;
  SetWindowLongPtrA(window, 0, 0);
  // Nothing may reach the port through its dialogs once it is gone.
  CloseDialogsOf(port);
  port->LogText(LogKind::kClose, "");
  port->FlushLog();
  ReleasePort(port);  // no longer told of changes: the view goes with the window
  delete terminal;
  return 0;
}

// The settings dialogs of the Settings menu, by command.
struct SettingsDialog {
  WPARAM command;
  const char* templateName;
  DLGPROC procedure;
};

const SettingsDialog kSettingsDialogs[] = {
    {IDM_LINESETTINGS, "SETTINGSDLGBOX", LineSettingsDlgProc}, {IDM_TIMEOUTS, "WINTIMEOUTS", TimeoutsDlgProc},
    {IDM_EVENTS, "EVENTSDLGBOX", EventsDlgProc},              {IDM_MISCSETTINGS, "MISCDLGBOX", MiscSettingsDlgProc},
    {IDM_PORTSETTINGS, "EASYDLGBOX", PortSettingsDlgProc},    {IDM_QSIZES, "QSIZESDLGBOX", QueueSizesDlgProc},
    {IDM_STATISTICS, "STATSDLGBOX", StatisticsDlgProc},
};

// A handler that may show a box does not touch the view afterwards: the
// window, and its view with it, may have gone in the box's loop.
LRESULT OnCommand(HWND window, Terminal* terminal, WPARAM command) {
  ComPort* port = terminal->port;
  for (const SettingsDialog& d : kSettingsDialogs) {
    if (d.command == command) {
      const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
      DialogBoxParamA(instance, d.templateName, window, d.procedure, reinterpret_cast<LPARAM>(port));
      return 0;
    }
  }
  if (command == IDM_CLEARSCREEN) {
    port->ClearScreen();
    terminal->view.Paint(*port, true);
    return 0;
  }
  RunControlCommand(port, static_cast<unsigned>(command));
  return 0;
}

LRESULT OnPaint(HWND window, Terminal* terminal) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
  terminal->view.Paint(*terminal->port, true);
  return 0;
}

// The screen's rows as text, for tests, screen readers and automation tools.
// The title stays the port's name: the system keeps it apart from this.
LRESULT OnGetText(const ComPort* port, WPARAM room, LPARAM buffer, bool lengthOnly) {
  const std::string text = port->screen.Text();
  if (lengthOnly) return static_cast<LRESULT>(text.size());
  if (room == 0 || buffer == 0) return 0;
  const size_t copied = text.size() < room - 1 ? text.size() : room - 1;
  char* out = reinterpret_cast<char*>(buffer);
  text.copy(out, copied);
  out[copied] = 0;
  return static_cast<LRESULT>(copied);
}

LRESULT OnChar(ComPort* port, WPARAM character) {
  // A count of 1, so that a NUL typed as Ctrl+@ is sent too.
  char byte = static_cast<char>(character & 0xFF);
  if (!port->Lost()) port->LogBytes(LogKind::kTx, &byte, 1);
  port->ComOut(&byte, 1);
  return 0;
}

}  // namespace

LRESULT CALLBACK TerminalWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return OnCreate(window, lParam);
  Terminal* terminal = TerminalOf(window);
  if (terminal == nullptr) return DefMDIChildProcA(window, message, wParam, lParam);
  ComPort* port = terminal->port;
  // A handler may show a box or a dialog, in whose loop this window may close:
  // the port outlives the handler.
  PortHold hold(port);

  switch (message) {
    case WM_DESTROY:
      return OnDestroy(window, terminal);
    case WM_SIZE:
      terminal->view.Resize(HIWORD(lParam));
      break;
    case WM_SETFOCUS:
      ShowCursor(TRUE);
      break;
    case WM_KILLFOCUS:
      ShowCursor(FALSE);
      break;
    case WM_PAINT:
      return OnPaint(window, terminal);
    case WM_TIMER:
      if (wParam == kFrameTimer) terminal->view.FrameDue(*port);
      return 0;
    case WM_CHAR:
      return OnChar(port, wParam);
    case WM_COMMAND:
      return OnCommand(window, terminal, wParam);
    case WM_MOUSEMOVE:
      terminal->view.MouseAt(LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      ClickLamp(port, terminal->view.mouseX(), terminal->view.mouseY());
      break;
    case WM_MDIACTIVATE:
      return 0;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      return OnGetText(port, wParam, lParam, message == WM_GETTEXTLENGTH);
    default:
      break;
  }
  return DefMDIChildProcA(window, message, wParam, lParam);
}
