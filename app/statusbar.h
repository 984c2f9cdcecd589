// The status bar at the bottom of the frame: the active terminal's port.
#pragma once
#include <windows.h>

// Makes the bar; the frame's client area then holds the MDI client above it.
void CreateStatusBar(HWND frame);
// Gives the bar its width and the MDI client the rest of the frame.
void LayOutFrame(int width, int height);
struct ComPort;

// Shows the figures of `port` (the active terminal's; null for none) at most
// once a second, at once when the port changes; the bar is only touched
// when its text changes. Called once per poll pass.
// `newRowsBelow`: rows that came below the view of a terminal scrolled back.
void UpdateStatusBar(const ComPort* port, unsigned long long newRowsBelow);
// A word from the user interface (a find that found nothing), shown after
// the port's figures for a few seconds.
void ShowStatusNote(const char* note);
