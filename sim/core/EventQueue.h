// Time-ordered actions of the simulation. Actions due at the same time run in
// the order they were scheduled, so that an exchange started by one frame
// completes before the next frame of the same instant is looked at.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <utility>

class EventQueue {
 public:
  using Action = std::function<void(int64_t timeUs)>;
  static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

  void schedule(int64_t timeUs, Action action);
  // Time of the earliest action, kNever when none is waiting.
  int64_t nextTime() const;
  // Runs every action due at or before nowUs, including those that the
  // actions themselves schedule within that time. Each action receives its
  // own scheduled time, so chains keep exact virtual time even when the
  // caller comes late.
  void runDue(int64_t nowUs);
  void clear() { actions_.clear(); }
  size_t size() const { return actions_.size(); }

 private:
  std::multimap<std::pair<int64_t, uint64_t>, Action> actions_;
  uint64_t seq_ = 0;
};
