// The program's modeless dialogs (Find, Send Text, Sending), which the
// message loop gives their keyboard messages (Tab, Enter, Esc).
#pragma once
#include <windows.h>

void AddModeless(HWND dialog);
void RemoveModeless(HWND dialog);
// True when `message` was for one of them and has been handled.
bool ModelessMessage(MSG* message);
