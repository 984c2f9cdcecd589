// The lamps, and the terminal's view of its port: the lamps, then the newest
// rows of the screen buffer, the current row at the bottom. An incremental
// paint draws only what changed.
#include <algorithm>
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
constexpr int kTextTop = kLineHeight + 4;  // the first row's top, under the lamps
constexpr int kTextLeft = 10;
constexpr int kLineEndMark = 4;  // width shown for a selected line break
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
  if (!port.needsRepaint && port.modemStatus == paintedModemStatus_ && port.outputLines == paintedOutputLines_) {
    DrawStaleBar();
    return;
  }
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

int TerminalView::TextRows() const { return clientHeight_ < kTextTop ? 0 : (clientHeight_ - kTextTop) / kLineHeight; }

void TerminalView::Paint(ComPort& port, bool full) {
  port.needsRepaint = 0;
  lastPaint_ = GetTickCount();
  painted_ = true;
  const int rows = TextRows();
  if (window_ == nullptr || rows < 1) return;
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

  ScreenBuffer& screen = port.screen;
  const uint64_t advanced = screen.Advances() - paintedAdvances_;
  if (HoldView(port)) full = true;
  int fresh = 0;  // the newest rows, drawn whatever their flags say
  if (advanced > 0 && scrollBack_ == 0 && !full) {
    // Following the data: every row shown has moved up as many lines. What
    // is on the screen moves up with them, and only the lines below it are
    // drawn anew; a window partly covered (its hidden pixels cannot be
    // moved), or moved past every line, is drawn whole.
    const RECT text = {kTextLeft, kTextTop, kBandRight, kTextTop + kLineHeight * rows};
    const bool whole = region == SIMPLEREGION && visible.left <= text.left && visible.top <= text.top &&
                       visible.right >= text.right && visible.bottom >= text.bottom;
    if (advanced < static_cast<uint64_t>(rows) && whole) {
      fresh = static_cast<int>(advanced);
      ScrollDC(dc, 0, -kLineHeight * fresh, &text, &text, nullptr, nullptr);
    } else {
      full = true;
    }
  }
  UpdateScrollBar(port, rows);

  // From the bottom row shown up, bottom line first; rows older than the
  // history are blank. Each line is one call: the white band filled behind
  // the row's text. Dump rows are drawn in the fixed-pitch font: in the
  // system font their columns would not line up. The font is switched only
  // where it changes.
  bool bandColourSet = false;
  bool dumpFontSelected = false;
  for (int line = rows; line >= 1; line--) {
    const int shown = rows - line;  // lines above the bottom one
    const uint64_t age = scrollBack_ + static_cast<uint64_t>(shown);
    const ScreenRow& row = screen.Row(age);
    if (!row.changed && !full && shown >= fresh) continue;
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
    const int top = kTextTop + kLineHeight * (line - 1);
    RECT band = {kTextLeft, top, kBandRight, top + kLineHeight};
    ExtTextOutA(dc, kTextLeft, top, ETO_OPAQUE, &band, row.text, static_cast<UINT>(std::strlen(row.text)), nullptr);
    if (selected_ && age < screen.Kept()) InvertSelected(dc, row, screen.Advances() - age, top);
  }
  for (int shown = 0; shown < rows; shown++) screen.MarkPainted(scrollBack_ + static_cast<uint64_t>(shown));
  if (full) {
    // Below the last whole line: blank, whatever a size before left there.
    RECT rest = {0, kTextTop + kLineHeight * rows, kBandRight, clientHeight_};
    if (rest.bottom > rest.top) FillRect(dc, &rest, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }

  // The context keeps its own font between paints, so the view's font can be freed with it.
  if (ownFont != nullptr) SelectObject(dc, ownFont);
  ReleaseDC(window_, dc);
}

namespace {
int Extent(HDC dc, const char* text, int count) {
  SIZE size = {0, 0};
  if (count > 0) GetTextExtentPoint32A(dc, text, count, &size);
  return size.cx;
}
}  // namespace

void TerminalView::InvertSelected(HDC dc, const ScreenRow& row, uint64_t number, int top) {
  TextSpot from = anchor_, to = caret_;
  if (to < from) std::swap(from, to);
  if (number < from.row || number > to.row) return;
  const int length = static_cast<int>(std::strlen(row.text));
  const int first = number == from.row ? std::min(from.column, length) : 0;
  const int end = number == to.row ? std::min(to.column, length) : length;
  RECT marked = {kTextLeft + Extent(dc, row.text, first), top, kTextLeft + Extent(dc, row.text, end),
                 top + kLineHeight};
  // A row whose end is selected (the line break goes with it) shows a sliver past its text.
  if (number != to.row) marked.right += kLineEndMark;
  if (marked.right > marked.left) InvertRect(dc, &marked);
}

// Following the data, the bar's range grows with every frame, and under Wine
// drawing the bar costs several times what drawing the new rows does (about
// 3 ms). It is then given its new range without a redraw (so a drag of its
// thumb still sees the rows held) and drawn only when its thumb, as the
// system places it, has moved, at most every kBarDrawMs: with a long history
// the thumb stays put and the bar is not drawn at all. DrawStaleBar draws the
// last. A move of the view or a new size draws it at once.
void TerminalView::UpdateScrollBar(const ComPort& port, int rows) {
  const uint64_t kept = port.screen.Kept();
  SCROLLINFO bar = {};
  bar.cbSize = sizeof bar;
  bar.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  bar.nMax = static_cast<int>(kept - 1);
  bar.nPage = static_cast<UINT>(rows);
  const uint64_t deepest = Deepest(port);
  bar.nPos = static_cast<int>(scrollBack_ < deepest ? deepest - scrollBack_ : 0);
  if (bar.nMax == shownBar_.nMax && bar.nPage == shownBar_.nPage && bar.nPos == shownBar_.nPos) {
    DrawStaleBar();
    return;
  }
  // Following: at the newest rows now and at the last give, at the same size.
  const bool wasAtBottom = shownBar_.nPos + static_cast<int>(shownBar_.nPage) > shownBar_.nMax;
  const bool following = scrollBack_ == 0 && wasAtBottom && bar.nPage == shownBar_.nPage;
  shownBar_ = bar;
  SetScrollInfo(window_, SB_VERT, &bar, !following);
  if (!following) {
    BarDrawn();
    return;
  }
  // A bar whose thumb cannot be read is taken as moved.
  Thumb now;
  barStale_ = !ThumbNow(&now) || !(now == drawnThumb_);
  DrawStaleBar();
}

void TerminalView::DrawStaleBar() {
  if (!barStale_ || GetTickCount() - barDrawn_ < kBarDrawMs) return;
  SetScrollInfo(window_, SB_VERT, &shownBar_, TRUE);
  BarDrawn();
}

void TerminalView::BarDrawn() {
  barStale_ = false;
  barDrawn_ = GetTickCount();
  if (!ThumbNow(&drawnThumb_)) drawnThumb_ = Thumb{};
}

bool TerminalView::ThumbNow(Thumb* thumb) const {
  SCROLLBARINFO info = {};
  info.cbSize = sizeof info;
  if (!GetScrollBarInfo(window_, OBJID_VSCROLL, &info)) return false;
  *thumb = Thumb{info.xyThumbTop, info.xyThumbBottom};
  return true;
}

bool TerminalView::HoldView(const ComPort& port) {
  const ScreenBuffer& screen = port.screen;
  const uint64_t advanced = screen.Advances() - paintedAdvances_;
  paintedAdvances_ = screen.Advances();
  if (scrollBack_ == 0) return false;
  // Scrolled back: the rows shown stay where they are, until the history
  // lets go of them (or is cleared, or the window grows past them).
  scrollBack_ += advanced;
  newRowsBelow_ += advanced;
  const uint64_t deepest = Deepest(port);
  if (scrollBack_ <= deepest) return false;
  scrollBack_ = deepest;
  return true;
}

uint64_t TerminalView::Deepest(const ComPort& port) const {
  const uint64_t kept = port.screen.Kept(), rows = static_cast<uint64_t>(TextRows());
  return kept > rows ? kept - rows : 0;
}

bool TerminalView::MoveView(const ComPort& port, int64_t rows) {
  HoldView(port);  // rows that came since the last paint first
  const int64_t deepest = static_cast<int64_t>(Deepest(port));
  int64_t back = static_cast<int64_t>(scrollBack_) + rows;
  back = back < 0 ? 0 : (back > deepest ? deepest : back);
  if (static_cast<uint64_t>(back) == scrollBack_) return false;
  scrollBack_ = static_cast<uint64_t>(back);
  if (scrollBack_ == 0) newRowsBelow_ = 0;
  return true;
}

void TerminalView::ScrollBy(ComPort& port, int64_t rows) {
  if (MoveView(port, rows)) Paint(port, true);
}

void TerminalView::ScrollBarAt(ComPort& port, int position) {
  ScrollBy(port, static_cast<int64_t>(Deepest(port)) - position - static_cast<int64_t>(scrollBack_));
}

TextSpot TerminalView::SpotAt(const ComPort& port, int x, int y) {
  const ScreenBuffer& screen = port.screen;
  const int rows = TextRows();
  int line = y < kTextTop ? 1 : (y - kTextTop) / kLineHeight + 1;
  if (line > rows) line = rows;
  const uint64_t age = scrollBack_ + static_cast<uint64_t>(rows - line);
  if (age >= screen.Kept()) return TextSpot{OldestRow(screen), 0};
  const uint64_t number = screen.Advances() - age;
  const ScreenRow& row = screen.Row(age);
  const int length = static_cast<int>(std::strlen(row.text));
  if (x <= kTextLeft || length == 0) return TextSpot{number, 0};
  // The characters whose left half lies left of x.
  HDC dc = GetDC(window_);
  MakeDrawingObjects();
  HFONT font = row.dump ? (dumpFont_ != nullptr ? dumpFont_ : (dumpFont_ = PlainCopy(ANSI_FIXED_FONT))) : rowFont_;
  HGDIOBJ ownFont = font != nullptr ? SelectObject(dc, font) : nullptr;
  int column = 0;
  while (column < length) {
    const int left = Extent(dc, row.text, column), right = Extent(dc, row.text, column + 1);
    if (kTextLeft + (left + right) / 2 > x) break;
    column++;
  }
  if (ownFont != nullptr) SelectObject(dc, ownFont);
  ReleaseDC(window_, dc);
  return TextSpot{number, column};
}

bool TerminalView::SelectFrom(ComPort& port, int x, int y) {
  if (y < kTextTop) return false;
  anchor_ = caret_ = SpotAt(port, x, y);
  selected_ = dragging_ = true;
  SetCapture(window_);
  Paint(port, true);
  return true;
}

void TerminalView::SelectTo(ComPort& port, int x, int y) {
  if (!dragging_) return;
  // Dragged above or below the text: the history scrolls under the mouse.
  const int64_t rows = y < kTextTop ? 1 : (y >= kTextTop + kLineHeight * TextRows() ? -1 : 0);
  const bool moved = rows != 0 && MoveView(port, rows);
  const TextSpot spot = SpotAt(port, x, y);
  if (spot == caret_ && !moved) return;
  caret_ = spot;
  Paint(port, true);
}

void TerminalView::EndSelecting() {
  if (!dragging_) return;
  dragging_ = false;
  ReleaseCapture();
}

void TerminalView::SelectAll(ComPort& port) {
  const ScreenBuffer& screen = port.screen;
  Select(port, TextSpot{OldestRow(screen), 0},
         TextSpot{screen.Advances(), static_cast<int>(std::strlen(screen.Row(0).text))});
}

void TerminalView::Select(ComPort& port, TextSpot from, TextSpot to) {
  anchor_ = from;
  caret_ = to;
  selected_ = true;
  // The selection's first row into view, unless it is shown already.
  const uint64_t rows = static_cast<uint64_t>(TextRows());
  const uint64_t age = port.screen.Advances() - std::min(from.row, port.screen.Advances());
  if (age < scrollBack_ || age >= scrollBack_ + rows)
    MoveView(port, static_cast<int64_t>(age) - static_cast<int64_t>(rows / 2) - static_cast<int64_t>(scrollBack_));
  Paint(port, true);
}

std::string TerminalView::SelectedText(const ComPort& port) const {
  return selected_ ? ::SelectedText(port.screen, anchor_, caret_) : std::string();
}

TextSpot TerminalView::FindFrom(const ComPort& port, bool up) const {
  if (selected_) {
    const TextSpot first = caret_ < anchor_ ? caret_ : anchor_;
    return up ? first : TextSpot{first.row, first.column + 1};
  }
  const ScreenBuffer& screen = port.screen;
  const uint64_t bottom = screen.Advances() - std::min(scrollBack_, screen.Advances());
  return up ? TextSpot{bottom, kScreenColumns + 1} : TextSpot{bottom, 0};
}
