// Sets plix32.exe up for a screenshot: two ports of one cable open, the test
// pattern sent for a moment, the windows tiled. With "check" after the file
// name, Check Test Data is on while the pattern goes back and forth, and the
// Port Statistics dialog of the active port is left open. With "find", COM5
// shows a device's log with the Find dialog over it. With "hexdump",
// only COM5 is open, with Hex Dump on, and receives from COM6 (opened here)
// text and binary frames with a Control notice between them. Prints READY, then
// keeps the program up until the file named by its first argument exists (at
// most 60 s), and ends it. Used by scripts/lib/screenshot.sh.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "msgbox_watcher.h"
#include "plix_app.h"

namespace {

// The bytes of a literal, NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

// Opens COM5 in the program, its modem status box answered; null (said on
// stderr) if the cable's far end or the window is missing.
HWND OpenCom5(PlixApp& app, MessageBoxWatcher& boxes, const FarEnd& cable) {
  if (!cable.ok()) {
    std::fprintf(stderr, "plix_screenshot: cannot open COM6: %lu\n", cable.error());
    return nullptr;
  }
  app.Command(504);
  HWND terminal = app.WaitForTerminal("COM5", 5000);
  if (terminal == nullptr) std::fprintf(stderr, "plix_screenshot: COM5 did not open\n");
  boxes.WaitFor(1, 3000);
  return terminal;
}

// COM5 alone, tiled to fill the frame, Hex Dump on; COM6 sends a greeting, a
// binary frame, then (after the Control notice) a reply with escape
// sequences and the bytes at the edges of the printable range.
bool HexDumpScene(PlixApp& app, MessageBoxWatcher& boxes) {
  FarEnd cable("COM6");
  HWND terminal = OpenCom5(app, boxes, cable);
  if (terminal == nullptr) return false;
  app.Send(216);  // Clear Screen: the dump from the first row
  app.Send(231);  // Hex Dump
  const std::string parts[] = {
      "AT+CSQ\r\n",
      "+CSQ: 21,99\r\n\r\nOK\r\n",
      // A register read answered: address, function, count, ten registers, CRC.
      Bytes("\x01\x03\x14\x00\x64\x00\xC8\x01\x2C\x01\x90\x01\xF4\x02\x58\x02\xBC\x03\x20\x03\x84\x03\xE8"
            "\x5B\x1F"),
      // After the notice:
      Bytes("\x1b[1mtemp=21.5\xb0" "C\x1b[0m\r\n\x00\x7f\x80\xff\x02STATUS OK\x03"),
      "AT+GMR\r\nRev 1.2.3 (build 2026-12-10)\r\nOK\r\n",
  };
  const int noticeBefore = 3;
  size_t before = 0, after = 0;  // bytes before and after the notice
  for (int i = 0; i < 5; i++) {
    if (i == noticeBefore) app.Send(218);  // Escape(SETXON): its notice between the dump rows
    cable.Write(parts[i]);
    (i < noticeBefore ? before : after) += parts[i].size();
    // Each part read before the next, so that the notice falls where it was
    // sent; after it the dump goes on in a row of its own.
    const size_t rows = (before + 15) / 16 + (i >= noticeBefore ? 1 + (after + 15) / 16 : 0);
    WaitUntil(
        [&] {
          size_t filled = 0;
          for (const std::string& row : app.Rows(terminal)) filled += row.empty() ? 0 : 1;
          return filled >= rows;
        },
        3000);
  }
  app.Send(203);  // Tile: the one window fills the frame
  WaitForStillPicture(terminal, 5000);
  for (const std::string& row : app.Rows(terminal))
    if (!row.empty()) std::printf("row: %s\n", row.c_str());
  for (const std::string& text : boxes.Texts()) std::printf("box: %s\n", text.c_str());
  return true;
}

// COM5 alone, tiled, with 400 lines of a device's log received from COM6;
// the Find dialog open, having found a line, shown selected in the history.
bool FindScene(PlixApp& app, MessageBoxWatcher& boxes) {
  FarEnd cable("COM6");
  HWND terminal = OpenCom5(app, boxes, cable);
  if (terminal == nullptr) return false;
  app.Send(216);  // Clear Screen
  std::string log;
  for (int i = 1; i <= 400; i++) {
    char line[96];
    std::snprintf(line, sizeof line, "%04d boot: sensor %d temp=%d.%dC status %s\r\n", i, i % 4, 20 + i % 7, i % 10,
                  i == 213 ? "FAULT 0x1b" : "OK");
    log += line;
  }
  cable.WriteAll(log, 10000);
  app.WaitForScreen(terminal, "0400 boot", 5000);
  app.Send(203);  // Tile: the one window fills the frame
  app.Command(234);  // Edit > Find...
  HWND find = app.WaitForDialog("Find", 430, 5000);
  if (find == nullptr) return false;
  SetControlText(find, 430, "fault");
  SendMessageA(find, WM_COMMAND, 433, 0);  // Find Next: selects it and scrolls it into view
  app.WaitForScreen(terminal, "0213 boot", 3000);
  // The status bar counts once a second.
  WaitUntil([&] { return app.StatusText().find("received 0 ") == std::string::npos; },
      3000);
  WaitForStillPicture(terminal, 5000);
  return true;
}

// COM5 alone, tiled: a file going out a line at a time with a pause after
// each (the Sending dialog's fields), while COM6 answers each line; the Send
// Text dialog open too.
bool SendScene(PlixApp& app, MessageBoxWatcher& boxes, const std::string& workdir) {
  FarEnd cable("COM6");
  HWND terminal = OpenCom5(app, boxes, cable);
  if (terminal == nullptr) return false;
  const std::string path = workdir + "\\commands.txt";
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    for (int i = 0; i < 4000; i++) std::fprintf(file, "AT+WRITE=%04d,%08X\r\n", i, i * 2654435761u);
    std::fclose(file);
  }
  app.Send(203);  // Tile
  app.Command(237);  // Port > Send File...
  if (!app.ChooseFile("Send File", path)) return false;
  HWND sending = app.WaitForDialog("Sending", 450, 5000);
  if (sending == nullptr) return false;
  SetControlText(sending, 453, "20");                 // pause 20 ms
  SendMessageA(GetDlgItem(sending, 454), BM_CLICK, 0, 0);  // after each line
  // The far end answers each command for a while.
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 2500) {
    std::string got = cable.Read(SIZE_MAX, 50);
    for (size_t at = 0; (at = got.find("\r\n", at)) != std::string::npos; at += 2) cable.Write("OK\r\n");
  }
  app.Command(236);  // Send Text...
  HWND text = app.WaitForDialog("Send Text", 440, 5000);
  if (text != nullptr) {
    SetControlText(text, 440, "AT+STATUS?<CR>");
    SetWindowPos(text, nullptr, 60, 110, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  SetWindowPos(sending, HWND_TOP, 280, 320, 0, 0, SWP_NOSIZE);
  WaitForStillPicture(terminal, 2000);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: plix_screenshot DONE-FILE [check|hexdump]\n");
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
  const std::string scene = argc > 2 ? argv[2] : "";
  if (scene == "hexdump" || scene == "find" || scene == "send") {
    const bool ready = scene == "find"   ? FindScene(app, boxes)
                       : scene == "send" ? SendScene(app, boxes, workdir)
                                         : HexDumpScene(app, boxes);
    if (!ready) return 1;
    std::printf("READY\n");
    std::fflush(stdout);
    WaitUntil([&] { return GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES; }, 60000);
    return app.CloseAndWait(10000) == 0 ? 0 : 1;
  }
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
        const std::string text = app.StatusText();
        const char* checked = std::strstr(text.c_str(), "checked ");
        return checked != nullptr && std::strtoull(checked + 8, nullptr, 10) >= 40 * 1155;
      },
      15000);
  app.Command(213);
  app.Send(203);  // Tile
  for (HWND t : terminals) WaitForStillPicture(t, 5000);
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
