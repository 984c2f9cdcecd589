// Log To File: one text line per entry, in the order things happened,
//   "2026-12-10 14:03:07.250 COM5 RX abc<CR><LF>"
// local date and time to the millisecond, the port, a kind and the text; and
// the texts that need formatting (row stamps, settings). Plain C++: the
// caller passes the time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};

// The kinds of entry, with the word each is written with.
enum class LogKind { kRx, kTx, kErr, kEv, kNote, kSet, kOpen, kClose };
const char* LogKindWord(LogKind kind);

// "[14:03:07.250] ", the stamp a row begins with under Time Stamps.
constexpr int kRowStampWidth = 15;
void FormatRowStamp(const LocalTime& time, char* out);  // room for kRowStampWidth + 1

// "kOM5.log" for "COM5" and ".log", as the capture file is named with ".txt":
// the first character becomes "k", and "\", "/" and ":" become "_", so that the
// file always lands in the current directory. `out` has room for name + suffix.
void PortFileName(const char* portName, const char* suffix, char* out);

// "19200,8,N,2 RTS=on DTR=on": a DCB's line as a SET entry shows it. Control
// modes as the DCB numbers them (0 off, 1 on, 2 handshake, 3 toggle).
std::string DescribeLine(uint32_t baudRate, int byteSize, int parity, int stopBits, int rtsControl, int dtrControl);

// The entries of one port not yet written, as lines ready for the file. The
// buffer is kept between passes, so that a steady stream does not allocate.
class LogBuffer {
 public:
  // An entry with `text` as it is (a notice, a setting, a typed key spelled).
  void Add(const LocalTime& time, const char* port, LogKind kind, const char* text, size_t length);
  // An RX or TX entry of raw bytes, spelled as the terminal spells them.
  void AddSpelled(const LocalTime& time, const char* port, LogKind kind, const unsigned char* bytes, size_t count);
  const std::string& Pending() const { return pending_; }
  void Clear() { pending_.clear(); }

 private:
  void Head(const LocalTime& time, const char* port, LogKind kind);
  std::string pending_;
};
