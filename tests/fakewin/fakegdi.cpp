// A recording GDI: keeps each window's own device context with its state, as
// a CS_OWNDC class does, and records what is drawn.
#include "fakegdi.h"

#include "fake.h"

#include <cstring>
#include <map>
#include <set>

namespace fake {
namespace {

struct DcState {
  HGDIOBJ pen = nullptr;
  HGDIOBJ brush = nullptr;
  HGDIOBJ font = nullptr;  // a new context starts with the system font
  COLORREF textColor = 0;
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  int inUse = 0;
};

struct Gdi {
  std::map<HWND, HDC> dcs;
  std::map<HDC, DcState> state;
  std::map<HGDIOBJ, GdiObject> objects;
  uintptr_t next = 0x50000;
  std::vector<Draw> draws;
  int brushesAlive = 0;
  int fontsAlive = 0;
  int calls = 0;
  std::set<HWND> iconic;
  std::set<HWND> covered;
  std::map<HDC, HWND> owners;
  SCROLLINFO scroll = {};  // the range last given to SetScrollInfo
};

Gdi& G() {
  static Gdi gdi;
  return gdi;
}

GdiObject Describe(HGDIOBJ object) {
  auto it = G().objects.find(object);
  return it == G().objects.end() ? GdiObject{} : it->second;
}

HGDIOBJ Stock(int index) {
  // Stock objects live at fixed addresses, created on first use.
  HGDIOBJ h = reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x40000 + index * 8));
  if (!G().objects.count(h)) {
    GdiObject o;
    o.stock = true;
    switch (index) {
      case WHITE_BRUSH: o = {GdiObject::kBrush, RGB(255, 255, 255), true}; break;
      case LTGRAY_BRUSH: o = {GdiObject::kBrush, RGB(192, 192, 192), true}; break;
      case GRAY_BRUSH: o = {GdiObject::kBrush, RGB(128, 128, 128), true}; break;
      case BLACK_BRUSH: o = {GdiObject::kBrush, RGB(0, 0, 0), true}; break;
      case WHITE_PEN: o = {GdiObject::kPen, RGB(255, 255, 255), true}; break;
      case BLACK_PEN: o = {GdiObject::kPen, RGB(0, 0, 0), true}; break;
      case SYSTEM_FONT:
        o.kind = GdiObject::kFont;
        o.font.lfHeight = 16;
        o.font.lfWeight = 700;
        o.font.lfQuality = DEFAULT_QUALITY;
        std::strcpy(o.font.lfFaceName, "System");
        break;
      case ANSI_FIXED_FONT:
        o.kind = GdiObject::kFont;
        o.font.lfHeight = 12;
        o.font.lfPitchAndFamily = 1;  // FIXED_PITCH
        o.font.lfQuality = DEFAULT_QUALITY;
        std::strcpy(o.font.lfFaceName, "Courier");
        break;
      default: break;
    }
    G().objects[h] = o;
  }
  return h;
}

DcState& State(HDC dc) { return G().state[dc]; }

void Record(const char* fn, HDC dc, std::vector<int> args, std::string text = {}) {
  DcState& s = State(dc);
  Draw d;
  d.fn = fn;
  d.dc = dc;
  d.args = std::move(args);
  d.text = std::move(text);
  d.pen = Describe(s.pen);
  d.brush = Describe(s.brush);
  d.font = Describe(s.font != nullptr ? s.font : Stock(SYSTEM_FONT));
  d.textColor = s.textColor;
  d.bkColor = s.bkColor;
  d.bkMode = s.bkMode;
  G().draws.push_back(std::move(d));
}

}  // namespace

HWND focus = nullptr;

std::vector<Draw>& Draws() { return G().draws; }

std::vector<Draw> DrawsOf(const std::string& fn) {
  std::vector<Draw> out;
  for (auto& d : G().draws)
    if (d.fn == fn) out.push_back(d);
  return out;
}

int DcInUse() {
  int n = 0;
  for (auto& [dc, s] : G().state) n += s.inUse;
  return n;
}

int BrushesAlive() { return G().brushesAlive; }
int FontsAlive() { return G().fontsAlive; }
int GdiCalls() { return G().calls; }
void SetIconic(HWND window, bool iconic) {
  if (iconic)
    G().iconic.insert(window);
  else
    G().iconic.erase(window);
}
void SetCovered(HWND window, bool covered) {
  if (covered)
    G().covered.insert(window);
  else
    G().covered.erase(window);
}
HWND rootWindow = reinterpret_cast<HWND>(0x999);
void ResetGdi() {
  G() = Gdi{};
  focus = nullptr;
  rootWindow = reinterpret_cast<HWND>(0x999);
}

HDC DcOf(HWND window) {
  auto it = G().dcs.find(window);
  if (it != G().dcs.end()) return it->second;
  HDC dc = reinterpret_cast<HDC>(G().next += 8);
  G().dcs[window] = dc;
  G().owners[dc] = window;
  G().state[dc] = DcState{};
  G().state[dc].font = Stock(SYSTEM_FONT);
  return dc;
}

}  // namespace fake

using namespace fake;

HDC GetDC(HWND window) {
  G().calls++;
  HDC dc = DcOf(window);
  State(dc).inUse++;
  return dc;
}

int ReleaseDC(HWND, HDC dc) {
  G().calls++;
  DcState& s = State(dc);
  if (s.inUse == 0) return 0;
  s.inUse--;
  return 1;
}

HGDIOBJ GetStockObject(int object) {
  G().calls++; return Stock(object); }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  G().calls++;
  DcState& s = State(dc);
  GdiObject o = Describe(object);
  HGDIOBJ* slot = o.kind == GdiObject::kPen ? &s.pen : o.kind == GdiObject::kFont ? &s.font : &s.brush;
  HGDIOBJ previous = *slot;
  *slot = object;
  return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
  G().calls++;
  auto it = G().objects.find(object);
  if (it == G().objects.end() || it->second.stock) return TRUE;
  // Windows does not free an object still selected into a context.
  for (auto& [dc, s] : G().state)
    if (s.pen == object || s.brush == object || s.font == object)
      Violations().push_back("DeleteObject of an object still selected into a device context");
  if (it->second.kind == GdiObject::kBrush) G().brushesAlive--;
  if (it->second.kind == GdiObject::kFont) G().fontsAlive--;
  G().objects.erase(it);
  return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  G().calls++;
  HGDIOBJ h = reinterpret_cast<HGDIOBJ>(G().next += 8);
  G().objects[h] = {GdiObject::kBrush, color, false};
  G().brushesAlive++;
  return static_cast<HBRUSH>(h);
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  G().calls++;
  Record("Rectangle", dc, {left, top, right, bottom});
  return TRUE;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
  G().calls++;
  Record("RoundRect", dc, {left, top, right, bottom, width, height});
  return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  G().calls++;
  Record("TextOutA", dc, {x, y}, std::string(text, static_cast<size_t>(length)));
  return TRUE;
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length, const int*) {
  G().calls++;
  std::vector<int> args = {x, y, static_cast<int>(options)};
  if (rect != nullptr) args.insert(args.end(), {rect->left, rect->top, rect->right, rect->bottom});
  Record("ExtTextOutA", dc, std::move(args), std::string(text == nullptr ? "" : text, length));
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC, LPCSTR, int count, SIZE* size) {
  size->cx = 8 * count;
  size->cy = 14;
  return TRUE;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
  G().calls++;
  Record("InvertRect", dc, {rect->left, rect->top, rect->right, rect->bottom}, "");
  return TRUE;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH) {
  G().calls++;
  Record("FillRect", dc, {rect->left, rect->top, rect->right, rect->bottom}, "");
  return 1;
}

// Recorded as a draw without a context: range end, page, position, redraw.
int SetScrollInfo(HWND, int, const SCROLLINFO* info, BOOL redraw) {
  Record("SetScrollInfo", nullptr, {info->nMax, static_cast<int>(info->nPage), info->nPos, redraw});
  G().scroll = *info;
  return info->nPos;
}

// The system's way, in short: the thumb is the page's share of the track, at
// least kScrollMinThumb, and its top moves along what the thumb leaves over.
BOOL GetScrollBarInfo(HWND, LONG, SCROLLBARINFO* info) {
  const SCROLLINFO& bar = G().scroll;
  const long long range = static_cast<long long>(bar.nMax) - bar.nMin + 1;
  int size = range > 0 ? static_cast<int>(fake::kScrollTrack * static_cast<long long>(bar.nPage) / range) : 0;
  if (size < fake::kScrollMinThumb) size = fake::kScrollMinThumb;
  if (size > fake::kScrollTrack) size = fake::kScrollTrack;
  const long long last = static_cast<long long>(bar.nMax) - (bar.nPage > 0 ? bar.nPage - 1 : 0);
  const int top = last > bar.nMin ? static_cast<int>((fake::kScrollTrack - size) * (bar.nPos - bar.nMin) / (last - bar.nMin)) : 0;
  info->xyThumbTop = top;
  info->xyThumbBottom = top + size;
  return TRUE;
}
HWND SetCapture(HWND) { return nullptr; }
BOOL ReleaseCapture() { return TRUE; }

// Recorded as a draw: dx, dy, then the scrolled rectangle.
BOOL ScrollDC(HDC dc, int dx, int dy, const RECT* scroll, const RECT*, HRGN, LPRECT) {
  G().calls++;
  Record("ScrollDC", dc, {dx, dy, scroll->left, scroll->top, scroll->right, scroll->bottom}, "");
  return TRUE;
}

int GetObjectA(HGDIOBJ object, int size, void* buffer) {
  G().calls++;
  GdiObject o = Describe(object);
  if (o.kind != GdiObject::kFont || buffer == nullptr || size < static_cast<int>(sizeof(LOGFONTA))) return 0;
  std::memcpy(buffer, &o.font, sizeof(LOGFONTA));
  return sizeof(LOGFONTA);
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  G().calls++;
  HGDIOBJ h = reinterpret_cast<HGDIOBJ>(G().next += 8);
  GdiObject o;
  o.kind = GdiObject::kFont;
  o.font = *font;
  G().objects[h] = o;
  G().fontsAlive++;
  return static_cast<HFONT>(h);
}

int GetClipBox(HDC dc, LPRECT rect) {
  G().calls++;
  HWND window = G().owners[dc];
  if (G().covered.count(window) || G().iconic.count(window)) {
    *rect = RECT{0, 0, 0, 0};
    return NULLREGION;
  }
  *rect = RECT{0, 0, 1600, 1200};
  return SIMPLEREGION;
}

BOOL IsIconic(HWND window) { return G().iconic.count(window) ? TRUE : FALSE; }

HWND GetAncestor(HWND, UINT) { return rootWindow; }

int DrawTextA(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format) {
  G().calls++;
  std::string s = length < 0 ? std::string(text) : std::string(text, static_cast<size_t>(length));
  Record("DrawTextA", dc, {rect->left, rect->top, rect->right, rect->bottom, static_cast<int>(format)}, s);
  return 16;
}

int SetBkMode(HDC dc, int mode) {
  G().calls++;
  int previous = State(dc).bkMode;
  State(dc).bkMode = mode;
  return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  G().calls++;
  COLORREF previous = State(dc).textColor;
  State(dc).textColor = color;
  return previous;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  G().calls++;
  COLORREF previous = State(dc).bkColor;
  State(dc).bkColor = color;
  return previous;
}

DWORD GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_APPWORKSPACE: return RGB(128, 128, 128);
    default: return 0;
  }
}

HWND GetFocus() { return fake::focus; }
