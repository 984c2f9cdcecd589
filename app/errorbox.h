// The one way a failed system call is shown to the user.
#pragma once

// Shows "<message><number>" or, with a second text, "<message> <number>
// <second> <secondNumber>", cut to fit one 80-character line, in a
// question-mark box owned by the frame window. Returns the box's answer.
int ErrorBox(const char* message, int number, const char* second = nullptr,
             int secondNumber = 0);
