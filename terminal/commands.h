// What a terminal window does for its port: the Control menu's escape and
// purge commands, and clicks on the signal lamps.
#pragma once
#include <windows.h>

struct ComPort;

// Carries out an escape or purge command (217 to 224) on the port and leaves
// its notice; false for any other command.
bool RunControlCommand(ComPort* port, unsigned command);

// Index of the lamp strictly inside which (x, y) lies, among the port's
// `lampCount` lamps, or -1.
int LampAt(int x, int y, int lampCount);

// A click released at (x, y): an input lamp answers with a box, RTS and DTR
// flip with an escape function, LOOP switches the loop-back (terminal/lamps.h).
void ClickLamp(ComPort* port, int x, int y);
