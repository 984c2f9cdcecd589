// The screen buffer: every byte and notice that a terminal shows passes
// through AddText, which spells out what is not printable and wraps rows.
// Received bytes come through AddReceived, which lays them out as dump rows
// while Hex Dump is on.
#include <cstring>

#include "app/globals.h"
#include "core/spelling.h"
#include "port/comport.h"

void ComPort::AdvanceRow() {
  cursorRow++;
  if (cursorRow >= kScreenRows) cursorRow = 0;
  cursorColumn = 0;
  modes.rowStamped = 0;
  // The row reused is the oldest of the ring.
  screenRows[cursorRow].text[0] = 0;
  screenRows[cursorRow].changed = 1;
  screenRows[cursorRow].dump = 0;
}

namespace {

// The time for the stamps of one call, read when the first row needs it.
struct StampClock {
  bool read = false;
  char stamp[kRowStampWidth + 1];
  const char* Stamp() {
    if (!read) {
      SYSTEMTIME t;
      GetLocalTime(&t);
      FormatRowStamp(LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}, stamp);
      read = true;
    }
    return stamp;
  }
};
}  // namespace

// Switching Hex Dump on or off starts a new row; on, the offsets start at 0.
void ComPort::FollowDumpSwitch() {
  if ((g_app.hexDump != 0) == (modes.dumping != 0)) return;
  if (screenRows[cursorRow].text[0] != 0) AdvanceRow();
  modes.dumping = g_app.hexDump != 0;
  if (modes.dumping) modes.dump.Restart();
}

// Markers ("<CR>", "<LF>", "<1bH>") hold printable characters only, so they are
// stored character by character like data: they wrap at column 80 the same way.
// Under Time Stamps a row that begins gets the stamp first; the loop is made
// twice, so that without stamps it has no test for them.
template <bool kStamps>
void ComPort::PutText(const unsigned char* bytes, int count) {
  StampClock clock;
  // Stores one printable character; the row wraps as soon as its 80th is stored.
  auto put = [this, &clock](char c) {
    ScreenRow& row = screenRows[cursorRow];
    if (kStamps && cursorColumn == 0 && row.text[0] == 0) {
      std::memcpy(row.text, clock.Stamp(), kRowStampWidth);
      cursorColumn = kRowStampWidth;
      modes.rowStamped = 1;
    }
    row.text[cursorColumn] = c;
    row.text[cursorColumn + 1] = 0;
    row.changed = 1;
    if (++cursorColumn >= kScreenColumns) AdvanceRow();
  };
  // The spelling is the log's too (core/spelling.h).
  auto spell = [&put](unsigned char b) {
    char spelled[kSpelledMax];
    const int n = SpellByte(b, spelled);
    for (int k = 0; k < n; k++) put(spelled[k]);
  };
  for (int i = 0; i < count; i++) {
    const unsigned char b = bytes[i];
    if (b == 0x0A) {
      AdvanceRow();
      if (g_app.showCrLf) spell(b);
    } else if (b == 0x0D) {
      if (g_app.showCrLf) spell(b);
      // The row is not emptied: what follows overwrites it from its start
      // (after its stamp).
      cursorColumn = modes.rowStamped ? kRowStampWidth : 0;
      screenRows[cursorRow].changed = 1;
    } else if (b < 0x20 || b > 0x80) {
      spell(b);
    } else {
      put(static_cast<char>(b));
    }
  }
}

void ComPort::AddText(const char* bytes, int count) {
  if (bytes == nullptr) return;
  if (count == 0) count = static_cast<int>(std::strlen(bytes));
  FollowDumpSwitch();
  // Between dump rows a notice has a row of its own; the dump goes on below it.
  const bool ownRow = modes.dumping;
  if (ownRow && screenRows[cursorRow].text[0] != 0) AdvanceRow();
  const auto* text = reinterpret_cast<const unsigned char*>(bytes);
  if (g_app.timeStamps)
    PutText<true>(text, count);
  else
    PutText<false>(text, count);
  if (ownRow) {
    if (screenRows[cursorRow].text[0] != 0) AdvanceRow();
    modes.dump.BreakRow();
  }
  needsRepaint = 1;
}

void ComPort::AddReceived(const char* bytes, int count) {
  FollowDumpSwitch();
  if (!modes.dumping) {
    AddText(bytes, count);
    return;
  }
  // Each row touched is written whole once per call: a row filled by
  // several reads is written again by each.
  auto p = reinterpret_cast<const unsigned char*>(bytes);
  size_t left = count > 0 ? static_cast<size_t>(count) : 0;
  while (left > 0) {
    bool startsRow = false;
    const size_t took = modes.dump.Take(p, left, &startsRow);
    if (startsRow && screenRows[cursorRow].text[0] != 0) AdvanceRow();
    ScreenRow& row = screenRows[cursorRow];
    cursorColumn = modes.dump.FormatRow(row.text);
    row.changed = 1;
    row.dump = 1;
    if (modes.dump.RowFull()) AdvanceRow();
    p += took;
    left -= took;
  }
  needsRepaint = 1;
}

void ComPort::ClearScreen() {
  for (ScreenRow& row : screenRows) {
    row.text[0] = 0;
    row.dump = 0;
  }
  cursorRow = 0;
  cursorColumn = 0;
  modes.rowStamped = 0;
  modes.dump.BreakRow();  // its row is gone: the dump goes on in a new one
}
