// Log To File, Hex Dump and Time Stamps of the real program under Wine, on
// the socat cable COM5 <-> COM6: the log file read back and its times
// compared with when the bytes were sent, the dump rows read from the
// program's memory and from the window's pixels, the row stamps against the
// clock of this process.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dialogs/dialog_ids.h"
#include "plix_app.h"
#include "program_test.h"

namespace {

constexpr int kClose = 200, kCloseAll = 206, kPortSettings = 214, kClearScreen = 216, kSetXon = 218, kLogToFile = 229,
              kTimeStamps = 230, kHexDump = 231;
// The Control command whose notice the tests look for is Escape(SETXON):
// SETXOFF would stop the pseudo-terminal's output until an XON, and keep it
// stopped for the tests that run after this one on the same cable.
constexpr int kDayMs = 86400000;

// A received byte as the terminal and the log spell it: CR and LF by name,
// other bytes below 20H or above 80H as "<%xH>", the rest as themselves.
// The bytes of a literal, NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string Spelled(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    if (b == '\r') {
      out += "<CR>";
    } else if (b == '\n') {
      out += "<LF>";
    } else if (b < 0x20 || b > 0x80) {
      char marker[8];
      std::snprintf(marker, sizeof marker, "<%xH>", b);
      out += marker;
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

int MsOfDay(const SYSTEMTIME& t) {
  return ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

SYSTEMTIME LocalNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return t;
}

// b - a in milliseconds, for two times of day less than half a day apart.
int Between(int a, int b) { return ((b - a) % kDayMs + kDayMs + kDayMs / 2) % kDayMs - kDayMs / 2; }

// "hh:mm:ss.mmm" at `text` as milliseconds of the day; -1 if malformed.
int ParseClock(const std::string& text, size_t at) {
  int h, m, s, ms;
  char tail;
  if (text.size() < at + 12 || text[at + 2] != ':' || text[at + 5] != ':' || text[at + 8] != '.') return -1;
  if (std::sscanf(text.substr(at, 12).c_str(), "%2d:%2d:%2d.%3d%c", &h, &m, &s, &ms, &tail) != 4) return -1;
  for (size_t i : {0, 1, 3, 4, 6, 7, 9, 10, 11})
    if (text[at + i] < '0' || text[at + i] > '9') return -1;
  if (h > 23 || m > 59 || s > 59) return -1;
  return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

// A line as the log states it: "9600,8,N,1 RTS=on DTR=on".
std::string DescribeDcb(const DCB& d) {
  const char* control[] = {"off", "on", "handshake", "toggle"};
  const char* stop[] = {"1", "1.5", "2", "?"};
  char text[96];
  std::snprintf(text, sizeof text, "%lu,%d,%c,%s RTS=%s DTR=%s", static_cast<unsigned long>(d.BaudRate),
                d.ByteSize, d.Parity <= 4 ? "NOEMS"[d.Parity] : '?', stop[d.StopBits <= 2 ? d.StopBits : 3],
                control[d.fRtsControl & 3], control[d.fDtrControl & 3]);
  return text;
}

// The line of a port as the driver reports it, through a handle of our own
// (Wine lets a second handle open a pseudo-terminal's port).
bool ReadLine(const std::string& com, DCB* out) {
  HANDLE h = CreateFileA(("\\\\.\\" + com).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  *out = DCB{};
  out->DCBlength = sizeof *out;
  const bool ok = GetCommState(h, out) != FALSE;
  CloseHandle(h);
  return ok;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class Log : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    dir_ = workdir_ + "\\log";
    CreateDirectoryA(dir_.c_str(), nullptr);
    DeleteFileA(LogPath().c_str());
    StartIn(dir_);
  }

  std::string LogPath() const { return dir_ + "\\k" + port_.substr(1) + ".log"; }

  // Opens COM5; the modem status box of the pseudo-terminal is answered.
  HWND Open() {
    HWND terminal = OpenFromMenu(port_);
    if (terminal != nullptr) {
      EXPECT_TRUE(boxes_->WaitFor(1, 3000));
    }
    return terminal;
  }
  // COM5 open with an empty screen and Hex Dump on; null if any step failed.
  HWND OpenDumping() {
    HWND terminal = Open();
    if (terminal == nullptr || !app_.Send(kClearScreen) || !app_.Send(kHexDump)) return nullptr;
    return terminal;
  }

  // The rows that hold something, oldest first.
  std::vector<std::string> Filled(HWND terminal) const {
    std::vector<std::string> out;
    for (const std::string& row : app_.Rows(terminal))
      if (!row.empty()) out.push_back(row);
    return out;
  }

  std::string dir_;
};

// --- Log To File --------------------------------------------------------------

struct Entry {
  std::string date;  // "2026-12-10"
  int ms;            // of the day
  std::string port, kind, text;
  bool hasText;
};

// Splits the log into entries; each line must be "YYYY-MM-DD hh:mm:ss.mmm
// PORT KIND[ TEXT]" ended by CR LF. Adds a failure for any line that is not,
// unless `partial`: a file read while the program writes it may end in the
// middle of a line.
std::vector<Entry> ParseLog(const std::string& log, bool partial = false) {
  std::vector<Entry> out;
  size_t at = 0;
  while (at < log.size()) {
    const size_t end = log.find("\r\n", at);
    if (end == std::string::npos) {
      if (!partial) ADD_FAILURE() << "the log ends without CR LF: [" << log.substr(at) << "]";
      break;
    }
    const std::string line = log.substr(at, end - at);
    at = end + 2;
    Entry e;
    int y, mo, d;
    const bool dateOk = line.size() > 24 && std::sscanf(line.c_str(), "%4d-%2d-%2d", &y, &mo, &d) == 3 &&
                        line[4] == '-' && line[7] == '-' && line[10] == ' ' && line[23] == ' ';
    e.ms = dateOk ? ParseClock(line, 11) : -1;
    if (e.ms < 0 || line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) {
      if (!partial) ADD_FAILURE() << "not a log line: [" << line << "]";
      continue;
    }
    e.date = line.substr(0, 10);
    const size_t portEnd = line.find(' ', 24);
    e.port = line.substr(24, portEnd - 24);
    const size_t kindEnd = portEnd == std::string::npos ? std::string::npos : line.find(' ', portEnd + 1);
    e.kind = portEnd == std::string::npos ? "" : line.substr(portEnd + 1, kindEnd - portEnd - 1);
    e.hasText = kindEnd != std::string::npos;
    e.text = e.hasText ? line.substr(kindEnd + 1) : "";
    out.push_back(e);
  }
  return out;
}

TEST_F(Log, WritesEachEntryWithItsTimeFromOpenToClose) {
  ASSERT_TRUE(app_.Send(kLogToFile));
  HWND terminal = Open();
  ASSERT_NE(terminal, nullptr);
  DCB opened;
  ASSERT_TRUE(ReadLine(port_, &opened)) << GetLastError();
  ASSERT_NE(opened.BaudRate, 19200u) << "the port opened at the rate set later: the SET would change nothing";
  FarEnd cable(far_);
  ASSERT_TRUE(cable.ok()) << cable.error();

  // Three bursts a second apart, with line ends, control and high bytes.
  const std::string bursts[] = {
      Bytes("first burst\r\n"),
      Bytes("second\x00\x1b[7m\x7f\x80\x81 burst\r\n"),
      Bytes("\xff third\x07\r\n\r\n"),
  };
  int sentAt[3];
  SYSTEMTIME sentDay = {};
  std::string spelledSoFar;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) Sleep(1000);
    sentDay = LocalNow();
    sentAt[i] = MsOfDay(sentDay);
    ASSERT_TRUE(cable.Write(bursts[i]));
    spelledSoFar += Spelled(bursts[i]);
    // In the file while the port is still open: it is written pass by pass.
    EXPECT_TRUE(WaitUntil(
        [&] {
          std::string rx;
          for (const Entry& e : ParseLog(ReadFile(LogPath()), true))
            if (e.kind == "RX") rx += e.text;
          return rx == spelledSoFar;
        },
        2000))
        << "burst " << i << " is not in the log:\n"
        << ReadFile(LogPath());
  }

  // Typed keys, a new baud rate, a Control command, and the close.
  ASSERT_TRUE(app_.Type(terminal, {KeyTap('Q', true), KeyTap(VK_RETURN)}));
  EXPECT_EQ(cable.Read(2, 3000), "Q\r");
  app_.Command(kPortSettings);
  HWND dialog = app_.WaitForDialog("Communication Settings", IDC_FLOWCONTROL, 5000);
  ASSERT_NE(dialog, nullptr) << "Port Settings did not open";
  ASSERT_TRUE(SelectListEntry(dialog, IDC_BAUDRATE, "19200"));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000)) << "OK did not close Port Settings";
  ASSERT_TRUE(app_.Send(kSetXon));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "<SETXON set>", 3000)) << app_.Screen(terminal);
  ASSERT_TRUE(Settled());
  app_.Command(kClose);
  ASSERT_TRUE(WaitUntil([&] { return app_.Terminals().empty(); }, 3000)) << "Close left the window open";
  ASSERT_TRUE(Settled());

  const std::string log = ReadFile(LogPath());
  std::printf("log: %s\n", log.c_str());
  const std::vector<Entry> entries = ParseLog(log);
  ASSERT_GE(entries.size(), 2u) << log;

  // Every entry of this port and today, in the order of time.
  char today[16];
  std::snprintf(today, sizeof today, "%04d-%02d-%02d", sentDay.wYear, sentDay.wMonth, sentDay.wDay);
  std::vector<std::string> runs;  // the kinds, a run of one kind once: a burst may come in several reads
  std::string rx;
  std::vector<const Entry*> rxEntries;
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    EXPECT_EQ(e.port, port_) << "entry " << i;
    EXPECT_EQ(e.date, today) << "entry " << i;
    if (i > 0) {
      EXPECT_GE(Between(entries[i - 1].ms, e.ms), 0) << "entry " << i << " is older than the one before";
    }
    if (runs.empty() || runs.back() != e.kind) runs.push_back(e.kind);
    if (e.kind == "RX") {
      rx += e.text;
      rxEntries.push_back(&e);
    }
  }
  EXPECT_EQ(runs, (std::vector<std::string>{"OPEN", "RX", "TX", "SET", "NOTE", "CLOSE"})) << log;

  // OPEN with the line as read at open; CLOSE without text.
  EXPECT_EQ(entries.front().kind, "OPEN");
  EXPECT_EQ(entries.front().text, DescribeDcb(opened));
  EXPECT_EQ(entries.back().kind, "CLOSE");
  EXPECT_FALSE(entries.back().hasText) << "[" << entries.back().text << "]";

  // The received bytes, spelled, in order and complete.
  EXPECT_EQ(rx, spelledSoFar);
  // Each burst starts an RX entry; its time follows the time it was sent.
  size_t offset = 0;
  int loggedAt[3] = {-1, -1, -1};
  for (int i = 0; i < 3; ++i) {
    size_t joined = 0;
    for (const Entry* e : rxEntries) {
      if (joined == offset) loggedAt[i] = e->ms;
      joined += e->text.size();
    }
    ASSERT_GE(loggedAt[i], 0) << "no RX entry starts with burst " << i;
    const int late = Between(sentAt[i], loggedAt[i]);
    std::printf("log: burst %d sent at %d ms of the day, logged %d ms later\n", i, sentAt[i], late);
    EXPECT_GE(late, -300) << "burst " << i;
    EXPECT_LE(late, 300) << "burst " << i;
    if (i > 0) {
      const int sentGap = Between(sentAt[i - 1], sentAt[i]), loggedGap = Between(loggedAt[i - 1], loggedAt[i]);
      EXPECT_NEAR(loggedGap, sentGap, 300) << "between bursts " << i - 1 << " and " << i;
    }
    offset += Spelled(bursts[i]).size();
  }

  // The keys typed, the setting and the notice as they were shown.
  std::vector<std::string> tx, set, note;
  for (const Entry& e : entries) {
    if (e.kind == "TX") tx.push_back(e.text);
    if (e.kind == "SET") set.push_back(e.text);
    if (e.kind == "NOTE") note.push_back(e.text);
  }
  EXPECT_EQ(tx, (std::vector<std::string>{"Q", "<CR>"}));
  // Port Settings keeps the byte size, parity and stop bits and raises RTS and DTR.
  DCB changed = opened;
  changed.BaudRate = 19200;
  changed.fRtsControl = RTS_CONTROL_ENABLE;
  changed.fDtrControl = DTR_CONTROL_ENABLE;
  EXPECT_EQ(set, std::vector<std::string>{DescribeDcb(changed)});
  EXPECT_EQ(set, std::vector<std::string>{"19200,8,N,1 RTS=on DTR=on"});
  EXPECT_EQ(note, std::vector<std::string>{"<SETXON set>"});
}

TEST_F(Log, SwitchedOffItWritesNothingMoreAndSwitchedOnAgainItAppends) {
  HWND terminal = Open();
  ASSERT_NE(terminal, nullptr);
  FarEnd cable(far_);
  ASSERT_TRUE(cable.ok()) << cable.error();
  ASSERT_TRUE(cable.Write("not logged 1\r\n"));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "not logged 1", 3000));
  ASSERT_TRUE(app_.Send(kLogToFile));
  ASSERT_TRUE(cable.Write("logged\r\n"));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "logged", 3000));
  EXPECT_TRUE(WaitUntil([&] { return ReadFile(LogPath()).find("RX logged<CR><LF>\r\n") != std::string::npos; }, 2000))
      << ReadFile(LogPath());
  ASSERT_TRUE(app_.Send(kLogToFile));
  ASSERT_TRUE(cable.Write("not logged 2\r\n"));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "not logged 2", 3000));
  ASSERT_TRUE(Settled());
  app_.Command(kClose);
  ASSERT_TRUE(WaitUntil([&] { return app_.Terminals().empty(); }, 3000));
  ASSERT_TRUE(Settled());
  // Opened while it was off: no OPEN; closed while off: no CLOSE.
  const std::vector<Entry> entries = ParseLog(ReadFile(LogPath()));
  ASSERT_EQ(entries.size(), 1u) << ReadFile(LogPath());
  EXPECT_EQ(entries[0].kind, "RX");
  EXPECT_EQ(entries[0].text, "logged<CR><LF>");
}

TEST_F(Log, EachPortWritesItsOwnFile) {
  const std::string farLog = dir_ + "\\k" + far_.substr(1) + ".log";
  DeleteFileA(farLog.c_str());
  ASSERT_TRUE(app_.Send(kLogToFile));
  HWND first = OpenFromMenu(port_);
  HWND second = OpenFromMenu(far_);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(boxes_->WaitFor(2, 5000));
  // Typed at COM5, received by COM6 over the cable.
  ASSERT_TRUE(app_.Type(first, TypeText("hi")));
  ASSERT_TRUE(app_.WaitForScreen(second, "hi", 3000)) << app_.Screen(second);
  ASSERT_TRUE(app_.Send(kCloseAll));
  ASSERT_TRUE(WaitUntil([&] { return app_.Terminals().empty(); }, 3000));
  ASSERT_TRUE(Settled());

  // Each file: the port's own name on every entry, OPEN first, CLOSE last,
  // and between them what that port did (two bytes may come in one read or two).
  auto kinds = [](const std::vector<Entry>& entries, const std::string& port, std::string* texts) {
    std::vector<std::string> runs;
    for (const Entry& e : entries) {
      EXPECT_EQ(e.port, port);
      if (runs.empty() || runs.back() != e.kind) runs.push_back(e.kind);
      if (e.kind == "TX" || e.kind == "RX") *texts += e.text + "|";
    }
    return runs;
  };
  std::string typed, received;
  EXPECT_EQ(kinds(ParseLog(ReadFile(LogPath())), port_, &typed),
            (std::vector<std::string>{"OPEN", "TX", "CLOSE"}))
      << ReadFile(LogPath());
  EXPECT_EQ(typed, "h|i|");
  EXPECT_EQ(kinds(ParseLog(ReadFile(farLog)), far_, &received), (std::vector<std::string>{"OPEN", "RX", "CLOSE"}))
      << ReadFile(farLog);
  EXPECT_TRUE(received == "hi|" || received == "h|i|") << received;
}

// --- Hex Dump -----------------------------------------------------------------

// A dump row as it must read: offset, 16 hex slots, two spaces, characters.
std::string DumpRow(unsigned offset, const std::string& bytes) {
  char text[96];
  int n = std::snprintf(text, sizeof text, "%08X ", offset);
  std::string out(text, static_cast<size_t>(n));
  for (size_t i = 0; i < 16; ++i) {
    if (i < bytes.size()) {
      std::snprintf(text, sizeof text, " %02X", static_cast<unsigned char>(bytes[i]));
      out += text;
    } else {
      out += "   ";
    }
  }
  out += "  ";
  for (unsigned char b : bytes) out += (b < 0x20 || b > 0x7e) ? '.' : static_cast<char>(b);
  return out;
}

std::vector<std::string> DumpRows(unsigned offset, const std::string& bytes) {
  std::vector<std::string> out;
  for (size_t at = 0; at < bytes.size(); at += 16) out.push_back(DumpRow(offset + at, bytes.substr(at, 16)));
  return out;
}

// Pixels of the terminal's text lines that differ from a drawing of `rows`
// (oldest first, the current row last): each line of the window shows the
// row that stands as far above the current one. "" if all are equal.
// A Hex Dump row: 8 hexadecimal digits, two spaces, and the rest of the
// layout (no text these tests send or show looks like that).
bool IsDumpRow(const std::string& row) {
  if (row.size() < 59 || row.compare(8, 2, "  ") != 0) return false;
  for (int i = 0; i < 8; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(row[static_cast<size_t>(i)]))) return false;
  return true;
}

std::string CompareLines(HWND terminal, const std::vector<std::string>& rows) {
  Capture shown;
  if (!CaptureClient(terminal, &shown)) return "cannot capture the window";
  const int lines = shown.height / 14 - 1;
  if (lines < 1 || rows.empty()) return "no lines";
  std::vector<std::string> drawn;
  std::vector<bool> dump;
  const int count = static_cast<int>(rows.size());
  for (int line = 1; line <= lines; ++line) {
    drawn.push_back(rows[static_cast<size_t>(((count - 1 - (lines - line)) % count + count) % count)]);
    dump.push_back(IsDumpRow(drawn.back()));
  }
  const Capture want = ReferenceLines(drawn, 18, shown.width, shown.height, dump);
  int black = 0;
  for (uint32_t pixel : want.pixels) black += pixel == 0;
  if (black == 0) return "the reference shows no text";
  int differing = 0;
  std::string first;
  // From x 10, where the bands start, down to the end of the bottom band.
  for (int y = 18; y < 18 + 14 * lines && y < shown.height; ++y)
    for (int x = 10; x < shown.width; ++x)
      if (shown.At(x, y) != want.At(x, y) && differing++ == 0)
        first = "first at (" + std::to_string(x) + "," + std::to_string(y) + "), on the line showing \"" +
                drawn[static_cast<size_t>((y - 18) / 14)] + "\"";
  return differing == 0 ? "" : std::to_string(differing) + " pixels differ, " + first;
}

TEST_F(Log, HexDumpShowsSixteenBytesARowWithNoticesOnRowsOfTheirOwn) {
  HWND terminal = OpenDumping();
  ASSERT_NE(terminal, nullptr);
  FarEnd cable(far_);
  ASSERT_TRUE(cable.ok()) << cable.error();

  // 40 bytes in two writes; the first ends 4 bytes into the second row.
  const std::string data = Bytes("Hello\r\n\x00\x7f\x80\xff" "ABCDEFGHI" "jklmnopqrstuvwxyz~ 0");
  ASSERT_EQ(data.size(), 40u);
  ASSERT_TRUE(cable.Write(data.substr(0, 20)));
  std::vector<std::string> want = DumpRows(0, data.substr(0, 20));
  EXPECT_TRUE(WaitUntil([&] { return Filled(terminal) == want; }, 3000));
  EXPECT_EQ(Filled(terminal), want);
  ASSERT_TRUE(cable.Write(data.substr(20)));
  want = DumpRows(0, data);
  ASSERT_EQ(want.size(), 3u);
  EXPECT_TRUE(WaitUntil([&] { return Filled(terminal) == want; }, 3000));
  EXPECT_EQ(Filled(terminal), want);
  // The rows the issue names: full and partial keep the columns in place.
  EXPECT_EQ(want[0], "00000000  48 65 6C 6C 6F 0D 0A 00 7F 80 FF 41 42 43 44 45  Hello......ABCDE");
  EXPECT_EQ(want[2].size(), 67u);  // the char column starts at 59 in a partial row too

  // A notice between: a row of its own, the dump goes on at its offset.
  ASSERT_TRUE(app_.Send(kSetXon));
  const std::string more = "\x01\x02 more \xfe\r\n";
  ASSERT_TRUE(cable.Write(more));
  want.push_back("<SETXON set>");
  want.push_back(DumpRow(40, more));
  EXPECT_TRUE(WaitUntil([&] { return Filled(terminal) == want; }, 3000));
  EXPECT_EQ(Filled(terminal), want);

  // Switched off, then on: each starts a new row, and on the offsets start at 0.
  ASSERT_TRUE(app_.Send(kHexDump));
  ASSERT_TRUE(cable.Write("plain"));
  want.push_back("plain");
  EXPECT_TRUE(WaitUntil([&] { return Filled(terminal) == want; }, 3000));
  EXPECT_EQ(Filled(terminal), want);
  ASSERT_TRUE(app_.Send(kHexDump));
  ASSERT_TRUE(cable.Write("AB\r"));
  want.push_back(DumpRow(0, "AB\r"));
  EXPECT_TRUE(WaitUntil([&] { return Filled(terminal) == want; }, 3000));
  const std::vector<std::string> rows = app_.Rows(terminal);
  EXPECT_EQ(Filled(terminal), want);
  ASSERT_EQ(rows.size(), 35u);
  EXPECT_EQ(rows.back(), want.back()) << "the dump's open row is not the current row";

  // The window shows them, pixel for pixel.
  std::string difference;
  EXPECT_TRUE(WaitUntil([&] { return (difference = CompareLines(terminal, app_.Rows(terminal))).empty(); }, 3000))
      << difference;
  Capture shown;
  ASSERT_TRUE(CaptureClient(terminal, &shown));
  ASSERT_GE(shown.height / 14 - 1, static_cast<int>(want.size())) << "the window shows too few lines";
  std::printf("hex: %d lines shown, dump rows:\n", shown.height / 14 - 1);
  for (const std::string& row : want) std::printf("  %s\n", row.c_str());
}

// Where column `column` of a dump row begins on screen, in pixels from the
// row's left end, in the font the terminal draws dump rows with.
int ColumnX(const std::string& text, size_t column) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = TerminalFont(true);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(std::min(column, text.size())), &size);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  return size.cx;
}

// The dump's columns are laid out in characters; on screen they line up only
// if every character is as wide as every other (in the system font the
// character column of a partial row began 96 pixels left of a full row's).
// The rows are checked against a drawing in the terminal's fonts first, so
// the widths measured in the dump rows' font are the ones on screen.
TEST_F(Log, HexDumpColumnsLineUpOnScreen) {
  HWND terminal = OpenDumping();
  ASSERT_NE(terminal, nullptr);
  FarEnd cable(far_);
  ASSERT_TRUE(cable.ok()) << cable.error();
  const std::string data = Bytes("\x11\x11\x11\x11\x11\x11\x11\x11\x11\x11\x11\x11\x11\x11\x11\x11"
                                 "\xDD\xDD\xDD\xDD\xDD\xDD\xDD\xDD\xDD\xDD\xDD\xDD\xDD\xDD\xDD\xDD" "WWWW");
  ASSERT_TRUE(cable.Write(data));
  const std::vector<std::string> want = DumpRows(0, data);
  ASSERT_TRUE(WaitUntil([&] { return Filled(terminal) == want; }, 3000)) << app_.Screen(terminal);
  std::string difference;
  ASSERT_TRUE(WaitUntil([&] { return (difference = CompareLines(terminal, app_.Rows(terminal))).empty(); }, 3000))
      << difference;
  // The character column begins at column 59 of every dump row.
  for (const std::string& row : want) {
    EXPECT_EQ(ColumnX(row, 59), ColumnX(want[0], 59))
        << "the character column of \"" << row << "\" begins " << ColumnX(row, 59) - ColumnX(want[0], 59)
        << " pixels from that of \"" << want[0] << "\"";
  }
}

// --- Time Stamps ----------------------------------------------------------------

TEST_F(Log, TimeStampsBeginEachRowOfDataOrNoticesWithTheTimeItCame) {
  ASSERT_TRUE(app_.Send(kTimeStamps));
  HWND terminal = Open();
  ASSERT_NE(terminal, nullptr);
  FarEnd cable(far_);
  ASSERT_TRUE(cable.ok()) << cable.error();
  // The notice at open is stamped too.
  ASSERT_TRUE(WaitUntil([&] { return !Filled(terminal).empty(); }, 3000));
  EXPECT_EQ(Filled(terminal)[0].substr(std::min<size_t>(15, Filled(terminal)[0].size())), "<Port Opened>");
  EXPECT_GE(ParseClock(Filled(terminal)[0], 1), 0) << Filled(terminal)[0];
  ASSERT_TRUE(app_.Send(kClearScreen));

  // Each step: what is sent, and the rows it must leave without their stamps.
  const std::string digits = "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789";
  struct Step {
    std::string bytes;
    int control;                    // a Control command instead of bytes
    std::vector<std::string> rows;  // none: the bytes go on at the end of the last row
  };
  const Step steps[] = {
      {"alpha\r\n", 0, {"alpha"}},
      // 100 characters: 65 after the stamp, the rest on a stamped row of its own.
      {digits + "\r\n", 0, {digits.substr(0, 65), digits.substr(65)}},
      // A CR returns to just after the stamp.
      {"abc\rX\x1b\r\n", 0, {"X<1bH>"}},
      {"", kSetXon, {"<SETXON set>"}},
      // A notice does not end its row: what comes next follows it.
      {"omega", 0, {}},
      {"\r\nlast", 0, {"last"}},
  };
  std::vector<std::string> want;   // without stamps
  std::vector<int> wantAt;         // when each row's bytes were sent, ms of the day
  for (const Step& step : steps) {
    const int at = MsOfDay(LocalNow());
    if (step.control != 0) {
      ASSERT_TRUE(app_.Send(step.control));
    } else {
      ASSERT_TRUE(cable.Write(step.bytes));
    }
    for (const std::string& row : step.rows) {
      want.push_back(row);
      wantAt.push_back(at);
    }
    if (step.rows.empty()) want.back() += step.bytes;
    std::vector<std::string> rows;
    EXPECT_TRUE(WaitUntil(
        [&] {
          rows = Filled(terminal);
          if (rows.size() != want.size()) return false;
          for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].size() < 15 || rows[i].substr(15) != want[i]) return false;
          return true;
        },
        3000));
    ASSERT_EQ(rows.size(), want.size()) << app_.Screen(terminal);
    for (size_t i = 0; i < rows.size(); ++i) {
      SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i]);
      ASSERT_GE(rows[i].size(), 15u);
      EXPECT_EQ(rows[i][0], '[');
      EXPECT_EQ(rows[i].substr(13, 2), "] ");
      const int stamp = ParseClock(rows[i], 1);
      ASSERT_GE(stamp, 0);
      EXPECT_LE(rows[i].size(), 80u);
      EXPECT_EQ(rows[i].substr(15), want[i]);
      EXPECT_GE(Between(wantAt[i], stamp), -300);
      EXPECT_LE(Between(wantAt[i], stamp), 300);
    }
    Sleep(250);  // the next step at another time
  }
  const std::vector<std::string> stamped = Filled(terminal);
  for (size_t i = 0; i < stamped.size(); ++i)
    std::printf("stamps: sent at %02d:%02d:%02d.%03d, row %s\n", wantAt[i] / 3600000, wantAt[i] / 60000 % 60,
                wantAt[i] / 1000 % 60, wantAt[i] % 1000, stamped[i].c_str());

  // Off: rows have no stamp.
  ASSERT_TRUE(app_.Send(kTimeStamps));
  ASSERT_TRUE(cable.Write("\r\nplain\r\n"));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "plain", 3000));
  EXPECT_EQ(Filled(terminal).back(), "plain");

  // On with Hex Dump: dump rows have no stamp, a notice between them has.
  ASSERT_TRUE(app_.Send(kTimeStamps));
  ASSERT_TRUE(app_.Send(kHexDump));
  ASSERT_TRUE(cable.Write("0123456789abcdefXY"));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "00000010  58 59", 3000)) << app_.Screen(terminal);
  ASSERT_TRUE(app_.Send(kSetXon));
  ASSERT_TRUE(cable.Write("Z"));
  ASSERT_TRUE(app_.WaitForScreen(terminal, "00000012  5A", 3000)) << app_.Screen(terminal);
  std::vector<std::string> rows = Filled(terminal);
  ASSERT_GE(rows.size(), 4u);
  rows.erase(rows.begin(), rows.end() - 4);
  EXPECT_EQ(rows[0], DumpRow(0, "0123456789abcdef"));
  EXPECT_EQ(rows[1], DumpRow(16, "XY"));
  EXPECT_EQ(rows[2].substr(std::min<size_t>(15, rows[2].size())), "<SETXON set>");
  EXPECT_GE(ParseClock(rows[2], 1), 0) << rows[2];
  EXPECT_EQ(rows[3], DumpRow(18, "Z"));
}

}  // namespace
