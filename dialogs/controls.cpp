#include "dialogs/controls.h"

#include <cstdio>

#include "dialogs/port_dialog.h"
#include "port/errorbox.h"

void FillList(HWND dialog, int control, const char* const* items, int count, int selection) {
  SendDlgItemMessageA(dialog, control, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < count; i++)
    SendDlgItemMessageA(dialog, control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
  SendDlgItemMessageA(dialog, control, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

int ListSelection(HWND dialog, int control) {
  return static_cast<int>(SendDlgItemMessageA(dialog, control, CB_GETCURSEL, 0, 0));
}

void SetCheck(HWND dialog, int control, bool checked) {
  SendDlgItemMessageA(dialog, control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND dialog, int control) { return IsDlgButtonChecked(dialog, control) == BST_CHECKED; }

void SetNumberText(HWND dialog, int control, DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  SetDlgItemTextA(dialog, control, text);
}

void DisableControl(HWND dialog, int control) { EnableWindow(GetDlgItem(dialog, control), FALSE); }

void ReportCommFailure(const char* message) {
  DWORD error = GetLastError();
  if (error != 0) ErrorBox(message, static_cast<int>(error));
}

INT_PTR HandleSettingsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, void (*open)(HWND, ComPort*),
                             void (*apply)(HWND, ComPort*)) {
  if (message == WM_INITDIALOG) {
    BindDialog(dialog, reinterpret_cast<ComPort*>(lParam));
    if (ComPort* port = BoundPort(dialog))
      open(dialog, port);
    else
      EndPortDialog(dialog, 0);
  } else if (message == WM_COMMAND) {
    if (LOWORD(wParam) == IDOK) {
      // A port whose window has closed meanwhile is not touched: OK then closes only.
      if (ComPort* port = BoundPort(dialog)) apply(dialog, port);
      EndPortDialog(dialog, 0);
    } else if (LOWORD(wParam) == IDCANCEL) {
      EndPortDialog(dialog, 0);
    }
  } else if (message == WM_DESTROY) {
    UnbindDialog(dialog);
  }
  return FALSE;
}
