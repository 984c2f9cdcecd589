// The real plix32.exe under Wine, driven from outside: menu commands and
// dialogs by window messages, keystrokes through SendInput, lamps from the
// screen's pixels, the terminal's rows from the program's memory, and the far
// end of the null-modem cable (COM5 <-> COM6).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "msgbox_watcher.h"
#include "plix_app.h"
#include "program_test.h"
#include "version.h"

namespace {

constexpr int kOpenPortBase = 499;  // command 499 + n opens COMn
constexpr int kOther = 539;
constexpr int kClose = 200, kShowCrLf = 202, kCloseAll = 206, kSaveToDisk = 212, kSendTestData = 213,
              kClearScreen = 216;
constexpr int kPortNameEdit = 370;
constexpr int kCopy = 232, kSelectAll = 233, kFind = 234;
constexpr int kFindText = 430, kFindNext = 433;
constexpr int kSendTextCommand = 236, kSendFileCommand = 237;
constexpr int kSendText = 440, kSendEnd = 441, kSendRepeat = 442, kSendNow = 443, kSendStop = 444;
constexpr int kSendProgress = 450, kSendStatus = 451, kSendCancel = 452;
constexpr UINT kProgressPosition = WM_USER + 8;  // PBM_GETPOS

const char kModemBox[] = "GetCommModemStatus Error:50";
const char kInputsBox[] = "These are inputs, so cannot be controlled!";

std::string Hex(const std::string& bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02x ", c);
    out += b;
  }
  return out;
}

size_t Count(const std::vector<std::string>& texts, const std::string& text) {
  return static_cast<size_t>(std::count(texts.begin(), texts.end(), text));
}

class PlixExe : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    StartIn(workdir_);
  }
  // Opens the cable's near end in the program (its modem status box
  // answered) and takes in what the cable held from before.
  HWND OpenWithCable(FarEnd& cable) {
    if (!cable.ok()) return nullptr;
    HWND terminal = OpenFromMenu(port_);
    if (terminal == nullptr || !boxes_->WaitFor(1, 3000)) return nullptr;
    cable.Drain(200);
    return terminal;
  }
};

// --- Opening ports ---------------------------------------------------------

TEST_F(PlixExe, OpensPortsFromTheMenuAndByNameAndReportsAMissingOne) {
  // From the menu.
  HWND terminal = OpenFromMenu(port_);
  ASSERT_NE(terminal, nullptr) << "no window titled " << port_;
  EXPECT_TRUE(app_.WaitForScreen(terminal, "<Port Opened>", 3000)) << app_.Screen(terminal);
  EXPECT_EQ(app_.Terminals().size(), 1u);
  EXPECT_TRUE(boxes_->WaitFor(1, 3000));  // the first poll of the port
  app_.Command(kClose);
  EXPECT_TRUE(WaitUntil([&] { return app_.Terminals().empty(); }, 3000)) << "Close left the window open";

  // "Other" with the name typed in.
  app_.Command(kOther);
  HWND dialog = app_.WaitForDialog(kPortNameEdit, 5000);
  ASSERT_NE(dialog, nullptr) << "the port name dialog did not open";
  SetDlgItemTextA(dialog, kPortNameEdit, port_.c_str());
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  terminal = app_.WaitForTerminal(port_.c_str(), 5000);
  ASSERT_NE(terminal, nullptr) << "\"Other\" with " << port_ << " opened no window";
  EXPECT_TRUE(app_.WaitForScreen(terminal, "<Port Opened>", 3000)) << app_.Screen(terminal);
  EXPECT_TRUE(boxes_->WaitFor(2, 3000));
  app_.Command(kClose);
  ASSERT_TRUE(WaitUntil([&] { return app_.Terminals().empty(); }, 3000));

  // Each of the two opens showed the modem status failure once.
  std::vector<std::string> texts = boxes_->Take();
  EXPECT_EQ(Count(texts, kModemBox), 2u);
  EXPECT_EQ(texts.size(), 2u);

  // "Other", then Cancel; then OK with the field left empty: nothing at all.
  for (int button : {IDCANCEL, IDOK}) {
    app_.Command(kOther);
    dialog = app_.WaitForDialog(kPortNameEdit, 5000);
    ASSERT_NE(dialog, nullptr);
    if (button == IDCANCEL) {
      // A name of the longest length the program accepts can be typed: the
      // field scrolls instead of refusing what does not fit its width; what
      // is typed beyond that length is refused, not cut off later.
      const std::string longest = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789Q";
      ASSERT_EQ(longest.size(), 37u);
      HWND edit = GetDlgItem(dialog, kPortNameEdit);
      for (char c : longest + "XYZ") SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 1);
      EXPECT_EQ(ControlText(dialog, kPortNameEdit), longest);
    }
    PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 3000)) << "button " << button;
  }
  ASSERT_TRUE(Settled());
  EXPECT_TRUE(app_.Terminals().empty());
  EXPECT_TRUE(boxes_->Texts().empty()) << boxes_->Texts()[0];

  // A port that does not exist: the system's error, then the shell's box.
  std::string path = "\\\\.\\" + missing_;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_EQ(h, INVALID_HANDLE_VALUE) << missing_ << " is expected to be unmapped";
  DWORD expected = GetLastError();
  app_.Command(kOpenPortBase + Number(missing_));
  ASSERT_TRUE(boxes_->WaitFor(2, 5000));
  ASSERT_TRUE(Settled());  // and no third
  texts = boxes_->Take();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Error from CreateFile: " + std::to_string(expected) + " " + missing_ + " 0");
  EXPECT_EQ(texts[1], "Port failed to open.");
  EXPECT_TRUE(app_.Terminals().empty());
}

// --- A mebibyte with the window shown --------------------------------------

// Lines of 0 to 150 bytes ended by CR LF, mostly printable, with control and
// high bytes among them (no CR or LF inside a line); the last line has no end,
// so it stays the current row. Exactly 1 MiB.
std::string Mebibyte() {
  const size_t size = 1u << 20;
  const unsigned char odd[] = {0x00, 0x07, 0x09, 0x1b, 0x7f, 0x80, 0x81, 0xc4, 0xff};
  uint32_t seed = 12345;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
  std::string out;
  out.reserve(size);
  while (out.size() < size - 200) {
    size_t length = next() % 151;
    for (size_t i = 0; i < length; ++i)
      out += next() % 100 < 4 ? static_cast<char>(odd[next() % sizeof odd]) : static_cast<char>(0x20 + next() % 95);
    out += "\r\n";
  }
  out += "the last row:";
  while (out.size() < size) out += static_cast<char>('a' + out.size() % 26);
  return out;
}

// The rows the terminal must hold after receiving `bytes` with Show CR/LF off,
// oldest first, the current row last: an independent model of the rules (a
// marker "<%xH>" for bytes below 0x20 and above 0x80, LF to a new row, CR to
// column 0 where the next character cuts the row, a new row after the 80th
// character of one).
std::vector<std::string> ExpectedRows(const std::string& bytes, size_t keep) {
  std::deque<std::string> rows(1);
  size_t column = 0;
  auto newRow = [&] {
    rows.emplace_back();
    column = 0;
    if (rows.size() > keep) rows.pop_front();
  };
  auto put = [&](char c) {
    rows.back().resize(column);
    rows.back() += c;
    if (++column >= 80) newRow();
  };
  for (unsigned char b : bytes) {
    if (b == '\n') {
      newRow();
    } else if (b == '\r') {
      column = 0;
    } else if (b < 0x20 || b > 0x80) {
      char marker[8];
      std::snprintf(marker, sizeof marker, "<%xH>", b);
      for (const char* c = marker; *c != 0; ++c) put(*c);
    } else {
      put(static_cast<char>(b));
    }
  }
  return {rows.begin(), rows.end()};
}

// The two bottom lines as the terminal must draw them in a window `width`
// pixels wide: white bands from x 10, black text in the system font's cell
// without anti-aliasing, the bottom line first (the line above it reaches a
// little into its band). Only the bottom band [top, top + 14) is compared.
Capture ReferenceBottomLines(const std::string& above, const std::string& bottom, int width, int top) {
  return ReferenceLines({above, bottom}, top - 14, width, top + 20);
}

// A box open holds up no receiving: the mebibyte sent while the modem status
// box of the open is up is all in the capture before the box is answered.
TEST_F(PlixExe, ShowsAndCapturesAMebibyteWithTheWindowShown) {
  FarEnd cable(far_);
  ASSERT_TRUE(cable.ok()) << "cannot open " << far_ << ": " << cable.error();
  boxes_.reset();  // this test answers the box itself, late
  std::string capture = workdir_ + "\\k" + port_.substr(1) + ".txt";
  DeleteFileA(capture.c_str());
  HWND terminal = OpenFromMenu(port_);
  ASSERT_NE(terminal, nullptr);
  std::vector<HWND> up;
  ASSERT_TRUE(WaitUntil([&] { return (up = app_.MessageBoxes(nullptr)).size() == 1; }, 5000));
  const HWND box = up[0];
  EXPECT_EQ(MessageBoxText(box), kModemBox);
  ASSERT_TRUE(app_.Send(kSaveToDisk));  // the box's own loop carries the command out
  ASSERT_TRUE(IsWindowVisible(terminal) && !IsIconic(terminal) && !IsIconic(app_.frame()));

  const std::string sent = Mebibyte();
  ASSERT_EQ(sent.size(), 1u << 20);
  ASSERT_TRUE(cable.WriteAll(sent, 10000)) << "the cable stopped taking bytes";
  auto fileBytes = [&] {
    std::ifstream in(capture, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  auto fileSize = [&] {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    return GetFileAttributesExA(capture.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
  };
  EXPECT_TRUE(WaitUntil([&] { return fileSize() >= sent.size(); }, 30000)) << fileSize() << " bytes captured";
  EXPECT_TRUE(IsWindow(box)) << "the box went before the capture was complete";
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5000));
  ASSERT_TRUE(app_.Send(kSaveToDisk));

  // Nothing lost: the capture is exactly what was sent, and the screen holds its last rows.
  std::string saved = fileBytes();
  EXPECT_EQ(saved.size(), sent.size());
  EXPECT_TRUE(saved == sent) << "capture differs from what was sent";
  const std::vector<std::string> want = ExpectedRows(sent, 35);
  ASSERT_EQ(want.size(), 35u);
  EXPECT_TRUE(WaitUntil([&] { return app_.Rows(terminal) == want; }, 3000));
  std::vector<std::string> rows = app_.Rows(terminal);
  ASSERT_EQ(rows.size(), want.size());
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], want[i]) << "row " << i << " of 35";

  // And the window shows them: the bottom line, pixel for pixel, once the
  // pass that read the last bytes has painted.
  RECT client;
  ASSERT_TRUE(GetClientRect(terminal, &client));
  const int lines = client.bottom / 14 - 1;
  ASSERT_GE(lines, 2);
  const int top = 14 * lines + 4;
  Capture shown;
  int black = 0;
  std::string first;
  // Pixels of the bottom line that differ from a reference drawing of it,
  // from x 10, where the bands start: the margin left of them is never
  // repainted, so a glyph reaching into it leaves its pixels there.
  auto differing = [&](const std::string& above, const std::string& bottom) {
    if (!CaptureClient(terminal, &shown)) return -1;
    Capture expected = ReferenceBottomLines(above, bottom, shown.width, top);
    int count = 0;
    black = 0;
    for (int y = top; y < top + 14 && y < shown.height; ++y) {
      for (int x = 10; x < shown.width; ++x) {
        black += shown.At(x, y) == 0;
        if (shown.At(x, y) != expected.At(x, y) && count++ == 0)
          first = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
      }
    }
    return count;
  };
  EXPECT_TRUE(WaitUntil([&] { return differing(want[33], want[34]) == 0; }, 3000))
      << "pixels of the bottom line differ from \"" << want[34] << "\", first at " << first;
  EXPECT_GT(black, 50) << "the bottom line shows no text";

  // Minimized, the window draws nothing; what arrives meanwhile is shown once it is restored.
  SendMessageA(terminal, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(terminal) != FALSE; }, 2000));
  const std::string more = "\r\nreceived while minimized";
  ASSERT_TRUE(cable.WriteAll(more, 5000));
  const std::vector<std::string> wantAfter = ExpectedRows(sent + more, 35);
  EXPECT_TRUE(WaitUntil([&] { return app_.Rows(terminal) == wantAfter; }, 3000));
  SendMessageA(terminal, WM_SYSCOMMAND, SC_RESTORE, 0);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(terminal) == FALSE; }, 2000));
  EXPECT_TRUE(WaitUntil([&] { return differing(wantAfter[33], wantAfter[34]) == 0; }, 3000))
      << "after the restore the bottom line does not show \"" << wantAfter[34] << "\", first difference at "
      << first;
}

// --- Typing, receiving, capture, test pattern, Control menu ----------------

TEST_F(PlixExe, SendsKeysShowsReceivedBytesAndCapturesThem) {
  FarEnd cable(far_);
  ASSERT_TRUE(cable.ok()) << "cannot open " << far_ << ": " << cable.error();
  HWND terminal = OpenFromMenu(port_);
  ASSERT_NE(terminal, nullptr);
  ASSERT_TRUE(app_.WaitForScreen(terminal, "<Port Opened>", 3000));
  ASSERT_TRUE(boxes_->WaitFor(1, 3000));  // the modem status box, out of the way
  cable.Drain(200);

  // Keys: letters, Shift, Enter and Ctrl+letter, each a byte of its own.
  auto keys = TypeText("aZ9");
  for (auto more : {KeyTap(VK_RETURN), KeyTap('A', false, true), KeyTap('C', false, true), KeyTap(VK_BACK)})
    keys.push_back(more);
  ASSERT_TRUE(app_.Type(terminal, keys)) << "cannot give the terminal the keyboard focus";
  std::string typed = cable.Read(7, 3000);
  EXPECT_EQ(Hex(typed), Hex(std::string("aZ9\r\x01\x03\x08", 7)));
  ASSERT_TRUE(Settled());  // the keys have been handled: an echo would show now
  EXPECT_EQ(app_.Screen(terminal), "<Port Opened>") << "typed keys were echoed";

  // Received bytes, control characters spelled out.
  app_.Command(kClearScreen);
  ASSERT_TRUE(WaitUntil([&] { return app_.Screen(terminal).empty(); }, 2000)) << app_.Screen(terminal);
  ASSERT_TRUE(cable.Write(std::string("hello\r\nworld\x1b\x00\xff\x09~", 17)));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "~", 3000)) << app_.Screen(terminal);
  EXPECT_EQ(app_.Screen(terminal), "hello\nworld<1bH><0H><ffH><9H>~");

  // Show CR/LF: the markers from the next byte on.
  ASSERT_TRUE(app_.Send(kShowCrLf));
  ASSERT_TRUE(cable.Write("ab\r\ncd!"));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "cd!", 3000)) << app_.Screen(terminal);
  EXPECT_EQ(app_.Screen(terminal), "hello\nworld<1bH><0H><ffH><9H>~ab<CR>\n<LF>cd!");
  ASSERT_TRUE(app_.Send(kShowCrLf));
  ASSERT_TRUE(cable.Write("\r\nplain."));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "plain.", 3000));
  EXPECT_EQ(app_.Rows(terminal).back(), "plain.");

  // Save To Disk: exactly the bytes received while it is on, NUL and high bytes too.
  std::string capture = workdir_ + "\\k" + port_.substr(1) + ".txt";
  DeleteFileA(capture.c_str());
  ASSERT_TRUE(app_.Send(kSaveToDisk));
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string sent = all + "end of capture\r\n" + all;
  ASSERT_TRUE(cable.Write(sent));
  auto fileBytes = [&] {
    std::ifstream in(capture, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_TRUE(WaitUntil([&] { return fileBytes().size() >= sent.size(); }, 3000));
  ASSERT_TRUE(app_.Send(kSaveToDisk));
  ASSERT_TRUE(cable.Write("not saved!"));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "not saved!", 3000));
  std::string saved = fileBytes();
  EXPECT_EQ(saved.size(), sent.size());
  EXPECT_TRUE(saved == sent) << "capture differs from what was sent, it starts " << Hex(saved.substr(0, 24));

  // Send Test Data: the pattern, again and again, until switched off.
  cable.Drain(200);
  app_.Command(kSendTestData);
  std::string pattern = ExpectedTestPattern();
  ASSERT_EQ(pattern.size(), 1155u);
  std::string wire = cable.Read(3 * pattern.size(), 5000);
  // A key typed meanwhile goes out between two patterns, never inside one
  // (digits are not in the pattern).
  ASSERT_TRUE(app_.Type(terminal, TypeText("7")));
  size_t key = std::string::npos;
  EXPECT_TRUE(WaitUntil(
      [&] {
        wire += cable.Read(SIZE_MAX, 0);
        key = wire.find('7');
        return key != std::string::npos && wire.size() >= key + 8;
      },
      5000))
      << "the key did not come";
  if (key != std::string::npos) {
    EXPECT_EQ(key % pattern.size(), 0u) << "the key went out inside a pattern";
    EXPECT_EQ(wire.substr(key + 1, 7), "abcde\r\n");
  }
  ASSERT_TRUE(app_.Send(kSendTestData));
  ASSERT_GE(wire.size(), 2 * pattern.size()) << app_.Screen(terminal);
  EXPECT_TRUE(wire.substr(0, 2 * pattern.size()) == pattern + pattern) << Hex(wire.substr(0, 64));
  cable.Drain(300);  // the last pattern, sent before the switch went off
  std::string after = cable.Read(1, 800);
  EXPECT_TRUE(after.empty()) << "still sending after it was switched off";

  // Clear Screen empties every row.
  app_.Command(kClearScreen);
  EXPECT_TRUE(WaitUntil([&] { return app_.Screen(terminal).empty(); }, 2000)) << app_.Screen(terminal);
  std::vector<std::string> rows = app_.Rows(terminal);
  EXPECT_EQ(rows.size(), 35u);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), std::string()), 35);

  // Every Control menu item leaves its notice, in order.
  const char* notices[] = {"<SETXOFF set>",    "<SETXON set>",     "<TXABORT called>", "<TXCLEAR called>",
                           "<RXABORT called>", "<RXCLEAR called>", "<SETBREAK set>",   "<CLRBREAK set>"};
  for (int id = 217; id <= 224; ++id) app_.Command(id);
  std::string expectedNotices;
  for (const char* n : notices) expectedNotices += n;
  EXPECT_TRUE(app_.WaitForScreen(terminal, "<CLRBREAK set>", 3000)) << app_.Screen(terminal);
  std::string screen = app_.Screen(terminal);
  screen.erase(std::remove(screen.begin(), screen.end(), '\n'), screen.end());  // rows wrap at 80
  EXPECT_EQ(screen, expectedNotices);

  std::vector<std::string> texts = boxes_->Take();
  EXPECT_EQ(texts, std::vector<std::string>{kModemBox});
}

// --- Lamps ------------------------------------------------------------------

struct Lamp {
  const char* name;
  int x, width;
};
// CTS, DSR, CD (inputs), RTS, DTR (outputs); LOOP would follow at 160..200.
const Lamp kLamps[] = {{"CTS", 5, 30}, {"DSR", 37, 30}, {"CD", 69, 20}, {"RTS", 96, 30}, {"DTR", 128, 30}};
constexpr int kStripWidth = 210, kStripHeight = 19;
constexpr uint32_t kLit = Rgb(128, 255, 128), kUnlit = Rgb(192, 192, 192);

// How the lamp row must look: each lamp a rounded box with a black border,
// green with its label in capitals when lit, grey with it in lower case when
// not, label in black in the system font, centred at the top; nothing else.
Capture ReferenceLamps(const bool lit[5]) {
  Canvas canvas(kStripWidth, kStripHeight);
  HDC dc = canvas.dc();
  HFONT font = TerminalFont(false);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  for (int i = 0; i < 5; ++i) {
    HBRUSH brush = CreateSolidBrush(lit[i] ? RGB(128, 255, 128) : RGB(192, 192, 192));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    RoundRect(dc, kLamps[i].x, 1, kLamps[i].x + kLamps[i].width, 17, 6, 8);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    std::string label = kLamps[i].name;
    if (!lit[i]) std::transform(label.begin(), label.end(), label.begin(), [](char c) { return char(c | 0x20); });
    RECT box = {kLamps[i].x, 1, kLamps[i].x + kLamps[i].width, 17};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextA(dc, label.c_str(), -1, &box, DT_CENTER);
  }
  Capture out = canvas.Take();
  SelectObject(dc, oldFont);
  DeleteObject(font);
  return out;
}

// Pixels of the lamp strip that differ from the reference; empty if none.
std::string CompareLamps(HWND terminal, const bool lit[5]) {
  Capture shown;
  if (!CaptureClient(terminal, &shown) || shown.width < kStripWidth || shown.height < kStripHeight)
    return "cannot capture the window";
  Capture want = ReferenceLamps(lit);
  int differing = 0;
  std::string first;
  for (int y = 0; y < kStripHeight; ++y)
    for (int x = 0; x < kStripWidth; ++x)
      if (shown.At(x, y) != want.At(x, y) && differing++ == 0) {
        char b[96];
        std::snprintf(b, sizeof b, "first at (%d,%d): %06x, expected %06x", x, y, shown.At(x, y), want.At(x, y));
        first = b;
      }
  return differing == 0 ? "" : std::to_string(differing) + " pixels differ, " + first;
}

// Pixels of one lamp's face that have colour `colour`.
int CountInLamp(const Capture& shown, const Lamp& lamp, uint32_t colour) {
  int n = 0;
  for (int y = 2; y < 16; ++y)
    for (int x = lamp.x + 1; x < lamp.x + lamp.width - 1; ++x) n += shown.At(x, y) == colour;
  return n;
}

// A click, sent: when it returns the program has handled it, and a box the
// click raised has been shown and answered by the watcher.
void Click(HWND terminal, int x, int y, bool right = false) {
  // The real pointer goes there too: the system sends moves of its own (after
  // a box closes, say), and those must not carry the pointer somewhere else.
  POINT at = {x, y};
  ClientToScreen(terminal, &at);
  SetCursorPos(at.x, at.y);
  POINT now = {};
  EXPECT_TRUE(WaitUntil([&] { return GetCursorPos(&now) && now.x == at.x && now.y == at.y; }, 1000))
      << "the pointer did not move to " << at.x << "," << at.y;
  DWORD_PTR result = 0;
  for (UINT message : {static_cast<UINT>(WM_MOUSEMOVE), static_cast<UINT>(right ? WM_RBUTTONUP : WM_LBUTTONUP)})
    EXPECT_NE(SendMessageTimeoutA(terminal, message, 0, MAKELPARAM(x, y), SMTO_NORMAL, 5000, &result), 0)
        << "the click at " << x << "," << y << " was not answered";
}

// --- History: scroll, select, copy, find ---------------------------------

std::string ClipboardText() {
  std::string out;
  if (!OpenClipboard(nullptr)) return "(clipboard busy)";
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* text = static_cast<const char*>(GlobalLock(data))) {
      out = text;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return out;
}

TEST_F(PlixExe, KeepsTwoThousandLinesToScrollCopyAndFind) {
  FarEnd cable(far_);
  HWND terminal = OpenWithCable(cable);
  ASSERT_NE(terminal, nullptr) << "cannot open " << far_ << ": " << cable.error();
  app_.Command(kClearScreen);
  ASSERT_TRUE(WaitUntil([&] { return app_.Screen(terminal).empty(); }, 2000)) << app_.Screen(terminal);
  std::string sent, copied;
  for (int i = 1; i <= 2000; i++) {
    char line[32];
    std::snprintf(line, sizeof line, "line %04d\r\n", i);
    sent += line;
  }
  ASSERT_TRUE(cable.WriteAll(sent, 10000));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "line 2000", 10000)) << app_.Screen(terminal);

  // Select All and Copy: every line, in order, as shown (CR LF between rows,
  // the empty current row last).
  ASSERT_TRUE(app_.Send(kSelectAll));
  ASSERT_TRUE(app_.Send(kCopy));
  copied = ClipboardText();
  EXPECT_EQ(copied.size(), sent.size());
  EXPECT_TRUE(copied == sent) << "clipboard starts: " << copied.substr(0, 60);

  // The scroll bar to the top: line 1 is shown, the newest lines are not,
  // and the status bar counts the rows that come below meanwhile.
  SendMessageA(terminal, WM_VSCROLL, SB_TOP, 0);
  EXPECT_TRUE(app_.WaitForScreen(terminal, "line 0001", 3000)) << app_.Screen(terminal);
  EXPECT_EQ(app_.Screen(terminal).find("line 2000"), std::string::npos);
  ASSERT_TRUE(cable.Write("one more\r\n"));
  EXPECT_TRUE(WaitUntil([&] { return app_.StatusText().find("1 new row below") != std::string::npos; },
                        3000))
      << app_.StatusText();
  EXPECT_EQ(app_.Screen(terminal).find("one more"), std::string::npos) << "the view moved with new data";

  // Find: the dialog's text is selected and scrolled into view; a text that
  // is not there is said in the status bar, and no box comes.
  app_.Command(kFind);
  HWND find = app_.WaitForDialog("Find", kFindText, 5000);
  ASSERT_NE(find, nullptr);
  SetControlText(find, kFindText, "LINE 1234");
  PostMessageA(find, WM_COMMAND, kFindNext, 0);
  EXPECT_TRUE(app_.WaitForScreen(terminal, "line 1234", 3000)) << app_.Screen(terminal);
  EXPECT_EQ(app_.Screen(terminal).find("line 0001"), std::string::npos);
  ASSERT_TRUE(app_.Send(kCopy));
  EXPECT_EQ(ClipboardText(), "line 1234");
  SetControlText(find, kFindText, "no such line");
  PostMessageA(find, WM_COMMAND, kFindNext, 0);
  EXPECT_TRUE(WaitUntil([&] { return app_.StatusText().find("Cannot find") != std::string::npos; }, 3000))
      << app_.StatusText();
  PostMessageA(find, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(find); }, 3000));

  // Maximized and back at the bottom: each row once, however tall the window.
  SendMessageA(app_.frame(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  SendMessageA(app_.client(), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(terminal), 0);
  SendMessageA(terminal, WM_VSCROLL, SB_BOTTOM, 0);
  ASSERT_TRUE(app_.WaitForScreen(terminal, "one more", 3000)) << app_.Screen(terminal);
  std::vector<std::string> rows = app_.Rows(terminal);
  EXPECT_GT(rows.size(), 35u) << "a maximized window shows more rows than it did";
  std::vector<std::string> shown;
  for (const std::string& row : rows)
    if (!row.empty()) shown.push_back(row);
  std::vector<std::string> once = shown;
  std::sort(once.begin(), once.end());
  EXPECT_EQ(std::unique(once.begin(), once.end()), once.end()) << "a row is shown twice";

  // Ctrl+C typed still goes to the port; Ctrl+Shift+C copies and sends nothing.
  cable.Drain(200);
  ASSERT_TRUE(app_.Type(terminal, {KeyTap('C', true, true), KeyTap('C', false, true)}));
  EXPECT_EQ(Hex(cable.Read(1, 3000)), "03 ");
  EXPECT_EQ(Hex(cable.Read(1, 300)), "") << "Ctrl+Shift+C reached the port";
}

// --- Send Text and Send File ------------------------------------------------

TEST_F(PlixExe, SendsTextAsTheScreenSpellsItOnceOrAgainAndAgain) {
  FarEnd cable(far_);
  HWND terminal = OpenWithCable(cable);
  ASSERT_NE(terminal, nullptr) << cable.error();
  app_.Command(kSendTextCommand);
  HWND dialog = app_.WaitForDialog("Send Text", kSendText, 5000);
  ASSERT_NE(dialog, nullptr);
  const struct {
    const char* text;
    int ending;  // none, CR, LF, CR LF
    std::string bytes;
  } sends[] = {
      {"AT<CR>", 0, "41 54 0d "},
      {"<1bH>[2J", 0, "1b 5b 32 4a "},
      {"a<b <0H>", 3, "61 3c 62 20 00 0d 0a "},
  };
  for (const auto& send : sends) {
    SetControlText(dialog, kSendText, send.text);
    SendMessageA(GetDlgItem(dialog, kSendEnd), CB_SETCURSEL, static_cast<WPARAM>(send.ending), 0);
    PostMessageA(dialog, WM_COMMAND, kSendNow, 0);
    const size_t count = send.bytes.size() / 3;
    EXPECT_EQ(Hex(cable.Read(count, 3000)), send.bytes) << send.text;
  }
  EXPECT_EQ(SendMessageA(GetDlgItem(dialog, kSendText), CB_GETCOUNT, 0, 0), 3) << "the texts sent are offered again";

  // Every 100 ms until Stop: about ten a second.
  SetControlText(dialog, kSendText, "ping<CR>");
  SendMessageA(GetDlgItem(dialog, kSendEnd), CB_SETCURSEL, 0, 0);
  SetControlText(dialog, kSendRepeat, "100");
  PostMessageA(dialog, WM_COMMAND, kSendNow, 0);
  const std::string first = cable.Read(5, 3000);
  const DWORD start = GetTickCount();
  std::string more = cable.Read(SIZE_MAX, 2000);
  const DWORD took = GetTickCount() - start;
  PostMessageA(dialog, WM_COMMAND, kSendStop, 0);
  ASSERT_TRUE(app_.Answers(5000, nullptr));  // Stop carried out
  cable.Drain(300);
  const size_t pings = more.size() / 5;
  EXPECT_EQ(more.size() % 5, 0u);
  EXPECT_GE(pings * 1000 / took, 6u) << pings << " in " << took << " ms";
  EXPECT_LE(pings * 1000 / took, 12u) << pings << " in " << took << " ms";
  EXPECT_EQ(cable.Read(1, 500), "") << "sending went on after Stop";

  // Every millisecond into a line that stops moving (the far end no longer
  // reads): a repeat skips its turn while the one before waits, so the window
  // keeps answering and no write is left to fail; read again, the far end has
  // whole texts only.
  const std::string text(1000, 'x');
  SetControlText(dialog, kSendText, text.c_str());
  SetControlText(dialog, kSendRepeat, "1");
  const size_t boxesBefore = boxes_->Texts().size();
  PostMessageA(dialog, WM_COMMAND, kSendNow, 0);
  for (const DWORD begin = GetTickCount(); GetTickCount() - begin < 4000;) {
    DWORD took = 0;
    ASSERT_TRUE(app_.Answers(1000, &took)) << "the window stopped answering";
    ASSERT_LT(took, 500u) << "the window was held up";
  }
  PostMessageA(dialog, WM_COMMAND, kSendStop, 0);
  const std::string got = cable.Drain(1000);
  EXPECT_GT(got.size(), 10 * text.size());
  EXPECT_EQ(got.size() % text.size(), 0u) << "a text cut short";
  EXPECT_EQ(got.find_first_not_of('x'), std::string::npos);
  EXPECT_EQ(boxes_->Texts().size(), boxesBefore) << boxes_->Texts().back();
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(PlixExe, SendsAFileWholeShowingItsProgressOrStopsWhenCancelled) {
  FarEnd cable(far_);
  HWND terminal = OpenWithCable(cable);
  ASSERT_NE(terminal, nullptr) << cable.error();
  std::string bytes(1 << 20, '\0');
  uint32_t state = 2463534242u;
  for (char& b : bytes) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    b = static_cast<char>(state);
  }
  const std::string path = workdir_ + "\\random.bin";
  {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

  // Whole: every byte at the far end, the bar at its end, then the dialog gone.
  app_.Command(kSendFileCommand);
  ASSERT_TRUE(app_.ChooseFile("Send File", path));
  HWND sending = app_.WaitForDialog("Sending", kSendProgress, 5000);
  ASSERT_NE(sending, nullptr) << app_.Screen(terminal);
  // A key typed meanwhile goes out between two blocks of 8 KiB, never inside one.
  ASSERT_TRUE(app_.Type(terminal, TypeText("7")));
  std::string received = cable.Read(bytes.size() + 1, 30000);
  ASSERT_EQ(received.size(), bytes.size() + 1);
  size_t key = 0;
  while (key < bytes.size() && received[key] == bytes[key]) key++;
  EXPECT_EQ(received[key], '7');
  EXPECT_EQ(key % 8192, 0u) << "the key went out inside a block";
  received.erase(key, 1);
  EXPECT_TRUE(received == bytes) << "the bytes differ";
  EXPECT_TRUE(WaitUntil(
      [&] { return !IsWindow(sending) || SendMessageA(GetDlgItem(sending, kSendProgress), kProgressPosition, 0, 0) == 1000; },
      3000));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(sending); }, 5000)) << "the Sending dialog stayed";
  EXPECT_TRUE(app_.WaitForScreen(terminal, "<Sent random.bin: 1048576 bytes in ", 3000)) << app_.Screen(terminal);

  // Cancelled while the far end reads nothing: the write in flight is
  // cancelled, fewer bytes arrive, and nothing more after.
  app_.Command(kSendFileCommand);
  ASSERT_TRUE(app_.ChooseFile("Send File", path));
  sending = app_.WaitForDialog("Sending", kSendProgress, 5000);
  ASSERT_NE(sending, nullptr);
  // The cable's buffers fill and the writer waits: the count holds still.
  ASSERT_TRUE(WaitUntilSteady([&] { return ControlText(sending, kSendStatus).substr(0, 20); }, 300, 8000));
  PostMessageA(sending, WM_COMMAND, kSendCancel, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(sending); }, 3000));
  const std::string part = cable.Drain(300);
  EXPECT_LT(part.size(), bytes.size());
  EXPECT_GT(part.size(), 0u);
  EXPECT_TRUE(part == bytes.substr(0, part.size())) << "what arrived is not the file's start";
  EXPECT_EQ(cable.Read(1, 200), "") << "bytes came after the cancel";
  EXPECT_TRUE(app_.WaitForScreen(terminal, "<Send cancelled after ", 3000)) << app_.Screen(terminal);
  EXPECT_EQ(boxes_->Texts().size(), 1u) << boxes_->Texts().back();

  // A file that cannot be read (held open by another program): a box with
  // the system's reason, and nothing goes out.
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  app_.Command(kSendFileCommand);
  ASSERT_TRUE(app_.ChooseFile("Send File", path));
  ASSERT_TRUE(boxes_->WaitFor(2, 5000));
  CloseHandle(held);
  EXPECT_EQ(boxes_->Texts().back().rfind("Cannot read " + path + ":", 0), 0u) << boxes_->Texts().back();
  EXPECT_NE(boxes_->Texts().back().find("(error 32)"), std::string::npos) << boxes_->Texts().back();
  EXPECT_EQ(cable.Read(1, 300), "");
  EXPECT_EQ(app_.WaitForDialog("Sending", kSendProgress, 300), nullptr);

  // With Send Test Data on: whole patterns, the file in one piece, a pattern again.
  app_.Command(kSendTestData);
  app_.Command(kSendFileCommand);
  ASSERT_TRUE(app_.ChooseFile("Send File", path));
  const std::string pattern = ExpectedTestPattern();
  std::string wire;
  size_t file = std::string::npos;
  WaitUntil([&] {
    wire += cable.Read(SIZE_MAX, 0);
    if (file == std::string::npos) file = wire.find(bytes);
    return file != std::string::npos && wire.size() >= file + bytes.size() + pattern.size();
  }, 30000);
  ASSERT_TRUE(app_.Send(kSendTestData));
  cable.Drain(300);
  ASSERT_NE(file, std::string::npos) << "the file is not in one piece among " << wire.size() << " bytes";
  for (size_t at = 0; at <= file + bytes.size(); at += at == file ? bytes.size() : pattern.size())
    ASSERT_EQ(wire.compare(at, at == file ? bytes.size() : pattern.size(), at == file ? bytes : pattern), 0) << at;
}

TEST_F(PlixExe, DrawsFiveLampsAndAnswersClicks) {
  DWORD opened = GetTickCount();
  HWND first = OpenFromMenu(port_);
  HWND second = OpenFromMenu(far_);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  app_.Command(203);  // tiled, so both are fully visible
  ASSERT_TRUE(boxes_->WaitFor(2, 5000));
  ASSERT_TRUE(Settled());

  // Wine cannot read the modem lines: inputs dark; RTS and DTR are set at start.
  const bool atStart[5] = {false, false, false, true, true};
  for (HWND terminal : {first, second}) {
    // Repainted where the boxes were.
    EXPECT_TRUE(WaitUntil([&] { return CompareLamps(terminal, atStart).empty(); }, 3000));
    Capture shown;
    ASSERT_TRUE(CaptureClient(terminal, &shown));
    EXPECT_GT(CountInLamp(shown, kLamps[3], kLit), 150) << "RTS not green";
    EXPECT_GT(CountInLamp(shown, kLamps[4], kLit), 150) << "DTR not green";
    for (int i = 0; i < 3; ++i) {
      EXPECT_GT(CountInLamp(shown, kLamps[i], kUnlit), 100) << kLamps[i].name << " not grey";
      EXPECT_EQ(CountInLamp(shown, kLamps[i], kLit), 0) << kLamps[i].name << " has green";
    }
    // No sixth lamp: where LOOP would stand is background.
    int drawn = 0;
    for (int y = 0; y < 18; ++y)
      for (int x = 158; x < 205; ++x) drawn += shown.At(x, y) != GetSysColor(COLOR_WINDOW) ? 1 : 0;
    EXPECT_EQ(drawn, 0) << "something is drawn where LOOP would be";
    EXPECT_EQ(CompareLamps(terminal, atStart), "") << PlixApp::Title(terminal);
  }

  // Inputs cannot be switched: either button says so.
  Click(first, 20, 8);
  ASSERT_TRUE(boxes_->WaitFor(3, 3000));
  Click(first, 50, 12, true);
  ASSERT_TRUE(boxes_->WaitFor(4, 3000));
  Click(first, 79, 2);
  ASSERT_TRUE(boxes_->WaitFor(5, 3000));
  // Below the lamps, between CD and RTS, on a lamp's left edge, and where LOOP would be: nothing.
  for (POINT p : {POINT{20, 16}, POINT{92, 8}, POINT{69, 8}, POINT{180, 8}}) Click(first, p.x, p.y);
  ASSERT_TRUE(Settled());
  std::vector<std::string> texts = boxes_->Texts();
  ASSERT_EQ(texts.size(), 5u) << texts.back();
  for (size_t i = 2; i < 5; ++i) EXPECT_EQ(texts[i], kInputsBox);
  EXPECT_EQ(CompareLamps(first, atStart), "");

  // RTS and DTR switch on a click (Wine refuses the line change; the lamp follows the request).
  Click(first, 110, 8);
  const bool rtsOff[5] = {false, false, false, false, true};
  EXPECT_TRUE(WaitUntil([&] { return CompareLamps(first, rtsOff).empty(); }, 2000)) << CompareLamps(first, rtsOff);
  Click(first, 140, 8);
  const bool bothOff[5] = {false, false, false, false, false};
  EXPECT_TRUE(WaitUntil([&] { return CompareLamps(first, bothOff).empty(); }, 2000)) << CompareLamps(first, bothOff);
  EXPECT_EQ(CompareLamps(second, atStart), "") << "the other port's lamps changed";
  Click(first, 110, 8);
  Click(first, 140, 8);
  EXPECT_TRUE(WaitUntil([&] { return CompareLamps(first, atStart).empty(); }, 2000)) << CompareLamps(first, atStart);

  // The modem status failure: once per port, also after many more ticks.
  while (GetTickCount() - opened < 3500) Sleep(100);
  texts = boxes_->Texts();
  EXPECT_EQ(Count(texts, kModemBox), 2u);
  EXPECT_EQ(texts.size(), 5u);
}

// --- Window arrangement and ending -------------------------------------------

RECT InClient(HWND window, HWND client) {
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, client, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string Show(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

TEST_F(PlixExe, ArrangesByKeysClosesAllAndEndsCleanly) {
  HWND first = OpenFromMenu(port_);
  HWND second = OpenFromMenu(far_);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(boxes_->WaitFor(2, 5000));
  RECT area;
  GetClientRect(app_.client(), &area);
  auto tiled = [&] {
    RECT a = InClient(first, app_.client()), b = InClient(second, app_.client()), both;
    bool overlap = IntersectRect(&both, &a, &b);
    long areaSum = (a.right - a.left) * (a.bottom - a.top) + (b.right - b.left) * (b.bottom - b.top);
    UnionRect(&both, &a, &b);
    // Side by side (the vertical tiling), together filling the client area.
    bool fullHeight = a.top == 0 && b.top == 0 && a.bottom == area.bottom && b.bottom == area.bottom;
    return fullHeight && !overlap && EqualRect(&both, &area) && areaSum == area.right * area.bottom;
  };
  auto cascaded = [&] {
    RECT a = InClient(first, app_.client()), b = InClient(second, app_.client());
    int dx = a.left - b.left, dy = a.top - b.top;
    if (dx < 0) dx = -dx, dy = -dy;
    RECT both;
    return dx > 0 && dx == dy && a.right - a.left == b.right - b.left && a.bottom - a.top == b.bottom - b.top &&
           IntersectRect(&both, &a, &b) && (a.left == 0 || b.left == 0);
  };
  ASSERT_FALSE(tiled()) << "already tiled at start";

  ASSERT_TRUE(app_.Type(first, {KeyTap(VK_F4, true)}));
  EXPECT_TRUE(WaitUntil(tiled, 3000)) << "Shift+F4 did not tile: " << Show(InClient(first, app_.client())) << " "
                                      << Show(InClient(second, app_.client())) << " in " << Show(area);
  ASSERT_TRUE(app_.Type(first, {KeyTap(VK_F5, true)}));
  EXPECT_TRUE(WaitUntil(cascaded, 3000)) << "Shift+F5 did not cascade: " << Show(InClient(first, app_.client()))
                                         << " " << Show(InClient(second, app_.client()));
  ASSERT_TRUE(app_.Type(first, {KeyTap(VK_F4, true)}));
  EXPECT_TRUE(WaitUntil(tiled, 3000)) << "Shift+F4 did not tile again";

  // Close All closes every window; the program runs on.
  app_.Command(kCloseAll);
  EXPECT_TRUE(WaitUntil([&] { return app_.Terminals().empty(); }, 3000)) << app_.Terminals().size() << " left";
  EXPECT_TRUE(app_.Running());

  // Closing the frame with two ports open ends the program with 0.
  ASSERT_NE(OpenFromMenu(port_), nullptr);
  ASSERT_NE(OpenFromMenu(far_), nullptr);
  ASSERT_TRUE(boxes_->WaitFor(4, 5000));
  EXPECT_EQ(app_.CloseAndWait(10000), 0u);
  EXPECT_FALSE(app_.Running());
  EXPECT_EQ(Count(boxes_->Texts(), kModemBox), 4u);

  // The ports are free again.
  std::string path = "\\\\.\\" + port_;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

}  // namespace

// --- Version ---------------------------------------------------------------------

namespace {
// A string of the exe's version resource, in its first language and code page.
std::string VersionString(const std::string& exe, const char* name) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  if (size == 0) return "(no version resource)";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(exe.c_str(), 0, size, data.data())) return "(unreadable)";
  struct Translation {
    WORD language, codePage;
  };
  Translation* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof *translation)
    return "(no translation)";
  char path[96];
  std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage,
                name);
  char* text = nullptr;
  if (!VerQueryValueA(data.data(), path, reinterpret_cast<void**>(&text), &length) || text == nullptr)
    return std::string("(no ") + name + ")";
  return std::string(text, strnlen(text, length));
}
}  // namespace

TEST_F(PlixExe, CarriesTheBuildsVersionInItsResourceAndAboutBox) {
  const std::string exe = FullPath(EnvOr("PLIX_EXE", "build\\win64\\plix32.exe"));
  // The header the build made from CMake's project version, as the program's own build did.
  EXPECT_EQ(VersionString(exe, "FileVersion"), PLIX_FILE_VERSION);
  EXPECT_EQ(VersionString(exe, "ProductVersion"), PLIX_PRODUCT_VERSION);
  EXPECT_EQ(VersionString(exe, "ProductName"), "Plix32");
  EXPECT_NE(VersionString(exe, "LegalCopyright").find("MIT License"), std::string::npos);
  EXPECT_NE(VersionString(exe, "FileDescription").find("Plix32"), std::string::npos);

  app_.Command(207);  // Help > About
  ASSERT_TRUE(boxes_->WaitFor(1, 5000));
  EXPECT_EQ(boxes_->Texts()[0],
            std::string("Plix32 - serial port test terminal\nOstrel Corp.\nVersion ") + PLIX_PRODUCT_VERSION);
}
