// What the reader and the writer share: one overlapped operation at a time
// on a device, on a thread of its own until stopped (or, without a thread,
// only when asked), and a failure handed once to the window's thread.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

class IoThread {
 public:
  IoThread() = default;
  ~IoThread() { Stop(); }
  IoThread(const IoThread&) = delete;
  IoThread& operator=(const IoThread&) = delete;

  // Makes the record and the stop event for `device`; with `threaded`, runs
  // `step` on a new thread until it returns false or Stop is called.
  void Start(HANDLE device, bool threaded, std::function<bool()> step);
  // Ends the operation in flight (the step collects what it moved) and the
  // thread, then closes the events. Safe to repeat.
  void Stop();
  bool Running() const { return device_ != nullptr; }
  bool Threaded() const { return threaded_; }
  // The thread has ended by itself, or there is none (Stop then returns at once).
  bool Ended() const { return !threaded_ || ended_.load(); }

  HANDLE device() const { return device_; }
  OVERLAPPED* record() { return &record_; }
  // Waits on the operation's event, the stop event and the wake event:
  // WAIT_OBJECT_0 when the operation ended, kStopping when Stop was called,
  // kWoken after Wake, else the wait's result.
  static constexpr DWORD kStopping = WAIT_OBJECT_0 + 1;
  static constexpr DWORD kWoken = WAIT_OBJECT_0 + 2;
  DWORD WaitForOperation(DWORD milliseconds);
  // A pause that Stop and Wake cut short.
  void Pause(DWORD milliseconds);
  // The window's thread: the thread's wait or pause ends with kWoken (once
  // per call), for it to look again at what it was asked.
  void Wake() {
    if (wakeEvent_ != nullptr) SetEvent(wakeEvent_);
  }

 private:
  // Who touches what: the window's thread owns every field and sets all but
  // the atomics only while no thread runs (in Start before it begins, in Stop
  // after the join). The thread reads device_, record_, the events and
  // threaded_, and has record_ to itself while it runs.
  HANDLE device_ = nullptr;
  OVERLAPPED record_{};
  HANDLE stopEvent_ = nullptr;
  HANDLE wakeEvent_ = nullptr;  // auto-reset
  bool threaded_ = false;
  std::thread thread_;
  std::atomic<bool> stopping_{false};  // stored by the window's thread (Stop), loaded by the thread
  std::atomic<bool> ended_{false};     // stored by the thread as it ends, loaded by the window's thread
};

// A failure the thread reports, taken once by the window's thread.
template <typename Failure>
class FailureSlot {
 public:
  void Put(const Failure& failure) {
    value_ = failure;
    set_.store(true, std::memory_order_release);
  }
  bool Pending() const { return set_.load(std::memory_order_acquire); }
  Failure Take() {
    if (!Pending()) return Failure{};
    Failure failure = value_;
    set_.store(false);
    return failure;
  }
  void Clear() { set_.store(false); }

 private:
  // The thread writes value_ only while set_ is false and then stores true;
  // the window's thread reads value_ only after loading true, then stores false.
  Failure value_{};
  std::atomic<bool> set_{false};
};
