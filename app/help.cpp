#include "app/help.h"

#include <cstring>

#include "app/globals.h"
#include "res/resource.h"

namespace {

// PLIX.HLP where WinHelp would look first: beside the program or in the current directory.
bool HelpFileExists() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n > 0 && n < sizeof path) {
    char* slash = std::strrchr(path, '\\');
    if (slash != nullptr && static_cast<size_t>(slash - path) + sizeof "\\PLIX.HLP" <= sizeof path) {
      std::strcpy(slash + 1, "PLIX.HLP");
      if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return true;
    }
  }
  return GetFileAttributesA("PLIX.HLP") != INVALID_FILE_ATTRIBUTES;
}

INT_PTR CALLBACK GuideDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HRSRC found = FindResourceA(g_app.instance, MAKEINTRESOURCEA(IDR_GUIDE), MAKEINTRESOURCEA(10) /*RT_RCDATA*/);
      HGLOBAL loaded = found != nullptr ? LoadResource(g_app.instance, found) : nullptr;
      const char* text = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
      DWORD size = found != nullptr ? SizeofResource(g_app.instance, found) : 0;
      if (text != nullptr) {
        // The resource is not NUL-terminated: copy it into a terminated buffer.
        char* copy = new char[size + 1];
        std::memcpy(copy, text, size);
        copy[size] = 0;
        SetDlgItemTextA(dialog, IDC_GUIDETEXT, copy);
        delete[] copy;
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowHelp(HWND owner) {
  if (HelpFileExists() && WinHelpA(owner, "PLIX.HLP", HELP_CONTENTS, 0)) return;
  DialogBoxParamA(g_app.instance, "HELPDLGBOX", owner, GuideDlgProc, 0);
}
