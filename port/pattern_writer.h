// Send Test Data: a thread that writes the test pattern back to back for as
// long as the switch is on, so the line never runs dry between timer ticks.
// Typed keys meanwhile go out on its thread, between two of its writes.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/line_rate.h"
#include "port/io_thread.h"

// What stopped the writer, for the window's thread to report with the boxes
// a single write has always had.
struct WriteFailure {
  enum Kind { kNone, kRefused, kFailed, kTimedOut } kind = kNone;
  DWORD error = 0;  // the error, or the wait's result for kTimedOut
};

// The most one write of the test pattern holds, however fast the line.
constexpr int kMostWriteBytes = 64 * 1024;
// Room kept for typed bytes that wait for a sending thread (more allocates),
// and the most that may wait: a Send Text repeated faster than the line
// moves it would otherwise grow the queue without end; past this its bytes go
// out on their own.
constexpr size_t kKeyRoom = 4096;
constexpr size_t kMostKeyBytes = 64 * 1024;

// One write of `count` bytes on the thread's record, seen to its end (or, on
// the window's thread, cancelled if not done at once); what the driver took
// is added to `sent`. False once the writer must stop: stopped, or failed
// (the failure put in `failure`).
bool WriteBlock(IoThread& io, const char* bytes, DWORD count, std::atomic<uint64_t>& sent,
                FailureSlot<WriteFailure>& failure);

// Typed bytes handed to a sending thread (Send Test Data, Send File), which
// writes them between two writes of its own: under Wine a write of the
// window's own thread would go out inside the one in flight.
class KeyQueue {
 public:
  // Before the thread starts: room for kKeyRoom bytes, so a key costs no allocation.
  void Reserve();
  // The window's thread: false when `io`'s thread does not take them (none
  // runs, or it has ended) or kMostKeyBytes would be waiting.
  bool Put(const IoThread& io, const char* bytes, size_t count);
  // The thread: writes what waits (counted as sent when typed); false if the write failed.
  bool Send(IoThread& io, FailureSlot<WriteFailure>& failure);
  // What waits, taken: a thread that ended or was stopped left it unsent.
  std::string Take();

 private:
  std::mutex lock_;
  std::vector<char> waiting_;  // under lock_
  std::vector<char> out_;      // the thread's own: swapped with waiting_ to write
};

class PatternWriter {
 public:
  // Writes whole patterns until stopped, on its own thread when `threaded`,
  // else one write per Pump. Each write holds what the line moves in about
  // kWriteLineMs (PatternsPerWrite): judged first from `baud`, then, with a
  // thread, from how long the writes take.
  void Start(HANDLE device, const char* pattern, int length, DWORD baud, bool threaded);
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
  // With a thread: `count` typed bytes for it to send before its next
  // pattern, so that they go out between two patterns (under Wine a write of
  // the window's own would go out inside the one in flight). False when no
  // thread runs or it has ended, or kMostKeyBytes wait; a thread that is
  // ending leaves them for TakeKeys.
  bool Insert(const char* bytes, size_t count) { return keys_.Put(io_, bytes, count); }
  // The typed bytes it took and had not sent when it ended or was stopped.
  std::string TakeKeys() { return keys_.Take(); }

  // Bytes the driver took since the last call.
  uint64_t TakeSent() { return sent_.exchange(0); }
  WriteFailure TakeFailure() { return failure_.Take(); }

 private:
  bool Cycle();

  // block_, length_ and most_ are set by Start before the thread begins and
  // only read after; rate_ is the thread's own once it runs. Shared without a
  // lock: sent_ (the thread adds, the window's thread takes and zeroes in one
  // exchange) and failure_ (FailureSlot).
  KeyQueue keys_;  // see KeyQueue for who touches what
  std::vector<char> block_;  // most_ patterns
  int length_ = 0;
  int most_ = 1;
  LineRate rate_{0};
  std::atomic<uint64_t> sent_{0};
  FailureSlot<WriteFailure> failure_;
  IoThread io_;  // declared last: stopped (by its destructor) before the block goes
};
