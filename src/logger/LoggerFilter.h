// The logger's filter: which frames are shown, parsed from the filter text of
// the dialog ("1-3, 0x10") into at most 200 numbers.
#pragma once

#include <string>
#include <vector>

#include "core/CanMsg.h"

enum LoggerFilterMode : int {
  kFilterOff = 0,
  kFilterShowNodes = 1,     // show only these node ids
  kFilterShowCobIds = 2,    // show only these COB-IDs
  kFilterHideNodes = 3,     // suppress these node ids
  kFilterHideCobIds = 4,    // suppress these COB-IDs
};
inline constexpr int kFilterModeCount = 5;
inline constexpr size_t kFilterMaxNumbers = 200;

// The entries of the filter selector, in mode order.
const char* LoggerFilter_ModeName(int mode);

// Numbers of a filter text. Decimal, or hexadecimal when hex is set; a number
// written with 0x is hexadecimal either way. Any character that is not a digit
// ends a number; "a - b" adds a, then every number after a up to b, counting
// up or down. At most kFilterMaxNumbers are kept; the rest is dropped. Numbers
// beyond the 32-bit range saturate.
std::vector<int> LoggerFilter_ParseList(const std::string& text, bool hex);

struct LoggerFilter {
  int mode = kFilterOff;
  bool hex = false;  // node ids are shown in hexadecimal on the filter line
  std::vector<int> numbers;

  // Whether a received frame passes (error reports are never filtered; the
  // caller does not ask for them).
  bool shows(const CanMsg& msg) const;
  // "-- Filter OFF", "-- Filter ON: show only Node ID(s) 5 6" and so on.
  std::string lineText() const;

 private:
  bool listed(int number) const;
};

// The node a frame concerns for the node filters: the node part of the
// COB-ID, and for NMT (COB-ID 0) the node it addresses (0 = all).
int LoggerFilter_NodeOf(const CanMsg& msg);
