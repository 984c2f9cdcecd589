// The receiving side of a port: a thread that keeps one read pending on the
// device at all times and puts what comes into a ring, from which the
// window's thread takes it (ComPort::Drain). Nothing the user interface does
// (a box, a menu, a dialog, a window being moved) holds up the reading.
#pragma once
#include <windows.h>

#include <atomic>

#include "core/byte_ring.h"
#include "core/line_rate.h"
#include "port/io_thread.h"

constexpr DWORD kReadBlock = 64 * 1024;       // most bytes one read asks for
constexpr size_t kRingBytes = 4 * 1024 * 1024;  // about a second at 4 MiB/s
// The read time-outs the driver is given: a read waits for its first byte as
// long as it takes, then ends when its block is full or the line has been
// quiet this long after a byte. A quiet port then costs little (see
// kQuietWaitMs), a lone byte shows at once, and a busy line fills whole blocks.
constexpr DWORD kReadGapMs = 5;
// The longest the reader waits for a read once bytes have come: bytes that
// keep coming closer than kReadGapMs would otherwise wait for the whole block.
// The block is sized to the line's rate (ReadAsk), so this is the exception.
constexpr DWORD kReadWaitMs = 100;
// A quiet line's read waits for its first byte up to this, then is cancelled
// and issued again: a read that missed its gap would otherwise keep what it
// took until more came; an idle port costs one read a second.
constexpr DWORD kQuietWaitMs = 1000;
// A driver that ends reads at once with nothing is read again only after this.
constexpr DWORD kEmptyReadPauseMs = 20;

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
  void Took(DWORD got, size_t asked, uint64_t micros, bool cutShort);
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
  // The thread's own once it runs: whether the line was quiet at the last
  // read (the next then waits for as long as it takes), and its rate.
  bool quiet_ = true;
  LineRate rate_{0};
};
