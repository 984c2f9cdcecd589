// The dialogs: the six settings dialogs and Statistics, opened from a
// terminal window's Settings menu, each acting on the port given as
// WM_INITDIALOG's lParam (see port_dialog.h); and Ports..., opened from the
// Port menu.
#pragma once
#include <windows.h>

INT_PTR CALLBACK PortSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LineSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK EventsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TimeoutsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MiscSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK QueueSizesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK StatisticsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Ports... from the Port menu: the serial ports present now. The
// WM_INITDIALOG lParam is the function that opens a port by name, as
// bool (*)(const char* name), true when its terminal window is up.
INT_PTR CALLBACK PortsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
