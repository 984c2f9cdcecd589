// Feeding the received bytes to the pattern checker and showing its faults.
#include "port/check.h"

#include "port/comport.h"
#include "port/program.h"

void ComPort::CheckBlock(const char* bytes, DWORD count) {
  CheckFault first{};
  size_t found = check.checker.Feed(bytes, count, &first);
  if (found == 0) return;
  if (check.faultsThisPass == 0) {
    char notice[64];
    FormatCheckNotice(first, notice, sizeof notice);
    Notice(LogKind::kNote, notice);
  }
  check.faultsThisPass += found;
}

void ComPort::EndCheckPass() {
  if (check.faultsThisPass > 1) {
    char notice[64];
    FormatMoreFaults(check.faultsThisPass - 1, notice, sizeof notice);
    Notice(LogKind::kNote, notice);
  }
  check.faultsThisPass = 0;
}

void RestartPatternChecks() {
  for (ComPort* port = g_program.portList; port != nullptr; port = port->next) {
    port->check.checker.Restart();
    port->check.faultsThisPass = 0;
  }
}
