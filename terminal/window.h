// The MDI child window of one open port.
#pragma once
#include <windows.h>

struct ComPort;

// Travels in the MDI creation record to the new window, which takes the port
// and says so; a port left unbound is the frame's to free.
struct PortHandover {
  ComPort* port;
  int bound;
};

// The port a terminal window shows; null for no window or one not yet bound.
ComPort* PortOf(HWND window);

// Rows that came below the view of a terminal scrolled back; 0 for none.
unsigned long long NewRowsBelow(HWND window);

LRESULT CALLBACK TerminalWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
