#include "port/errorbox.h"

#include <cstdio>

namespace {
HWND boxOwner;
}  // namespace

void SetErrorBoxOwner(HWND owner) { boxOwner = owner; }

int ErrorBox(const char* message, int number, const char* second, int secondNumber) {
  char line[80];
  if (message == nullptr) message = "";
  // snprintf cuts an over-long text at the buffer's end and always terminates it.
  if (second == nullptr)
    std::snprintf(line, sizeof line, "%s%d", message, number);
  else
    std::snprintf(line, sizeof line, "%s %d %s %d", message, number, second, secondNumber);
  return MessageBoxA(boxOwner, line, nullptr, MB_ICONQUESTION);
}
