// Send Test Data: a thread that writes the test pattern back to back for as
// long as the switch is on, so the line never runs dry between timer ticks.
// Typed keys go out through the port's own writes, between two of its blocks.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "port/io_thread.h"

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

// One write of `count` bytes on the thread's record, seen to its end (or, on
// the window's thread, cancelled if not done at once); what the driver took
// is added to `sent`. False once the writer must stop: stopped, or failed
// (the failure put in `failure`).
bool WriteBlock(IoThread& io, const char* bytes, DWORD count, std::atomic<uint64_t>& sent,
                FailureSlot<WriteFailure>& failure);

class PatternWriter {
 public:
  // Writes `copies` patterns per write until stopped: on its own thread when
  // `threaded`, else one write per Pump.
  void Start(HANDLE device, const char* pattern, int length, int copies, bool threaded);
  // Cancels the write in flight (what it moved is counted) and ends the thread.
  void Stop() { io_.Stop(); }
  // The switch went off: ends after the write in flight, so that the line
  // carries whole patterns only; true once it has ended (and is stopped).
  bool Finishing() const { return io_.Running() && io_.Ending(); }
  bool Finish() {
    io_.AskToEnd();
    if (!io_.Ended()) return false;
    io_.Stop();
    return true;
  }
  bool Running() const { return io_.Running(); }
  // Without a thread: one write, seen to its end.
  void Pump();

  // Bytes the driver took since the last call.
  uint64_t TakeSent() { return sent_.exchange(0); }
  WriteFailure TakeFailure() { return failure_.Take(); }

 private:
  bool Cycle();

  // block_ is filled by Start before the thread begins and only read after.
  // Shared without a lock: sent_ (the thread adds, the window's thread takes
  // and zeroes in one exchange) and failure_ (FailureSlot).
  std::vector<char> block_;
  std::atomic<uint64_t> sent_{0};
  FailureSlot<WriteFailure> failure_;
  IoThread io_;  // declared last: stopped (by its destructor) before the block goes
};
