#include "core/screen_buffer.h"

#include <cstring>

#include "core/log_line.h"
#include "core/spelling.h"

namespace {
void Empty(ScreenRow& row) {
  row.text[0] = 0;
  row.changed = 1;
  row.dump = 0;
}
}  // namespace

ScreenBuffer::ScreenBuffer(int capacity)
    : capacity_(capacity < 1 ? 1 : capacity), rows_(new ScreenRow[static_cast<size_t>(capacity_)]) {
  Empty(rows_[0]);
  rows_[0].changed = 0;  // nothing to paint yet
}

void ScreenBuffer::AdvanceRow() {
  current_ = current_ + 1 >= capacity_ ? 0 : current_ + 1;
  column_ = 0;
  rowStamped_ = false;
  advances_++;
  if (kept_ < static_cast<uint64_t>(capacity_)) kept_++;
  // The row reused is the oldest of the ring.
  Empty(rows_[current_]);
}

// Switching Hex Dump on or off starts a new row; on, the offsets start at 0.
void ScreenBuffer::FollowDumpSwitch(bool hexDump) {
  if (hexDump == dumping_) return;
  if (rows_[current_].text[0] != 0) AdvanceRow();
  dumping_ = hexDump;
  if (dumping_) dump_.Restart();
}

// Markers ("<CR>", "<LF>", "<1bH>") hold printable characters only, so they are
// stored character by character like data: they wrap at column 80 the same way.
// Under Time Stamps a row that begins gets the stamp first; the loop is made
// twice, so that without stamps it has no test for them.
template <bool kStamps>
void ScreenBuffer::PutText(const unsigned char* bytes, int count, const ScreenOptions& options) {
  const char* stamp = nullptr;
  // Stores one printable character; the row wraps as soon as its 80th is stored.
  auto put = [this, &stamp, &options](char c) {
    ScreenRow& row = rows_[current_];
    if (kStamps && column_ == 0 && row.text[0] == 0) {
      if (stamp == nullptr) stamp = options.stamps->Stamp();
      std::memcpy(row.text, stamp, kRowStampWidth);
      column_ = kRowStampWidth;
      rowStamped_ = true;
    }
    row.text[column_] = c;
    row.text[column_ + 1] = 0;
    row.changed = 1;
    if (++column_ >= kScreenColumns) AdvanceRow();
  };
  // The spelling is the log's too (core/spelling.h). A spelling that fits
  // in the row (and needs no stamp first) goes in at once: binary data is
  // mostly spellings, and the rows it fills are many.
  auto spell = [this, &put](unsigned char b) {
    char spelled[kSpelledMax];
    const int n = SpellByte(b, spelled);
    ScreenRow& row = rows_[current_];
    if (column_ + n < kScreenColumns && (!kStamps || column_ > 0 || row.text[0] != 0)) {
      std::memcpy(row.text + column_, spelled, static_cast<size_t>(n));
      column_ += n;
      row.text[column_] = 0;
      row.changed = 1;
      return;
    }
    for (int k = 0; k < n; k++) put(spelled[k]);
  };
  for (int i = 0; i < count; i++) {
    const unsigned char b = bytes[i];
    if (b == 0x0A) {
      AdvanceRow();
      if (options.showCrLf) spell(b);
    } else if (b == 0x0D) {
      if (options.showCrLf) spell(b);
      // The row is not emptied: what follows overwrites it from its start
      // (after its stamp).
      column_ = rowStamped_ ? kRowStampWidth : 0;
      rows_[current_].changed = 1;
    } else if (b < 0x20 || b > 0x80) {
      spell(b);
    } else {
      put(static_cast<char>(b));
    }
  }
}

void ScreenBuffer::AddText(const char* bytes, int count, const ScreenOptions& options) {
  if (bytes == nullptr) return;
  if (count == 0) count = static_cast<int>(std::strlen(bytes));
  FollowDumpSwitch(options.hexDump);
  // Between dump rows a notice has a row of its own; the dump goes on below it.
  const bool ownRow = dumping_;
  if (ownRow && rows_[current_].text[0] != 0) AdvanceRow();
  const auto* text = reinterpret_cast<const unsigned char*>(bytes);
  if (options.stamps != nullptr)
    PutText<true>(text, count, options);
  else
    PutText<false>(text, count, options);
  if (ownRow) {
    if (rows_[current_].text[0] != 0) AdvanceRow();
    dump_.BreakRow();
  }
}

void ScreenBuffer::AddReceived(const char* bytes, int count, const ScreenOptions& options) {
  FollowDumpSwitch(options.hexDump);
  if (!dumping_) {
    AddText(bytes, count, options);
    return;
  }
  // Each row touched is written whole once per call: a row filled by
  // several reads is written again by each.
  auto p = reinterpret_cast<const unsigned char*>(bytes);
  size_t left = count > 0 ? static_cast<size_t>(count) : 0;
  while (left > 0) {
    bool startsRow = false;
    const size_t took = dump_.Take(p, left, &startsRow);
    if (startsRow && rows_[current_].text[0] != 0) AdvanceRow();
    ScreenRow& row = rows_[current_];
    column_ = dump_.FormatRow(row.text);
    row.changed = 1;
    row.dump = 1;
    if (dump_.RowFull()) AdvanceRow();
    p += took;
    left -= took;
  }
}

void ScreenBuffer::Clear() {
  advances_ += kept_;
  kept_ = 1;
  current_ = 0;
  Empty(rows_[0]);
  column_ = 0;
  rowStamped_ = false;
  dump_.BreakRow();  // its row is gone: the dump goes on in a new one
}

std::string ScreenBuffer::Text(uint64_t bottom, int count) const {
  std::string out;
  for (int line = count - 1; line >= 0; line--) {
    out += Row(bottom + static_cast<uint64_t>(line)).text;
    if (line > 0) out += "\r\n";
  }
  return out;
}
