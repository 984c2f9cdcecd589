// Port > Send Text... and Port > Send File...: the dialogs that send what the
// user gives to the active terminal's port.
#pragma once
#include <windows.h>

// The Send Text dialog (made at the first call, modeless).
void OpenSendTextDialog(HWND frame);
// The system's Open dialog, then the file goes out with a Sending dialog
// showing its progress; a file that cannot be read gets a box and nothing is sent.
void SendFile(HWND frame);
