// Ports...: the serial ports present now, one row each, kept up to date
// while the dialog is open; Open or a double-click opens the selected one in
// a terminal window, as the Open Port menu does.
#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "core/port_list.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/dialogs.h"
#include "port/comport.h"
#include "port/program.h"

namespace {

// --- the ports ---------------------------------------------------------------
// Where Windows keeps its serial ports: SetupAPI for devices with a driver
// (friendly name, hardware id), SERIALCOMM for every port a serial driver
// made, including those SetupAPI does not know (Wine's, some virtual ones).

// GUID_DEVINTERFACE_COMPORT and GUID_DEVCLASS_PORTS, spelled out so that no
// header has to instantiate them.
const GUID kComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

constexpr DWORD kTextMax = 512;

// A string value, or "" when it is missing, too long or no string. The
// registry does not promise a terminating NUL: one is added.
std::string ReadString(HKEY key, const char* valueName) {
  char text[kTextMax + 1] = {};
  DWORD type = 0;
  DWORD size = kTextMax;
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
    return "";
  if (type != REG_SZ && type != REG_EXPAND_SZ) return "";
  return text;
}

// A device property as text: a REG_MULTI_SZ gives its first string.
std::string ReadProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property) {
  char text[kTextMax + 2] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyA(set, device, property, &type, reinterpret_cast<BYTE*>(text), kTextMax,
                                         nullptr))
    return "";
  if (type != REG_SZ && type != REG_MULTI_SZ && type != REG_EXPAND_SZ) return "";
  return text;
}

void AddSetupDevices(PortList& list, const GUID* guid, DWORD flags) {
  HDEVINFO set = SetupDiGetClassDevsA(guid, nullptr, nullptr, flags | DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); i++) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE || key == nullptr) continue;
    PortEntry entry;
    entry.name = ReadString(key, "PortName");
    RegCloseKey(key);
    // The Ports class holds the printer ports too.
    if (entry.name.empty() || IsPrinterPortName(entry.name)) continue;
    entry.friendly = ReadProperty(set, &device, SPDRP_FRIENDLYNAME);
    entry.hardwareId = ReadProperty(set, &device, SPDRP_HARDWAREID);
    list.Add(entry);
  }
  SetupDiDestroyDeviceInfoList(set);
}

void AddSerialComm(PortList& list) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS)
    return;
  for (DWORD i = 0;; i++) {
    char valueName[256];
    DWORD nameSize = sizeof valueName;
    char data[kTextMax + 1] = {};
    DWORD dataSize = kTextMax;
    DWORD type = 0;
    const LONG result = RegEnumValueA(key, i, valueName, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                      &dataSize);
    if (result == ERROR_MORE_DATA) continue;  // no port name is that long
    if (result != ERROR_SUCCESS) break;
    if (type == REG_SZ) list.Add(PortEntry{data, "", "", PortState::kNone});
  }
  RegCloseKey(key);
}

// SetupAPI's serial ports (by interface, then by the Ports class), the names
// in SERIALCOMM that SetupAPI does not know, and the ports of the terminal
// windows, marked.
PortList PresentPorts() {
  PortList list;
  AddSetupDevices(list, &kComPortInterface, DIGCF_DEVICEINTERFACE);
  AddSetupDevices(list, &kPortsClass, 0);
  AddSerialComm(list);
  // A port whose window has closed is only waiting for a box to end.
  for (const ComPort* port = g_program.portList; port != nullptr; port = port->next)
    if (!port->closePending) list.MarkOpen(port->portName, port->Lost());
  return list;
}

// --- the dialog ---------------------------------------------------------------

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 2000;  // no notice comes for every kind of port (none at all under Wine)
// Where the friendly name, the hardware id and the state start, in dialog units.
constexpr int kTabStops[] = {48, 190, 350};

using Opener = bool (*)(const char*);

// The dialog is modal and opened from the frame only: one at a time.
struct Shown {
  Opener opener = nullptr;
  std::vector<PortEntry> entries;  // in the list's order
  std::vector<std::string> rows;
};
Shown shown;

LRESULT ToList(HWND dialog, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendDlgItemMessageA(dialog, IDC_PORTLIST, message, wParam, lParam);
}

std::string SelectedName(HWND dialog) {
  const LRESULT index = ToList(dialog, LB_GETCURSEL);
  if (index < 0 || index >= static_cast<LRESULT>(shown.entries.size())) return "";
  return shown.entries[static_cast<size_t>(index)].name;
}

// Rebuilds the list only when a row changed, keeping the selected port
// selected and the list scrolled where it was.
void Refresh(HWND dialog) {
  std::vector<PortEntry> entries = PresentPorts().Sorted();
  std::vector<std::string> rows;
  for (const PortEntry& entry : entries) rows.push_back(FormatPortRow(entry));
  if (rows == shown.rows) return;

  const std::string selected = SelectedName(dialog);
  const LRESULT top = ToList(dialog, LB_GETTOPINDEX);
  ToList(dialog, LB_RESETCONTENT);
  for (const std::string& row : rows) ToList(dialog, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
  for (size_t i = 0; i < entries.size() && !selected.empty(); i++)
    if (SamePortName(entries[i].name, selected)) ToList(dialog, LB_SETCURSEL, i);
  if (top > 0 && !rows.empty())
    ToList(dialog, LB_SETTOPINDEX, static_cast<WPARAM>(top < static_cast<LRESULT>(rows.size()) ? top : rows.size() - 1));
  shown.entries = std::move(entries);
  shown.rows = std::move(rows);
}

void End(HWND dialog, INT_PTR result) {
  KillTimer(dialog, kRefreshTimer);
  EndDialog(dialog, result);
}

// The opener has shown its box when it fails; the dialog stays for another try.
void OpenSelected(HWND dialog) {
  const std::string name = SelectedName(dialog);
  if (name.empty() || shown.opener == nullptr) return;
  if (shown.opener(name.c_str()))
    End(dialog, IDOK);
  else
    Refresh(dialog);
}

}  // namespace

// lParam of WM_INITDIALOG: the opener, bool (*)(const char* name).
INT_PTR CALLBACK PortsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      shown = Shown{};
      shown.opener = reinterpret_cast<Opener>(lParam);
      ToList(dialog, LB_SETTABSTOPS, sizeof kTabStops / sizeof kTabStops[0], reinterpret_cast<LPARAM>(kTabStops));
      Refresh(dialog);
      SetTimer(dialog, kRefreshTimer, kRefreshMs, nullptr);
      return TRUE;
    case WM_TIMER:
      if (wParam != kRefreshTimer) return FALSE;
      Refresh(dialog);
      return TRUE;
    case WM_DEVICECHANGE:
      Refresh(dialog);
      return FALSE;  // the system's answer to the notice stays the default one
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_PORTLIST:
          if (HIWORD(wParam) == LBN_DBLCLK) OpenSelected(dialog);
          return TRUE;
        case IDC_PORTOPEN:  // also Enter: it is the default button
          OpenSelected(dialog);
          return TRUE;
        case IDCANCEL:
          End(dialog, IDCANCEL);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}
