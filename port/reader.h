// The receiving side of a port: a thread that keeps one read pending on the
// device at all times and puts what comes into a ring, from which the
// window's thread takes it (ComPort::Drain). Nothing the user interface does
// (a box, a menu, a dialog, a window being moved) holds up the reading.
#pragma once
#include <windows.h>

#include <atomic>

#include "core/byte_ring.h"
#include "port/io_thread.h"

constexpr DWORD kReadBlock = 64 * 1024;       // most bytes one read asks for
constexpr size_t kRingBytes = 4 * 1024 * 1024;  // about a second at 4 MiB/s
// The read time-out the driver is given: a read ends this long after it
// began, or when its block is full. Short enough that a lone byte shows at
// once, long enough that a busy line fills whole blocks.
constexpr DWORD kReadSliceMs = 20;
// The longest the reader waits for a read it gave kReadSliceMs.
constexpr DWORD kReadWaitMs = 5 * kReadSliceMs;
// A line quiet for this many reads in a row is read only every kQuietPauseMs
// more: eight idle ports would otherwise cost 400 reads a second. The first
// bytes after a quiet spell wait in the driver no longer than the old poll's
// tick.
constexpr int kQuietReads = 10;
constexpr DWORD kQuietPauseMs = 100;

// What stopped the reader, for the window's thread to report.
struct ReadFailure {
  DWORD error = 0;          // 0: none
  bool afterPending = false;  // the read was accepted and failed on completion
};

class PortReader {
 public:
  // Reads `device` from now on: on a thread of its own when `threaded`, else
  // only when Pump is called. `notify` gets `message` posted whenever bytes
  // arrive that the window's thread has not yet been told of, and when the
  // reader stops by itself.
  void Start(HANDLE device, bool threaded, HWND notify, UINT message);
  // Ends the read in flight (its bytes are kept) and the thread. Safe to repeat.
  void Stop() { io_.Stop(); }
  bool Running() const { return io_.Running(); }

  // Without a thread: reads until the driver has nothing more (or the ring is full).
  void Pump();

  ByteRing& Ring() { return ring_; }
  // The window's thread has been told and takes the bytes now: the next arrival tells it again.
  void Heard() { told_.store(false, std::memory_order_release); }
  // The failure that stopped the reader, once; then the reader may be started again.
  ReadFailure TakeFailure() { return failure_.Take(); }

 private:
  // One read into the ring; false once the reader must stop.
  bool Cycle();
  bool Fail(DWORD error, bool afterPending);
  void Tell();

  // Shared with the window's thread, each without a lock: the ring (see
  // ByteRing: one owner per position), told_ (stored true by the thread when
  // it posts, false by the window's thread in Heard), failure_ (FailureSlot).
  ByteRing ring_{kRingBytes};
  IoThread io_;  // declared after the ring: stopped (by its destructor) before the ring goes
  std::atomic<bool> told_{false};
  FailureSlot<ReadFailure> failure_;
  // Set by Start before the thread begins; only read afterwards.
  HWND notify_ = nullptr;
  UINT message_ = 0;
  int quietReads_ = 0;  // empty reads in a row: the thread's own once it runs
};
