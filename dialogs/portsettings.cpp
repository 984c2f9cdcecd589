// Port Settings: baud rate, data bits, parity, stop bits and one of three
// flow-control schemes, each from a drop-down list.
#include <cstdio>

#include "dialogs/controls.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "dialogs/numberfield.h"
#include "port/comport.h"

namespace {

const DWORD kBaudRates[] = {300,   600,   1200,  2400,   3600,   4800,   7200, 9600,
                            19200, 38400, 57600, 115200, 230400, 460800, 0};
const char* const kDataBits[] = {"7 bits", "8 bits"};
const char* const kParities[] = {"None", "Odd", "Even"};
const char* const kStopBits[] = {"1", "1.5", "2"};
const char* const kFlowSchemes[] = {"None", "Hardware", "Xon/Xoff"};
enum { kFlowNone, kFlowHardware, kFlowXonXoff };

void FillBaudRates(HWND dialog, DWORD rate) {
  char texts[sizeof kBaudRates / sizeof kBaudRates[0]][16];
  const char* items[sizeof kBaudRates / sizeof kBaudRates[0]];
  int count = 0;
  int selection = 0;  // a rate not in the list shows as the first one
  for (; kBaudRates[count] != 0; count++) {
    std::snprintf(texts[count], sizeof texts[count], "%u", static_cast<unsigned>(kBaudRates[count]));
    items[count] = texts[count];
    if (kBaudRates[count] == rate) selection = count;
  }
  FillList(dialog, IDC_BAUDRATE, items, count, selection);
}

void OnInitDialog(HWND dialog, ComPort* port) {
  DCB& dcb = port->dcb;
  if (!port->ReadState(&dcb)) ReportCommFailure("Error from GetCommState:");

  FillBaudRates(dialog, dcb.BaudRate);
  FillList(dialog, IDC_DATABITS, kDataBits, 2, dcb.ByteSize == 7 ? 0 : 1);
  FillList(dialog, IDC_PARITY, kParities, 3, dcb.Parity);  // Mark and Space show nothing
  FillList(dialog, IDC_STOPBITS, kStopBits, 3, dcb.StopBits);

  int flow = kFlowNone;
  if (dcb.fOutX) flow = kFlowXonXoff;
  if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) flow = kFlowHardware;  // handshaking wins
  FillList(dialog, IDC_FLOWCONTROL, kFlowSchemes, 3, flow);
}

// The number at the start of a list entry's text ("8 bits" gives 8).
bool ReadListNumber(HWND dialog, int control, DWORD* value) {
  char text[58];
  text[0] = '\0';
  GetDlgItemTextA(dialog, control, text, static_cast<int>(sizeof text));
  return ParseDecimal(text, value);
}

void OnOk(HWND dialog, ComPort* port) {
  DCB& dcb = port->dcb;
  DWORD value;
  if (ReadListNumber(dialog, IDC_BAUDRATE, &value)) dcb.BaudRate = value;
  if (ReadListNumber(dialog, IDC_DATABITS, &value)) dcb.ByteSize = static_cast<BYTE>(value);

  // A list without a selection leaves its member as the driver gave it.
  int selection = ListSelection(dialog, IDC_STOPBITS);
  if (selection != CB_ERR) dcb.StopBits = static_cast<BYTE>(selection);
  selection = ListSelection(dialog, IDC_PARITY);
  if (selection != CB_ERR) dcb.Parity = static_cast<BYTE>(selection);
  if (dcb.Parity != NOPARITY) dcb.fParity = 1;  // "None" does not switch checking off

  // Every scheme starts from no handshaking with RTS and DTR raised.
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  switch (ListSelection(dialog, IDC_FLOWCONTROL)) {
    case kFlowHardware:
      dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
      dcb.fOutxCtsFlow = 1;
      break;
    case kFlowXonXoff:
      dcb.fOutX = 1;
      dcb.fInX = 1;
      break;
    default:
      break;
  }

  if (!port->GiveState(&dcb)) ReportCommFailure("Error from SetCommState:");
}

}  // namespace

INT_PTR CALLBACK PortSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return HandleSettingsDialog(dialog, message, wParam, lParam, OnInitDialog, OnOk);
}
