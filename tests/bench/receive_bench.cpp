// Benchmarks of the receive path over the fake Win32 layer: the screen
// buffer's AddText, one poll pass that takes in a tick's worth of data with
// Save To Disk on (real files in a scratch directory), and the number of GDI
// drawing calls of an incremental and of a full paint.
//
// Each benchmark also checks what it measured (the capture file equals the
// data, the paint drew what it should); a wrong result ends it with an error,
// which the console output shows as "ERROR OCCURRED".
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fake.h"
#include "fakegdi.h"
#include "port/comport.h"
#include "port/errorbox.h"
#include "port/program.h"
#include "terminal/lamps.h"
#include "terminal/view.h"

namespace {

// 120000 bytes: what 12 Mbaud (about 1.2 MB/s) brings in one 100 ms tick.
constexpr size_t kTickBytes = 120000;
constexpr size_t kTextBytes = 64 * 1024;
constexpr int kClientHeight = 504;  // 35 text lines: the whole ring, each row once

std::string Printable(size_t n) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; i++) s[i] = static_cast<char>(0x20 + (i * 7 + i / 95) % 95);
  return s;
}

// Lines of 62 printable characters, each ended by CR LF.
std::string CrLfText(size_t n) {
  std::string s = Printable(n);
  for (size_t i = 62; i + 1 < n; i += 64) {
    s[i] = '\r';
    s[i + 1] = '\n';
  }
  return s;
}

std::string RandomBytes(size_t n, unsigned seed) {
  std::string s(n, 0);
  for (auto& c : s) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  return s;
}

std::string FileText(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A clean fake layer and clean globals, as the unit tests start.
void ResetWorld() {
  fake::Reset();
  fake::ResetGdi();
  g_program = ProgramState{};
  g_program.platformId = VER_PLATFORM_WIN32_NT;
  SetErrorBoxOwner(reinterpret_cast<HWND>(0xF00));
  LayoutLamps();
}

// An open port and its window's view, kClientHeight pixels high.
struct Windowed {
  std::unique_ptr<ComPort> port;
  std::unique_ptr<TerminalView> view;
  ComPort* operator->() const { return port.get(); }
  explicit operator bool() const { return port != nullptr; }
  void Paint(bool full) const { view->Paint(*port, full); }
};

// On fake device COM1.
Windowed OpenWindowedPort() {
  if (fake::FindDevice("COM1") == nullptr) fake::AddDevice("COM1");
  Windowed w{std::make_unique<ComPort>(), std::make_unique<TerminalView>(reinterpret_cast<HWND>(0x701))};
  if (w.port->Open("COM1") != 0) return {};
  w.view->Resize(kClientHeight);
  w.port->watcher = w.view.get();
  return w;
}

// Capture files are written to the current directory: work in a scratch one.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/plix-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr || getcwd(old_, sizeof old_) == nullptr || chdir(pattern) != 0) return;
    dir_ = pattern;
  }
  ~ScratchDir() {
    if (dir_.empty()) return;
    if (chdir(old_) != 0) return;
    std::string cleanup = "rm -rf " + dir_;
    if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir_.c_str());
  }
  bool ok() const { return !dir_.empty(); }

 private:
  std::string dir_;
  char old_[4096] = {};
};

// expectedRow, when not empty: what the current row must read after the data
// has been added once to a cleared screen.
void AddTextThroughput(benchmark::State& state, const std::string& data, int showCrLf,
                       const std::string& expectedRow = {}) {
  ResetWorld();
  auto port = OpenWindowedPort();
  if (!port) {
    state.SkipWithError("port did not open");
    return;
  }
  g_program.showCrLf = showCrLf;
  for (auto _ : state) {
    port->AddText(data.data(), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(port->screen);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
  port->ClearScreen();
  port->AddText(data.data(), static_cast<int>(data.size()));
  if (!expectedRow.empty() && expectedRow != port->screen.RingRow(port->screen.CurrentIndex()).text)
    state.SkipWithError("the current row does not read as expected");
}

void BM_AddTextPrintable(benchmark::State& state) {
  std::string data = Printable(kTextBytes);
  // 65536 printable bytes fill 819 rows of 80 and leave 16 characters in the current row.
  AddTextThroughput(state, data, 0, data.substr(kTextBytes - kTextBytes % 80));
}
BENCHMARK(BM_AddTextPrintable);

void BM_AddTextCrLfShown(benchmark::State& state) {
  std::string data = CrLfText(kTextBytes);
  // The data ends in the middle of a line that follows a CR LF.
  size_t start = data.rfind('\n') + 1;
  AddTextThroughput(state, data, 1, "<LF>" + data.substr(start));
}
BENCHMARK(BM_AddTextCrLfShown);

void BM_AddTextRandomBinary(benchmark::State& state) {
  std::string data = RandomBytes(kTextBytes, 12345);
  AddTextThroughput(state, data, 0);
}
BENCHMARK(BM_AddTextRandomBinary);

// Resident memory of eight terminals whose histories are full: what eight
// ports each holding kHistoryRows rows cost. Counted from /proc/self/statm
// around filling them; reported as the counter resident_MiB.
long ResidentPages() {
  long total = 0, resident = 0;
  std::ifstream statm("/proc/self/statm");
  statm >> total >> resident;
  return resident;
}

void BM_HistoryOfEightPortsFull(benchmark::State& state) {
  const std::string row = Printable(80) + "\n";
  std::string block;
  for (int i = 0; i < 1000; i++) block += row;
  double mib = 0;
  for (auto _ : state) {
    const long before = ResidentPages();
    {
      std::vector<std::unique_ptr<ScreenBuffer>> screens;
      for (int port = 0; port < 8; port++) {
        screens.push_back(std::make_unique<ScreenBuffer>());
        for (int rows = 0; rows < kHistoryRows; rows += 1000)
          screens.back()->AddText(block.data(), static_cast<int>(block.size()), ScreenOptions{});
      }
      mib = static_cast<double>(ResidentPages() - before) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
      benchmark::DoNotOptimize(screens);
    }
  }
  state.counters["resident_MiB"] = mib;
}
BENCHMARK(BM_HistoryOfEightPortsFull)->Iterations(1)->Unit(benchmark::kMillisecond);

// The received-bytes path under the two view switches. Time Stamps: CR LF
// text with a stamp on every row; Hex Dump: random bytes as dump rows, added
// in blocks of 5000 as reads bring them, so that rows continue across calls.
void BM_AddTextTimeStamps(benchmark::State& state) {
  ResetWorld();
  auto port = OpenWindowedPort();
  if (!port) {
    state.SkipWithError("port did not open");
    return;
  }
  g_program.timeStamps = 1;
  const std::string data = CrLfText(kTextBytes);
  for (auto _ : state) {
    port->AddText(data.data(), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(port->screen);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
  // The data ends with CR LF: the row above the (empty) current one is its last line.
  const std::string row = port->screen.Row(1).text;
  if (row != "[14:03:00.000] " + data.substr(data.size() - 64, 62))
    state.SkipWithError("the last line does not read as its stamp and text");
}
BENCHMARK(BM_AddTextTimeStamps);

void BM_AddReceivedHexDump(benchmark::State& state) {
  ResetWorld();
  auto port = OpenWindowedPort();
  if (!port) {
    state.SkipWithError("port did not open");
    return;
  }
  g_program.hexDump = 1;
  const std::string data = RandomBytes(kTextBytes, 777);
  constexpr size_t kRead = 5000;
  for (auto _ : state) {
    for (size_t at = 0; at < data.size(); at += kRead)
      port->AddReceived(data.data() + at, static_cast<int>(std::min(kRead, data.size() - at)));
    benchmark::DoNotOptimize(port->screen);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
  // 65536 bytes a round: whole rows only, so the row just finished is the data's last 16 bytes.
  char want[HexDump::kRowChars + 1];
  const uint64_t offset = static_cast<uint64_t>(state.iterations()) * data.size() - 16;
  FormatHexRow(offset, reinterpret_cast<const unsigned char*>(data.data() + data.size() - 16), 16, want);
  const ScreenRow& last = port->screen.Row(1);
  if (std::strcmp(last.text, want) != 0) state.SkipWithError("the last dump row does not read as expected");
}
BENCHMARK(BM_AddReceivedHexDump);

// One PollAllPorts pass over one port that finds a tick's worth of bytes
// waiting, shows them, appends them to its capture file and paints. Each
// iteration starts from a freshly opened port whose first (lamp) paint is
// done, with an empty capture file; only the pass itself is timed.
void BM_PollPassTick(benchmark::State& state) {
  ScratchDir scratch;
  if (!scratch.ok()) {
    state.SkipWithError("no scratch directory");
    return;
  }
  const bool binary = state.range(0) == 1;
  const std::string data = binary ? RandomBytes(kTickBytes, 99) : CrLfText(kTickBytes);
  std::string error;
  size_t draws = 0, gdiCalls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ResetWorld();
    auto port = OpenWindowedPort();
    if (!port) {
      error = "port did not open";
      state.ResumeTiming();
      break;
    }
    std::remove("kOM1.txt");
    PollAllPorts();  // the first pass paints the lamps; nothing is waiting yet
    fake::Draws().clear();
    g_program.saveToDisk = 1;
    fake::FindDevice("COM1")->rx = data;
    fake::SetTickCount(1000);  // a frame after the first paint: this pass paints
    fake::Calls().clear();
    const int callsBefore = fake::GdiCalls();
    state.ResumeTiming();

    PollAllPorts();

    state.PauseTiming();
    draws += fake::Draws().size();
    gdiCalls += static_cast<size_t>(fake::GdiCalls() - callsBefore);
    // Whole blocks, then the one read that finds nothing more.
    if (fake::CallsTo("ReadFile").size() != (kTickBytes + kReadBlock - 1) / kReadBlock + 1)
      error = "not read in blocks of 64 KiB";
    else if (FileText("kOM1.txt") != data)
      error = "capture file differs from the bytes received";
    else if (!fake::Boxes().empty())
      error = "a message box was shown";
    else if (fake::DrawsOf("ExtTextOutA").empty() || port->needsRepaint != 0)
      error = "the pass did not paint";
    port = Windowed{};
    state.ResumeTiming();
    if (!error.empty()) break;
  }
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kTickBytes));
  state.counters["draw_calls"] = benchmark::Counter(static_cast<double>(draws), benchmark::Counter::kAvgIterations);
  state.counters["gdi_calls"] = benchmark::Counter(static_cast<double>(gdiCalls), benchmark::Counter::kAvgIterations);
  state.SetLabel(binary ? "random binary, Save To Disk on" : "CR/LF text, Save To Disk on");
}
BENCHMARK(BM_PollPassTick)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A screen full of text in every row, painted in full once.
Windowed PaintedFullScreen() {
  ResetWorld();
  auto port = OpenWindowedPort();
  if (!port) return {};
  std::string text = Printable(kScreenRows * 80);
  port->AddText(text.data(), static_cast<int>(text.size()));
  port->AddText("half a row", 0);
  port.Paint(true);
  fake::Draws().clear();
  return port;
}

void CountDraws(benchmark::State& state, size_t draws, size_t gdiCalls, size_t rows, size_t lamps) {
  double n = static_cast<double>(state.iterations());
  state.counters["draw_calls"] = static_cast<double>(draws) / n;
  state.counters["gdi_calls"] = static_cast<double>(gdiCalls) / n;
  state.counters["rows"] = static_cast<double>(rows) / n;
  state.counters["lamps"] = static_cast<double>(lamps) / n;
}

size_t Count(const std::string& fn) {
  size_t n = 0;
  for (const auto& d : fake::Draws()) n += d.fn == fn;
  return n;
}

// One new character in the current row, then the poll's incremental paint.
void BM_PaintAfterOneCharacter(benchmark::State& state) {
  auto port = PaintedFullScreen();
  if (!port) {
    state.SkipWithError("port did not open");
    return;
  }
  size_t draws = 0, gdiCalls = 0, rows = 0, lamps = 0;
  for (auto _ : state) {
    port->AddText("\rx", 2);  // back to the row's start: the row never wraps
    const int callsBefore = fake::GdiCalls();
    port.Paint(false);
    gdiCalls += static_cast<size_t>(fake::GdiCalls() - callsBefore);
    draws += fake::Draws().size();
    rows += Count("ExtTextOutA");
    lamps += Count("RoundRect");
    fake::Draws().clear();
  }
  CountDraws(state, draws, gdiCalls, rows, lamps);
  const auto n = static_cast<size_t>(state.iterations());
  if (rows != n || draws != rows)
    state.SkipWithError("an incremental paint drew more than the one row");
}
BENCHMARK(BM_PaintAfterOneCharacter);

// The full paint of WM_PAINT and Clear Screen, for comparison.
void BM_PaintFull(benchmark::State& state) {
  auto port = PaintedFullScreen();
  if (!port) {
    state.SkipWithError("port did not open");
    return;
  }
  size_t draws = 0, gdiCalls = 0, rows = 0, lamps = 0;
  for (auto _ : state) {
    const int callsBefore = fake::GdiCalls();
    port.Paint(true);
    gdiCalls += static_cast<size_t>(fake::GdiCalls() - callsBefore);
    draws += fake::Draws().size();
    rows += Count("ExtTextOutA");
    lamps += Count("RoundRect");
    fake::Draws().clear();
  }
  CountDraws(state, draws, gdiCalls, rows, lamps);
  const size_t lines = (kClientHeight - 18) / 14;  // whole lines below the lamps
  const auto n = static_cast<size_t>(state.iterations());
  if (rows != lines * n || lamps != static_cast<size_t>(port->lampCount) * n)
    state.SkipWithError("a full paint did not draw every line and lamp");
}
BENCHMARK(BM_PaintFull);

}  // namespace

BENCHMARK_MAIN();
