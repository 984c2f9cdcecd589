// What a terminal window keeps to draw its port: copies of what it last
// painted, its client height, the mouse position and its GDI objects, which
// it frees itself. The poll tells it after each pass that the port may have
// changed; it paints only what did.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "core/history_text.h"
#include "port/comport.h"

// The screen is painted at most this often, however fast data comes: the
// cost of showing a stream then falls per byte as the rate rises.
constexpr DWORD kFrameMs = 33;
// The scroll bar, while it only follows the data, is drawn at most this often.
constexpr DWORD kBarDrawMs = 500;
constexpr UINT_PTR kFrameTimer = 1;

class TerminalView : public PortWatcher {
 public:
  explicit TerminalView(HWND window) : window_(window) {}
  ~TerminalView();
  TerminalView(const TerminalView&) = delete;
  TerminalView& operator=(const TerminalView&) = delete;

  void Resize(int clientHeight) { clientHeight_ = clientHeight; }
  // Rows of text the client area shows whole.
  int TextRows() const;
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

  // History. Positive rows scroll back (towards older rows); the view never
  // goes past the oldest row held nor below the newest.
  void ScrollBy(ComPort& port, int64_t rows);
  void ScrollToBottom(ComPort& port) { ScrollBy(port, -static_cast<int64_t>(scrollBack_)); }
  void ScrollToTop(ComPort& port) { ScrollBy(port, static_cast<int64_t>(port.screen.Kept())); }
  // The scroll bar's thumb was moved to `position` (0: the oldest row at the top).
  void ScrollBarAt(ComPort& port, int position);
  // Rows below the view that came while the user was scrolled back.
  uint64_t NewRowsBelow() const { return scrollBack_ > 0 ? newRowsBelow_ : 0; }
  // The age of the bottom row shown: the window's text ends with it.
  uint64_t BottomAge() const { return scrollBack_; }

  // Selection: the mouse pressed, moved with the button down, released, in
  // the text area (a press elsewhere selects nothing and returns false).
  bool SelectFrom(ComPort& port, int x, int y);
  void SelectTo(ComPort& port, int x, int y);
  bool Selecting() const { return dragging_; }
  void EndSelecting();
  void SelectAll(ComPort& port);
  void Deselect() { selected_ = dragging_ = false; }
  // Selects what a find found and scrolls it into view.
  void Select(ComPort& port, TextSpot from, TextSpot to);
  // The selection's text, as shown; empty with none.
  std::string SelectedText(const ComPort& port) const;
  // Where a find goes on from: past the selection's start (up: before it),
  // or from the bottom row shown.
  TextSpot FindFrom(const ComPort& port, bool up) const;

 private:
  void MakeDrawingObjects();
  // The place under (x, y), in the text area.
  TextSpot SpotAt(const ComPort& port, int x, int y);
  // Inverts the selected characters of the row numbered `number`, drawn at `top`.
  void InvertSelected(HDC dc, const ScreenRow& row, uint64_t number, int top);
  // Where the system shows the scroll bar's thumb, in pixels along the bar.
  struct Thumb {
    int top = -1;
    int bottom = -1;
    bool operator==(const Thumb& other) const { return top == other.top && bottom == other.bottom; }
  };
  void UpdateScrollBar(const ComPort& port, int rows);
  // Draws the scroll bar if its thumb has moved since it was drawn and
  // kBarDrawMs have passed since then.
  void DrawStaleBar();
  // The bar was just drawn: notes when, and where its thumb is.
  void BarDrawn();
  bool ThumbNow(Thumb* thumb) const;
  // Takes in the rows begun since the last look; scrolled back, the view
  // stays on its rows. True when the history has let go of rows it showed.
  bool HoldView(const ComPort& port);
  // Moves the view by `rows` (positive: back), within the history; true if
  // it moved. The caller paints.
  bool MoveView(const ComPort& port, int64_t rows);
  // The farthest back the view goes: the oldest row held at the top.
  uint64_t Deepest(const ComPort& port) const;

  HWND window_;
  int clientHeight_ = 0;
  // Outside every lamp, so a button released before any mouse move does nothing.
  int mouseX_ = -1;
  int mouseY_ = -1;
  // A value the status words never take, so the first paint draws the lamps.
  WORD paintedModemStatus_ = 0x00FF;
  WORD paintedOutputLines_ = 0x00FF;
  uint64_t paintedAdvances_ = 0;  // the screen's Advances at the last paint
  uint64_t scrollBack_ = 0;       // age of the bottom row shown: 0 follows the data
  uint64_t newRowsBelow_ = 0;     // rows that came while scrolled back
  TextSpot anchor_, caret_;       // the selection, from where the mouse was pressed to where it is
  bool selected_ = false;
  bool dragging_ = false;
  SCROLLINFO shownBar_{};         // what the scroll bar was last given
  DWORD barDrawn_ = 0;            // GetTickCount when the bar was last drawn
  bool barStale_ = false;         // given since without a redraw, and its thumb has moved
  Thumb drawnThumb_;              // the thumb as last drawn
  DWORD lastPaint_ = 0;           // GetTickCount of the last paint
  bool painted_ = false;          // lastPaint_ is set
  bool frameTimer_ = false;       // kFrameTimer is running
  HFONT rowFont_ = nullptr;   // the system font without anti-aliasing; made at the first paint
  HFONT dumpFont_ = nullptr;  // the fixed-pitch system font, for Hex Dump rows; made when one is painted
  HBRUSH litBrush_ = nullptr; // the lit lamps' green; made at the first paint
};
