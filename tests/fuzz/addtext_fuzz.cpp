// Drives AddText, AddReceived and ClearScreen with arbitrary bytes and switch changes and
// traps as soon as the screen buffer is left in a state painting cannot trust.
//
// Input, read as a sequence of commands, each starting with an opcode byte:
//   0-5     toggle Show CR/LF
//   6-10    toggle Time Stamps
//   11-15   toggle Hex Dump
//   16-23   ClearScreen
//   24-31   "paint": clear every row's changed flag
//   32-47   AddText with a null pointer and the next byte as count
//   48-111  AddText(count 0) of the next n bytes (n = next byte), NUL-terminated
//   112-199 AddText (even opcodes) or AddReceived (odd) with an explicit
//           count: the next n bytes (n = next byte)
//   200-255 the same with n = twice the next byte plus the one after, for long runs
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/globals.h"
#include "port/comport.h"
#include "port/program.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckBuffer(const ComPort& port) {
  for (int age = 0; age < kScreenRows; age++) Check(strnlen(port.screen.Row(age).text, sizeof port.screen.Row(age).text) <= 80);
  Check(port.screen.CurrentIndex() >= 0 && port.screen.CurrentIndex() < port.screen.Capacity());
  Check(port.screen.Column() >= 0 && port.screen.Column() < kScreenColumns);
  Check(std::strlen(port.screen.RingRow(port.screen.CurrentIndex()).text) >= static_cast<size_t>(port.screen.Column()));
}

// Takes the next byte, or 0 when the input is used up.
size_t Next(const uint8_t*& data, size_t& size) {
  if (size == 0) return 0;
  size--;
  return *data++;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_program = ProgramState{};
  // A short history: it wraps within an input, and a run costs no 8 MB ring.
  g_program.historyRows = 64;
  ComPort port;
  CheckBuffer(port);

  while (size > 0) {
    const size_t op = Next(data, size);
    if (op < 6) {
      g_program.showCrLf = !g_program.showCrLf;
    } else if (op < 11) {
      g_program.timeStamps = !g_program.timeStamps;
    } else if (op < 16) {
      g_program.hexDump = !g_program.hexDump;
    } else if (op < 24) {
      port.ClearScreen();
    } else if (op < 32) {
      for (int age = 0; age < kScreenRows; age++) port.screen.MarkPainted(age);
    } else if (op < 48) {
      port.needsRepaint = 0;
      port.AddText(nullptr, static_cast<int>(Next(data, size)));
      Check(port.needsRepaint == 0);
    } else {
      size_t n = Next(data, size);
      if (op >= 200) n = n * 2 + Next(data, size);
      if (n > size) n = size;
      // An exact-size copy, so that reading past the count is caught by ASan.
      std::vector<char> bytes(data, data + n);
      data += n;
      size -= n;
      port.needsRepaint = 0;
      if (op < 112) {
        bytes.push_back('\0');
        port.AddText(bytes.data(), 0);
      } else if (n == 0) {
        continue;  // a count of 0 would read a string; there is none here
      } else if (op % 2 == 1) {
        port.AddReceived(bytes.data(), static_cast<int>(n));
      } else {
        port.AddText(bytes.data(), static_cast<int>(n));
      }
      Check(port.needsRepaint == 1);
    }
    CheckBuffer(port);
  }
  return 0;
}
