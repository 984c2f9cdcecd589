// Events: the mask of communication events the port waits for, one check box
// per event, with a button that checks or clears them all.
#include <cstring>

#include "dialogs/controls.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "port/comport.h"

namespace {

struct EventBox {
  int control;
  DWORD event;
};
const EventBox kEventBoxes[] = {
    {IDC_EV_RXCHAR, EV_RXCHAR},   {IDC_EV_RXFLAG, EV_RXFLAG}, {IDC_EV_TXEMPTY, EV_TXEMPTY},
    {IDC_EV_CTS, EV_CTS},         {IDC_EV_DSR, EV_DSR},       {IDC_EV_RLSD, EV_RLSD},
    {IDC_EV_BREAK, EV_BREAK},     {IDC_EV_ERR, EV_ERR},       {IDC_EV_RING, EV_RING},
    {IDC_EV_PERR, EV_PERR},       {IDC_EV_RX80FULL, EV_RX80FULL},
    {IDC_EV_EVENT1, EV_EVENT1},   {IDC_EV_EVENT2, EV_EVENT2},
};
constexpr DWORD kAllEvents = 0x1FFF;
// Settings of the 16-bit interface: shown, never used.
const int kWin16Controls[] = {IDC_EV_CTSS, IDC_EV_DSRS, IDC_EV_RLSDS, IDC_EV_RINGTE,
                              IDC_RECCOUNT, IDC_SENDCOUNT};

// The mask being edited. Only one Events dialog can be open at a time (it is
// modal to the frame), so one copy serves; it is taken afresh at every opening.
DWORD workingMask;

void ShowBoxes(HWND dialog) {
  for (const EventBox& box : kEventBoxes) SetCheck(dialog, box.control, (workingMask & box.event) != 0);
  for (int control : kWin16Controls) DisableControl(dialog, control);
}

void OnInitDialog(HWND dialog, ComPort* port) {
  workingMask = port->eventMask;
  SetDlgItemTextA(dialog, IDC_ALLONOFF, workingMask != 0 ? "All Off" : "All On");
  ShowBoxes(dialog);
}

// The caption says what the button does next; it flips on every click,
// whatever boxes were changed by hand.
void OnAllOnOff(HWND dialog) {
  char caption[18];
  caption[0] = '\0';
  GetDlgItemTextA(dialog, IDC_ALLONOFF, caption, static_cast<int>(sizeof caption));
  if (std::strlen(caption) > 5 && caption[5] == 'n') {  // "All On"
    SetDlgItemTextA(dialog, IDC_ALLONOFF, "All Off");
    workingMask = kAllEvents;
  } else {
    SetDlgItemTextA(dialog, IDC_ALLONOFF, "All On");
    workingMask = 0;
  }
  ShowBoxes(dialog);
}

void OnOk(HWND dialog, ComPort* port) {
  for (const EventBox& box : kEventBoxes) {
    if (IsChecked(dialog, box.control))
      workingMask |= box.event;
    else
      workingMask &= ~box.event;
  }
  // A refused mask is kept all the same; the event wait reports what follows.
  port->GiveEventMask(workingMask);
}

}  // namespace

INT_PTR CALLBACK EventsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDC_ALLONOFF) {
    if (HIWORD(wParam) == BN_CLICKED) OnAllOnOff(dialog);
    return FALSE;
  }
  return HandleSettingsDialog(dialog, message, wParam, lParam, OnInitDialog, OnOk);
}
