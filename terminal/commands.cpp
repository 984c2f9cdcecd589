#include "terminal/commands.h"

#include "port/comport.h"
#include "res/resource.h"
#include "terminal/lamps.h"

namespace {

struct ControlCommand {
  unsigned id;
  bool purge;      // PurgeComm, else EscapeCommFunction
  DWORD function;
  const char* notice;
};

constexpr ControlCommand kControlCommands[] = {
    {IDM_SETXOFF, false, SETXOFF, "<SETXOFF set>"},     {IDM_SETXON, false, SETXON, "<SETXON set>"},
    {IDM_TXABORT, true, PURGE_TXABORT, "<TXABORT called>"}, {IDM_TXCLEAR, true, PURGE_TXCLEAR, "<TXCLEAR called>"},
    {IDM_RXABORT, true, PURGE_RXABORT, "<RXABORT called>"}, {IDM_RXCLEAR, true, PURGE_RXCLEAR, "<RXCLEAR called>"},
    {IDM_SETBREAK, false, SETBREAK, "<SETBREAK set>"},  {IDM_CLRBREAK, false, CLRBREAK, "<CLRBREAK set>"},
};

constexpr int kLampRowHeight = 16;

}  // namespace

bool RunControlCommand(ComPort* port, unsigned command) {
  for (const ControlCommand& c : kControlCommands) {
    if (c.id != command) continue;
    if (port->Lost()) {
      port->NothingSent();
      return true;
    }
    // The driver's answer is not looked at: the notice says the call was made.
    if (c.purge)
      PurgeComm(port->handle, c.function);
    else
      EscapeCommFunction(port->handle, c.function);
    port->Notice(LogKind::kNote, c.notice);
    return true;
  }
  return false;
}

int LampAt(int x, int y, int lampCount) {
  if (y >= kLampRowHeight) return -1;
  int hit = -1;
  for (int i = 0; signalLamps[i].name[0] != 0 && i < lampCount; i++)
    if (signalLamps[i].x < x && x < signalLamps[i].x + signalLamps[i].width) hit = i;
  return hit;
}

void ClickLamp(ComPort* port, int x, int y) {
  const int hit = LampAt(x, y, port->lampCount);
  if (hit < 0) return;
  const WORD line = signalLamps[hit].outputLine;
  if (line == 0)
    MessageBoxA(GetFocus(), "These are inputs, so cannot be controlled!", "", MB_OK);
  else if (line == kLineLoop)
    port->SetLoopback(!(port->outputLines & kLineLoop));
  else
    port->SetOutputLine(line, !(port->outputLines & line));
}
