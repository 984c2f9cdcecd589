// Test-side view of the recording GDI: every drawing call, with the state of
// its device context at the time.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace fake {

struct GdiObject {
  enum Kind { kNone, kBrush, kPen, kFont } kind = kNone;
  COLORREF color = 0;
  bool stock = false;
  LOGFONTA font = {};  // kFont only
};

struct Draw {
  std::string fn;            // "Rectangle", "RoundRect", "TextOutA", "ExtTextOutA", "DrawTextA"
  HDC dc = nullptr;
  std::vector<int> args;     // coordinates (and corner sizes, format; ExtTextOutA: x, y, options, rect) in order
  std::string text;          // the text drawn, exactly the counted characters
  GdiObject pen;             // selected when drawn
  GdiObject brush;
  GdiObject font;
  COLORREF textColor = 0;
  COLORREF bkColor = 0;
  int bkMode = 0;
};

std::vector<Draw>& Draws();
std::vector<Draw> DrawsOf(const std::string& fn);
int DcInUse();            // GetDC without ReleaseDC
int BrushesAlive();       // created and not yet deleted
int FontsAlive();
int GdiCalls();           // every GDI call made since the last ResetGdi, drawing or not
void SetIconic(HWND window, bool iconic);   // what IsIconic answers
void SetCovered(HWND window, bool covered); // GetClipBox answers NULLREGION
extern HWND rootWindow;   // what GetAncestor(GA_ROOT) answers
void ResetGdi();
HDC DcOf(HWND window);    // the window's own context (CS_OWNDC: one per window)
extern HWND focus;        // what GetFocus answers
constexpr int kScrollTrack = 100;   // GetScrollBarInfo's track, in pixels
constexpr int kScrollMinThumb = 8;  // and its smallest thumb

}  // namespace fake
