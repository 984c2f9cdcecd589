// plixctl: drives a running plix32.exe from scripts (scripts/run, scripts/perf),
// under Wine, by posting menu commands to its frame window and answering its
// message boxes. It exits once its command is done, so that it costs nothing
// (and no wineserver time) while the program is measured.
//
//   plixctl open SAVE N...   open COM<N> for each N (command 499 + N), waiting
//                            for each terminal window; SAVE 1 then switches
//                            Save To Disk on (command 212). Answers the boxes
//                            that come until none has come for 3 s.
//   plixctl command ID...    posts each menu command ID to the frame (for
//                            example 213, Send Test Data), then answers boxes.
//   plixctl boxes            answers the boxes showing now and prints them.
//   plixctl maximize         maximizes the frame and every terminal window
//   plixctl minimize         minimizes every terminal window (WM_SYSCOMMAND
//                            SC_MINIMIZE), so that its client area is empty
//                            and painting draws nothing (for measurements).
//   plixctl size             prints the client size of each terminal window
//                            and the text lines it shows (14 pixels each).
//   plixctl dialog ID CAPTION ITEM...
//                            posts menu command ID, waits for the program's
//                            dialog titled CAPTION, prints "ITEM=text" for
//                            each control ITEM (e.g. the figures of Port
//                            Statistics, 226), then closes it with OK.
//   plixctl status           prints the text of the frame's status bar.
//   plixctl quit             closes the frame and waits for it to go.
//
// Prints "terminals=N boxes=N" and each box text; exits 1 when the frame is
// missing or a terminal did not come.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "msgbox_watcher.h"

namespace {

constexpr int kOpenComBase = 499;
constexpr int kSaveToDisk = 212;
constexpr int kMessageTextId = 0xFFFF;

HWND frame = nullptr;
DWORD framePid = 0;
std::vector<HWND> answered;
int boxCount = 0;

BOOL CALLBACK AnswerBox(HWND window, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != framePid || !IsWindowVisible(window)) return TRUE;
  if (!IsMessageBox(window)) return TRUE;
  HWND text = GetDlgItem(window, kMessageTextId);
  for (HWND w : answered)
    if (w == window) return TRUE;
  char buffer[512] = {};
  GetWindowTextA(text, buffer, sizeof buffer);
  std::printf("box: %s\n", buffer);
  std::fflush(stdout);
  answered.push_back(window);
  boxCount++;
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// Answers every box showing now; true when there was one.
bool AnswerBoxes() {
  int before = boxCount;
  EnumWindows(AnswerBox, 0);
  std::vector<HWND> alive;
  for (HWND w : answered)
    if (IsWindow(w)) alive.push_back(w);
  answered.swap(alive);
  return boxCount != before;
}

BOOL CALLBACK CountTerminal(HWND window, LPARAM count) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::strcmp(cls, "PlixDraw") == 0) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// Every terminal gets the system command (SC_MINIMIZE or SC_MAXIMIZE).
struct SizeCommand {
  WPARAM command;
  int count;
};
BOOL CALLBACK SizeTerminal(HWND window, LPARAM request) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::strcmp(cls, "PlixDraw") != 0) return TRUE;
  auto* r = reinterpret_cast<SizeCommand*>(request);
  PostMessageA(window, WM_SYSCOMMAND, r->command, 0);
  r->count++;
  return TRUE;
}

BOOL CALLBACK PrintTerminalSize(HWND window, LPARAM) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::strcmp(cls, "PlixDraw") != 0) return TRUE;
  RECT client = {};
  GetClientRect(window, &client);
  int height = client.bottom - client.top;
  std::printf("client=%ldx%d lines=%d\n", client.right - client.left, height, height / 14 - 1);
  return TRUE;
}

int Terminals() {
  int n = 0;
  EnumChildWindows(frame, CountTerminal, reinterpret_cast<LPARAM>(&n));
  return n;
}

// Answers boxes until `done` holds or the time is up.
template <typename F>
bool Until(F done, DWORD milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    AnswerBoxes();
    if (done()) return true;
    if (GetTickCount() - start >= milliseconds) return false;
    Sleep(50);
  }
}

bool FindFrame() {
  bool found = Until([] { return (frame = FindWindowA("PlixFrame", nullptr)) != nullptr; }, 30000);
  if (!found) {
    std::fprintf(stderr, "plixctl: no PlixFrame window\n");
    return false;
  }
  GetWindowThreadProcessId(frame, &framePid);
  return true;
}

// Answers boxes until none has come for `quietMs` (at most `maxMs`).
void Settle(DWORD quietMs, DWORD maxMs) {
  DWORD start = GetTickCount();
  DWORD last = start;
  while (GetTickCount() - last < quietMs && GetTickCount() - start < maxMs) {
    if (AnswerBoxes()) last = GetTickCount();
    Sleep(50);
  }
}

int Open(int save, const std::vector<int>& ports) {
  int wanted = Terminals();
  for (int n : ports) {
    PostMessageA(frame, WM_COMMAND, static_cast<WPARAM>(kOpenComBase + n), 0);
    wanted++;
    if (!Until([wanted] { return Terminals() >= wanted; }, 15000)) {
      std::fprintf(stderr, "plixctl: no terminal window for COM%d\n", n);
      break;
    }
  }
  if (save) PostMessageA(frame, WM_COMMAND, kSaveToDisk, 0);
  Settle(3000, 60000);
  int terminals = Terminals();
  std::printf("terminals=%d boxes=%d\n", terminals, boxCount);
  return terminals == wanted ? 0 : 1;
}

struct DialogSearch {
  const char* caption;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != framePid || !IsWindowVisible(window)) return TRUE;
  char cls[32] = {}, title[128] = {};
  GetClassNameA(window, cls, sizeof cls);
  GetWindowTextA(window, title, sizeof title);
  if (std::strcmp(cls, "#32770") != 0 || std::strcmp(title, search->caption) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// Opens a dialog from the menu, prints the text of the given controls and
// closes it again, so that scripts can read figures the program shows only there.
int Dialog(int command, const char* caption, const std::vector<int>& items) {
  PostMessageA(frame, WM_COMMAND, static_cast<WPARAM>(command), 0);
  DialogSearch search{caption, nullptr};
  if (!Until(
          [&search] {
            EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
          },
          10000)) {
    std::fprintf(stderr, "plixctl: no dialog \"%s\" after command %d\n", caption, command);
    return 1;
  }
  HWND dialog = search.found;
  for (int id : items) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    std::printf("%d=%s\n", id, text);
  }
  std::fflush(stdout);
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  if (!Until([dialog] { return !IsWindow(dialog); }, 10000)) {
    std::fprintf(stderr, "plixctl: the dialog \"%s\" did not close\n", caption);
    return 1;
  }
  return 0;
}

int Status() {
  HWND bar = FindWindowExA(frame, nullptr, "msctls_statusbar32", nullptr);
  if (bar == nullptr) {
    std::fprintf(stderr, "plixctl: no status bar\n");
    return 1;
  }
  char text[512] = {};
  SendMessageA(bar, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  std::printf("%s\n", text);
  return 0;
}

int Quit() {
  PostMessageA(frame, WM_CLOSE, 0, 0);
  bool gone = Until([] { return !IsWindow(frame); }, 20000);
  std::printf("boxes=%d\n", boxCount);
  return gone ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: plixctl open SAVE N... | command ID... | boxes | minimize | maximize | size | "
                 "dialog ID CAPTION ITEM... | status | quit\n");
    return 2;
  }
  std::string command = argv[1];
  if (!FindFrame()) return 1;
  if (command == "open" && argc >= 3) {
    std::vector<int> ports;
    for (int i = 3; i < argc; i++) ports.push_back(std::atoi(argv[i]));
    return Open(std::atoi(argv[2]), ports);
  }
  if (command == "command") {
    for (int i = 2; i < argc; i++) PostMessageA(frame, WM_COMMAND, static_cast<WPARAM>(std::atoi(argv[i])), 0);
    Settle(500, 5000);
    std::printf("boxes=%d\n", boxCount);
    return 0;
  }
  if (command == "boxes") {
    Settle(500, 5000);
    std::printf("terminals=%d boxes=%d\n", Terminals(), boxCount);
    return 0;
  }
  if (command == "minimize" || command == "maximize") {
    SizeCommand request{command == "minimize" ? static_cast<WPARAM>(SC_MINIMIZE) : static_cast<WPARAM>(SC_MAXIMIZE), 0};
    if (command == "maximize") PostMessageA(frame, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EnumChildWindows(frame, SizeTerminal, reinterpret_cast<LPARAM>(&request));
    Settle(500, 5000);
    std::printf("%sd=%d boxes=%d\n", command.c_str(), request.count, boxCount);
    return 0;
  }
  if (command == "size") {
    EnumChildWindows(frame, PrintTerminalSize, 0);
    return 0;
  }
  if (command == "dialog" && argc >= 4) {
    std::vector<int> items;
    for (int i = 4; i < argc; i++) items.push_back(std::atoi(argv[i]));
    return Dialog(std::atoi(argv[2]), argv[3], items);
  }
  if (command == "status") return Status();
  if (command == "quit") return Quit();
  std::fprintf(stderr, "plixctl: unknown command %s\n", command.c_str());
  return 2;
}
