#include "app/find.h"

#include <string>

#include "app/globals.h"
#include "app/modeless.h"
#include "res/resource.h"

namespace {

HWND findDialog;
FindRequest lastFind;

void ReadRequest(HWND dialog) {
  char text[256];
  GetDlgItemTextA(dialog, IDC_FINDTEXT, text, sizeof text);
  lastFind.text = text;
  lastFind.matchCase = IsDlgButtonChecked(dialog, IDC_MATCHCASE) == BST_CHECKED;
  lastFind.up = IsDlgButtonChecked(dialog, IDC_FINDUP) == BST_CHECKED;
}

INT_PTR CALLBACK FindDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SetDlgItemTextA(dialog, IDC_FINDTEXT, lastFind.text.c_str());
    CheckDlgButton(dialog, IDC_MATCHCASE, lastFind.matchCase ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_FINDUP, lastFind.up ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
  }
  if (message == WM_DESTROY) {
    RemoveModeless(dialog);
    findDialog = nullptr;
    return FALSE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_FINDNEXT:
    case IDOK:  // Enter in the text
      ReadRequest(dialog);
      // The frame hands it to the active terminal, as it does the menu's Find Next.
      SendMessageA(g_app.frameWindow, WM_COMMAND, IDM_FINDNEXT, 0);
      return TRUE;
    case IDCANCEL:
      DestroyWindow(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void OpenFindDialog(HWND frame) {
  if (OpenModeless(&findDialog, "FINDDLGBOX", frame, FindDlgProc, IDC_FINDTEXT) != nullptr)
    SendDlgItemMessageA(findDialog, IDC_FINDTEXT, EM_SETSEL, 0, -1);
}

const FindRequest& LastFind() { return lastFind; }
