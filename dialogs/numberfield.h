// Reading a number that the user typed into an edit box of a settings dialog.
#pragma once
#include <windows.h>

// The conversions below are written out by hand so that every C library gives
// the same answer: they skip leading white space, take an optional sign (a
// minus negates), stop at the first character that is not a digit and keep
// the low 32 bits of whatever they read (4294967297 gives 1), where a C
// library would saturate. ParseHex also takes one "0x" or "0X" after the
// sign, as "%lx" does. Each answers true, and stores, only when it read at
// least one digit (the "0" of a "0x" counts).
bool ParseDecimal(const char* text, DWORD* value);
bool ParseHex(const char* text, DWORD* value);

// The field's text rules: "0x" prefix or "H" suffix for hexadecimal, else
// decimal, else the code of the first character. False (nothing stored) for
// an empty text, a "0x" or "H" text without hexadecimal digits.
bool ParseNumberText(const char* text, DWORD* value);

// Reads at most 17 characters of the control's text and converts them as
// above. Non-zero when it stored a value.
int ReadNumberField(HWND dialog, int control, DWORD* value);
