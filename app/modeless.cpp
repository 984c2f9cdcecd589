#include "app/modeless.h"

#include "app/globals.h"

#include <algorithm>
#include <vector>

namespace {
std::vector<HWND> dialogs;
}  // namespace

HWND OpenModeless(HWND* slot, const char* name, HWND owner, DLGPROC procedure, int focus) {
  if (*slot == nullptr) {
    *slot = CreateDialogParamA(g_app.instance, name, owner, procedure, 0);
    AddModeless(*slot);
  }
  if (*slot == nullptr) return nullptr;
  ShowWindow(*slot, SW_SHOW);
  SetFocus(GetDlgItem(*slot, focus));
  return *slot;
}

void AddModeless(HWND dialog) {
  if (dialog != nullptr) dialogs.push_back(dialog);
}

void RemoveModeless(HWND dialog) { dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end()); }

bool ModelessMessage(MSG* message) {
  for (HWND dialog : dialogs)
    if (IsDialogMessageA(dialog, message)) return true;
  return false;
}
