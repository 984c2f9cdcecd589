// What a terminal window keeps to draw its port: copies of what it last
// painted, its client height, the mouse position and its GDI objects, which
// it frees itself. The poll tells it after each pass that the port may have
// changed; it paints only what did.
#pragma once
#include <windows.h>

#include <cstdint>

#include "port/comport.h"

// The screen is painted at most this often, however fast data comes: the
// cost of showing a stream then falls per byte as the rate rises.
constexpr DWORD kFrameMs = 33;
constexpr UINT_PTR kFrameTimer = 1;

class TerminalView : public PortWatcher {
 public:
  explicit TerminalView(HWND window) : window_(window) {}
  ~TerminalView();
  TerminalView(const TerminalView&) = delete;
  TerminalView& operator=(const TerminalView&) = delete;

  void Resize(int clientHeight) { clientHeight_ = clientHeight; }
  void MouseAt(int x, int y) {
    mouseX_ = x;
    mouseY_ = y;
  }
  int mouseX() const { return mouseX_; }
  int mouseY() const { return mouseY_; }

  // Draws the lamps and rows: all of them when full, else only what changed.
  // Draws nothing while the window is minimized or fully covered: showing it
  // again makes the system ask for a full paint.
  void Paint(ComPort& port, bool full);
  // After a poll pass or a drain: paints what changed, if anything did, at
  // most once per frame; a change inside a frame is painted by the frame
  // timer at its end (FrameDue).
  void PortChanged(ComPort& port) override;
  // The frame timer (kFrameTimer) went off: paints what waited for it.
  void FrameDue(ComPort& port);

 private:
  void MakeDrawingObjects();

  HWND window_;
  int clientHeight_ = 0;
  // Outside every lamp, so a button released before any mouse move does nothing.
  int mouseX_ = -1;
  int mouseY_ = -1;
  // A value the status words never take, so the first paint draws the lamps.
  WORD paintedModemStatus_ = 0x00FF;
  WORD paintedOutputLines_ = 0x00FF;
  uint64_t paintedAdvances_ = 0;  // the screen's Advances at the last paint
  DWORD lastPaint_ = 0;           // GetTickCount of the last paint
  bool painted_ = false;          // lastPaint_ is set
  bool frameTimer_ = false;       // kFrameTimer is running
  HFONT rowFont_ = nullptr;   // the system font without anti-aliasing; made at the first paint
  HFONT dumpFont_ = nullptr;  // the fixed-pitch system font, for Hex Dump rows; made when one is painted
  HBRUSH litBrush_ = nullptr; // the lit lamps' green; made at the first paint
};
