#include "logger/LoggerFilter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int64_t kMaxNumber = 0x7FFFFFFF;
constexpr uint32_t kCobSync = 0x080;

int digitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the number starting at text[pos] (pos is on a digit, or on a hex
// letter in hex mode); pos ends after it.
int readNumber(const std::string& text, size_t& pos, bool hex) {
  if (text[pos] == '0' && pos + 2 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
      digitValue(text[pos + 2], true) >= 0) {
    hex = true;
    pos += 2;
  }
  const int base = hex ? 16 : 10;
  int64_t value = 0;
  for (int d; pos < text.size() && (d = digitValue(text[pos], hex)) >= 0; ++pos)
    value = std::min<int64_t>(value * base + d, kMaxNumber);
  return int(value);
}

}  // namespace

const char* LoggerFilter_ModeName(int mode) {
  static const char* const names[kFilterModeCount] = {
      "Off", "Show only Node ID(s):", "Show only COB ID(s):", "Suppress Node ID(s):",
      "Suppress COB ID(s):"};
  return mode >= 0 && mode < kFilterModeCount ? names[mode] : "";
}

std::vector<int> LoggerFilter_ParseList(const std::string& text, bool hex) {
  std::vector<int> numbers;
  bool haveLast = false;     // a number was read and nothing but blanks followed
  bool rangePending = false; // ... then a "-"
  int last = 0;
  size_t pos = 0;
  while (pos < text.size() && numbers.size() < kFilterMaxNumbers) {
    const char c = text[pos];
    if (digitValue(c, hex) < 0) {
      if (c == '-' && haveLast && !rangePending) {
        rangePending = true;
      } else if (c != ' ' && c != '\t') {
        haveLast = rangePending = false;
      }
      ++pos;
      continue;
    }
    const int number = readNumber(text, pos, hex);
    if (rangePending) {
      const int step = number >= last ? 1 : -1;
      for (int n = last; n != number && numbers.size() < kFilterMaxNumbers;) {
        n += step;
        numbers.push_back(n);
      }
    } else {
      numbers.push_back(number);
    }
    last = number;
    haveLast = true;
    rangePending = false;
  }
  return numbers;
}

int LoggerFilter_NodeOf(const CanMsg& msg) {
  const uint32_t cob = msg.id & CANMSG_ID_MASK;
  if (cob == 0) return msg.len == 2 ? int(msg.data[1] & 0xFF) : 0;
  return int(cob & 0x7F);
}

bool LoggerFilter::listed(int number) const {
  return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

bool LoggerFilter::shows(const CanMsg& msg) const {
  const uint32_t cob = msg.id & CANMSG_ID_MASK;
  switch (mode) {
    case kFilterShowCobIds: return listed(int(cob));
    case kFilterHideCobIds: return !listed(int(cob));
    case kFilterShowNodes: {
      if (cob == kCobSync) return true;
      const int node = LoggerFilter_NodeOf(msg);
      return node == 0 || listed(node);
    }
    case kFilterHideNodes: {
      if (cob == kCobSync) return true;
      const int node = LoggerFilter_NodeOf(msg);
      return node == 0 || !listed(node);
    }
    default: return true;
  }
}

std::string LoggerFilter::lineText() const {
  const char* head = nullptr;
  const char* format = nullptr;
  switch (mode) {
    case kFilterShowNodes: head = "-- Filter ON: show only Node ID(s)"; break;
    case kFilterHideNodes: head = "-- Filter ON: suppress Node ID(s)"; break;
    case kFilterShowCobIds: head = "-- Filter ON: show only COB ID(s)"; format = " 0x%03X"; break;
    case kFilterHideCobIds: head = "-- Filter ON: suppress COB ID(s)"; format = " 0x%03X"; break;
    default: return "-- Filter OFF";
  }
  if (!format) format = hex ? " 0x%X" : " %d";
  std::string line = head;
  char number[16];
  for (int n : numbers) {
    std::snprintf(number, sizeof number, format, n);
    line += number;
  }
  return line;
}
