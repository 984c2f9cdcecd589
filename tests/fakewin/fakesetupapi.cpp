// The fake SetupAPI and registry behind the Ports dialog, faithful to the
// documented behaviour of each call for the devices and keys a test sets up.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "fake.h"
#include "fakesetupapi_ctl.h"

namespace fake {

const GUID kComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

namespace {

constexpr char kSerialCommPath[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

struct DeviceList {
  std::vector<SetupDevice> devices;  // as they were when the list was made
};

struct OpenKey {
  std::vector<RegValue> values;
  REGSAM access = 0;
};

struct State {
  SetupWorld world;
  std::map<HDEVINFO, DeviceList> lists;
  std::map<HKEY, OpenKey> keys;
  uintptr_t next = 0x5E700000;
  std::vector<std::string> violations;
};

State& S() {
  static State state;
  return state;
}

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string GuidText(const GUID* guid) {
  if (guid == nullptr) return "(null)";
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X", guid->Data1, guid->Data2, guid->Data3, guid->Data4[0],
                guid->Data4[1]);
  return text;
}

void Record(const char* fn, const void* object, std::vector<uint64_t> args, std::string text = {}) {
  Calls().push_back(Call{fn, const_cast<void*>(object), std::move(args), std::move(text)});
}

uintptr_t NextHandle() {
  const uintptr_t h = S().next;
  S().next += 8;
  return h;
}

HKEY NewKey(std::vector<RegValue> values, REGSAM access) {
  HKEY key = reinterpret_cast<HKEY>(NextHandle());
  S().keys[key] = OpenKey{std::move(values), access};
  return key;
}

bool IgnoreCaseEqual(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The device a record names, checked against the list it claims to come from.
const SetupDevice* DeviceOf(HDEVINFO set, PSP_DEVINFO_DATA device, const char* fn) {
  auto it = S().lists.find(set);
  if (it == S().lists.end()) {
    S().violations.push_back(std::string(fn) + ": not an open device list");
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (device == nullptr || device->cbSize != sizeof(SP_DEVINFO_DATA) ||
      device->Reserved != reinterpret_cast<ULONG_PTR>(set) || device->DevInst == 0 ||
      device->DevInst > it->second.devices.size()) {
    S().violations.push_back(std::string(fn) + ": a device record not from this list");
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return &it->second.devices[device->DevInst - 1];
}

// Copies `data` out as the registry calls do: the size needed always, the
// bytes only when they fit.
LONG CopyData(const std::string& data, LPBYTE out, LPDWORD outSize) {
  if (outSize == nullptr) return out == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
  const DWORD room = *outSize;
  *outSize = static_cast<DWORD>(data.size());
  if (out == nullptr) return ERROR_SUCCESS;
  if (room < data.size()) return ERROR_MORE_DATA;
  std::memcpy(out, data.data(), data.size());
  return ERROR_SUCCESS;
}

OpenKey* ReadableKey(HKEY key, const char* fn) {
  auto it = S().keys.find(key);
  if (it == S().keys.end()) {
    S().violations.push_back(std::string(fn) + ": not an open key");
    return nullptr;
  }
  if ((it->second.access & KEY_QUERY_VALUE) == 0) {
    S().violations.push_back(std::string(fn) + ": key opened without KEY_QUERY_VALUE");
    return nullptr;
  }
  return &it->second;
}

}  // namespace

RegValue RegString(const std::string& name, const std::string& text) {
  return RegValue{name, REG_SZ, text + std::string(1, '\0')};
}

SetupWorld& Setup() { return S().world; }

void AddSetupPort(const SetupDevice& device) {
  S().world.interfaceDevices.push_back({kComPortInterface, device});
  S().world.classDevices.push_back({kPortsClass, device});
}

void AddSerialComm(const std::string& name) {
  const std::string value = "\\Device\\Serial" + std::to_string(S().world.serialComm.size());
  S().world.serialComm.push_back(RegString(value, name));
}

int OpenSetupObjects() { return static_cast<int>(S().lists.size() + S().keys.size()); }

std::vector<std::string>& SetupViolations() { return S().violations; }

void ResetSetup() { S() = State{}; }

}  // namespace fake

using namespace fake;

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND, DWORD flags) {
  Record("SetupDiGetClassDevsA", nullptr, {flags}, GuidText(classGuid));
  if (S().world.listsFail != 0) {
    SetLastError(S().world.listsFail);
    return INVALID_HANDLE_VALUE;
  }
  if (classGuid == nullptr || enumerator != nullptr || (flags & DIGCF_ALLCLASSES) != 0) {
    S().violations.push_back("SetupDiGetClassDevsA: only one class or interface, without an enumerator, is served");
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const auto& source = (flags & DIGCF_DEVICEINTERFACE) != 0 ? S().world.interfaceDevices : S().world.classDevices;
  DeviceList list;
  for (const auto& [guid, device] : source)
    if (SameGuid(guid, *classGuid) && (device.present || (flags & DIGCF_PRESENT) == 0)) list.devices.push_back(device);
  HDEVINFO set = reinterpret_cast<HDEVINFO>(NextHandle());
  S().lists[set] = std::move(list);
  return set;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) {
  Record("SetupDiEnumDeviceInfo", set, {index});
  auto it = S().lists.find(set);
  if (it == S().lists.end()) {
    S().violations.push_back("SetupDiEnumDeviceInfo: not an open device list");
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (device == nullptr || device->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (index >= it->second.devices.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  device->ClassGuid = kPortsClass;
  device->DevInst = index + 1;
  device->Reserved = reinterpret_cast<ULONG_PTR>(set);
  return TRUE;
}

HKEY SetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD scope, DWORD hardwareProfile, DWORD keyType,
                          REGSAM access) {
  Record("SetupDiOpenDevRegKey", set, {scope, hardwareProfile, keyType, access});
  const SetupDevice* d = DeviceOf(set, device, "SetupDiOpenDevRegKey");
  if (d == nullptr) return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
  if (scope != DICS_FLAG_GLOBAL && scope != DICS_FLAG_CONFIGSPECIFIC) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
  }
  // The port name lives in the hardware key; the driver key holds other things.
  std::vector<RegValue> values;
  if (keyType == DIREG_DEV && !d->portName.empty()) values.push_back(RegString("PortName", d->portName));
  return NewKey(std::move(values), access);
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD dataType,
                                       PBYTE buffer, DWORD bufferSize, PDWORD requiredSize) {
  Record("SetupDiGetDeviceRegistryPropertyA", set, {property, bufferSize});
  const SetupDevice* d = DeviceOf(set, device, "SetupDiGetDeviceRegistryPropertyA");
  if (d == nullptr) return FALSE;
  std::string data;
  DWORD type = REG_SZ;
  if (property == SPDRP_FRIENDLYNAME && !d->friendlyName.empty()) {
    data = d->friendlyName + std::string(1, '\0');
  } else if (property == SPDRP_HARDWAREID && !d->hardwareIds.empty()) {
    type = REG_MULTI_SZ;
    for (const std::string& id : d->hardwareIds) data += id + std::string(1, '\0');
    data += '\0';
  } else {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  if (requiredSize != nullptr) *requiredSize = static_cast<DWORD>(data.size());
  if (dataType != nullptr) *dataType = type;
  if (buffer == nullptr || bufferSize < data.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, data.data(), data.size());
  return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
  Record("SetupDiDestroyDeviceInfoList", set, {});
  if (S().lists.erase(set) == 0) {
    S().violations.push_back("SetupDiDestroyDeviceInfoList: not an open device list");
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  Record("RegOpenKeyExA", key, {options, access}, subKey != nullptr ? subKey : "");
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (key != HKEY_LOCAL_MACHINE || subKey == nullptr || !IgnoreCaseEqual(subKey, kSerialCommPath) ||
      !S().world.serialCommExists)
    return ERROR_FILE_NOT_FOUND;
  *result = NewKey(S().world.serialComm, access);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  Record("RegQueryValueExA", key, {}, valueName != nullptr ? valueName : "");
  OpenKey* k = ReadableKey(key, "RegQueryValueExA");
  if (k == nullptr) return ERROR_INVALID_HANDLE;
  if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
  for (const RegValue& value : k->values) {
    if (!IgnoreCaseEqual(value.name, valueName != nullptr ? valueName : "")) continue;
    if (type != nullptr) *type = value.type;
    return CopyData(value.data, data, dataSize);
  }
  return ERROR_FILE_NOT_FOUND;
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize) {
  Record("RegEnumValueA", key, {index});
  OpenKey* k = ReadableKey(key, "RegEnumValueA");
  if (k == nullptr) return ERROR_INVALID_HANDLE;
  if (reserved != nullptr || valueName == nullptr || valueNameSize == nullptr) return ERROR_INVALID_PARAMETER;
  if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
  const RegValue& value = k->values[index];
  // The name's room counts its NUL; what comes back does not.
  if (*valueNameSize <= value.name.size()) return ERROR_MORE_DATA;
  std::memcpy(valueName, value.name.c_str(), value.name.size() + 1);
  *valueNameSize = static_cast<DWORD>(value.name.size());
  if (type != nullptr) *type = value.type;
  return CopyData(value.data, data, dataSize);
}

LONG RegCloseKey(HKEY key) {
  Record("RegCloseKey", key, {});
  if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  if (S().keys.erase(key) == 0) {
    S().violations.push_back("RegCloseKey: not an open key");
    return ERROR_INVALID_HANDLE;
  }
  return ERROR_SUCCESS;
}
