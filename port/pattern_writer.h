// Send Test Data: a thread that writes the test pattern back to back for as
// long as the switch is on, so the line never runs dry between timer ticks.
// Typed keys go out through the port's own writes, between two of its blocks.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

// What stopped the writer, for the window's thread to report with the boxes
// a single write has always had.
struct WriteFailure {
  enum Kind { kNone, kRefused, kFailed, kTimedOut } kind = kNone;
  DWORD error = 0;  // the error, or the wait's result for kTimedOut
};

// Patterns per write: as many as the line moves in about 100 ms, and no
// fewer than fill 8 KiB, since each write has a cost of its own (under Wine
// a few milliseconds) that small writes would pay too often. A typed key
// goes out after the write in flight.
int PatternsPerWrite(DWORD baud, int length);

class PatternWriter {
 public:
  PatternWriter() = default;
  ~PatternWriter() { Stop(); }
  PatternWriter(const PatternWriter&) = delete;
  PatternWriter& operator=(const PatternWriter&) = delete;

  // Writes `copies` patterns per write until stopped: on its own thread when
  // `threaded`, else one write per Pump.
  void Start(HANDLE device, const char* pattern, int length, int copies, bool threaded);
  // Cancels the write in flight (what it moved is counted) and ends the thread.
  void Stop();
  bool Running() const { return device_ != nullptr; }
  // Without a thread: one write, seen to its end.
  void Pump();

  // Bytes the driver took since the last call.
  uint64_t TakeSent() { return sent_.exchange(0); }
  int PatternLength() const { return length_; }
  WriteFailure TakeFailure();

 private:
  bool Cycle(DWORD waitMs);
  bool Fail(WriteFailure::Kind kind, DWORD error);

  std::vector<char> block_;  // the patterns of one write; not touched while a write is out
  int length_ = 0;
  HANDLE device_ = nullptr;
  OVERLAPPED record_{};
  HANDLE stopEvent_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<uint64_t> sent_{0};
  std::atomic<bool> failed_{false};
  WriteFailure failure_;  // written before failed_ is set
};
