// The rows a terminal shows: every byte and notice passes through here, which
// spells out what is not printable, wraps rows at 80 characters, stamps rows
// under Time Stamps and lays received bytes out as dump rows under Hex Dump.
// A ring of 35 rows; the current row is the newest.
#pragma once
#include <cstdint>
#include <string>

#include "core/hex_dump.h"

constexpr int kScreenColumns = 80;  // characters in a row before it wraps
constexpr int kScreenRows = 35;     // rows kept in the ring

struct ScreenRow {
  char text[82];  // at most 80 characters, always NUL-terminated
  char changed;   // non-zero: changed since it was last painted
  char dump;      // non-zero: a Hex Dump row, drawn in a fixed-pitch font so that its columns line up
};

// The stamp of a row that begins under Time Stamps; asked at most once per
// call, and only when a row begins, so that the clock is read only then.
class RowClock {
 public:
  virtual const char* Stamp() = 0;  // kRowStampWidth characters
 protected:
  ~RowClock() = default;
};

// The switches that lay text out, as they stand at the time of the call.
struct ScreenOptions {
  bool showCrLf = false;        // CR and LF are shown as <CR> <LF> as well as acted on
  bool hexDump = false;         // received bytes become dump rows
  RowClock* stamps = nullptr;   // Time Stamps: rows begin with the clock's stamp
};

class ScreenBuffer {
 public:
  ScreenBuffer();

  // Text for the screen. count 0: a NUL-terminated text. A null pointer does nothing.
  void AddText(const char* bytes, int count, const ScreenOptions& options);
  // Received bytes: as AddText, or as dump rows while Hex Dump is on.
  void AddReceived(const char* bytes, int count, const ScreenOptions& options);
  // Every row emptied, the cursor at the top.
  void Clear();

  // A row by age: 0 is the current row, kScreenRows - 1 the oldest.
  const ScreenRow& Row(int age) const { return rows_[Ring(age)]; }
  void MarkPainted(int age) { rows_[Ring(age)].changed = 0; }
  int Column() const { return column_; }
  // The ring as stored (index 0 to kScreenRows - 1), and where its current row is.
  const ScreenRow& RingRow(int index) const { return rows_[index]; }
  int CurrentIndex() const { return current_; }
  // Every row kept, oldest first, one per line (CR LF between), empty rows
  // as empty lines: what the window answers to WM_GETTEXT.
  std::string Text() const;
  // Rows begun so far: a painter that saw another count must move every row up.
  uint64_t Advances() const { return advances_; }

 private:
  int Ring(int age) const { return (current_ - age % kScreenRows + kScreenRows) % kScreenRows; }
  void AdvanceRow();
  void FollowDumpSwitch(bool hexDump);
  template <bool kStamps>
  void PutText(const unsigned char* bytes, int count, const ScreenOptions& options);

  ScreenRow rows_[kScreenRows];
  int current_ = 0;     // ring index of the current row
  int column_ = 0;      // where the next character goes in it
  uint64_t advances_ = 0;
  HexDump dump_;
  bool dumping_ = false;  // the rows now written are dump rows (Hex Dump was on at the last text)
  bool rowStamped_ = false;  // the current row begins with a stamp: a CR returns after it
};
