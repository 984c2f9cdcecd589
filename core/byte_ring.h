// Received bytes between the thread that reads them from the driver and the
// thread that shows, captures and checks them: one writer, one reader, no
// lock. The writer reads straight into the free space and the reader hands
// out the filled space in place, so a byte is copied once on its way.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class ByteRing {
 public:
  // The storage is taken by Reserve, before the writer first writes: a ring
  // that is never used costs nothing.
  explicit ByteRing(size_t capacity) : capacity_(capacity) {}
  void Reserve() {
    if (!bytes_) bytes_.reset(new char[capacity_]);
  }
  ByteRing(const ByteRing&) = delete;
  ByteRing& operator=(const ByteRing&) = delete;

  size_t Capacity() const { return capacity_; }

  // Writer side: the free bytes that follow each other from the write
  // position (maybe fewer than all free bytes, at the end of the storage).
  char* FreeSpan(size_t* length) {
    const uint64_t head = head_.load(std::memory_order_relaxed);
    const uint64_t tail = tail_.load(std::memory_order_acquire);
    const size_t at = static_cast<size_t>(head % capacity_);
    const size_t free = capacity_ - static_cast<size_t>(head - tail);
    *length = free < capacity_ - at ? free : capacity_ - at;
    return bytes_.get() + at;
  }
  // Publishes `count` bytes written into the last FreeSpan.
  void Commit(size_t count) { head_.store(head_.load(std::memory_order_relaxed) + count, std::memory_order_release); }

  // Reader side: the filled bytes that follow each other from the read position.
  const char* FilledSpan(size_t* length) const {
    const uint64_t tail = tail_.load(std::memory_order_relaxed);
    const uint64_t head = head_.load(std::memory_order_acquire);
    const size_t at = static_cast<size_t>(tail % capacity_);
    const size_t filled = static_cast<size_t>(head - tail);
    *length = filled < capacity_ - at ? filled : capacity_ - at;
    return bytes_.get() + at;
  }
  // Gives the first `count` bytes of the last FilledSpan back to the writer.
  void Release(size_t count) { tail_.store(tail_.load(std::memory_order_relaxed) + count, std::memory_order_release); }

  // Either side: the bytes written and not yet released.
  size_t Filled() const {
    return static_cast<size_t>(head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_acquire));
  }

 private:
  const size_t capacity_;
  std::unique_ptr<char[]> bytes_;
  // Each position has one owner that stores it; the other side only loads it.
  std::atomic<uint64_t> head_{0};  // bytes ever written: the writer's (the reader thread)
  std::atomic<uint64_t> tail_{0};  // bytes ever released: the reader's (the window's thread)
};
