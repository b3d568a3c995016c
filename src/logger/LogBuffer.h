// The logger's display lines: at most `capacity` lines, then one overflow
// line, after which nothing more is kept. Lines are stored raw (LogEntry) and
// turned into text only when shown.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "logger/LogEntry.h"

class LogBuffer {
 public:
  static constexpr long kMinCapacity = 1000;
  // The display keeps at most this many lines whatever the option says, so a
  // mistyped buffer size cannot exhaust the memory (24 bytes a line).
  static constexpr long kMaxCapacity = 10000000;

  // A buffer size from the option: below kMinCapacity gives kMinCapacity.
  static long capacityFor(long option);

  void setCapacity(long capacity) { capacity_ = capacityFor(capacity); }
  long capacity() const { return capacity_; }

  // Appends a line unless the display has overflowed; events carry their text.
  // Returns true when the line was kept.
  bool append(const LogEntry& entry);
  bool appendEvent(LogEntry entry, std::string text);
  // The line count has reached the capacity and the overflow line is not there yet.
  bool full() const { return !overflowed_ && long(lines_.size()) >= capacity_; }
  // Appends the overflow line (beyond the capacity) and stops the display.
  void markOverflow(std::string text);
  bool overflowed() const { return overflowed_; }

  size_t count() const { return lines_.size(); }
  const LogEntry& at(size_t row) const { return lines_[row]; }
  const std::string& textOf(const LogEntry& entry) const;
  // Count of lines x 100 / capacity.
  long fillPercent() const;

  // Empties the display (line count 0, overflow off); memory is kept for reuse.
  void clear();

 private:
  std::vector<LogEntry> lines_;
  std::vector<std::string> texts_;  // event texts, by LogEntry::text
  long capacity_ = 32000;
  bool overflowed_ = false;
};
