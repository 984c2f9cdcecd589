// The frame window: menus, opening ports, the poll timer, the switches, the status bar.
#pragma once
#include <windows.h>

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PortNameDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CALLBACK CloseAllProc(HWND window, LPARAM lParam);

// Opens the port of that name as the Open Port menu does, with its terminal
// window; false (after a box) if it did not open.
bool OpenPortNamed(const char* name);
// The MDI client's active terminal window; null for none.
HWND ActiveTerminal();
