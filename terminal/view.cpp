// The lamps, and the terminal's view of its port: the lamps, then the newest
// rows of the screen buffer, the current row at the bottom. An incremental
// paint draws only what changed.
#include <cctype>
#include <cstring>

#include "port/comport.h"
#include "terminal/lamps.h"
#include "terminal/view.h"

SignalLamp signalLamps[kLampCount + 1] = {
    {"CTS", MS_CTS_ON, 0, 0, 0},  {"DSR", MS_DSR_ON, 0, 0, 0}, {"CD", MS_RLSD_ON, 0, 0, 0},
    {"RTS", 0, kLineRts, 0, 0},   {"DTR", 0, kLineDtr, 0, 0},  {"LOOP", 0, kLineLoop, 0, 0},
    {"", 0, 0, 0, 0}};

namespace {
constexpr int kLineHeight = 14;
constexpr int kTextLeft = 10;
constexpr int kBandRight = 1600;
constexpr COLORREF kLitColor = RGB(128, 255, 128);

}  // namespace

bool LampLit(const ComPort& port, int index) {
  const SignalLamp& lamp = signalLamps[index];
  return (port.modemStatus & lamp.modemBit) != 0 || (port.outputLines & lamp.outputLine) != 0;
}

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

// Made once per view. The font is the context's own system font, only
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

TerminalView::~TerminalView() {
  // Each paint puts the context's own font back, so none of these is selected now.
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(rowFont_), static_cast<HGDIOBJ>(dumpFont_),
                         static_cast<HGDIOBJ>(litBrush_)})
    if (object != nullptr) DeleteObject(object);
}

void TerminalView::MakeDrawingObjects() {
  if (rowFont_ == nullptr) rowFont_ = PlainCopy(SYSTEM_FONT);
  if (litBrush_ == nullptr) litBrush_ = CreateSolidBrush(kLitColor);
}

void TerminalView::PortChanged(ComPort& port) {
  if (!port.needsRepaint && port.modemStatus == paintedModemStatus_ && port.outputLines == paintedOutputLines_) return;
  if (frameTimer_) return;  // the frame's end paints it
  const DWORD since = GetTickCount() - lastPaint_;
  if (!painted_ || since >= kFrameMs) {
    Paint(port, false);
    return;
  }
  frameTimer_ = SetTimer(window_, kFrameTimer, kFrameMs - since, nullptr) != 0;
  if (!frameTimer_) Paint(port, false);  // no timer to be had: paint now rather than never
}

void TerminalView::FrameDue(ComPort& port) {
  KillTimer(window_, kFrameTimer);
  frameTimer_ = false;
  Paint(port, false);
}

void TerminalView::Paint(ComPort& port, bool full) {
  port.needsRepaint = 0;
  lastPaint_ = GetTickCount();
  painted_ = true;
  if (window_ == nullptr || clientHeight_ < kLineHeight) return;
  int rows = clientHeight_ / kLineHeight - 1;
  if (rows < 1) return;
  // Nothing of a minimized window (or of a minimized frame) can be seen;
  // restoring it brings a WM_PAINT, which draws everything.
  if (IsIconic(window_) || IsIconic(GetAncestor(window_, GA_ROOT))) return;
  HDC dc = GetDC(window_);
  RECT visible;
  const int region = GetClipBox(dc, &visible);
  if (region == NULLREGION) {
    // Fully covered: uncovering it brings a WM_PAINT as well.
    ReleaseDC(window_, dc);
    return;
  }
  MakeDrawingObjects();
  HGDIOBJ ownFont = rowFont_ != nullptr ? SelectObject(dc, rowFont_) : nullptr;

  if (port.modemStatus != paintedModemStatus_ || port.outputLines != paintedOutputLines_ || full) {
    paintedModemStatus_ = port.modemStatus;
    paintedOutputLines_ = port.outputLines;
    const int lamps = port.lampCount >= 6 ? 6 : 5;
    for (int i = 0; i < lamps; i++) DrawLamp(dc, LampLit(port, i), i, litBrush_);
  }

  // The ring has advanced: every visible row has moved up as many lines.
  // What is on the screen moves up with them, and only the lines below it
  // are drawn anew; a window that shows rows twice, is partly covered (its
  // hidden pixels cannot be moved), or moved past every line is drawn whole.
  ScreenBuffer& screen = port.screen;
  const uint64_t advanced = screen.Advances() - paintedAdvances_;
  paintedAdvances_ = screen.Advances();
  int fresh = 0;  // the newest rows, drawn whatever their flags say
  if (advanced > 0 && !full) {
    const RECT text = {kTextLeft, kLineHeight + 4, kBandRight, kLineHeight * (rows + 1) + 4};
    const bool whole = region == SIMPLEREGION && visible.left <= text.left && visible.top <= text.top &&
                       visible.right >= text.right && visible.bottom >= text.bottom;
    if (rows <= kScreenRows && advanced < static_cast<uint64_t>(rows) && whole) {
      fresh = static_cast<int>(advanced);
      ScrollDC(dc, 0, -kLineHeight * fresh, &text, &text, nullptr, nullptr);
    } else {
      full = true;
    }
  }

  // From the current row up, bottom line first. A window taller than the
  // ring shows its rows again above the oldest, so the changed flags are
  // cleared only after every line showing a row has been drawn.
  // Each line is one call: the white band filled behind the row's text.
  // Dump rows are drawn in the fixed-pitch font: in the system font their
  // columns would not line up. The font is switched only where it changes.
  bool bandColourSet = false;
  bool dumpFontSelected = false;
  int age = 0;
  for (int line = rows; line >= 1; line--, age++) {
    const ScreenRow& row = screen.Row(age);
    if (row.changed || full || age < fresh) {
      if (!bandColourSet) {
        SetBkColor(dc, RGB(255, 255, 255));
        bandColourSet = true;
      }
      if ((row.dump != 0) != dumpFontSelected) {
        if (row.dump && dumpFont_ == nullptr) dumpFont_ = PlainCopy(ANSI_FIXED_FONT);
        HFONT wanted = row.dump ? dumpFont_ : rowFont_;
        if (wanted != nullptr) SelectObject(dc, wanted);
        dumpFontSelected = row.dump != 0;
      }
      int top = kLineHeight * line + 4;
      RECT band = {kTextLeft, top, kBandRight, top + kLineHeight};
      ExtTextOutA(dc, kTextLeft, top, ETO_OPAQUE, &band, row.text, static_cast<UINT>(std::strlen(row.text)), nullptr);
    }
  }
  for (age = 0; age < rows && age < kScreenRows; age++) screen.MarkPainted(age);

  // The context keeps its own font between paints, so the view's font can be freed with it.
  if (ownFont != nullptr) SelectObject(dc, ownFont);
  ReleaseDC(window_, dc);
}
