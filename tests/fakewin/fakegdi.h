// Test-side view of the recording GDI: every drawing call, with the state of
// its device context at the time.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace fake {

struct GdiObject {
  enum Kind { kNone, kBrush, kPen } kind = kNone;
  COLORREF color = 0;
  bool stock = false;
};

struct Draw {
  std::string fn;            // "Rectangle", "RoundRect", "TextOutA", "DrawTextA"
  HDC dc = nullptr;
  std::vector<int> args;     // coordinates (and corner sizes, format) in order
  std::string text;          // TextOutA / DrawTextA text, exactly the counted characters
  GdiObject pen;             // selected when drawn
  GdiObject brush;
  COLORREF textColor = 0;
  int bkMode = 0;
};

std::vector<Draw>& Draws();
std::vector<Draw> DrawsOf(const std::string& fn);
int DcInUse();            // GetDC without ReleaseDC
int BrushesAlive();       // created and not yet deleted
void ResetGdi();
HDC DcOf(HWND window);    // the window's own context (CS_OWNDC: one per window)
extern HWND focus;        // what GetFocus answers

}  // namespace fake
