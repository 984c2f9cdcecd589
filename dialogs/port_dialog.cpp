#include "dialogs/port_dialog.h"

#include <utility>
#include <vector>

#include "port/comport.h"

namespace {
// Modal dialogs nest only through a box's loop: a handful at most.
std::vector<std::pair<HWND, ComPort*>> bindings;

std::pair<HWND, ComPort*>* Find(HWND dialog) {
  for (auto& binding : bindings)
    if (binding.first == dialog) return &binding;
  return nullptr;
}
}  // namespace

void BindDialog(HWND dialog, ComPort* port) {
  // A window handle may be reused by a later dialog: the newest binding counts.
  if (auto* binding = Find(dialog))
    binding->second = port;
  else
    bindings.emplace_back(dialog, port);
}

ComPort* BoundPort(HWND dialog) {
  const auto* binding = Find(dialog);
  if (binding == nullptr || binding->second == nullptr || binding->second->closePending) return nullptr;
  return binding->second;
}

void UnbindDialog(HWND dialog) {
  for (auto at = bindings.begin(); at != bindings.end(); ++at) {
    if (at->first == dialog) {
      bindings.erase(at);
      return;
    }
  }
}

void EndPortDialog(HWND dialog, INT_PTR result) {
  UnbindDialog(dialog);
  EndDialog(dialog, result);
}

void CloseDialogsOf(const ComPort* port) {
  for (auto& binding : bindings) {
    if (binding.second != port) continue;
    binding.second = nullptr;
    PostMessageA(binding.first, WM_COMMAND, IDCANCEL, 0);
  }
}
