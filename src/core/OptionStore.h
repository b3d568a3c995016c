// The live option table shared by the access functions and the INI file code.
// Not for use outside the option code (and its tests).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/OptionTable.h"
#include "core/Options.h"

struct OptionSlot {
  const OptionDef* def = nullptr;
  int intValue = 0;
  int32_t longValue = 0;
  double doubleValue = 0.0;
  // Text options: a buffer allocated once, big enough for the maximum number
  // of characters, so pointers handed out by Option_GetString stay valid.
  // A wide option keeps UTF-8, up to four bytes per character.
  std::vector<char> text;
  int maxChars = 0;  // the most characters the value may have

  const char* textValue() const { return text.empty() ? "" : text.data(); }
  // The length of value in characters as this option counts them: bytes for
  // a narrow option, characters of its UTF-8 text for a wide one.
  size_t charsOf(const char* value, size_t length) const;
  // Copies text in when it has at most maxChars characters; false otherwise.
  bool assignText(const char* value, size_t length);
  // Sets a number option from text the way defaults are converted.
  void assignNumber(const char* value);
};

// The initialised table (Option_Init is called first).
std::vector<OptionSlot>& Option_Slots();
// Formats a message and hands it to the reporting callback, if any.
void Option_Report(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The row whose name equals key ignoring ASCII case, or nullptr.
OptionSlot* Option_FindNoCase(const std::string& key);

// Initialises the session's table from other definitions instead of the
// program's (the option code's own tests use small tables).
int Option_InitFromDefinitions(const OptionDef* defs, OptionReportFn report);
