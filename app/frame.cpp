#include "app/frame.h"

#include <dbt.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "app/globals.h"
#include "app/find.h"
#include "app/help.h"
#include "app/send.h"
#include "app/statusbar.h"
#include "dialogs/dialogs.h"
#include "port/comport.h"
#include "port/program.h"
#include "res/resource.h"
#include "terminal/window.h"
#include "version.h"

namespace {

int otherPortCommand;
char typedPortName[kPortNameMax + 1];  // what PORTNAMEDLGBOX gave; empty when nothing was typed

constexpr int kPortMenuItems = 39;
constexpr UINT kPollTimer = 0;
constexpr UINT kPollMs = 100;

// The menus that act on a terminal: Edit, Settings and Window.
void EnableTerminalMenus(UINT state) {
  for (UINT position = 1; position <= 3; position++) EnableMenuItem(g_app.frameMenu, position, MF_BYPOSITION | state);
}

LRESULT OnCreate(HWND frame) {
  HMENU portMenu = GetSubMenu(g_app.frameMenu, 0);
  HMENU openMenu = CreatePopupMenu();
  InsertMenuA(portMenu, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(openMenu), "&Open Port...");
  for (int i = 0; i < kPortMenuItems; i++) {
    char text[16];
    std::snprintf(text, sizeof text, "COM%d", i + 1);
    UINT flags = MF_STRING;
    if (i % 10 == 0 && i != 0) flags |= MF_MENUBREAK;  // four columns of ten
    AppendMenuA(openMenu, flags, IDM_FIRSTPORT + i, text);
  }
  otherPortCommand = IDM_FIRSTPORT + kPortMenuItems;
  AppendMenuA(openMenu, MF_STRING, otherPortCommand, "Other");

  // Edit, Settings and Window stay shut until a port is open.
  EnableTerminalMenus(MF_DISABLED);

  CLIENTCREATESTRUCT client = {};
  client.hWindowMenu = g_app.windowMenu;
  client.idFirstChild = IDM_FIRSTCHILD;
  g_app.mdiClient = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                    frame, nullptr, g_app.instance, &client);
  CreateStatusBar(frame);
  SetTimer(frame, kPollTimer, kPollMs, nullptr);
  return 0;
}

void OpenPort(HWND frame, int command) {
  if (command == otherPortCommand) {
    DialogBoxParamA(g_app.instance, "PORTNAMEDLGBOX", frame, PortNameDlgProc, 0);
    if (typedPortName[0] == 0) return;
    OpenPortNamed(typedPortName);
    return;
  }
  char name[16];
  std::snprintf(name, sizeof name, "COM%d", command - 499);
  OpenPortNamed(name);
}

// The Port menu's program-wide switches; `switchedOn`, if any, runs when one goes on.
struct MenuSwitch {
  UINT command;
  int ProgramState::*value;
  void (*switchedOn)();
};

const MenuSwitch kMenuSwitches[] = {
    {IDM_SAVETODISK, &ProgramState::saveToDisk, nullptr},
    {IDM_SENDTESTDATA, &ProgramState::sendTestData, nullptr},
    {IDM_CHECKTESTDATA, &ProgramState::checkTestData, RestartPatternChecks},
    {IDM_SHOWCRLF, &ProgramState::showCrLf, nullptr},
    {IDM_REOPENLOST, &ProgramState::reopenLostPorts, ReopenLostPorts},
    {IDM_LOGTOFILE, &ProgramState::logToFile, nullptr},
    {IDM_TIMESTAMPS, &ProgramState::timeStamps, nullptr},
    {IDM_HEXDUMP, &ProgramState::hexDump, nullptr},
};

bool FlipSwitch(UINT command) {
  for (const MenuSwitch& s : kMenuSwitches) {
    if (s.command != command) continue;
    int& value = g_program.*s.value;
    value ^= 1;
    CheckMenuItem(g_app.frameMenu, command, MF_BYCOMMAND | (value ? MF_CHECKED : MF_UNCHECKED));
    if (value && s.switchedOn != nullptr) s.switchedOn();
    return true;
  }
  return false;
}

LRESULT OnCommand(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  int command = LOWORD(wParam);
  if (command >= IDM_FIRSTPORT && command <= IDM_LASTPORT) {
    OpenPort(frame, command);
    return 0;
  }
  if (FlipSwitch(static_cast<UINT>(command))) return 0;
  switch (command) {
    case IDM_CLOSE: {
      HWND active = ActiveTerminal();
      if (active != nullptr && SendMessageA(active, WM_QUERYENDSESSION, 0, 0))
        SendMessageA(g_app.mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(active), 0);
      return 0;
    }
    case IDM_TILE: SendMessageA(g_app.mdiClient, WM_MDITILE, 0, 0); return 0;
    case IDM_CASCADE: SendMessageA(g_app.mdiClient, WM_MDICASCADE, 0, 0); return 0;
    case IDM_ARRANGE: SendMessageA(g_app.mdiClient, WM_MDIICONARRANGE, 0, 0); return 0;
    case IDM_CLOSEALL: EnumChildWindows(g_app.mdiClient, CloseAllProc, 0); return 0;
    case IDM_PORTS:
      DialogBoxParamA(g_app.instance, "PORTSDLGBOX", frame, PortsDlgProc, reinterpret_cast<LPARAM>(&OpenPortNamed));
      return 0;
    case IDM_SENDTEXT:
      if (ActiveTerminal() != nullptr) OpenSendTextDialog(frame);
      return 0;
    case IDM_SENDFILE:
      SendFile(frame);
      return 0;
    case IDM_FIND:
      if (ActiveTerminal() != nullptr) OpenFindDialog(frame);
      return 0;
    case IDM_ABOUT:
      MessageBoxA(frame, "Plix32 - serial port test terminal\nOstrel Corp.\nVersion " PLIX_PRODUCT_VERSION,
                  "About Plix", MB_OK);
      return 0;
    case IDM_HELP:
      ShowHelp(frame);
      return DefFrameProcA(frame, g_app.mdiClient, message, wParam, lParam);
    default: {
      HWND active = ActiveTerminal();
      if (IsWindow(active)) SendMessageA(active, WM_COMMAND, wParam, lParam);
      return DefFrameProcA(frame, g_app.mdiClient, message, wParam, lParam);
    }
  }
}

}  // namespace

HWND ActiveTerminal() { return reinterpret_cast<HWND>(SendMessageA(g_app.mdiClient, WM_MDIGETACTIVE, 0, 0)); }

bool OpenPortNamed(const char* name) {
  auto* port = new (std::nothrow) ComPort;
  if (port == nullptr) {
    MessageBoxA(GetFocus(), "Port failed to open.", "", MB_OK);
    return false;
  }
  // A copy: `name` may be a buffer that a dialog shown meanwhile fills again.
  const std::string requested = name;
  if (port->Open(requested.c_str()) != 0) {
    delete port;  // never linked, never shown
    MessageBoxA(GetFocus(), "Port failed to open.", "", MB_OK);
    return false;
  }

  EnableTerminalMenus(MF_ENABLED);

  // The port rides in the creation record, not in a global that a box shown
  // meanwhile could let another window change.
  PortHandover handover = {port, 0};
  MDICREATESTRUCTA create = {};
  create.szClass = "PlixDraw";
  create.szTitle = "ComX";
  create.hOwner = g_app.instance;
  create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
  create.style = 0;
  create.lParam = reinterpret_cast<LPARAM>(&handover);
  HWND child = reinterpret_cast<HWND>(SendMessageA(g_app.mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
  if (child == nullptr) {
    MessageBoxA(GetFocus(), "Port No Open.", "", MB_OK);
    // A port no window took would be served for ever with nowhere to show it.
    if (!handover.bound) ReleasePort(port);
    return false;
  }
  return true;
}

LRESULT CALLBACK FrameWndProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(frame);
    case WM_COMMAND:
      return OnCommand(frame, message, wParam, lParam);
    case kPortDataMessage:
      DrainAllPorts();
      return 0;
    case WM_TIMER:
      PollAllPorts();
      UpdateStatusBar(PortOf(ActiveTerminal()), NewRowsBelow(ActiveTerminal()));
      break;
    case WM_DEVICECHANGE:
      // A port that arrives is tried at once, not at the next retry. Ports
      // are announced to every top-level window without registering.
      if (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVNODES_CHANGED) ReopenLostPorts();
      return TRUE;
    case WM_SIZE:
      // Not DefFrameProc: it would give the MDI client the whole client area, over the bar.
      LayOutFrame(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
      // Every terminal window, and with it every port, is closed first.
      SendMessageA(frame, WM_COMMAND, IDM_CLOSEALL, 0);
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefFrameProcA(frame, g_app.mdiClient, message, wParam, lParam);
}

BOOL CALLBACK CloseAllProc(HWND window, LPARAM) {
  // Windows with an owner are icon titles, not terminals.
  if (GetWindow(window, GW_OWNER) != nullptr) return TRUE;
  HWND client = GetParent(window);
  SendMessageA(client, WM_MDIRESTORE, reinterpret_cast<WPARAM>(window), 0);
  if (SendMessageA(window, WM_QUERYENDSESSION, 0, 0))
    SendMessageA(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0);
  return TRUE;
}

INT_PTR CALLBACK PortNameDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, IDC_PORTNAME, "");
      // No more than the name buffer holds: a longer name would be cut when
      // read, and the cut name could open another device.
      SendDlgItemMessageA(dialog, IDC_PORTNAME, EM_LIMITTEXT, kPortNameMax, 0);
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        GetDlgItemTextA(dialog, IDC_PORTNAME, typedPortName, sizeof typedPortName);
        EndDialog(dialog, 0);
      } else if (LOWORD(wParam) == IDCANCEL) {
        typedPortName[0] = 0;
        EndDialog(dialog, 0);
      }
      break;
    default:
      break;
  }
  return FALSE;
}
