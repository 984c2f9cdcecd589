// The one record of process-wide state, shared by the window procedures,
// the dialogs and the timer poll.
#pragma once
#include <windows.h>

struct ComPort;

struct AppGlobals {
  HINSTANCE instance;
  ComPort* portList;      // head of the list of open ports, newest first
  HWND frameWindow;
  HWND mdiClient;
  ComPort* currentPort;   // port being opened, then the port of the window handling a message
  int saveToDisk;         // menu switch "Save To Disk"
  int showCrLf;           // menu switch "Show CR/LF"
  int sendTestData;       // menu switch "Send Test Data"
  int checkTestData;      // menu switch "Check Test Data"
  int reopenLostPorts;    // menu switch "Reopen Lost Ports"; on at start
  int logToFile;          // menu switch "Log To File"
  int timeStamps;         // menu switch "Time Stamps"
  int hexDump;            // menu switch "Hex Dump"
  int testPatternLength;  // 0 until the test pattern is built
  HMENU frameMenu;
  HMENU windowMenu;
  DWORD platformId;       // VER_PLATFORM_*; selects the loop-back request form
  char scratchText[128];  // room for the longest port name in a notice
};

extern AppGlobals g_app;
