// Time-outs: the port's five Win32 time-outs, as the driver has them.
#include "dialogs/controls.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "dialogs/numberfield.h"
#include "port/comport.h"

namespace {

// One record for the whole program: a failed read shows what the last use
// left in it, on whatever port that was.
COMMTIMEOUTS timeouts;

struct Field {
  int control;
  DWORD COMMTIMEOUTS::*member;
};
const Field kFields[] = {
    {IDC_READINTERVAL, &COMMTIMEOUTS::ReadIntervalTimeout},
    {IDC_READMULTIPLIER, &COMMTIMEOUTS::ReadTotalTimeoutMultiplier},
    {IDC_READCONSTANT, &COMMTIMEOUTS::ReadTotalTimeoutConstant},
    {IDC_WRITEMULTIPLIER, &COMMTIMEOUTS::WriteTotalTimeoutMultiplier},
    {IDC_WRITECONSTANT, &COMMTIMEOUTS::WriteTotalTimeoutConstant},
};

void OnInitDialog(HWND dialog, ComPort* port) {
  // The 16-bit time-outs have no Win32 counterpart.
  DisableControl(dialog, IDC_CTSTIMEOUT);
  DisableControl(dialog, IDC_DSRTIMEOUT);
  DisableControl(dialog, IDC_RLSTIMEOUT);
  port->ReadTimeouts(&timeouts);
  for (const Field& field : kFields) SetNumberText(dialog, field.control, timeouts.*field.member);
}

void OnOk(HWND dialog, ComPort* port) {
  DWORD value;
  for (const Field& field : kFields)
    if (ReadNumberField(dialog, field.control, &value)) timeouts.*field.member = value;
  // A refusal goes unreported: the driver keeps its former time-outs.
  port->GiveTimeouts(&timeouts);
}

}  // namespace

INT_PTR CALLBACK TimeoutsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return HandleSettingsDialog(dialog, message, wParam, lParam, OnInitDialog, OnOk);
}
