// The terminal window: one small handler per message, each acting on the
// window's own port.
#include "terminal/window.h"

#include <cstring>
#include <string>

#include "app/find.h"
#include "app/statusbar.h"
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

unsigned long long NewRowsBelow(HWND window) {
  Terminal* terminal = TerminalOf(window);
  return terminal != nullptr ? terminal->view.NewRowsBelow() : 0;
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

// Puts the text on the clipboard; nothing for an empty text.
void CopyToClipboard(HWND window, const std::string& text) {
  if (text.empty() || !OpenClipboard(window)) return;
  EmptyClipboard();
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    if (void* bytes = GlobalLock(memory)) {
      std::memcpy(bytes, text.c_str(), text.size() + 1);
      GlobalUnlock(memory);
      if (SetClipboardData(CF_TEXT, memory) == nullptr) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

// Finds what the Find dialog was last given, from the selection on; the
// found text is selected and brought into view.
void FindNext(HWND window, Terminal* terminal) {
  const FindRequest& request = LastFind();
  if (request.text.empty()) {
    OpenFindDialog(GetAncestor(window, GA_ROOT));
    return;
  }
  ComPort& port = *terminal->port;
  TextSpot found;
  if (!FindInHistory(port.screen, request, terminal->view.FindFrom(port, request.up), &found)) {
    ShowStatusNote(("Cannot find \"" + request.text + "\"").c_str());
    return;
  }
  terminal->view.Select(port, found, TextSpot{found.row, found.column + static_cast<int>(request.text.size())});
}

// The Edit menu's commands on this terminal's history.
bool RunHistoryCommand(HWND window, Terminal* terminal, WPARAM command) {
  switch (command) {
    case IDM_COPY: CopyToClipboard(window, terminal->view.SelectedText(*terminal->port)); return true;
    case IDM_SELECTALL: terminal->view.SelectAll(*terminal->port); return true;
    case IDM_FINDNEXT: FindNext(window, terminal); return true;
    default: return false;
  }
}

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
    terminal->view.Deselect();
    terminal->view.Paint(*port, true);
    return 0;
  }
  if (RunHistoryCommand(window, terminal, command)) return 0;
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

// Set while the system draws the window's frame: Wine reads the caption
// through WM_GETTEXT, which would put the rows in the title bar.
int drawingFrame;

// The screen's rows as text, for tests, screen readers and automation tools:
// the rows up to the bottom one shown, as many as the window shows and at
// least kScreenRows. While the frame is drawn, the title.
LRESULT OnGetText(HWND window, const Terminal* terminal, WPARAM room, LPARAM buffer, bool lengthOnly) {
  if (drawingFrame > 0) return DefMDIChildProcA(window, lengthOnly ? WM_GETTEXTLENGTH : WM_GETTEXT, room, buffer);
  const int rows = terminal->view.TextRows();
  const std::string text =
      terminal->port->screen.Text(terminal->view.BottomAge(), rows > kScreenRows ? rows : kScreenRows);
  if (lengthOnly) return static_cast<LRESULT>(text.size());
  if (room == 0 || buffer == 0) return 0;
  const size_t copied = text.size() < room - 1 ? text.size() : room - 1;
  char* out = reinterpret_cast<char*>(buffer);
  text.copy(out, copied);
  out[copied] = 0;
  return static_cast<LRESULT>(copied);
}

// A scroll bar request (SB_...), from the bar itself or from a key.
LRESULT OnScrollBar(HWND window, Terminal* terminal, WORD request) {
  TerminalView& view = terminal->view;
  ComPort& port = *terminal->port;
  const int64_t page = view.TextRows() > 1 ? view.TextRows() - 1 : 1;
  switch (request) {
    case SB_LINEUP: view.ScrollBy(port, 1); break;
    case SB_LINEDOWN: view.ScrollBy(port, -1); break;
    case SB_PAGEUP: view.ScrollBy(port, page); break;
    case SB_PAGEDOWN: view.ScrollBy(port, -page); break;
    case SB_TOP: view.ScrollToTop(port); break;
    case SB_BOTTOM: view.ScrollToBottom(port); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      // The 32-bit position: the message's own is cut to 16 bits.
      SCROLLINFO bar = {};
      bar.cbSize = sizeof bar;
      bar.fMask = SIF_TRACKPOS;
      if (GetScrollInfo(window, SB_VERT, &bar)) view.ScrollBarAt(port, bar.nTrackPos);
      break;
    }
    default: break;
  }
  return 0;
}

// Shift with Page Up, Page Down, Home and End moves through the history as
// the scroll bar would; false for any other key, which goes on as before.
bool ScrollKey(HWND window, Terminal* terminal, WPARAM key) {
  static const struct {
    WPARAM key;
    WORD request;
  } kKeys[] = {{VK_PRIOR, SB_PAGEUP}, {VK_NEXT, SB_PAGEDOWN}, {VK_HOME, SB_TOP}, {VK_END, SB_BOTTOM}};
  if (GetKeyState(VK_SHIFT) >= 0) return false;
  for (const auto& k : kKeys) {
    if (k.key != key) continue;
    OnScrollBar(window, terminal, k.request);
    return true;
  }
  return false;
}

LRESULT OnChar(Terminal* terminal, WPARAM character) {
  ComPort* port = terminal->port;
  terminal->view.ScrollToBottom(*port);  // typing returns to the newest rows
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
      return OnChar(terminal, wParam);
    case WM_KEYDOWN:
      if (ScrollKey(window, terminal, wParam)) return 0;
      break;
    case WM_VSCROLL:
      return OnScrollBar(window, terminal, LOWORD(wParam));
    case WM_MOUSEWHEEL:
      terminal->view.ScrollBy(*port, 3 * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
      return 0;
    case WM_COMMAND:
      return OnCommand(window, terminal, wParam);
    case WM_LBUTTONDOWN:
      terminal->view.MouseAt(LOWORD(lParam), HIWORD(lParam));
      terminal->view.SelectFrom(*port, LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_MOUSEMOVE:
      // Signed: dragged above the window, the selection scrolls up.
      terminal->view.MouseAt(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      terminal->view.SelectTo(*port, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      // A drag in the text selects; a click on a lamp switches it.
      if (terminal->view.Selecting())
        terminal->view.EndSelecting();
      else
        ClickLamp(port, terminal->view.mouseX(), terminal->view.mouseY());
      break;
    case WM_MDIACTIVATE:
      return 0;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      return OnGetText(window, terminal, wParam, lParam, message == WM_GETTEXTLENGTH);
    case WM_NCPAINT:
    case WM_NCACTIVATE: {
      drawingFrame++;
      const LRESULT result = DefMDIChildProcA(window, message, wParam, lParam);
      drawingFrame--;
      return result;
    }
    default:
      break;
  }
  return DefMDIChildProcA(window, message, wParam, lParam);
}
