// The fake dialog behind the dialog-control calls of USER32, faithful to their
// documented behaviour for the controls the settings dialogs use.
#include "fakedlg.h"

#include "fake.h"
#include "fakelistbox.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

namespace fake {
namespace {

struct FakeDialog {
  std::map<int, Control> controls;
  DialogInfo info;
};

struct ControlRef {
  HWND dialog;
  int id;
};

struct DialogState {
  std::map<HWND, std::unique_ptr<FakeDialog>> dialogs;
  std::map<HWND, ControlRef> controlWindows;
  uintptr_t next = 0xD1A0000;
  std::vector<std::string> violations;
};

DialogState& D() {
  static DialogState state;
  return state;
}

HWND NewWindow() {
  HWND h = reinterpret_cast<HWND>(D().next);
  D().next += 4;
  return h;
}

Control* Find(HWND dialog, int id, const char* fn) {
  Control* control = ControlOf(dialog, id);
  if (control == nullptr) D().violations.push_back(std::string(fn) + ": no control " + std::to_string(id));
  return control;
}

void Misuse(const char* what, int id) {
  D().violations.push_back(std::string(what) + " on control " + std::to_string(id));
}

LRESULT ListMessage(Control& c, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case CB_RESETCONTENT:
      c.items.clear();
      c.selection = CB_ERR;
      return CB_OKAY;
    case CB_ADDSTRING:
      c.items.emplace_back(reinterpret_cast<const char*>(lParam));
      return static_cast<LRESULT>(c.items.size() - 1);
    case CB_GETCOUNT:
      return static_cast<LRESULT>(c.items.size());
    case CB_SETCURSEL: {
      // An index that names no entry (-1 among them) clears the selection.
      const auto index = static_cast<INT_PTR>(wParam);
      if (index < 0 || index >= static_cast<INT_PTR>(c.items.size())) {
        c.selection = CB_ERR;
        return CB_ERR;
      }
      c.selection = static_cast<int>(index);
      return index;
    }
    case CB_GETCURSEL:
      return c.selection;
    default:
      Misuse("unexpected list message", id);
      return 0;
  }
}

// A single-selection list box without LBS_SORT.
LRESULT ListBoxMessage(Control& c, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto count = static_cast<INT_PTR>(c.items.size());
  const auto index = static_cast<INT_PTR>(wParam);
  switch (message) {
    case LB_RESETCONTENT:
      c.resets++;
      c.items.clear();
      c.selection = LB_ERR;
      c.topIndex = 0;
      return LB_OKAY;
    case LB_ADDSTRING:
      c.items.emplace_back(reinterpret_cast<const char*>(lParam));
      return count;
    case LB_GETCOUNT:
      return count;
    case LB_SETCURSEL:
      // -1 clears the selection and, as any index that names no entry, answers LB_ERR.
      if (index < 0 || index >= count) {
        c.selection = LB_ERR;
        return LB_ERR;
      }
      c.selection = static_cast<int>(index);
      return LB_OKAY;
    case LB_GETCURSEL:
      return c.selection;
    case LB_GETTEXTLEN:
      return index < 0 || index >= count ? LB_ERR : static_cast<LRESULT>(c.items[static_cast<size_t>(index)].size());
    case LB_GETTEXT: {
      if (index < 0 || index >= count) return LB_ERR;
      const std::string& item = c.items[static_cast<size_t>(index)];
      std::memcpy(reinterpret_cast<char*>(lParam), item.c_str(), item.size() + 1);
      return static_cast<LRESULT>(item.size());
    }
    case LB_GETTOPINDEX:
      return c.topIndex;
    case LB_SETTOPINDEX:
      if (index < 0 || (index >= count && index != 0)) return LB_ERR;
      c.topIndex = static_cast<int>(index);
      return LB_OKAY;
    case LB_SETTABSTOPS: {
      const int* stops = reinterpret_cast<const int*>(lParam);
      c.tabStops.assign(stops, stops + wParam);
      return TRUE;
    }
    default:
      Misuse("unexpected list box message", id);
      return 0;
  }
}

LRESULT ButtonMessage(Control& c, int id, UINT message, WPARAM wParam) {
  switch (message) {
    case BM_SETCHECK:
      c.check = static_cast<UINT>(wParam);
      return 0;
    case BM_GETCHECK:
      return c.check;
    default:
      Misuse("unexpected button message", id);
      return 0;
  }
}

}  // namespace

HWND MakeDialog(const std::vector<std::pair<int, ControlKind>>& controls) {
  HWND dialog = NewWindow();
  auto d = std::make_unique<FakeDialog>();
  for (const auto& [id, kind] : controls) {
    d->controls[id].kind = kind;
    D().controlWindows[NewWindow()] = ControlRef{dialog, id};
  }
  D().dialogs[dialog] = std::move(d);
  return dialog;
}

Control* ControlOf(HWND dialog, int id) {
  auto it = D().dialogs.find(dialog);
  if (it == D().dialogs.end()) return nullptr;
  auto c = it->second->controls.find(id);
  return c == it->second->controls.end() ? nullptr : &c->second;
}

DialogInfo& DialogOf(HWND dialog) { return D().dialogs.at(dialog)->info; }

std::vector<std::string>& DialogViolations() { return D().violations; }

void ResetDialogs() { D() = DialogState{}; }

}  // namespace fake

using namespace fake;

HWND GetDlgItem(HWND dialog, int control) {
  for (const auto& [window, ref] : D().controlWindows)
    if (ref.dialog == dialog && ref.id == control) return window;
  SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
  return nullptr;
}

UINT GetDlgItemTextA(HWND dialog, int control, LPSTR text, int count) {
  Control* c = Find(dialog, control, "GetDlgItemTextA");
  if (count <= 0) return 0;
  text[0] = '\0';
  if (c == nullptr) return 0;
  // A drop-down list's text is its selected entry.
  std::string source = c->text;
  if (c->kind == ControlKind::kList)
    source = c->selection == CB_ERR ? std::string() : c->items[static_cast<size_t>(c->selection)];
  const size_t n = std::min(source.size(), static_cast<size_t>(count - 1));
  std::memcpy(text, source.data(), n);
  text[n] = '\0';
  return static_cast<UINT>(n);
}

BOOL SetDlgItemTextA(HWND dialog, int control, LPCSTR text) {
  Control* c = Find(dialog, control, "SetDlgItemTextA");
  if (c == nullptr) return FALSE;
  if (c->kind == ControlKind::kList) Misuse("SetDlgItemTextA (a drop-down list has no text of its own)", control);
  c->text = text != nullptr ? text : "";
  return TRUE;
}

LRESULT SendDlgItemMessageA(HWND dialog, int control, UINT message, WPARAM wParam, LPARAM lParam) {
  Control* c = Find(dialog, control, "SendDlgItemMessageA");
  if (c == nullptr) return 0;
  switch (c->kind) {
    case ControlKind::kList:
      return ListMessage(*c, control, message, wParam, lParam);
    case ControlKind::kButton:
      return ButtonMessage(*c, control, message, wParam);
    case ControlKind::kListBox:
      return ListBoxMessage(*c, control, message, wParam, lParam);
    default:
      Misuse("unexpected edit message", control);
      return 0;
  }
}

UINT IsDlgButtonChecked(HWND dialog, int control) {
  Control* c = Find(dialog, control, "IsDlgButtonChecked");
  if (c == nullptr) return 0;
  if (c->kind != ControlKind::kButton) Misuse("IsDlgButtonChecked", control);
  return c->check;
}

BOOL CheckDlgButton(HWND dialog, int control, UINT check) {
  Control* c = Find(dialog, control, "CheckDlgButton");
  if (c == nullptr) return FALSE;
  if (c->kind != ControlKind::kButton) Misuse("CheckDlgButton", control);
  c->check = check;
  return TRUE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  auto it = D().controlWindows.find(window);
  if (it == D().controlWindows.end()) {
    D().violations.push_back("EnableWindow: not a control window");
    return FALSE;
  }
  Control* c = ControlOf(it->second.dialog, it->second.id);
  // Non-zero when the window was disabled before.
  const BOOL wasDisabled = c->enabled ? FALSE : TRUE;
  c->enabled = enable != FALSE;
  return wasDisabled;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  auto it = D().dialogs.find(dialog);
  if (it == D().dialogs.end()) return FALSE;
  DialogInfo& info = it->second->info;
  info.ended = true;
  info.result = result;
  info.endCalls++;
  return TRUE;
}

// Timers only recorded: a test sends WM_TIMER itself when it wants a tick.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC) {
  fake::Calls().push_back({"SetTimer", nullptr, {reinterpret_cast<uintptr_t>(window), id, milliseconds}, ""});
  return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  fake::Calls().push_back({"KillTimer", nullptr, {reinterpret_cast<uintptr_t>(window), id}, ""});
  return TRUE;
}

// Only recorded: a test delivers the message itself, as the loop would.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::recursive_mutex> lock(fake::Mutex());  // a reader thread posts too
  fake::Calls().push_back({"PostMessageA", nullptr,
                           {reinterpret_cast<uintptr_t>(window), message, wParam, static_cast<uintptr_t>(lParam)}, ""});
  return TRUE;
}
