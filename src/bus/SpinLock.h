// The interface layer's lock flags: taken by an atomic compare-and-exchange,
// spinning until it succeeds, released by a store. With everything on the GUI
// thread they never contend; they keep the layer consistent should frames ever
// be received on another thread. The owning thread may take a flag again (a
// logger called from inside a link may send through the same link), so the
// flag records its owner instead of a plain 0/1.
#pragma once

#include <atomic>
#include <thread>

class SpinFlag {
 public:
  void lock() {
    const std::thread::id me = std::this_thread::get_id();
    if (owner_.load(std::memory_order_relaxed) == me) {
      ++depth_;
      return;
    }
    std::thread::id none;
    while (!owner_.compare_exchange_weak(none, me, std::memory_order_acquire)) none = {};
    depth_ = 1;
  }
  void unlock() {
    if (depth_ > 0 && --depth_ == 0) owner_.store(std::thread::id(), std::memory_order_release);
  }
  // Frees the flag whoever holds it.
  void release() {
    depth_ = 0;
    owner_.store(std::thread::id(), std::memory_order_release);
  }

 private:
  std::atomic<std::thread::id> owner_{};
  int depth_ = 0;
};

class SpinGuard {
 public:
  explicit SpinGuard(SpinFlag& flag) : flag_(flag) { flag_.lock(); }
  ~SpinGuard() { flag_.unlock(); }
  SpinGuard(const SpinGuard&) = delete;
  SpinGuard& operator=(const SpinGuard&) = delete;

 private:
  SpinFlag& flag_;
};
