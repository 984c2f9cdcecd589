// What a port sends from a thread of its own: Send Test Data's patterns,
// Send File's bytes and the keys typed meanwhile. One thread writes them all,
// one write at a time, so that nothing mixes on the line (under Wine a second
// write goes out inside the one in flight). Typed keys go first, between two
// writes; then the file, block by block; then whole patterns for as long as
// the switch is on. With nothing of that left the thread ends.
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
// The most one write of a file carries.
constexpr DWORD kSendBlock = 8 * 1024;
// Room kept for typed bytes that wait for the thread; more allocates, which
// only a user's text can cause (a repeated Send Text waits for the one before).
constexpr size_t kKeyRoom = 4096;

// One write of `count` bytes on the thread's record, seen to its end (or, on
// the window's thread, cancelled if not done at once); what the driver took
// is added to `sent`. With `wanted`, a wake that finds it false cancels the
// write, which then counts as done. False once the writer must stop:
// stopped, or failed (the failure put in `failure`).
bool WriteBlock(IoThread& io, const char* bytes, DWORD count, std::atomic<uint64_t>& sent,
                FailureSlot<WriteFailure>& failure, const std::atomic<bool>* wanted = nullptr);

// Typed bytes handed to the writer's thread, which writes them between two
// writes of its own.
class KeyQueue {
 public:
  // Before the thread starts: room for kKeyRoom bytes, so a key costs no allocation.
  void Reserve();
  // The window's thread: false when `io`'s thread does not take them (none
  // runs, or it has ended).
  bool Put(const IoThread& io, const char* bytes, size_t count);
  bool Waiting();
  // The thread: writes what waits (counted as sent when typed); false if the write failed.
  bool Send(IoThread& io, FailureSlot<WriteFailure>& failure);
  // What waits, taken: a thread that ended or was stopped left it unsent.
  std::string Take();

 private:
  std::mutex lock_;
  std::vector<char> waiting_;  // under lock_
  std::vector<char> out_;      // the thread's own: swapped with waiting_ to write
};

// Send File's bytes, how far they went, and the pace the user may change at any time.
class FileJob {
 public:
  uint64_t Sent() const { return sent_.load(); }
  uint64_t Size() const { return bytes_.size(); }
  // For slow devices: a pause of `ms` after each line (with `perLine`) or
  // after each `block` bytes; 0 ms for none.
  void Pace(DWORD ms, bool perLine, DWORD block) {
    pauseMs_.store(ms);
    perLine_.store(perLine);
    block_.store(block == 0 || block > kSendBlock ? kSendBlock : block);
  }

 private:
  friend class PortWriter;
  // The length of the next write from `at`, and the pause after it.
  DWORD Next(uint64_t at, DWORD* pause) const;

  // Owned by the window's thread, which writes it only under PortWriter's
  // fileLock_ (LoadFile); the writer's thread reads it only under that lock.
  std::vector<char> bytes_;
  std::atomic<uint64_t> sent_{0};  // added to by the writing thread, read by the window's (and zeroed by LoadFile)
  // The pace: stored by the window's thread, loaded by the writer's before each write.
  std::atomic<DWORD> pauseMs_{0};
  std::atomic<bool> perLine_{false};
  std::atomic<DWORD> block_{kSendBlock};
};

class PortWriter {
 public:
  // Sends until there is nothing left, on its own thread when `threaded`,
  // else one write per Pump. A write of patterns holds what the line moves in
  // about kWriteLineMs (PatternsPerWrite): judged first from `baud`, then,
  // with a thread, from how long the writes take.
  void Start(HANDLE device, const char* pattern, int length, DWORD baud, bool threaded);
  // Cancels the write in flight (what it moved is counted) and ends the thread.
  void Stop() { io_.Stop(); }
  bool Running() const { return io_.Running(); }
  // Nothing more will be sent until Start: the thread found nothing left and
  // ended, or, without one, nothing is wanted. A failure also ends it.
  bool Finished() const { return io_.Threaded() ? io_.Ended() : !patterns_.load() && !FileLeft(); }
  // Without a thread: one write, seen to its end; patterns only onto an empty queue.
  void Pump(bool outputEmpty);

  // Send Test Data's switch as the pass sees it: off, the thread sends no
  // further pattern, ending after the write in flight (never cutting one short).
  void WantPatterns(bool on) { patterns_.store(on); }

  // Send File: `bytes` go out before any further pattern.
  void LoadFile(std::vector<char> bytes);
  // No more of the file goes out: a write of it in flight is cut short (what
  // it moved is counted). Returns once the thread has let go of it.
  void DropFile();
  const FileJob& File() const { return file_; }
  FileJob& File() { return file_; }
  bool FileLeft() const { return fileLoaded_.load() && file_.Sent() < file_.Size(); }

  // With a thread: `count` typed bytes for it to send before its next write.
  // False when no thread runs or it has ended; a thread that ends leaves them
  // for TakeKeys.
  bool Insert(const char* bytes, size_t count) { return keys_.Put(io_, bytes, count); }
  // Typed bytes wait for the thread's next write.
  bool KeysWaiting() { return keys_.Waiting(); }
  std::string TakeKeys() { return keys_.Take(); }

  // Pattern bytes the driver took since the last call.
  uint64_t TakePatternBytes() { return patternSent_.exchange(0); }
  bool Failed() const { return failure_.Pending(); }
  WriteFailure TakeFailure() { return failure_.Take(); }

 private:
  enum Step { kNothing, kWrote, kStop };
  bool Cycle(bool outputEmpty);
  Step SendFileBlock();

  // block_, length_ and most_ are set by Start before the thread begins and
  // only read after; rate_ is the thread's own once it runs.
  KeyQueue keys_;  // see KeyQueue for who touches what
  std::vector<char> block_;  // most_ patterns
  int length_ = 0;
  int most_ = 1;
  LineRate rate_{0};
  std::atomic<bool> patterns_{false};     // stored by the window's thread, loaded by the writer's
  std::atomic<uint64_t> patternSent_{0};  // added to by the writer's thread, taken (exchange) by the window's
  // Held by the writer's thread over a file's write and the pause after it,
  // by the window's only to load a file or to wait for the writer to let go
  // of one (DropFile); never while painting or inside a box.
  std::mutex fileLock_;
  FileJob file_;  // see FileJob
  std::atomic<bool> fileLoaded_{false};  // stored by the window's thread, loaded by the writer's
  FailureSlot<WriteFailure> failure_;     // put by the writer's thread, taken by the window's
  IoThread io_;  // declared last: stopped (by its destructor) before the block goes
};
