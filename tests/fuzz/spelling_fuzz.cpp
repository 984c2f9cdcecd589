// Send Text's reader against the screen's spelling: any bytes, spelled as the
// screen spells them, read back to themselves unless they hold a '<' (received
// text that looks like a spelling reads as the byte it spells: documented);
// and any text reads to no more bytes than it has characters. Traps on a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/spelling.h"
#include "core/spelling_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string spelled;
  for (unsigned char b : bytes) {
    char out[kSpelledMax];
    spelled.append(out, static_cast<size_t>(SpellByte(b, out)));
  }
  if (bytes.find('<') == std::string::npos && ReadSpelled(spelled) != bytes) __builtin_trap();
  if (ReadSpelled(bytes).size() > bytes.size()) __builtin_trap();
  return 0;
}
