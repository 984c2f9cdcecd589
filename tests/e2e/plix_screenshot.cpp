// Sets plix32.exe up for a screenshot: two ports of one cable open, the test
// pattern sent for a moment, the windows tiled. With "check" after the file
// name, Check Test Data is on while the pattern goes back and forth, and the
// Port Statistics dialog of the active port is left open. Prints READY, then
// keeps the program up until the file named by its first argument exists (at
// most 60 s), and ends it. Used by scripts/lib/screenshot.sh.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "msgbox_watcher.h"
#include "plix_app.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: plix_screenshot DONE-FILE [check]\n");
    return 2;
  }
  std::string exe = EnvOr("PLIX_EXE", "build\\win64\\plix32.exe");
  std::string workdir = EnvOr("PLIX_SHOT_WORKDIR", "build\\screenshot-run");
  char full[MAX_PATH];
  GetFullPathNameA(workdir.c_str(), MAX_PATH, full, nullptr);
  workdir = full;
  CreateDirectoryA(workdir.c_str(), nullptr);
  GetFullPathNameA(exe.c_str(), MAX_PATH, full, nullptr);
  exe = full;

  PlixApp app;
  std::string why;
  if (!app.Start(exe, workdir, &why)) {
    std::fprintf(stderr, "plix_screenshot: %s\n", why.c_str());
    return 1;
  }
  MessageBoxWatcher boxes(app.pid());  // the modem status box of each port
  HWND terminals[2] = {};
  for (int i = 0; i < 2; i++) {
    const char* port = i == 0 ? "COM5" : "COM6";
    app.Command(499 + (port[3] - '0'));
    if ((terminals[i] = app.WaitForTerminal(port, 5000)) == nullptr) {
      std::fprintf(stderr, "plix_screenshot: %s did not open\n", port);
      return 1;
    }
  }
  boxes.WaitFor(2, 3000);
  const bool check = argc > 2 && std::string(argv[2]) == "check";
  if (check) app.Send(225);  // Check Test Data
  app.Command(213);  // Send Test Data: each port receives the other's pattern
  // Until each terminal shows a whole pattern's last line (with the check, a
  // few dozen patterns: a picture of a check that has had something to do).
  const std::string lastLine = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRST";
  WaitUntil(
      [&] {
        for (HWND t : terminals)
          if (app.Screen(t).find(lastLine) == std::string::npos) return false;
        if (!check) return true;
        // The status bar of the active terminal: "...   checked N  good ...".
        char text[512] = {};
        SendMessageA(FindWindowExA(app.frame(), nullptr, "msctls_statusbar32", nullptr), WM_GETTEXT, sizeof text,
                     reinterpret_cast<LPARAM>(text));
        const char* checked = std::strstr(text, "checked ");
        return checked != nullptr && std::strtoull(checked + 8, nullptr, 10) >= 40 * 1155;
      },
      15000);
  app.Command(213);
  app.Command(203);  // Tile
  Sleep(1000);       // the last pattern arrives and both windows repaint
  HWND statistics = nullptr;
  if (check) {
    app.Command(226);  // Port Statistics of the active port
    statistics = app.WaitForDialog("Port Statistics", 401, 5000);
    WaitUntil([&] { return statistics != nullptr && !ControlText(statistics, 403).empty(); }, 3000);
  }
  for (const std::string& text : boxes.Texts()) std::printf("box: %s\n", text.c_str());
  std::printf("READY\n");
  std::fflush(stdout);
  WaitUntil([&] { return GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES; }, 60000);
  if (statistics != nullptr) {
    PostMessageA(statistics, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !IsWindow(statistics); }, 3000);
  }
  DWORD code = app.CloseAndWait(10000);
  return code == 0 ? 0 : 1;
}
