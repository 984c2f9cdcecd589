// Which port a settings or statistics dialog acts on. The dialog is bound to
// the port it was opened for (WM_INITDIALOG's lParam) and acts on it only
// while the port's window is open: a box shown from a dialog runs a message
// loop in which that window may close, and a dialog's timer may fire after it.
#pragma once
#include <windows.h>

struct ComPort;

void BindDialog(HWND dialog, ComPort* port);
// The dialog's port; nullptr once its window has closed (or never bound).
ComPort* BoundPort(HWND dialog);
// Drops the binding: when the dialog ends, and at WM_DESTROY for a dialog
// that went with its owner.
void UnbindDialog(HWND dialog);
// Ends the dialog and drops its binding.
void EndPortDialog(HWND dialog, INT_PTR result);
// The port's window is closing: its dialogs let go of it at once and are
// sent Cancel, so that they close as if the user had cancelled them.
void CloseDialogsOf(const ComPort* port);
