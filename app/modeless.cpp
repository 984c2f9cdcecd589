#include "app/modeless.h"

#include <algorithm>
#include <vector>

namespace {
std::vector<HWND> dialogs;
}  // namespace

void AddModeless(HWND dialog) {
  if (dialog != nullptr) dialogs.push_back(dialog);
}

void RemoveModeless(HWND dialog) { dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end()); }

bool ModelessMessage(MSG* message) {
  for (HWND dialog : dialogs)
    if (IsDialogMessageA(dialog, message)) return true;
  return false;
}
