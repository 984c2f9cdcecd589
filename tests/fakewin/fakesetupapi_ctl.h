// Test-side control of the fake SetupAPI and registry: the serial devices
// the system knows, the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, and the
// device lists and keys the program has not released yet.
#pragma once
#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

namespace fake {

// The interface serial ports expose, and the Ports (COM & LPT) setup class.
extern const GUID kComPortInterface;  // {86E0D1E0-8089-11D0-9CE4-08003E301F73}
extern const GUID kPortsClass;        // {4D36E978-E325-11CE-BFC1-08002BE10318}

struct RegValue {
  std::string name;
  DWORD type = REG_SZ;
  std::string data;  // the stored bytes, a string's terminating NUL included
};
// A REG_SZ value as the system stores one, NUL included.
RegValue RegString(const std::string& name, const std::string& text);

struct SetupDevice {
  std::string portName;                  // "PortName" in its device key; no value when empty
  std::string friendlyName;              // SPDRP_FRIENDLYNAME; none when empty
  std::vector<std::string> hardwareIds;  // SPDRP_HARDWAREID, the most specific first; none when empty
  bool present = true;                   // false: remembered by the system but not plugged in
};

struct SetupWorld {
  // Devices by the interface they expose, and by their setup class.
  std::vector<std::pair<GUID, SetupDevice>> interfaceDevices;
  std::vector<std::pair<GUID, SetupDevice>> classDevices;
  bool serialCommExists = true;     // the key is there (empty) even with no port
  std::vector<RegValue> serialComm;
  DWORD listsFail = 0;              // non-zero: SetupDiGetClassDevsA fails with this error
};
SetupWorld& Setup();

// A port known to SetupAPI both by the interface and by the Ports class.
void AddSetupPort(const SetupDevice& device);
// "\Device\SerialN" = name in SERIALCOMM.
void AddSerialComm(const std::string& name);

// Device lists and registry keys handed out and not yet released.
int OpenSetupObjects();
// Misuse: a list or key released twice or never handed out, a device record
// from another list, a key read without the right to.
std::vector<std::string>& SetupViolations();
void ResetSetup();

}  // namespace fake
