// Calls into a calibration that may nest: a message box shown on the way
// (a module that stopped answering, a failed calibrator) runs the event loop,
// in which timers fire and the window may be asked to close because its
// module went away. A window that closes then must not go before the
// outermost call has returned; it asks to be told when that happens.
#pragma once

#include <functional>
#include <utility>

class NestedCalls {
 public:
  // One call, for as long as it runs.
  class Scope {
   public:
    explicit Scope(NestedCalls& calls) : calls_(calls) { ++calls_.depth_; }
    ~Scope() {
      if (--calls_.depth_ > 0 || !calls_.done_) return;
      std::function<void()> done = std::move(calls_.done_);
      calls_.done_ = nullptr;
      done();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    NestedCalls& calls_;
  };

  bool active() const { return depth_ > 0; }
  // `done` runs once, when the outermost call has returned.
  void whenDone(std::function<void()> done) { done_ = std::move(done); }

 private:
  int depth_ = 0;
  std::function<void()> done_;
};
