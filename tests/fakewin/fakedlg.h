// Test-side view of the fake dialog: each dialog holds the controls of its
// template by id, and the calls a dialog procedure makes act on them as the
// system's controls do.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace fake {

enum class ControlKind { kEdit, kList, kButton, kListBox };

struct Control {
  ControlKind kind = ControlKind::kEdit;
  std::string text;                 // edit text or button caption
  std::vector<std::string> items;   // drop-down list or list box entries, in order of adding
  int selection = CB_ERR;           // drop-down list or list box selection
  int topIndex = 0;                 // list box: the entry shown at the top (scrolled to)
  std::vector<int> tabStops;        // list box: as LB_SETTABSTOPS gave them
  int resets = 0;                   // list box: LB_RESETCONTENT calls (each redraws it empty)
  UINT check = BST_UNCHECKED;
  bool enabled = true;
};

struct DialogInfo {
  bool ended = false;
  INT_PTR result = 0;
  int endCalls = 0;
};

// A dialog with these controls (id, kind), all empty, enabled and unchecked.
HWND MakeDialog(const std::vector<std::pair<int, ControlKind>>& controls);
// Null for an id the dialog does not have.
Control* ControlOf(HWND dialog, int id);
DialogInfo& DialogOf(HWND dialog);

// Calls on controls the dialog does not have, or messages a control of that
// kind does not take.
std::vector<std::string>& DialogViolations();
void ResetDialogs();

}  // namespace fake
