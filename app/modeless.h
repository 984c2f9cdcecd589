// The program's modeless dialogs (Find, Send Text, Sending), which the
// message loop gives their keyboard messages (Tab, Enter, Esc).
#pragma once
#include <windows.h>

// Makes the dialog `name` in `*slot` (once: a second call shows it again),
// shows it and gives the focus to its control `focus`; the dialog's
// WM_DESTROY must empty the slot. Null if it could not be made.
HWND OpenModeless(HWND* slot, const char* name, HWND owner, DLGPROC procedure, int focus);
void AddModeless(HWND dialog);
void RemoveModeless(HWND dialog);
// True when `message` was for one of them and has been handled.
bool ModelessMessage(MSG* message);
