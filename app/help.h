// Help: the help file when it is there, else the guide built into the program.
#pragma once
#include <windows.h>

void ShowHelp(HWND owner);
