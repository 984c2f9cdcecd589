// The screen buffer: every byte and notice that a terminal shows passes
// through AddText, which spells out what is not printable and wraps rows.
#include <cstring>

#include "app/globals.h"
#include "port/comport.h"

void ComPort::AdvanceRow() {
  cursorRow++;
  if (cursorRow >= kScreenRows) cursorRow = 0;
  cursorColumn = 0;
  // The row reused is the oldest of the ring.
  screenRows[cursorRow].text[0] = 0;
  screenRows[cursorRow].changed = 1;
}

namespace {
const char kHexDigits[] = "0123456789abcdef";
}  // namespace

// Markers ("<CR>", "<LF>", "<1bH>") hold printable characters only, so they are
// stored character by character like data: they wrap at column 80 the same way.
void ComPort::AddText(const char* bytes, int count) {
  if (bytes == nullptr) return;
  if (count == 0) count = static_cast<int>(std::strlen(bytes));
  // Stores one printable character; the row wraps as soon as its 80th is stored.
  auto put = [this](char c) {
    ScreenRow& row = screenRows[cursorRow];
    row.text[cursorColumn] = c;
    row.text[cursorColumn + 1] = 0;
    row.changed = 1;
    if (++cursorColumn >= kScreenColumns) AdvanceRow();
  };
  for (int i = 0; i < count; i++) {
    unsigned b = static_cast<unsigned char>(bytes[i]);
    if (b == 0x0A) {
      AdvanceRow();
      if (g_app.showCrLf) {
        put('<'); put('L'); put('F'); put('>');
      }
    } else if (b == 0x0D) {
      if (g_app.showCrLf) {
        put('<'); put('C'); put('R'); put('>');
      }
      // The row is not emptied: what follows overwrites it from its start.
      cursorColumn = 0;
      screenRows[cursorRow].changed = 1;
    } else if (b < 0x20 || b > 0x80) {
      // "<%xH>": lowercase hexadecimal without leading zeros.
      put('<');
      if (b >= 0x10) put(kHexDigits[b >> 4]);
      put(kHexDigits[b & 0xF]);
      put('H');
      put('>');
    } else {
      put(static_cast<char>(b));
    }
  }
  needsRepaint = 1;
}

void ComPort::ClearScreen() {
  for (ScreenRow& row : screenRows) row.text[0] = 0;
  cursorRow = 0;
  cursorColumn = 0;
}
