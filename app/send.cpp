#include "app/send.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "app/frame.h"
#include "app/globals.h"
#include "app/modeless.h"
#include "core/spelling_reader.h"
#include "port/comport.h"
#include "res/resource.h"
#include "terminal/window.h"

namespace {

constexpr UINT_PTR kTimer = 1;
constexpr size_t kRecentTexts = 20;
constexpr DWORD kShowEndMs = 1000;  // the Sending dialog stays this long at its end

// --- Send Text ---------------------------------------------------------------

const struct {
  const char* name;
  const char* bytes;
} kEndings[] = {{"none", ""}, {"CR", "\r"}, {"LF", "\n"}, {"CR LF", "\r\n"}};

HWND sendTextDialog;
HWND textTarget;          // the terminal a repeated text goes to
std::string textBytes;    // what each send sends
std::deque<std::string> recentTexts;

void Remember(HWND dialog, const std::string& text) {
  for (auto it = recentTexts.begin(); it != recentTexts.end();)
    it = *it == text ? recentTexts.erase(it) : it + 1;
  recentTexts.push_front(text);
  if (recentTexts.size() > kRecentTexts) recentTexts.pop_back();
  HWND combo = GetDlgItem(dialog, IDC_SENDTEXT);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& t : recentTexts) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
  SetWindowTextA(combo, text.c_str());
}

// One send to the target; false (and the repeat stopped) once it has gone.
// A repeat skips its turn while the one before has not gone out.
bool SendTextOnce(HWND dialog, bool repeat) {
  ComPort* port = IsWindow(textTarget) ? PortOf(textTarget) : nullptr;
  if (port == nullptr) {
    KillTimer(dialog, kTimer);
    return false;
  }
  PortHold hold(port);  // a write's failure box may let the window close
  if (!repeat || !port->StillSending()) port->SendBytes(textBytes);
  return true;
}

void StartSendingText(HWND dialog) {
  char text[1024];
  GetDlgItemTextA(dialog, IDC_SENDTEXT, text, sizeof text);
  LRESULT ending = SendDlgItemMessageA(dialog, IDC_SENDEND, CB_GETCURSEL, 0, 0);
  if (ending < 0 || ending >= static_cast<LRESULT>(sizeof kEndings / sizeof kEndings[0])) ending = 0;
  textBytes = ReadSpelled(text) + kEndings[ending].bytes;
  textTarget = ActiveTerminal();
  Remember(dialog, text);
  KillTimer(dialog, kTimer);
  BOOL read = FALSE;
  const UINT every = GetDlgItemInt(dialog, IDC_SENDREPEAT, &read, FALSE);
  if (SendTextOnce(dialog, false) && read && every > 0) SetTimer(dialog, kTimer, every, nullptr);
}

INT_PTR CALLBACK SendTextDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      for (const auto& e : kEndings) SendDlgItemMessageA(dialog, IDC_SENDEND, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.name));
      SendDlgItemMessageA(dialog, IDC_SENDEND, CB_SETCURSEL, 0, 0);
      SetDlgItemInt(dialog, IDC_SENDREPEAT, 0, FALSE);
      for (const std::string& t : recentTexts)
        SendDlgItemMessageA(dialog, IDC_SENDTEXT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
      return TRUE;
    case WM_TIMER:
      SendTextOnce(dialog, true);
      return TRUE;
    case WM_DESTROY:
      KillTimer(dialog, kTimer);
      RemoveModeless(dialog);
      sendTextDialog = nullptr;
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SENDNOW:
        case IDOK:  // Enter in the text
          StartSendingText(dialog);
          return TRUE;
        case IDC_SENDSTOP: KillTimer(dialog, kTimer); return TRUE;
        case IDCANCEL: DestroyWindow(dialog); return TRUE;
        default: return FALSE;
      }
    default:
      return FALSE;
  }
}

// --- Send File ---------------------------------------------------------------

// The file's bytes; false with the system's error.
bool ReadWholeFile(const char* path, std::vector<char>* out, DWORD* error) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return false;
  }
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(file, &size) != 0 && size.QuadPart < 0x40000000;  // under 1 GiB
  *error = ok ? 0 : (GetLastError() != 0 ? GetLastError() : ERROR_FILE_TOO_LARGE);
  if (ok) {
    out->resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ok = out->empty() || (ReadFile(file, out->data(), static_cast<DWORD>(out->size()), &got, nullptr) && got == out->size());
    if (!ok) *error = GetLastError();
  }
  CloseHandle(file);
  return ok;
}

void ShowReadError(HWND frame, const char* path, DWORD error) {
  char system[512] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, system, sizeof system,
                 nullptr);
  char text[MAX_PATH + sizeof system + 64];
  std::snprintf(text, sizeof text, "Cannot read %s:\n%s(error %lu)", path, system, error);
  MessageBoxA(frame, text, "Send File", MB_OK | MB_ICONERROR);
}

// The Sending dialog's terminal, and when the send was seen to end (0 while it runs).
struct Sending {
  HWND terminal;
  DWORD endedAt;
};

void ShowProgress(HWND dialog, const ComPort& port, DWORD now) {
  const PortSend& send = port.send;
  const uint64_t sent = port.writer.File().Sent(), size = port.writer.File().Size();
  const double seconds = (now - send.startedAt) / 1000.0;
  const double rate = seconds > 0 ? static_cast<double>(sent) / seconds : 0;
  char text[160];
  std::snprintf(text, sizeof text, "%llu of %llu bytes, %.1f KiB/s, %.0f s left", static_cast<unsigned long long>(sent),
                static_cast<unsigned long long>(size), rate / 1024,
                rate > 0 ? static_cast<double>(size - sent) / rate : 0.0);
  SetDlgItemTextA(dialog, IDC_SENDSTATUS, text);
  SendDlgItemMessageA(dialog, IDC_SENDPROGRESS, PBM_SETPOS, size > 0 ? static_cast<WPARAM>(sent * 1000 / size) : 1000, 0);
}

void PaceFromDialog(HWND dialog, FileJob& file) {
  BOOL read = FALSE;
  const UINT pause = GetDlgItemInt(dialog, IDC_SENDDELAY, &read, FALSE);
  const UINT block = GetDlgItemInt(dialog, IDC_SENDBLOCK, nullptr, FALSE);
  file.Pace(read ? pause : 0, IsDlgButtonChecked(dialog, IDC_SENDPERLINE) == BST_CHECKED, block);
}

INT_PTR CALLBACK SendingDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* sending = reinterpret_cast<Sending*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  ComPort* port = sending != nullptr && IsWindow(sending->terminal) ? PortOf(sending->terminal) : nullptr;
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
      SendDlgItemMessageA(dialog, IDC_SENDPROGRESS, PBM_SETRANGE32, 0, 1000);
      SetDlgItemInt(dialog, IDC_SENDDELAY, 0, FALSE);
      SetDlgItemInt(dialog, IDC_SENDBLOCK, kSendBlock, FALSE);
      SetTimer(dialog, kTimer, 100, nullptr);
      return TRUE;
    case WM_TIMER: {
      const DWORD now = GetTickCount();
      if (port == nullptr || (sending->endedAt != 0 && now - sending->endedAt >= kShowEndMs)) {
        DestroyWindow(dialog);
      } else if (sending->endedAt == 0) {
        ShowProgress(dialog, *port, now);
        if (!port->send.active) sending->endedAt = now;  // the notice says how it ended
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_SENDCANCEL || LOWORD(wParam) == IDCANCEL) {
        if (port != nullptr && sending->endedAt == 0) port->CancelFileSend();
        DestroyWindow(dialog);
      } else if (port != nullptr && (HIWORD(wParam) == EN_CHANGE || LOWORD(wParam) == IDC_SENDPERLINE)) {
        PaceFromDialog(dialog, port->writer.File());  // for a slow device, at once
      }
      return TRUE;
    case WM_DESTROY:
      KillTimer(dialog, kTimer);
      RemoveModeless(dialog);
      delete sending;
      SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void OpenSendTextDialog(HWND frame) {
  OpenModeless(&sendTextDialog, "SENDTEXTDLGBOX", frame, SendTextDlgProc, IDC_SENDTEXT);
}

void SendFile(HWND frame) {
  HWND terminal = ActiveTerminal();
  if (PortOf(terminal) == nullptr) return;
  char path[MAX_PATH] = "";
  OPENFILENAMEA open = {};
  open.lStructSize = sizeof open;
  open.hwndOwner = frame;
  open.lpstrFilter = "All files\0*.*\0";
  open.lpstrFile = path;
  open.nMaxFile = sizeof path;
  open.lpstrTitle = "Send File";
  open.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameA(&open)) return;
  std::vector<char> bytes;
  DWORD error = 0;
  if (!ReadWholeFile(path, &bytes, &error)) {
    ShowReadError(frame, path, error);
    return;
  }
  // The Open dialog ran a loop of its own: the terminal may have gone.
  ComPort* port = IsWindow(terminal) ? PortOf(terminal) : nullptr;
  if (port == nullptr || !port->StartFileSend(path + open.nFileOffset, std::move(bytes))) return;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  auto* sending = new Sending{terminal, 0};
  HWND dialog = CreateDialogParamA(g_app.instance, "SENDINGDLGBOX", frame, SendingDlgProc,
                                   reinterpret_cast<LPARAM>(sending));
  if (dialog == nullptr) {
    // No way to follow or cancel it: it does not go.
    delete sending;
    port->CancelFileSend();
    return;
  }
  AddModeless(dialog);
  ShowWindow(dialog, SW_SHOW);
}
