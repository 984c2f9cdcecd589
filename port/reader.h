// The receiving side of a port: a thread that keeps one read pending on the
// device at all times and puts what comes into a ring, from which the
// window's thread takes it (ComPort::Drain). Nothing the user interface does
// (a box, a menu, a dialog, a window being moved) holds up the reading.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>

#include "core/byte_ring.h"

constexpr DWORD kReadBlock = 64 * 1024;       // most bytes one read asks for
constexpr size_t kRingBytes = 4 * 1024 * 1024;  // about a second at 4 MiB/s
// The read time-out the driver is given: a read ends this long after it
// began, or when its block is full. Short enough that a lone byte shows at
// once, long enough that a busy line fills whole blocks.
constexpr DWORD kReadSliceMs = 20;

// What stopped the reader, for the window's thread to report.
struct ReadFailure {
  DWORD error = 0;          // 0: none
  bool afterPending = false;  // the read was accepted and failed on completion
};

class PortReader {
 public:
  PortReader() = default;
  ~PortReader() { Stop(); }
  PortReader(const PortReader&) = delete;
  PortReader& operator=(const PortReader&) = delete;

  // Reads `device` from now on: on a thread of its own when `threaded`, else
  // only when Pump is called. `notify` gets `message` posted whenever bytes
  // arrive that the window's thread has not yet been told of, and when the
  // reader stops by itself.
  void Start(HANDLE device, bool threaded, HWND notify, UINT message);
  // Ends the read in flight (its bytes are kept) and the thread. Safe to repeat.
  void Stop();
  bool Running() const { return device_ != nullptr; }

  // Without a thread: reads until the driver has nothing more (or the ring is full).
  void Pump();

  ByteRing& Ring() { return ring_; }
  // The window's thread has been told and takes the bytes now: the next arrival tells it again.
  void Heard() { told_.store(false, std::memory_order_release); }
  // The failure that stopped the reader, once; then the reader may be started again.
  ReadFailure TakeFailure();

 private:
  // One read into the ring; false once the reader must stop.
  bool Cycle();
  void Loop();
  void Tell();

  ByteRing ring_{kRingBytes};
  HANDLE device_ = nullptr;
  OVERLAPPED record_{};
  HANDLE stopEvent_ = nullptr;
  bool threaded_ = false;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> told_{false};
  std::atomic<bool> failed_{false};
  ReadFailure failure_;  // written by the reader before failed_ is set
  HWND notify_ = nullptr;
  UINT message_ = 0;
};
