// Modem status, the event wait, and the notices for line errors and events.
#include "port/comport.h"
#include "port/errorbox.h"

DWORD eventWaitErrors = 0;

namespace {

struct BitText {
  DWORD bit;
  const char* text;
};

// In the order in which they are tested and appended.
constexpr BitText kLineErrors[] = {
    {CE_BREAK, "<ERR:BREAK "},  {CE_FRAME, "<ERR:FRAME "},       {CE_IOE, "<ERR:IOE "},
    {CE_MODE, "<ERR:MODE>"},    {CE_OVERRUN, "<ERR:OVERRUN>"},   {CE_RXOVER, "<ERR:RXOVER>"},
    {CE_RXPARITY, "<ERR:RXPARITY>"}, {CE_TXFULL, "<ERR:TXFULL>"}, {CE_DNS, "<ERR:DNS>"},
    {CE_PTO, "<ERR:PTO>"},      {CE_OOP, "<ERR:OOP>"},
};

constexpr BitText kEvents[] = {
    {EV_RXCHAR, "<EV_RXCHAR>"}, {EV_RXFLAG, "<EV_RXFLAG>"},   {EV_TXEMPTY, "<EV_TXEMPTY>"},
    {EV_CTS, "<EV_CTS>"},       {EV_DSR, "<EV_DSR>"},         {EV_RLSD, "<EV_RLSD>"},
    {EV_BREAK, "<EV_BREAK>"},   {EV_ERR, "<EV_ERR>"},         {EV_RING, "<EV_RING>"},
    {EV_PERR, "<EV_PERR>"},     {EV_RX80FULL, "<EV_RX80FULL>"}, {EV_EVENT1, "<EV_EVENT1>"},
    {EV_EVENT2, "<EV_EVENT2>"},
};

// The status bits the lamps and the repaint test look at.
constexpr DWORD kModemBits[] = {MS_CTS_ON, MS_DSR_ON, MS_RLSD_ON, MS_RING_ON};

constexpr DWORD kShownWaitErrors = 4;

}  // namespace

static_assert(sizeof kLineErrors / sizeof kLineErrors[0] == kLineErrorKinds, "one counter per line error");
static_assert(sizeof kEvents / sizeof kEvents[0] == kEventKinds, "one counter per event");

const char* LineErrorText(int kind) { return kLineErrors[kind].text; }
const char* EventText(int kind) { return kEvents[kind].text; }

void ComPort::ShowLineErrors(DWORD bits) {
  for (int i = 0; i < kLineErrorKinds; i++) {
    if (!(bits & kLineErrors[i].bit)) continue;
    Notice(LogKind::kErr, kLineErrors[i].text);
    stats.lineErrors[i]++;
  }
}

void ComPort::ShowEvents(DWORD mask) {
  if (mask == 0) Notice(LogKind::kEv, "<EV_NONE>");
  for (int i = 0; i < kEventKinds; i++) {
    if (!(mask & kEvents[i].bit)) continue;
    Notice(LogKind::kEv, kEvents[i].text);
    stats.events[i]++;
  }
}

int ComPort::CheckEvents() {
  DWORD status = 0;
  if (GetCommModemStatus(handle, &status)) {
    modemStatusFailed = 0;
  } else {
    DWORD error = GetLastError();
    if (LostBy(error)) return 0;
    status = 0;  // the lamps go dark while the status cannot be read
    // Shown once until it works again: a box on every tick would pile up.
    if (!modemStatusFailed) {
      modemStatusFailed = 1;
      Box("GetCommModemStatus Error:", static_cast<int>(error));
    }
  }
  modemStatus = 0;
  for (DWORD bit : kModemBits)
    if (status & bit) modemStatus |= static_cast<WORD>(bit);

  if (eventPending) {
    DWORD transferred = 0;
    if (GetOverlappedResult(handle, &eventOverlapped, &transferred, FALSE)) {
      eventPending = 0;
      eventWaitFailed = 0;
      ShowEvents(eventResult);
    } else {
      DWORD error = GetLastError();
      if (error != ERROR_IO_INCOMPLETE) {
        eventPending = 0;
        if (LostBy(error)) return 0;
        // A driver that ends every wait this way would raise a box on every
        // tick: show it once, until a wait completes again.
        if (!eventWaitFailed) {
          eventWaitFailed = 1;
          Box("Error Com Event GetOverLappedResult:", static_cast<int>(error));
        }
      }
    }
  }
  if (eventPending) return 0;
  if (eventMask == 0) return 0;

  if (WaitCommEvent(handle, &eventResult, &eventOverlapped)) {
    eventWaitFailed = 0;  // a wait that worked, as when a pending one completes
    ShowEvents(eventResult);
  } else {
    DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) {
      eventPending = 1;
    } else {
      if (LostBy(error)) return 0;
      if (++eventWaitErrors > kShownWaitErrors) return 1;
      Box("Event Wait Error:", static_cast<int>(error));
    }
  }
  return 0;
}
