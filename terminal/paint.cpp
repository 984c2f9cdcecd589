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

void DrawLamp(HDC dc, int lit, int index, HBRUSH litBrush) {
  const SignalLamp& lamp = signalLamps[index];
  char label[12];
  std::strncpy(label, lamp.name, sizeof label - 1);
  label[sizeof label - 1] = 0;
  RECT box = {lamp.x, kLampTop, lamp.x + lamp.width, kLampBottom};

  SelectObject(dc, GetStockObject(BLACK_PEN));
  if (lit) {
    HBRUSH green = litBrush != nullptr ? litBrush : CreateSolidBrush(kLitColor);
    HGDIOBJ previous = SelectObject(dc, green);
    RoundRect(dc, box.left, box.top, box.right, box.bottom, 6, 8);
    SelectObject(dc, previous);
    if (green != litBrush) DeleteObject(green);
  } else {
    for (char* c = label; *c != 0; c++) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    SelectObject(dc, GetStockObject(LTGRAY_BRUSH));
    RoundRect(dc, box.left, box.top, box.right, box.bottom, 6, 8);
  }
  // The rows drawn after the lamps inherit this state of the window's own context.
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextA(dc, label, -1, &box, DT_CENTER);
}

// Made once per window. The font is the context's own system font, only
// without anti-aliasing: the same character cell, but glyphs that cost a plain
// copy to draw instead of a blend of every pixel, which under a software
// renderer is most of the cost of showing a fast stream.
namespace {
HFONT PlainCopy(int stockFont) {
  LOGFONTA font = {};
  if (GetObjectA(GetStockObject(stockFont), sizeof font, &font) <= 0) return nullptr;
  font.lfQuality = NONANTIALIASED_QUALITY;
  return CreateFontIndirectA(&font);
}
}  // namespace

void ComPort::MakeDrawingObjects() {
  if (rowFont == nullptr) rowFont = PlainCopy(SYSTEM_FONT);
  if (litBrush == nullptr) litBrush = CreateSolidBrush(kLitColor);
}

void ComPort::PaintTerminal(int full) {
  if (hwnd == nullptr || clientHeight < kLineHeight) return;
  int rows = clientHeight / kLineHeight - 1;
  if (rows < 1) return;
  // Nothing of a minimized window (or of a minimized frame) can be seen;
  // restoring it brings a WM_PAINT, which draws everything.
  if (IsIconic(hwnd) || IsIconic(GetAncestor(hwnd, GA_ROOT))) return;
  HDC dc = GetDC(hwnd);
  RECT visible;
  if (GetClipBox(dc, &visible) == NULLREGION) {
    // Fully covered: uncovering it brings a WM_PAINT as well.
    ReleaseDC(hwnd, dc);
    return;
  }
  MakeDrawingObjects();
  HGDIOBJ ownFont = rowFont != nullptr ? SelectObject(dc, rowFont) : nullptr;

  if (modemStatus != paintedModemStatus || outputLines != paintedOutputLines || full) {
    paintedModemStatus = modemStatus;
    paintedOutputLines = outputLines;
    int lamps = lampCount >= 6 ? 6 : 5;
    for (int i = 0; i < lamps; i++) DrawLamp(dc, LampLit(*this, i), i, litBrush);
  }

  // The ring has advanced: every visible row has moved up a line.
  if (paintedAdvances != screen.Advances()) {
    paintedAdvances = screen.Advances();
    full = 1;
  }

  // Walk the ring backwards from the current row, bottom line first. A window
  // taller than the ring shows its rows again above the oldest, so the changed
  // flags are cleared only after every line showing a row has been drawn.
  // Each line is one call: the white band filled behind the row's text.
  // Dump rows are drawn in the fixed-pitch font: in the system font their
  // columns would not line up. The font is switched only where it changes.
  bool bandColourSet = false;
  bool dumpFontSelected = false;
  int age = 0;
  for (int line = rows; line >= 1; line--, age++) {
    const ScreenRow& row = screen.Row(age);
    if (row.changed || full) {
      if (!bandColourSet) {
        SetBkColor(dc, RGB(255, 255, 255));
        bandColourSet = true;
      }
      if ((row.dump != 0) != dumpFontSelected) {
        if (row.dump && dumpFont == nullptr) dumpFont = PlainCopy(ANSI_FIXED_FONT);
        HFONT wanted = row.dump ? dumpFont : rowFont;
        if (wanted != nullptr) SelectObject(dc, wanted);
        dumpFontSelected = row.dump != 0;
      }
      int top = kLineHeight * line + 4;
      RECT band = {kTextLeft, top, kBandRight, top + kLineHeight};
      ExtTextOutA(dc, kTextLeft, top, ETO_OPAQUE, &band, row.text, static_cast<UINT>(std::strlen(row.text)), nullptr);
    }
  }
  for (age = 0; age < rows && age < kScreenRows; age++) screen.MarkPainted(age);

  // The context keeps its own font between paints, so the port's font can be freed with it.
  if (ownFont != nullptr) SelectObject(dc, ownFont);
  ReleaseDC(hwnd, dc);
}
