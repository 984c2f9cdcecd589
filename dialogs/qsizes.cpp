// Queue sizes: the driver's input and output queue sizes, and new ones asked for.
#include "app/errorbox.h"
#include "app/globals.h"
#include "dialogs/controls.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "dialogs/numberfield.h"
#include "port/comport.h"

namespace {

// One record for the whole program; it holds the sizes last shown or asked
// for, which a failed read then shows again.
COMMPROP properties;

void OnInitDialog(HWND dialog) {
  g_app.dialogPort->ReadProperties(&properties);
  SetNumberText(dialog, IDC_RXQUEUE, properties.dwCurrentRxQueue);
  SetNumberText(dialog, IDC_TXQUEUE, properties.dwCurrentTxQueue);
}

void OnOk(HWND dialog) {
  DWORD value;
  if (ReadNumberField(dialog, IDC_RXQUEUE, &value)) properties.dwCurrentRxQueue = value;
  if (ReadNumberField(dialog, IDC_TXQUEUE, &value)) properties.dwCurrentTxQueue = value;
  if (!g_app.dialogPort->GiveQueueSizes(properties.dwCurrentRxQueue, properties.dwCurrentTxQueue))
    ErrorBox("Error from SetupComm:", static_cast<int>(GetLastError()));  // even an error 0
  g_app.dialogPort->ReadQueueSize();
}

}  // namespace

INT_PTR CALLBACK QueueSizesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return HandleSettingsDialog(dialog, message, wParam, OnInitDialog, OnOk);
}
