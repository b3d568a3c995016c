#include "protocol/ModuleType.h"

#include "core/TextFormat.h"
#include "protocol/ModuleTypeTable.h"

namespace {

constexpr int32_t kEndRowType = -1;

int CountRows() {
  int n = 0;
  while (g_moduleTypeTable[n].type != kEndRowType) ++n;
  return n;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Calls visit(entry) for every comma-separated entry of the list, blanks
// trimmed, until visit returns true. Returns whether it did.
template <typename Visit>
bool ForEachEntry(const char* list, Visit visit) {
  std::string_view rest(list);
  while (true) {
    const size_t comma = rest.find(',');
    if (visit(TrimBlanks(rest.substr(0, comma)))) return true;
    if (comma == std::string_view::npos) return false;
    rest.remove_prefix(comma + 1);
  }
}

// The key of a "key=value" entry, or the whole entry.
std::string_view EntryKey(std::string_view entry) {
  return entry.substr(0, entry.find('='));
}

}  // namespace

const ModuleTypeInfo* ModuleType_Find(int type) {
  for (const ModuleTypeInfo* row = g_moduleTypeTable; row->type != kEndRowType; ++row)
    if (row->type == type) return row;
  return nullptr;
}

int ModuleType_Count() {
  static const int count = CountRows();
  return count;
}

const ModuleTypeInfo* ModuleType_At(int index) {
  if (index < 0 || index >= ModuleType_Count()) return nullptr;
  return &g_moduleTypeTable[index];
}

bool ModuleType_HasCapability(const ModuleTypeInfo* row, const char* keyword) {
  if (!row || !row->capabilities || !keyword || !*keyword) return false;
  std::string_view key(keyword);
  const bool keyOnly = key.back() == '=';
  if (keyOnly) key.remove_suffix(1);
  if (key.empty()) return false;
  return ForEachEntry(row->capabilities, [&](std::string_view entry) {
    if (keyOnly) return entry.find('=') != std::string_view::npos && EntryKey(entry) == key;
    return entry == key || EntryKey(entry) == key;
  });
}

bool ModuleType_CapabilityValue(const ModuleTypeInfo* row, const char* keyword, std::string_view* value) {
  if (!row || !row->capabilities || !keyword || !*keyword || !value) return false;
  const std::string_view key(keyword);
  return ForEachEntry(row->capabilities, [&](std::string_view entry) {
    const size_t eq = entry.find('=');
    if (eq == std::string_view::npos || entry.substr(0, eq) != key) return false;
    *value = entry.substr(eq + 1);
    return true;
  });
}

std::string ModuleType_ShownName(const char* orderCode, unsigned type, bool factory) {
  return factory ? Text_Format("%s   (#%u)", orderCode, type) : std::string(orderCode);
}
