// The row of signal lamps along the top of every terminal window: one table
// says what each lamp shows, whether a click switches it, and where it sits.
#pragma once
#include <windows.h>

struct ComPort;

struct SignalLamp {
  char name[12];
  WORD modemBit;    // MS_* bit it shows (an input line), or 0
  WORD outputLine;  // kLine* bit it shows and a click switches (an output), or 0
  int x;            // left edge in client pixels, set by LayoutLamps
  int width;
};

constexpr int kLampCount = 6;  // CTS, DSR, CD, RTS, DTR, LOOP
constexpr int kLampTop = 1;
constexpr int kLampBottom = 17;

// The six lamps and an empty entry that ends the table.
extern SignalLamp signalLamps[kLampCount + 1];

// Places the lamps: 10 pixels a character, 2 pixels apart, and 5 more after
// CD and after LOOP, so inputs and outputs stand apart.
void LayoutLamps();

// Whether lamp `index` is lit for the port's lines now.
bool LampLit(const ComPort& port, int index);

// Draws lamp `index` lit (light green, label in capitals) or unlit (grey, lower case).
// A lit lamp is filled with litBrush, or with a brush made for the call when none is given.
void DrawLamp(HDC dc, int lit, int index, HBRUSH litBrush = nullptr);
