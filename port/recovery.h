// A port whose device went away (an adapter unplugged, a driver that stopped
// answering): what the terminal needs to notice it once, open the device
// again by its name, and give it back the settings it had.
#pragma once
#include <windows.h>

// The settings the port last read from or gave to the driver: a device that
// comes back starts with its defaults and gets these again.
struct SavedSettings {
  DCB dcb;
  COMMTIMEOUTS timeouts;
  DWORD inQueue;   // asked for through QSizes
  DWORD outQueue;
  int dcbKnown;
  int timeoutsKnown;
  int queuesAsked;
};

struct PortRecovery {
  int lost = 0;             // the handle is closed; nothing reaches the device
  DWORD lostError = 0;      // the error that showed it
  DWORD lostAt = 0;         // GetTickCount of the loss
  DWORD lastTry = 0;        // GetTickCount of the latest reopen attempt
  int nothingSentShown = 0; // "<Port Lost: nothing sent>" already shown in this lost period
  int regained = 0;         // reopened at least once: a queue question that keeps failing means gone
  DWORD failingSince = 0;   // GetTickCount of the queue question's first failure since it last worked
  SavedSettings saved{};
};

// A setting the device that came back refused.
struct RestoreFailure {
  const char* call;
  DWORD error;
};

// Whether a driver's error can mean that its device has gone.
bool IsLossError(DWORD error);

// How long the queue question of a reopened device may fail, with any error,
// before the device counts as gone again.
constexpr DWORD kRegainedFailMs = 1000;

// Tries every lost port at once (a device arrived), when Reopen Lost Ports is on.
void ReopenLostPorts();
