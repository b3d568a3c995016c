#include "core/EventQueue.h"

void EventQueue::schedule(int64_t timeUs, Action action) {
  actions_.emplace(std::make_pair(timeUs, seq_++), std::move(action));
}

int64_t EventQueue::nextTime() const {
  return actions_.empty() ? kNever : actions_.begin()->first.first;
}

void EventQueue::runDue(int64_t nowUs) {
  while (!actions_.empty() && actions_.begin()->first.first <= nowUs) {
    auto it = actions_.begin();
    int64_t at = it->first.first;
    Action action = std::move(it->second);
    actions_.erase(it);
    action(at);
  }
}
