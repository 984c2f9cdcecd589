// The screen buffer: every byte and notice that a terminal shows passes
// through AddText, which spells out what is not printable and wraps rows.
#include <cstdio>
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

void ComPort::AddText(const char* bytes, int count) {
  if (bytes == nullptr) return;
  if (count == 0) count = static_cast<int>(std::strlen(bytes));
  for (int i = 0; i < count; i++) {
    unsigned b = static_cast<unsigned char>(bytes[i]);
    if (b == 0x0A) {
      AdvanceRow();
      if (g_app.showCrLf) AddText("<LF>", 0);
    } else if (b == 0x0D) {
      if (g_app.showCrLf) AddText("<CR>", 0);
      // The row is not emptied: what follows overwrites it from its start.
      cursorColumn = 0;
      screenRows[cursorRow].changed = 1;
    } else if (b < 0x20 || b > 0x80) {
      char marker[16];
      std::snprintf(marker, sizeof marker, "<%xH>", b);
      AddText(marker, 0);
    } else {
      ScreenRow& row = screenRows[cursorRow];
      row.text[cursorColumn] = static_cast<char>(b);
      row.text[cursorColumn + 1] = 0;
      row.changed = 1;
      if (++cursorColumn >= kScreenColumns) AdvanceRow();
    }
  }
  needsRepaint = 1;
}

void ComPort::ClearScreen() {
  for (ScreenRow& row : screenRows) row.text[0] = 0;
  cursorRow = 0;
  cursorColumn = 0;
}
