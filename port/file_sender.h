// Send File: a thread that writes a file's bytes to the port back to back,
// or with a pause after each line or block for slow devices, until the end,
// a failure or Stop. Typed keys meanwhile go out on its thread, between two
// of its blocks.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "port/io_thread.h"
#include "port/pattern_writer.h"

constexpr DWORD kSendBlock = 8 * 1024;  // the most one write carries

class FileSender {
 public:
  // Takes `bytes` to send from the start, and stops any send before.
  void Load(std::vector<char> bytes);
  // Sends what Load took: on its own thread when `threaded`, else a block per Pump.
  void Start(HANDLE device, bool threaded);
  // Cancels the write in flight (what it moved is counted) and ends the thread.
  void Stop() { io_.Stop(); }
  bool Running() const { return io_.Running(); }
  // Typed bytes for the thread to send before its next block (see KeyQueue).
  bool Insert(const char* bytes, size_t count) { return keys_.Put(io_, bytes, count); }
  std::string TakeKeys() { return keys_.Take(); }
  // All of it went out (and the thread has ended).
  bool Done() const { return io_.Running() && io_.Ended() && Sent() == Size(); }
  void Pump();

  uint64_t Sent() const { return sent_.load(); }
  uint64_t Size() const { return bytes_.size(); }
  WriteFailure TakeFailure() { return failure_.Take(); }

  // For slow devices, changed at any time: a pause of `ms` after each line
  // (with `perLine`) or after each `block` bytes; 0 ms for none.
  void Pace(DWORD ms, bool perLine, DWORD block) {
    pauseMs_.store(ms);
    perLine_.store(perLine);
    block_.store(block == 0 || block > kSendBlock ? kSendBlock : block);
  }

 private:
  bool Cycle();

  // bytes_ is filled by Load before the thread begins and only read after.
  // Shared without a lock: sent_ (the thread adds, the window's thread
  // reads), failure_ (FailureSlot), and the pace, which the window's thread
  // stores and the thread loads before each write.
  std::vector<char> bytes_;
  std::atomic<uint64_t> sent_{0};
  FailureSlot<WriteFailure> failure_;
  std::atomic<DWORD> pauseMs_{0};
  std::atomic<bool> perLine_{false};
  std::atomic<DWORD> block_{kSendBlock};
  KeyQueue keys_;  // see KeyQueue for who touches what
  IoThread io_;  // declared last: stopped (by its destructor) before the bytes go
};
