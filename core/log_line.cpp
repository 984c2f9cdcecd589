#include "core/log_line.h"

#include <cstdio>
#include <cstring>

#include "core/spelling.h"

namespace {

// In the order of LogKind.
const char* const kKindWords[] = {"RX", "TX", "ERR", "EV", "NOTE", "SET", "OPEN", "CLOSE"};

// Two digits, zero-padded; fields out of range are clamped rather than let
// spill into the next column.
void Two(char* out, int value) {
  if (value < 0) value = 0;
  out[0] = static_cast<char>('0' + value / 10 % 10);
  out[1] = static_cast<char>('0' + value % 10);
}

void Three(char* out, int value) {
  if (value < 0) value = 0;
  out[0] = static_cast<char>('0' + value / 100 % 10);
  Two(out + 1, value % 100);
}

}  // namespace

const char* LogKindWord(LogKind kind) { return kKindWords[static_cast<int>(kind)]; }

void FormatRowStamp(const LocalTime& t, char* out) {
  out[0] = '[';
  Two(out + 1, t.hour);
  out[3] = ':';
  Two(out + 4, t.minute);
  out[6] = ':';
  Two(out + 7, t.second);
  out[9] = '.';
  Three(out + 10, t.millisecond);
  out[13] = ']';
  out[14] = ' ';
  out[15] = 0;
}

void PortFileName(const char* portName, const char* suffix, char* out) {
  size_t n = std::strlen(portName);
  std::memcpy(out, portName, n);
  for (size_t i = 0; i < n; i++)
    if (out[i] == '\\' || out[i] == '/' || out[i] == ':') out[i] = '_';
  if (n > 0) out[0] = 'k';
  std::strcpy(out + n, suffix);
}

std::string DescribeLine(uint32_t baudRate, int byteSize, int parity, int stopBits, int rtsControl, int dtrControl) {
  static const char kParity[] = "NOEMS";
  static const char* const kStop[] = {"1", "1.5", "2"};
  static const char* const kControl[] = {"off", "on", "handshake", "toggle"};
  char text[96];
  std::snprintf(text, sizeof text, "%lu,%d,%c,%s RTS=%s DTR=%s", static_cast<unsigned long>(baudRate), byteSize,
                parity >= 0 && parity <= 4 ? kParity[parity] : '?', stopBits >= 0 && stopBits <= 2 ? kStop[stopBits] : "?",
                kControl[rtsControl & 3], kControl[dtrControl & 3]);
  return text;
}

void LogBuffer::Head(const LocalTime& t, const char* port, LogKind kind) {
  char head[24];
  // "2026-12-10 14:03:07.250 "
  const int year = t.year < 0 ? 0 : t.year % 10000;
  head[0] = static_cast<char>('0' + year / 1000);
  Three(head + 1, year % 1000);
  head[4] = '-';
  Two(head + 5, t.month);
  head[7] = '-';
  Two(head + 8, t.day);
  head[10] = ' ';
  char stamp[kRowStampWidth + 1];
  FormatRowStamp(t, stamp);
  std::memcpy(head + 11, stamp + 1, 12);  // "14:03:07.250" without the brackets
  head[23] = ' ';
  pending_.append(head, 24);
  pending_ += port;
  pending_ += ' ';
  pending_ += LogKindWord(kind);
}

void LogBuffer::Add(const LocalTime& time, const char* port, LogKind kind, const char* text, size_t length) {
  Head(time, port, kind);
  if (length > 0) pending_ += ' ';
  // An entry is one line: a line end inside a text is spelled, not written.
  for (size_t i = 0; i < length; i++) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      char spelled[kSpelledMax];
      pending_.append(spelled, static_cast<size_t>(SpellByte(static_cast<unsigned char>(c), spelled)));
    } else {
      pending_ += c;
    }
  }
  pending_ += "\r\n";
}

void LogBuffer::AddSpelled(const LocalTime& time, const char* port, LogKind kind, const unsigned char* bytes,
                           size_t count) {
  Head(time, port, kind);
  pending_ += ' ';
  char spelled[kSpelledMax];
  for (size_t i = 0; i < count; i++) pending_.append(spelled, static_cast<size_t>(SpellByte(bytes[i], spelled)));
  pending_ += "\r\n";
}
