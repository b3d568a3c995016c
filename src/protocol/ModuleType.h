// The module type catalogue: a static, compiled-in table that turns the type
// number a module reports into its order code, a description and the list of
// capabilities that decide which tabs and functions the module gets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One row of the catalogue. The strings are never null ("" when not given).
struct ModuleTypeInfo {
  int32_t type;              // module type number; -1 in the end row
  const char* orderCode;     // name shown in the list, titles and dialogs
  const char* altOrderCode;  // second order code of the same type, usually ""
  const char* description;   // free text for the catalogue viewer
  const char* capabilities;  // comma-separated keywords, may be ""
  uint32_t released;         // 1 = released; 0 = listed in factory mode only
};

// The LIN master answers the bus scan with this type and is not listed.
inline constexpr int MODULE_TYPE_LIN_MASTER = 0x85;

// The row of a type, or nullptr when the catalogue does not know it.
const ModuleTypeInfo* ModuleType_Find(int type);

// Number of rows before the end row.
int ModuleType_Count();

// Row by position 0 .. ModuleType_Count() - 1; nullptr outside that range.
const ModuleTypeInfo* ModuleType_At(int index);

// True when the row's capability list holds the keyword as one of its
// comma-separated entries (blanks around an entry are ignored, case counts).
// A keyword without "=" also finds a "keyword=value" entry, and "keyword="
// finds it too; a part of an entry never counts ("Digital" does not find
// "DigitalIn", "NL:r16" does not find "Switches=NL:r16"). A null row or an
// empty keyword has no capabilities.
bool ModuleType_HasCapability(const ModuleTypeInfo* row, const char* keyword);

// The value of the row's "keyword=value" entry (keyword given without "="),
// as a view into the static catalogue text. False, with *value untouched,
// when the row has no such entry.
bool ModuleType_CapabilityValue(const ModuleTypeInfo* row, const char* keyword, std::string_view* value);

// The order code as the dialogs show it; factory mode adds the type number.
std::string ModuleType_ShownName(const char* orderCode, unsigned type, bool factory);
