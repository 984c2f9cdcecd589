// Painting a terminal: the lamps, then the newest rows of the screen buffer,
// the current row at the bottom. An incremental paint draws only what changed.
#include <cctype>
#include <cstring>

#include "port/comport.h"
#include "terminal/lamps.h"

SignalLamp signalLamps[kLampCount + 1] = {{"CTS", 0, 0}, {"DSR", 0, 0},  {"CD", 0, 0}, {"RTS", 0, 0},
                                          {"DTR", 0, 0}, {"LOOP", 0, 0}, {"", 0, 0}};

namespace {
constexpr int kLineHeight = 14;
constexpr int kTextLeft = 10;
constexpr int kBandRight = 1600;
constexpr COLORREF kLitColor = RGB(128, 255, 128);

// What lights each lamp, in table order.
bool LampLit(const ComPort& port, int index) {
  switch (index) {
    case 0: return port.modemStatus & MS_CTS_ON;
    case 1: return port.modemStatus & MS_DSR_ON;
    case 2: return port.modemStatus & MS_RLSD_ON;
    case 3: return port.outputLines & kLineRts;
    case 4: return port.outputLines & kLineDtr;
    case 5: return port.outputLines & kLineLoop;
    default: return false;
  }
}
}  // namespace

void LayoutLamps() {
  int x = 5;
  for (int i = 0; signalLamps[i].name[0] != 0; i++) {
    signalLamps[i].x = x;
    signalLamps[i].width = 10 * static_cast<int>(std::strlen(signalLamps[i].name));
    x += signalLamps[i].width + 2;
    if (i == 2 || i == 5) x += 5;
  }
}

void DrawLamp(HDC dc, int lit, int index) {
  const SignalLamp& lamp = signalLamps[index];
  char label[12];
  std::strncpy(label, lamp.name, sizeof label - 1);
  label[sizeof label - 1] = 0;
  RECT box = {lamp.x, kLampTop, lamp.x + lamp.width, kLampBottom};

  SelectObject(dc, GetStockObject(BLACK_PEN));
  SelectObject(dc, GetStockObject(LTGRAY_BRUSH));
  if (lit) {
    HBRUSH green = CreateSolidBrush(kLitColor);
    HGDIOBJ previous = SelectObject(dc, green);
    RoundRect(dc, box.left, box.top, box.right, box.bottom, 6, 8);
    SelectObject(dc, previous);
    DeleteObject(green);
  } else {
    for (char* c = label; *c != 0; c++) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    RoundRect(dc, box.left, box.top, box.right, box.bottom, 6, 8);
  }
  // The rows drawn after the lamps inherit this state of the window's own context.
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextA(dc, label, -1, &box, DT_CENTER);
}

void ComPort::PaintTerminal(int full) {
  if (hwnd == nullptr || clientHeight < kLineHeight) return;
  int rows = clientHeight / kLineHeight - 1;
  if (rows < 1) return;
  HDC dc = GetDC(hwnd);

  if (modemStatus != paintedModemStatus || outputLines != paintedOutputLines || full) {
    paintedModemStatus = modemStatus;
    paintedOutputLines = outputLines;
    int lamps = lampCount >= 6 ? 6 : 5;
    for (int i = 0; i < lamps; i++) DrawLamp(dc, LampLit(*this, i), i);
  }

  // The ring has advanced: every visible row has moved up a line.
  if (paintedRow != cursorRow) {
    paintedRow = cursorRow;
    full = 1;
  }

  // Walk the ring backwards from the current row, bottom line first. A window
  // taller than the ring shows its rows again above the oldest, so the changed
  // flags are cleared only after every line showing a row has been drawn.
  int ring = cursorRow;
  for (int line = rows; line >= 1; line--) {
    ScreenRow& row = screenRows[ring];
    if (row.changed || full) {
      int top = kLineHeight * line + 4;
      SelectObject(dc, GetStockObject(WHITE_PEN));
      SelectObject(dc, GetStockObject(WHITE_BRUSH));
      Rectangle(dc, kTextLeft, top, kBandRight, top + kLineHeight);
      if (row.text[0] != 0) TextOutA(dc, kTextLeft, top, row.text, static_cast<int>(std::strlen(row.text)));
    }
    ring = ring == 0 ? kScreenRows - 1 : ring - 1;
  }
  ring = cursorRow;
  for (int line = rows; line >= 1 && line > rows - kScreenRows; line--) {
    screenRows[ring].changed = 0;
    ring = ring == 0 ? kScreenRows - 1 : ring - 1;
  }

  ReleaseDC(hwnd, dc);
}
