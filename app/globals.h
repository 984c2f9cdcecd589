// The windows of the program, shared by the window procedures. What the
// ports read of the program is in port/program.h.
#pragma once
#include <windows.h>

struct AppGlobals {
  HINSTANCE instance;
  HWND frameWindow;
  HWND mdiClient;
  HMENU frameMenu;
  HMENU windowMenu;
};

extern AppGlobals g_app;
