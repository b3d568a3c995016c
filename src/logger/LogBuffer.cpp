#include "logger/LogBuffer.h"

#include <utility>

long LogBuffer::capacityFor(long option) {
  if (option < kMinCapacity) return kMinCapacity;
  return option > kMaxCapacity ? kMaxCapacity : option;
}

bool LogBuffer::append(const LogEntry& entry) {
  if (overflowed_) return false;
  lines_.push_back(entry);
  return true;
}

bool LogBuffer::appendEvent(LogEntry entry, std::string text) {
  if (overflowed_) return false;
  entry.kind = LogEntry::Event;
  entry.text = uint32_t(texts_.size());
  texts_.push_back(std::move(text));
  lines_.push_back(entry);
  return true;
}

void LogBuffer::markOverflow(std::string text) {
  if (overflowed_) return;
  LogEntry entry;
  entry.id = kEventOverflow;
  appendEvent(entry, std::move(text));
  overflowed_ = true;
}

const std::string& LogBuffer::textOf(const LogEntry& entry) const {
  static const std::string none;
  return entry.isEvent() && entry.text < texts_.size() ? texts_[entry.text] : none;
}

long LogBuffer::fillPercent() const {
  if (capacity_ < 1) return 0;
  return long(static_cast<long long>(lines_.size()) * 100 / capacity_);
}

void LogBuffer::clear() {
  lines_.clear();
  texts_.clear();
  overflowed_ = false;
}
