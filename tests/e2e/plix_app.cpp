#include "plix_app.h"

#include <winternl.h>

#include <algorithm>
#include <utility>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/screen_buffer.h"

std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH] = {};
  GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
  return buffer;
}

std::string EnvOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != 0 ? value : fallback;
}

namespace {

struct FindContext {
  DWORD pid;
  const char* className;
  int controlId;  // 0: any
  HWND found;
  const char* caption = nullptr;  // nullptr: any
  HWND except = nullptr;
  std::vector<HWND>* all = nullptr;  // collects every match instead of the first
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
  auto* context = reinterpret_cast<FindContext*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != context->pid || !IsWindowVisible(window)) return TRUE;
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::string(cls) != context->className) return TRUE;
  if (context->controlId != 0 && GetDlgItem(window, context->controlId) == nullptr) return TRUE;
  if (context->caption != nullptr && PlixApp::Title(window) != context->caption) return TRUE;
  if (window == context->except) return TRUE;
  context->found = window;
  if (context->all != nullptr) {
    context->all->push_back(window);
    return TRUE;
  }
  return FALSE;
}

HWND FindWindowOf(DWORD pid, const char* className, int controlId) {
  FindContext context{pid, className, controlId, nullptr};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&context));
  return context.found;
}

}  // namespace

PlixApp::~PlixApp() {
  if (process_.hProcess == nullptr) return;
  if (Running()) {
    CloseAndWait(5000);
    if (Running()) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool PlixApp::Start(const std::string& exe, const std::string& workdir, std::string* why) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  // The program ignores its arguments; a tag there lets Measure find its
  // Linux process, whose /proc cmdline Wine sets to the Windows command line.
  static unsigned started = 0;
  char tag[48];
  std::snprintf(tag, sizeof tag, "plix-app-%08lx-%08lx-%04u", GetCurrentProcessId(), GetTickCount(), ++started);
  tag_ = tag;
  std::string commandLine = "\"" + exe + "\" " + tag_;
  BOOL created = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, workdir.c_str(),
                                &startup, &process_);
  if (!created) {
    *why = "CreateProcess " + exe + " in " + workdir + " failed: " + std::to_string(GetLastError());
    process_ = {};
    return false;
  }
  WaitForInputIdle(process_.hProcess, 10000);
  if (!WaitUntil([&] { return (frame_ = FindWindowOf(pid(), "PlixFrame", 0)) != nullptr; }, 10000)) {
    *why = "no PlixFrame window appeared";
    return false;
  }
  client_ = GetWindow(frame_, GW_CHILD);
  char cls[32] = {};
  GetClassNameA(client_, cls, sizeof cls);
  if (lstrcmpiA(cls, "MDIClient") != 0) {
    *why = std::string("the frame's first child is a ") + cls;
    return false;
  }
  return true;
}

void PlixApp::Command(int id) const { PostMessageA(frame_, WM_COMMAND, static_cast<WPARAM>(id), 0); }

bool PlixApp::Send(int id, DWORD milliseconds) const {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(frame_, WM_COMMAND, static_cast<WPARAM>(id), 0, SMTO_NORMAL, milliseconds, &result) != 0;
}

std::vector<HWND> PlixApp::Terminals() const {
  std::vector<HWND> out;
  for (HWND child = GetWindow(client_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (std::string(cls) == "PlixDraw") out.push_back(child);
  }
  return out;
}

std::string PlixApp::Title(HWND window) {
  char text[128] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

HWND PlixApp::WaitForTerminal(const char* title, DWORD milliseconds) const {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : Terminals())
          if (Title(w) == title) found = w;
        return found != nullptr;
      },
      milliseconds);
  return found;
}

HWND PlixApp::WaitForDialog(int controlId, DWORD milliseconds) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowOf(pid(), "#32770", controlId)) != nullptr; }, milliseconds);
  return found;
}

HWND PlixApp::WaitForDialog(const char* caption, int controlId, DWORD milliseconds) const {
  FindContext context{pid(), "#32770", controlId, nullptr, caption};
  WaitUntil(
      [&] {
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&context));
        return context.found != nullptr;
      },
      milliseconds);
  return context.found;
}

std::vector<HWND> PlixApp::MessageBoxes(HWND except) const {
  std::vector<HWND> out;
  FindContext context{pid(), "#32770", 0xFFFF, nullptr, nullptr, except, &out};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&context));
  return out;
}

std::vector<std::string> PlixApp::Rows(HWND terminal) const {
  // The terminal answers WM_GETTEXT with its rows, oldest first, CR LF between.
  // Bounded: a program inside a six-second wait answers late, and a test polls again.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(terminal, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 10000, &length)) return {};
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(terminal, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_NORMAL, 10000,
                           &copied))
    return {};
  text.resize(std::min<size_t>(copied, length));
  std::vector<std::string> rows;
  size_t at = 0;
  for (;;) {
    const size_t end = text.find("\r\n", at);
    rows.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  if (rows.size() < static_cast<size_t>(kScreenRows)) return {};
  return rows;
}

std::string PlixApp::Screen(HWND terminal) const {
  std::string out;
  for (const std::string& row : Rows(terminal)) {
    if (row.empty()) continue;
    if (!out.empty()) out += '\n';
    out += row;
  }
  return out;
}

bool PlixApp::WaitForScreen(HWND terminal, const std::string& text, DWORD milliseconds) const {
  return WaitUntil([&] { return Screen(terminal).find(text) != std::string::npos; }, milliseconds);
}

bool PlixApp::HasFocus(HWND terminal) const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetForegroundWindow() == frame_ && GetGUIThreadInfo(GetWindowThreadProcessId(frame_, nullptr), &info) &&
         info.hwndFocus == terminal;
}

bool PlixApp::Focus(HWND terminal) const {
  WaitUntil([&] { return FindWindowOf(pid(), "#32770", 0) == nullptr; }, 3000);
  if (HasFocus(terminal)) return true;
  SetForegroundWindow(frame_);
  SendMessageA(client_, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(terminal), 0);
  if (!WaitUntil([&] { return HasFocus(terminal); }, 2000)) return false;
  Sleep(100);  // let the window system's own focus events settle
  return HasFocus(terminal);
}

bool PlixApp::Type(HWND terminal, const std::vector<std::vector<INPUT>>& keystrokes) const {
  for (std::vector<INPUT> keys : keystrokes) {
    if (!Focus(terminal)) return false;
    // One call per keystroke: its events reach the queue together, in order.
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
    Sleep(30);
  }
  return true;
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

bool PlixApp::Running() const {
  return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD PlixApp::CloseAndWait(DWORD milliseconds) {
  PostMessageA(frame_, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process_.hProcess, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

bool PlixApp::Answers(DWORD milliseconds, DWORD* took) const {
  DWORD start = GetTickCount();
  DWORD_PTR result = 0;
  LRESULT answered = SendMessageTimeoutA(frame_, WM_NULL, 0, 0, SMTO_NORMAL, milliseconds, &result);
  if (took != nullptr) *took = GetTickCount() - start;
  return answered != 0;
}

namespace {
// The size of the handle table the Wine server keeps for process `pid`
// (what it reports as HandleCount: allocated entries, in powers of two, not
// the handles in use); 0 if it gave none.
long HandleTableSize(DWORD pid) {
  using Query = NTSTATUS(WINAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return 0;
  std::vector<unsigned char> buffer(1 << 20);
  ULONG needed = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    NTSTATUS status = query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == 0) break;
    if (attempt == 3) return 0;
    buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
  }
  for (size_t offset = 0;;) {
    const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
    if (static_cast<DWORD>(reinterpret_cast<uintptr_t>(entry->UniqueProcessId)) == pid)
      return static_cast<long>(entry->HandleCount);
    if (entry->NextEntryOffset == 0) return 0;
    offset += entry->NextEntryOffset;
  }
}

// The handles open in `process`: every handle value of its table that can be
// duplicated into this process (the Wine server numbers them 4, 8, 12, ...).
long OpenHandles(HANDLE process, DWORD pid) {
  long size = HandleTableSize(pid);
  if (size <= 0) size = 4096;
  long open = 0;
  for (long index = 1; index <= size; ++index) {
    HANDLE copy = nullptr;
    HANDLE value = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(index) * 4);
    if (DuplicateHandle(process, value, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      CloseHandle(copy);
      ++open;
    } else if (GetLastError() != ERROR_INVALID_HANDLE) {
      ++open;  // a handle that exists but will not be copied
    }
  }
  return open;
}
}  // namespace

bool PlixApp::Measure(Figures* out, std::string* why) {
  std::string output;
  if (unixPid_ == 0) {
    std::string find =
        "for p in /proc/[0-9]*; do grep -qa " + tag_.substr(0, 8) + "[" + tag_.substr(8, 1) + "]" + tag_.substr(9) + " $p/cmdline 2>/dev/null && echo ${p#/proc/}; done";
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, dir);
    if (!RunLinuxShell(find, dir, &output, 10000)) {
      *why = "no answer from the Linux shell";
      return false;
    }
    int pid = 0, more = 0;
    if (std::sscanf(output.c_str(), "%d %d", &pid, &more) != 1 || pid <= 0) {
      *why = "not one Linux process with tag " + tag_ + ": '" + output + "'";
      return false;
    }
    unixPid_ = pid;
  }
  std::string proc = "/proc/" + std::to_string(unixPid_);
  std::string read = "ls " + proc + "/fd | wc -l; sed -n 's/^VmRSS:[^0-9]*//p' " + proc + "/status";
  char dir[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, dir);
  if (!RunLinuxShell(read, dir, &output, 10000)) {
    *why = "no answer from the Linux shell";
    return false;
  }
  Figures figures;
  figures.unixPid = unixPid_;
  if (std::sscanf(output.c_str(), "%d %ld", &figures.fds, &figures.rssKb) != 2) {
    *why = "cannot read " + proc + ": '" + output + "'";
    return false;
  }
  figures.handles = OpenHandles(process_.hProcess, pid());
  *out = figures;
  return true;
}

std::string ControlText(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void SetControlText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

bool IsChecked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsControlEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

namespace {
std::string ListEntry(HWND dialog, int id, int index) {
  // The wide message: Wine hands the ANSI one's text across processes as
  // UTF-16, so "38400" read as "3".
  LRESULT length = SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length < 0) return "";
  std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
  SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&wide[0]));
  std::string text;
  for (wchar_t c : wide) {
    if (c == 0) break;
    text += c < 128 ? static_cast<char>(c) : '?';
  }
  return text;
}
}  // namespace

std::vector<std::string> ListEntries(HWND dialog, int id) {
  std::vector<std::string> out;
  LRESULT count = SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) out.push_back(ListEntry(dialog, id, i));
  return out;
}

int ListSelection(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

std::string ListSelectionText(HWND dialog, int id) {
  int index = ListSelection(dialog, id);
  return index == CB_ERR ? "" : ListEntry(dialog, id, index);
}

bool SelectListEntry(HWND dialog, int id, const std::string& text) {
  std::vector<std::string> entries = ListEntries(dialog, id);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] != text) continue;
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, i, 0);
    return ListSelection(dialog, id) == static_cast<int>(i);
  }
  return false;
}

std::string MessageBoxText(HWND box) { return ControlText(box, 0xFFFF); }

bool RunLinuxShell(const std::string& command, const std::string& workdir, std::string* output,
                   DWORD milliseconds) {
  static unsigned serial = 0;
  std::string name = "linux-shell-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
  std::string result = workdir + "\\" + name;
  DeleteFileA(result.c_str());
  // Renamed only when complete, so the file is never read half written.
  std::string commandLine =
      "/bin/sh -c \"{ " + command + " ; } >" + name + ".part 2>&1; mv " + name + ".part " + name + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA("Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, workdir.c_str(),
                      &startup, &process))
    return false;
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  if (!WaitUntil([&] { return GetFileAttributesA(result.c_str()) != INVALID_FILE_ATTRIBUTES; }, milliseconds))
    return false;
  std::ifstream in(result, std::ios::binary);
  output->assign(std::istreambuf_iterator<char>(in), {});
  in.close();
  DeleteFileA(result.c_str());
  return true;
}

bool StartCable(const std::string& name, int nearCom, int farCom, const std::string& workdir, std::string* why,
                bool fixed) {
  std::string output;
  std::string command = "bash -c '. $PLIX_ROOT/scripts/lib/wine.sh && cable_start " + name + " " +
                        std::to_string(nearCom) + " " + std::to_string(farCom) + (fixed ? " fixed" : "") +
                        " && echo cable-ready'";
  if (!RunLinuxShell(command, workdir, &output, 15000)) {
    *why = "no answer from the Linux shell";
    return false;
  }
  if (output.find("cable-ready") == std::string::npos) {
    *why = "cable_start " + name + " failed (is PLIX_ROOT set?): " + output;
    return false;
  }
  return true;
}

bool KillCable(const std::string& name, const std::string& workdir) {
  std::string output;
  // Waits until the socat is gone, so that the caller knows the ports are dead.
  return RunLinuxShell("p=$(cat $WINEPREFIX/cables/" + name +
                           "/socat.pid) && kill $p && while kill -0 $p 2>/dev/null; do sleep 0.01; done && echo killed",
                       workdir, &output, 10000) &&
         output.find("killed") != std::string::npos;
}

bool ReviveCable(const std::string& name, const std::string& workdir) {
  std::string output;
  return RunLinuxShell("bash -c '. $PLIX_ROOT/scripts/lib/wine.sh && cable_revive " + name + " && echo revived'",
                       workdir, &output, 15000) &&
         output.find("revived") != std::string::npos;
}

bool StopCable(const std::string& name, const std::string& workdir) {
  std::string output;
  return RunLinuxShell("bash -c '. $PLIX_ROOT/scripts/lib/wine.sh && cable_stop " + name + "'", workdir, &output,
                       15000);
}

namespace {
INPUT Key(WORD vk, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}
}  // namespace

std::vector<INPUT> KeyTap(WORD vk, bool shift, bool ctrl) {
  std::vector<INPUT> out;
  if (ctrl) out.push_back(Key(VK_CONTROL, false));
  if (shift) out.push_back(Key(VK_SHIFT, false));
  out.push_back(Key(vk, false));
  out.push_back(Key(vk, true));
  if (shift) out.push_back(Key(VK_SHIFT, true));
  if (ctrl) out.push_back(Key(VK_CONTROL, true));
  return out;
}

std::vector<std::vector<INPUT>> TypeText(const std::string& text) {
  std::vector<std::vector<INPUT>> out;
  for (char c : text) {
    if (c >= 'a' && c <= 'z') out.push_back(KeyTap(static_cast<WORD>(c - 'a' + 'A')));
    else if (c >= 'A' && c <= 'Z') out.push_back(KeyTap(static_cast<WORD>(c), true));
    else if (c >= '0' && c <= '9') out.push_back(KeyTap(static_cast<WORD>(c)));
    else if (c == ' ') out.push_back(KeyTap(VK_SPACE));
  }
  return out;
}

bool CaptureClient(HWND window, Capture* out) {
  RECT client;
  if (!GetClientRect(window, &client)) return false;
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY) != 0;
    GdiFlush();
    if (ok) {
      out->width = width;
      out->height = height;
      const auto* p = static_cast<const uint32_t*>(bits);
      out->pixels.assign(p, p + static_cast<size_t>(width) * height);
      for (uint32_t& pixel : out->pixels) pixel &= 0xFFFFFF;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

bool WaitForStillPicture(HWND window, DWORD milliseconds) {
  Capture before;
  bool looked = false;
  DWORD lookedAt = 0;
  return WaitUntil(
      [&] {
        // Two looks a tenth of a second apart: a repaint in progress shows between them.
        if (looked && GetTickCount() - lookedAt < 100) return false;
        Capture now;
        if (!CaptureClient(window, &now)) return false;
        const bool same = looked && now.width == before.width && now.height == before.height &&
                          now.pixels == before.pixels;
        before = std::move(now);
        looked = true;
        lookedAt = GetTickCount();
        return same;
      },
      milliseconds);
}

HFONT TerminalFont(bool dumpRow) {
  LOGFONTA font = {};
  GetObjectA(GetStockObject(dumpRow ? ANSI_FIXED_FONT : SYSTEM_FONT), sizeof font, &font);
  font.lfQuality = NONANTIALIASED_QUALITY;
  return CreateFontIndirectA(&font);
}

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
  oldBitmap_ = SelectObject(dc_, bitmap_);
  RECT all = {0, 0, width, height};
  FillRect(dc_, &all, GetSysColorBrush(COLOR_WINDOW));
}

Canvas::~Canvas() {
  SelectObject(dc_, oldBitmap_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

Capture Canvas::Take() const {
  GdiFlush();
  Capture out;
  out.width = width_;
  out.height = height_;
  if (bits_ == nullptr) return out;
  const auto* p = static_cast<const uint32_t*>(bits_);
  out.pixels.assign(p, p + static_cast<size_t>(width_) * height_);
  for (uint32_t& pixel : out.pixels) pixel &= 0xFFFFFF;
  return out;
}

Capture ReferenceLines(const std::vector<std::string>& lines, int firstTop, int width, int height,
                       const std::vector<bool>& dump) {
  Canvas canvas(width, height);
  HDC dc = canvas.dc();
  HFONT font = TerminalFont(false);
  HFONT dumpFont = TerminalFont(true);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetBkColor(dc, RGB(255, 255, 255));
  SetTextColor(dc, RGB(0, 0, 0));
  for (size_t i = lines.size(); i-- > 0;) {
    const std::string& text = lines[i];
    SelectObject(dc, i < dump.size() && dump[i] ? dumpFont : font);
    const int y = firstTop + 14 * static_cast<int>(i);
    RECT band = {10, y, 1600, y + 14};
    ExtTextOutA(dc, 10, y, ETO_OPAQUE, &band, text.c_str(), static_cast<UINT>(text.size()), nullptr);
  }
  Capture out = canvas.Take();
  SelectObject(dc, oldFont);
  DeleteObject(dumpFont);
  DeleteObject(font);
  return out;
}

FarEnd::FarEnd(const std::string& name) {
  std::string path = "\\\\.\\" + name;
  handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    error_ = GetLastError();
    return;
  }
  // Reads return at once with whatever has arrived.
  COMMTIMEOUTS timeouts = {};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.WriteTotalTimeoutConstant = 2000;
  SetCommTimeouts(handle_, &timeouts);
}

FarEnd::~FarEnd() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

bool FarEnd::Write(const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool FarEnd::WriteAll(const std::string& bytes, DWORD quietMs) {
  size_t done = 0;
  DWORD lastProgress = GetTickCount();
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 65536));
    DWORD written = 0;
    // A write that times out may still have moved some bytes: count them and go on.
    WriteFile(handle_, bytes.data() + done, chunk, &written, nullptr);
    done += written;
    if (written > 0)
      lastProgress = GetTickCount();
    else if (GetTickCount() - lastProgress > quietMs)
      return false;
  }
  return true;
}

std::string FarEnd::Read(size_t count, DWORD milliseconds) {
  std::string out;
  WaitUntil(
      [&] {
        char buffer[4096];
        DWORD got = 0;
        while (out.size() < count &&
               ReadFile(handle_, buffer, static_cast<DWORD>(std::min(sizeof buffer, count - out.size())), &got,
                        nullptr) &&
               got > 0)
          out.append(buffer, got);
        return out.size() >= count;
      },
      milliseconds);
  return out;
}

std::string FarEnd::Drain(DWORD quietMs) {
  std::string out;
  for (;;) {
    std::string more = Read(SIZE_MAX, quietMs);
    if (more.empty()) return out;
    out += more;
  }
}

bool EmptyCable(const std::string& one, const std::string& other) {
  FarEnd a(one), b(other);
  if (!a.ok() || !b.ok()) return false;
  size_t read = 0;
  return WaitUntilSteady(
      [&] {
        read += a.Read(SIZE_MAX, 0).size() + b.Read(SIZE_MAX, 0).size();
        return read;
      },
      200, 10000);
}

std::string ExpectedTestPattern() {
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string out;
  for (int length = 5; length <= 46; ++length) out += letters.substr(0, length) + "\r\n";
  return out;
}

namespace {
// The file name box (0x47c Explorer style, 0x480 old style): its edit
// control, inside a ComboBoxEx and its ComboBox, takes the text.
BOOL CALLBACK TypeFileName(HWND child, LPARAM path) {
  const int id = GetDlgCtrlID(child);
  if (id == 0x47c || id == 0x480) SendMessageA(child, WM_SETTEXT, 0, path);
  return TRUE;
}
}  // namespace

bool PlixApp::ChooseFile(const char* title, const std::string& path) const {
  HWND open = nullptr;
  if (!WaitUntil([&] { return (open = FindWindowA("#32770", title)) != nullptr && IsWindowVisible(open); }, 5000))
    return false;
  EnumChildWindows(open, TypeFileName, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(open, WM_COMMAND, IDOK, 0);
  return WaitUntil([&] { return !IsWindow(open); }, 5000) && Running();
}

std::string PlixApp::StatusText() const {
  HWND bar = FindWindowExA(frame_, nullptr, "msctls_statusbar32", nullptr);
  if (bar == nullptr) return "(no status bar)";
  char text[512] = {};
  SendMessageA(bar, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}
