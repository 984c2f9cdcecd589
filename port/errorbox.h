// The one way a failed system call is shown to the user.
#pragma once
#include <windows.h>

// The window that owns every error box: the frame, given once it exists.
void SetErrorBoxOwner(HWND owner);

// Shows "<message><number>" or, with a second text, "<message> <number>
// <second> <secondNumber>", cut to fit one 80-character line, in a
// question-mark box owned by the window given above. Returns the box's answer.
int ErrorBox(const char* message, int number, const char* second = nullptr,
             int secondNumber = 0);
