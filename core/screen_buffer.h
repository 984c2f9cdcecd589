// The rows a terminal shows: every byte and notice passes through here, which
// spells out what is not printable, wraps rows at 80 characters, stamps rows
// under Time Stamps and lays received bytes out as dump rows under Hex Dump.
// A ring of kHistoryRows rows, the history; the current row is the newest.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "core/hex_dump.h"

constexpr int kScreenColumns = 80;  // characters in a row before it wraps
constexpr int kScreenRows = 35;     // rows the window's text (WM_GETTEXT) gives at least
// Rows a terminal keeps: some 8.4 MB a port at most (84 bytes a row), taken
// from the system only as rows are written.
constexpr int kHistoryRows = 100000;

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
  explicit ScreenBuffer(int capacity = kHistoryRows);

  // Text for the screen. count 0: a NUL-terminated text. A null pointer does nothing.
  void AddText(const char* bytes, int count, const ScreenOptions& options);
  // Received bytes: as AddText, or as dump rows while Hex Dump is on.
  void AddReceived(const char* bytes, int count, const ScreenOptions& options);
  // The history emptied, the cursor at the top. Counts as rows begun, so a
  // painter moves every row out of sight.
  void Clear();

  // A row by age: 0 is the current row, Kept() - 1 the oldest; older ages
  // give an empty row.
  const ScreenRow& Row(uint64_t age) const { return age < kept_ ? rows_[Ring(age)] : empty_; }
  void MarkPainted(uint64_t age) {
    if (age < kept_) rows_[Ring(age)].changed = 0;
  }
  int Column() const { return column_; }
  int Capacity() const { return capacity_; }
  // Rows held, the current one included: 1 to Capacity().
  uint64_t Kept() const { return kept_; }
  // The ring as stored (index 0 to Capacity() - 1), and where its current row is.
  const ScreenRow& RingRow(int index) const { return static_cast<uint64_t>(index) < kept_ ? rows_[index] : empty_; }
  int CurrentIndex() const { return current_; }
  // `count` rows up to the one of age `bottom`, oldest first, one per line
  // (CR LF between), rows not held as empty lines: what the window answers
  // to WM_GETTEXT (the newest kScreenRows when not told otherwise).
  std::string Text(uint64_t bottom = 0, int count = kScreenRows) const;
  // Rows begun so far: a painter that saw another count must move every row
  // up. Also the number of the current row; a row's number stays its own
  // while it is held (age = Advances() - number).
  uint64_t Advances() const { return advances_; }

 private:
  int Ring(uint64_t age) const {
    return static_cast<int>((static_cast<uint64_t>(current_) + capacity_ - age % capacity_) % capacity_);
  }
  void AdvanceRow();
  void FollowDumpSwitch(bool hexDump);
  template <bool kStamps>
  void PutText(const unsigned char* bytes, int count, const ScreenOptions& options);

  int capacity_;
  // Not filled in advance: a row is written when the cursor first reaches it.
  std::unique_ptr<ScreenRow[]> rows_;
  uint64_t kept_ = 1;
  ScreenRow empty_{};
  int current_ = 0;     // ring index of the current row
  int column_ = 0;      // where the next character goes in it
  uint64_t advances_ = 0;
  HexDump dump_;
  bool dumping_ = false;  // the rows now written are dump rows (Hex Dump was on at the last text)
  bool rowStamped_ = false;  // the current row begins with a stamp: a CR returns after it
};
