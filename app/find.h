// Edit > Find: a modeless dialog over the active terminal's history. What it
// was last given is what Find Next (F3) looks for.
#pragma once
#include <windows.h>

#include "core/history_text.h"

// Shows the dialog (made at the first call), its text selected.
void OpenFindDialog(HWND frame);
// What Find Next looks for; an empty text until the dialog has been used.
const FindRequest& LastFind();
