// Queue sizes: the driver's input and output queue sizes, and new ones asked for.
#include "dialogs/controls.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "dialogs/numberfield.h"
#include "port/comport.h"
#include "port/errorbox.h"

namespace {

// One record for the whole program; it holds the sizes last shown or asked
// for, which a failed read then shows again.
COMMPROP properties;

void OnInitDialog(HWND dialog, ComPort* port) {
  port->ReadProperties(&properties);
  SetNumberText(dialog, IDC_RXQUEUE, properties.dwCurrentRxQueue);
  SetNumberText(dialog, IDC_TXQUEUE, properties.dwCurrentTxQueue);
}

void OnOk(HWND dialog, ComPort* port) {
  DWORD value;
  if (ReadNumberField(dialog, IDC_RXQUEUE, &value)) properties.dwCurrentRxQueue = value;
  if (ReadNumberField(dialog, IDC_TXQUEUE, &value)) properties.dwCurrentTxQueue = value;
  if (!port->GiveQueueSizes(properties.dwCurrentRxQueue, properties.dwCurrentTxQueue))
    ErrorBox("Error from SetupComm:", static_cast<int>(GetLastError()));  // even an error 0
  port->ReadQueueSize();
}

}  // namespace

INT_PTR CALLBACK QueueSizesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return HandleSettingsDialog(dialog, message, wParam, lParam, OnInitDialog, OnOk);
}
