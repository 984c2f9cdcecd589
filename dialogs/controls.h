// Small helpers over the dialog-control calls that every settings dialog makes.
#pragma once
#include <windows.h>

// Empties a drop-down list, adds the items in order and selects one; an index
// that names no item leaves the list without a selection.
void FillList(HWND dialog, int control, const char* const* items, int count, int selection);
// The selected index, or CB_ERR when nothing is selected.
int ListSelection(HWND dialog, int control);

void SetCheck(HWND dialog, int control, bool checked);
bool IsChecked(HWND dialog, int control);
void SetNumberText(HWND dialog, int control, DWORD value);  // "%u"
void DisableControl(HWND dialog, int control);

// After a failed Get/SetCommState: shows message + the system error, unless it is 0.
void ReportCommFailure(const char* message);

struct ComPort;

// What every settings dialog does with its messages: bind to the port in
// WM_INITDIALOG's lParam and fill the controls from it, apply them on OK and
// close whatever the driver said, close on Cancel without a change. A port
// whose window has closed is never touched: the dialog just closes. Other
// commands are ignored. Always FALSE.
INT_PTR HandleSettingsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, void (*open)(HWND, ComPort*),
                             void (*apply)(HWND, ComPort*));
