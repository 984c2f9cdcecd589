// What the ports read of the program: the menu switches (flipped by the
// frame), the list of open ports and the test pattern's length. Window
// handles stay with the windows (app/globals.h).
#pragma once
#include <windows.h>

struct ComPort;

struct ProgramState {
  ComPort* portList;      // head of the list of open ports, newest first
  int saveToDisk;         // menu switch "Save To Disk"
  int showCrLf;           // menu switch "Show CR/LF"
  int sendTestData;       // menu switch "Send Test Data"
  int checkTestData;      // menu switch "Check Test Data"
  int reopenLostPorts;    // menu switch "Reopen Lost Ports"; on at start
  int logToFile;          // menu switch "Log To File"
  int timeStamps;         // menu switch "Time Stamps"
  int hexDump;            // menu switch "Hex Dump"
  int testPatternLength;  // 0 until the test pattern is built
  DWORD platformId;       // VER_PLATFORM_*; selects the loop-back request form
  int threadedIo;         // ports read (and send test data) on threads of their own; off in unit tests
  HWND dataWindow;        // told by kPortDataMessage that a port's threads have news
  int historyRows;        // rows each new terminal keeps; 0: kHistoryRows (fuzzing keeps few)
};

// Posted by a port's reader (at most one unanswered per port) when bytes
// have arrived or the reader has stopped; answered by DrainAllPorts.
constexpr UINT kPortDataMessage = WM_APP + 1;

extern ProgramState g_program;
