// Drives a running plix32.exe from outside, as a user or another program
// could: window messages, real keystrokes, screen pixels, and the far end of
// the cable.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

std::string EnvOr(const char* name, const char* fallback);
// How often `what` occurs in `text`, not overlapping.
size_t Occurrences(const std::string& text, const std::string& what);
// The absolute form of a path, as Windows resolves it from the current directory.
std::string FullPath(const std::string& path);

// Polls `done` every 20 ms until it holds or `milliseconds` have passed.
template <typename F>
bool WaitUntil(F done, DWORD milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= milliseconds) return done();
    Sleep(20);
  }
}

// Polls `read` until what it gives has not changed for `quiet` ms: true then,
// false if it still changes at the deadline.
template <typename F>
bool WaitUntilSteady(F read, DWORD quiet, DWORD milliseconds) {
  auto last = read();
  DWORD since = GetTickCount();
  return WaitUntil(
      [&] {
        auto now = read();
        if (now != last) last = now, since = GetTickCount();
        return GetTickCount() - since >= quiet;
      },
      milliseconds);
}

class PlixApp {
 public:
  PlixApp() = default;
  ~PlixApp();  // ends the program if it still runs
  PlixApp(const PlixApp&) = delete;
  PlixApp& operator=(const PlixApp&) = delete;

  // Starts `exe` in `workdir` and waits for its frame; false with a reason.
  bool Start(const std::string& exe, const std::string& workdir, std::string* why);

  DWORD pid() const { return process_.dwProcessId; }
  HANDLE process() const { return process_.hProcess; }
  HWND frame() const { return frame_; }
  HWND client() const { return client_; }

  // A menu command, posted: it may open a modal box that must not block us.
  void Command(int id) const;
  // A menu command, sent: true once the program has carried it out (a box it
  // opens meanwhile must be answered by someone), false if it did not answer.
  bool Send(int id, DWORD milliseconds = 5000) const;
  // The terminal windows (class PlixDraw) below the MDI client.
  std::vector<HWND> Terminals() const;
  static std::string Title(HWND window);
  // Waits for a terminal window titled `title`; nullptr if none came.
  HWND WaitForTerminal(const char* title, DWORD milliseconds) const;
  // Waits for a dialog of the program that holds a control with this id.
  HWND WaitForDialog(int controlId, DWORD milliseconds) const;
  // The same, for a dialog with this caption (two dialogs may share an id).
  HWND WaitForDialog(const char* caption, int controlId, DWORD milliseconds) const;
  // The program's message boxes; `except` (a dialog known to be open) is
  // left out, since dialog labels carry the id of a message box's text.
  std::vector<HWND> MessageBoxes(HWND except) const;

  // The terminal's screen rows as its WM_GETTEXT gives them, oldest first,
  // the bottom row shown last (as many as it shows, at least 35); empty when
  // it did not answer.
  std::vector<std::string> Rows(HWND terminal) const;
  // The non-empty rows joined with '\n'.
  std::string Screen(HWND terminal) const;
  // Waits until Screen contains `text`.
  bool WaitForScreen(HWND terminal, const std::string& text, DWORD milliseconds) const;

  // Makes the frame the foreground window and `terminal` its active child
  // with the keyboard focus, so that keystrokes sent with SendInput reach it.
  // Waits first for the program's message boxes and dialogs to be gone: one
  // closing just then would take the activation back.
  bool Focus(HWND terminal) const;
  bool HasFocus(HWND terminal) const;
  // Types each keystroke (a group of key events) only while `terminal` has
  // the focus; false if it could not be given the focus.
  bool Type(HWND terminal, const std::vector<std::vector<INPUT>>& keystrokes) const;

  // The status bar's text; "(no status bar)" without one.
  std::string StatusText() const;

  // Types `path` into the program's Open dialog titled `title` (once it is
  // shown) and presses Open; true once the dialog has gone.
  bool ChooseFile(const char* title, const std::string& path) const;

  // Posts WM_CLOSE to the frame and waits for the process; its exit code,
  // or STILL_ACTIVE if it did not end in time.
  DWORD CloseAndWait(DWORD milliseconds);
  bool Running() const;

  // Whether the frame answers a window message (WM_NULL, sent) within
  // `milliseconds`; *took gets how long the answer took.
  bool Answers(DWORD milliseconds, DWORD* took) const;

  // The program as Linux and the Wine server see it: its Linux process id
  // (found by a tag Start puts on its command line), the entries of
  // /proc/PID/fd, VmRSS, and the Windows handles the Wine server holds for it.
  struct Figures {
    int unixPid = 0;
    int fds = -1;
    long rssKb = -1;
    long handles = -1;  // handle values of its table that are in use
  };
  bool Measure(Figures* out, std::string* why);

 private:
  PROCESS_INFORMATION process_{};
  std::string tag_;  // on the program's command line, unique to this start
  int unixPid_ = 0;
  HWND frame_ = nullptr;
  HWND client_ = nullptr;
};

// The controls of a dialog of another process, through window messages.
std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::string& text);
bool IsChecked(HWND dialog, int id);
bool IsControlEnabled(HWND dialog, int id);
// A drop-down list: its entries, its selected index (CB_ERR for none), the
// text of the selected entry ("" for none), and selecting an entry by text.
std::vector<std::string> ListEntries(HWND dialog, int id);
int ListSelection(HWND dialog, int id);
std::string ListSelectionText(HWND dialog, int id);
bool SelectListEntry(HWND dialog, int id, const std::string& text);
// The text of a message box (its static control with id 0xFFFF).
std::string MessageBoxText(HWND box);

// Runs `command` with the Linux /bin/sh in `workdir` and returns what it
// printed (stdout and stderr); false if nothing came back in time. Wine
// starts Unix programs but gives no handle to wait on, so the output goes
// through a file in `workdir`.
bool RunLinuxShell(const std::string& command, const std::string& workdir, std::string* output,
                   DWORD milliseconds);

// Starts a null-modem cable NAME between COM<near> and COM<far> (as the
// scripts do, with scripts/lib/wine.sh under $PLIX_ROOT), or stops it; the
// cable goes away with the test prefix's cleanup at the latest.
// `fixed`: the ports lead to the cable's socat symlinks, so that after the
// socat is killed (KillCable) a new one (ReviveCable) brings the same ports back.
bool StartCable(const std::string& name, int nearCom, int farCom, const std::string& workdir, std::string* why,
                bool fixed = false);
bool StopCable(const std::string& name, const std::string& workdir);
bool KillCable(const std::string& name, const std::string& workdir);
bool ReviveCable(const std::string& name, const std::string& workdir);

// Key events of one keystroke (with Shift and Ctrl around it), and of the
// keystrokes that type letters, digits and spaces.
std::vector<INPUT> KeyTap(WORD vk, bool shift = false, bool ctrl = false);
std::vector<std::vector<INPUT>> TypeText(const std::string& text);

// The client area of a window as the screen shows it, 0x00RRGGBB per pixel.
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
bool CaptureClient(HWND window, Capture* out);
// Waits until the window's client area shows the same pixels in two captures
// a tenth of a second apart (its repaint is done); false if it did not settle in time.
bool WaitForStillPicture(HWND window, DWORD milliseconds);
constexpr uint32_t Rgb(int r, int g, int b) { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }

// A picture to draw references in: a 32-bit bitmap `width` by `height`
// filled with the window colour, with a memory context selecting it; Take
// returns its pixels as a Capture.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC dc() const { return dc_; }
  Capture Take() const;

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ oldBitmap_;
  void* bits_ = nullptr;
};

// Terminal lines as the program draws them, in a picture `width` by `height`:
// lines[i] at y = firstTop + 14 * i in a white band from x 10 to 1600, black
// text in the system font's cell without anti-aliasing, the bottom line drawn
// first (a line reaches a little into the band below it, as on screen).
// Lines with `dump[i]` set are Hex Dump rows, drawn in the fixed-pitch font.
Capture ReferenceLines(const std::vector<std::string>& lines, int firstTop, int width, int height,
                       const std::vector<bool>& dump = {});
// The fonts the terminal draws with, without anti-aliasing: the system font
// for its rows, the fixed-pitch one for Hex Dump rows. The caller deletes it.
HFONT TerminalFont(bool dumpRow);

// One end of the null-modem cable, opened by the driver.
class FarEnd {
 public:
  explicit FarEnd(const std::string& name);
  ~FarEnd();
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  DWORD error() const { return error_; }
  bool Write(const std::string& bytes);
  // Writes all of `bytes`, however long the far side takes to accept them,
  // as long as some go out within every `quietMs`.
  bool WriteAll(const std::string& bytes, DWORD quietMs);
  // Reads until `count` bytes came or the time is up; returns what came.
  std::string Read(size_t count, DWORD milliseconds);
  // Reads what arrives until nothing has come for `quietMs`.
  std::string Drain(DWORD quietMs = 300);

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DWORD error_ = 0;
};

// Reads both ends of a cable until neither has had a byte for 200 ms: what an
// earlier test left on its way (a pattern still going out as its ports
// closed) would otherwise reach the next program first, and bytes nobody
// reads at one end stop socat carrying the other way too. False if the ends
// cannot be opened or do not fall quiet.
bool EmptyCable(const std::string& one, const std::string& other);

// The test pattern as it must appear on the wire (one repetition).
std::string ExpectedTestPattern();
