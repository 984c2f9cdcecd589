// Misc Settings: the special characters, the XON/XOFF limits and the
// remaining flags of the DCB.
#include "dialogs/controls.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "dialogs/numberfield.h"
#include "port/comport.h"

namespace {

// Settings of the 16-bit interface: shown, never used.
const int kWin16Controls[] = {IDC_FBINARY, IDC_FPECHAR, IDC_FCHEVT, IDC_PECHAR, IDC_TXDELAY};

// XonChar and XoffChar show sign-widened, as a char widens ("%u" of 0x91 is
// 4294967185); the other characters show as their unsigned code.
DWORD Widened(char c) { return static_cast<DWORD>(static_cast<LONG>(static_cast<signed char>(c))); }
DWORD Code(char c) { return static_cast<unsigned char>(c); }

void OnInitDialog(HWND dialog, ComPort* port) {
  DCB& dcb = port->dcb;
  if (!port->ReadState(&dcb)) ReportCommFailure("Error from GetCommState:");

  SetCheck(dialog, IDC_FNULL, dcb.fNull != 0);
  SetNumberText(dialog, IDC_XONCHAR, Widened(dcb.XonChar));
  SetNumberText(dialog, IDC_XOFFCHAR, Widened(dcb.XoffChar));
  SetNumberText(dialog, IDC_XONLIM, dcb.XonLim);
  SetNumberText(dialog, IDC_XOFFLIM, dcb.XoffLim);
  SetNumberText(dialog, IDC_EOFCHAR, Code(dcb.EofChar));
  SetNumberText(dialog, IDC_EVTCHAR, Code(dcb.EvtChar));
  for (int control : kWin16Controls) DisableControl(dialog, control);
  SetCheck(dialog, IDC_DSRSENSITIVITY, dcb.fDsrSensitivity != 0);
  SetCheck(dialog, IDC_TXCONTINUEONXOFF, dcb.fTXContinueOnXoff != 0);
  SetCheck(dialog, IDC_ERRORCHARON, dcb.fErrorChar != 0);
  SetCheck(dialog, IDC_ABORTONERROR, dcb.fAbortOnError != 0);
  SetNumberText(dialog, IDC_ERRORCHAR, Code(dcb.ErrorChar));
}

// A box that yields no value leaves its member as it was; otherwise only the
// low bits that fit the member count.
void ReadChar(HWND dialog, int control, char* member) {
  DWORD value;
  if (ReadNumberField(dialog, control, &value)) *member = static_cast<char>(value & 0xFF);
}
void ReadLimit(HWND dialog, int control, WORD* member) {
  DWORD value;
  if (ReadNumberField(dialog, control, &value)) *member = static_cast<WORD>(value & 0xFFFF);
}

void OnOk(HWND dialog, ComPort* port) {
  DCB& dcb = port->dcb;
  dcb.fNull = IsChecked(dialog, IDC_FNULL);
  ReadChar(dialog, IDC_XONCHAR, &dcb.XonChar);
  ReadChar(dialog, IDC_XOFFCHAR, &dcb.XoffChar);
  ReadLimit(dialog, IDC_XONLIM, &dcb.XonLim);
  ReadLimit(dialog, IDC_XOFFLIM, &dcb.XoffLim);
  ReadChar(dialog, IDC_EOFCHAR, &dcb.EofChar);
  ReadChar(dialog, IDC_EVTCHAR, &dcb.EvtChar);
  dcb.fDsrSensitivity = IsChecked(dialog, IDC_DSRSENSITIVITY);
  dcb.fTXContinueOnXoff = IsChecked(dialog, IDC_TXCONTINUEONXOFF);
  dcb.fErrorChar = IsChecked(dialog, IDC_ERRORCHARON);
  dcb.fAbortOnError = IsChecked(dialog, IDC_ABORTONERROR);
  ReadChar(dialog, IDC_ERRORCHAR, &dcb.ErrorChar);
  if (!port->GiveState(&dcb)) ReportCommFailure("Error from SetCommState:");
}

}  // namespace

INT_PTR CALLBACK MiscSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return HandleSettingsDialog(dialog, message, wParam, lParam, OnInitDialog, OnOk);
}
