// Start-up and the one message loop of the process.
#include <windows.h>

#include "app/frame.h"
#include "app/globals.h"
#include "app/modeless.h"
#include "port/errorbox.h"
#include "port/program.h"
#include "terminal/lamps.h"
#include "terminal/window.h"

namespace {

void RegisterClasses(HINSTANCE instance) {
  HICON icon = LoadIconA(instance, "plix1");
  HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));

  WNDCLASSA frame = {};
  frame.style = CS_HREDRAW | CS_VREDRAW;
  frame.lpfnWndProc = FrameWndProc;
  frame.hInstance = instance;
  frame.hIcon = icon;
  frame.hCursor = arrow;
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  frame.lpszClassName = "PlixFrame";
  RegisterClassA(&frame);

  WNDCLASSA terminal = {};
  terminal.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
  terminal.lpfnWndProc = TerminalWndProc;
  terminal.cbWndExtra = sizeof(void*);  // the window's port and view (terminal/window.cpp)
  terminal.hInstance = instance;
  terminal.hIcon = icon;
  terminal.hCursor = arrow;
  terminal.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  terminal.lpszClassName = "PlixDraw";
  RegisterClassA(&terminal);
}

DWORD PlatformId() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return VER_PLATFORM_WIN32_NT;
  return version.dwPlatformId;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int show) {
  g_app.instance = instance;
  LayoutLamps();
  if (previous == nullptr) RegisterClasses(instance);
  g_app.frameMenu = LoadMenuA(instance, "PLIXAPMENU");
  g_app.windowMenu = GetSubMenu(g_app.frameMenu, 0);
  HACCEL accelerators = LoadAcceleratorsA(instance, "PlixAccel");
  g_program.platformId = PlatformId();
  g_program.reopenLostPorts = 1;  // checked in the menu resource too

  g_app.frameWindow = CreateWindowExA(0, "PlixFrame", "Plix32, Ostrel Corp.", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, g_app.frameMenu, instance,
                                      nullptr);
  if (g_app.frameWindow == nullptr) {
    // Without a frame the loop below would wait for ever.
    MessageBoxA(nullptr, "Plix32 cannot create its main window.", "Plix32", MB_OK | MB_ICONSTOP);
    return 1;
  }
  g_app.mdiClient = GetWindow(g_app.frameWindow, GW_CHILD);
  g_program.dataWindow = g_app.frameWindow;
  g_program.threadedIo = 1;
  SetErrorBoxOwner(g_app.frameWindow);
  ShowWindow(g_app.frameWindow, show);
  UpdateWindow(g_app.frameWindow);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (ModelessMessage(&message)) continue;
    if (TranslateMDISysAccel(g_app.mdiClient, &message)) continue;
    if (TranslateAcceleratorA(g_app.frameWindow, accelerators, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
