// Line Settings: every line and flow-control member of the DCB one by one,
// with the RTS and DTR lamps kept in step with the control modes.
#include "dialogs/controls.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "dialogs/numberfield.h"
#include "port/comport.h"
#include "port/errorbox.h"

namespace {

const char* const kParities[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const kStopBits[] = {"1", "1.5", "2"};
const char* const kRtsModes[] = {"Clear", "Set", "Auto", "Toggle"};
const char* const kDtrModes[] = {"Clear", "Set", "Auto"};

// The lamp follows the mode: off for "Clear", on for the modes that raise the
// line; a value with no entry leaves it alone.
void FollowMode(ComPort* port, WORD lampBit, int mode, int modeCount) {
  if (mode == 0)
    port->outputLines = static_cast<WORD>(port->outputLines & ~lampBit);
  else if (mode > 0 && mode < modeCount)
    port->outputLines = static_cast<WORD>(port->outputLines | lampBit);
}

void OnInitDialog(HWND dialog, ComPort* port) {
  DCB& dcb = port->dcb;
  if (!port->ReadState(&dcb)) ReportCommFailure("Error from GetCommState:");

  SetNumberText(dialog, IDC_BAUDRATE, dcb.BaudRate);
  SetNumberText(dialog, IDC_DATABITS, dcb.ByteSize);
  FillList(dialog, IDC_PARITY, kParities, 5, dcb.Parity);
  SetCheck(dialog, IDC_PARITYENABLE, dcb.fParity != 0);
  FillList(dialog, IDC_STOPBITS, kStopBits, 3, dcb.StopBits);

  const int rts = static_cast<int>(dcb.fRtsControl);
  FollowMode(port, kLineRts, rts, 4);
  FillList(dialog, IDC_RTSCONTROL, kRtsModes, 4, rts);
  const int dtr = static_cast<int>(dcb.fDtrControl);
  FollowMode(port, kLineDtr, dtr, 3);
  FillList(dialog, IDC_DTRCONTROL, kDtrModes, 3, dtr);

  SetCheck(dialog, IDC_RECXONXOFF, dcb.fOutX != 0);
  SetCheck(dialog, IDC_SENDXONXOFF, dcb.fInX != 0);
  SetCheck(dialog, IDC_CTSFLOW, dcb.fOutxCtsFlow != 0);
  SetCheck(dialog, IDC_DSRFLOW, dcb.fOutxDsrFlow != 0);
}

void OnOk(HWND dialog, ComPort* port) {
  DCB& dcb = port->dcb;
  DWORD value;
  if (ReadNumberField(dialog, IDC_BAUDRATE, &value)) dcb.BaudRate = value;
  if (ReadNumberField(dialog, IDC_DATABITS, &value)) dcb.ByteSize = static_cast<BYTE>(value);

  // Rate and size go first on their own, so that a size the driver refuses
  // is reported with the value that was sent.
  if (!port->GiveState(&dcb)) {
    DWORD error = GetLastError();
    if (error != 0) ErrorBox("Error from SetCommState A2:", static_cast<int>(error), "ByteSize:", dcb.ByteSize);
  }

  // A list without a selection leaves its member, and its lamp, as they were.
  int selection = ListSelection(dialog, IDC_STOPBITS);
  if (selection != CB_ERR) dcb.StopBits = static_cast<BYTE>(selection);
  selection = ListSelection(dialog, IDC_PARITY);
  if (selection != CB_ERR) dcb.Parity = static_cast<BYTE>(selection);
  dcb.fParity = IsChecked(dialog, IDC_PARITYENABLE);

  selection = ListSelection(dialog, IDC_RTSCONTROL);
  if (selection != CB_ERR) {
    dcb.fRtsControl = static_cast<DWORD>(selection) & 3;
    FollowMode(port, kLineRts, selection, 4);
  }
  selection = ListSelection(dialog, IDC_DTRCONTROL);
  if (selection != CB_ERR) {
    dcb.fDtrControl = static_cast<DWORD>(selection) & 3;
    FollowMode(port, kLineDtr, selection, 3);
  }

  dcb.fOutX = IsChecked(dialog, IDC_RECXONXOFF);
  dcb.fInX = IsChecked(dialog, IDC_SENDXONXOFF);
  dcb.fOutxCtsFlow = IsChecked(dialog, IDC_CTSFLOW);
  dcb.fOutxDsrFlow = IsChecked(dialog, IDC_DSRFLOW);

  if (!port->GiveState(&dcb)) ReportCommFailure("Error from SetCommState:");
}

}  // namespace

INT_PTR CALLBACK LineSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return HandleSettingsDialog(dialog, message, wParam, lParam, OnInitDialog, OnOk);
}
