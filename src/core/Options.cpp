#include "core/Options.h"

#include <cstdarg>
#include <cstring>
#include <new>

#include "core/NumberText.h"
#include "core/OptionStore.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "core/WideText.h"

namespace {

struct OptionState {
  bool initialised = false;
  OptionReportFn report = nullptr;
  const OptionDef* defs = nullptr;
  std::vector<OptionSlot> slots;
  std::wstring wideBuffer;  // shared result of Option_GetWString
};

OptionState& state() { return Session_Part<OptionState>(); }

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool equalsNoCase(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] && i < b.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return a[i] == '\0' && i == b.size();
}

// Builds one slot from its definition; -1 (reported) on a definition error.
int makeSlot(const OptionDef& def, OptionSlot& slot) {
  slot.def = &def;
  const char* text = def.defaultText ? def.defaultText : "";
  switch (def.type) {
    case OPTION_TYPE_INT:
    case OPTION_TYPE_LONG:
    case OPTION_TYPE_DOUBLE:
      slot.assignNumber(text);
      return 0;
    case OPTION_TYPE_STRING:
    case OPTION_TYPE_WSTRING: {
      const size_t length = std::strlen(text);
      const size_t maxLength = def.maxLength > 0 ? size_t(def.maxLength) : 0;
      const size_t chars = length > maxLength ? length : maxLength;
      const size_t bytesPerChar = def.type == OPTION_TYPE_WSTRING ? 4 : 1;
      try {
        slot.text.assign(chars * bytesPerChar + 1, '\0');
      } catch (const std::exception&) {
        Option_Report("Not enough memory to store %d chars in option '%s' (see file %s)",
                      int(chars), def.name, OPTION_DEFINITION_SOURCE);
        return -1;
      }
      slot.maxChars = int(chars);
      slot.assignText(text, length);
      return 0;
    }
    default:
      Option_Report("Illegal option type '%c' in option '%s' (see file %s)", def.type, def.name,
                    OPTION_DEFINITION_SOURCE);
      return -1;
  }
}

int initFrom(const OptionDef* defs) {
  OptionState& s = state();
  s.initialised = true;
  s.defs = defs;
  s.slots.clear();
  for (const OptionDef* def = defs; def->name && def->name[0]; ++def) {
    OptionSlot slot;
    if (makeSlot(*def, slot) != 0) return -1;  // the rows before stay usable
    s.slots.push_back(std::move(slot));
  }
  return 0;
}

// The slot for an access function, or nullptr after reporting why not.
OptionSlot* lookup(const char* name, char type, const char* function) {
  Option_Init(nullptr);
  if (!name) name = "";
  for (OptionSlot& slot : state().slots) {
    if (std::strcmp(slot.def->name, name) != 0) continue;
    if (slot.def->type != type) {
      Option_Report("Error: Option '%s' is of type '%c', not '%c' in %s()", name, slot.def->type,
                    type, function);
      return nullptr;
    }
    return &slot;
  }
  Option_Report("Error: Unknown option '%s' in %s()", name, function);
  return nullptr;
}

int setText(const char* name, char type, const char* function, const std::string& value) {
  OptionSlot* slot = lookup(name, type, function);
  if (!slot) return -1;
  if (!slot->assignText(value.c_str(), value.size())) {
    Option_Report("Error: String too long for option '%s' (has %d chars, max. allowed %d chars) "
                  "in %s()",
                  name, int(slot->charsOf(value.c_str(), value.size())), slot->maxChars, function);
    return -1;
  }
  return 0;
}

}  // namespace

size_t OptionSlot::charsOf(const char* value, size_t length) const {
  if (def->type != OPTION_TYPE_WSTRING) return length;
  return Text_CountChars(value, length);
}

bool OptionSlot::assignText(const char* value, size_t length) {
  if (length >= text.size() || charsOf(value, length) > size_t(maxChars)) return false;
  std::memmove(text.data(), value, length);  // value may be this very buffer
  text[length] = '\0';
  return true;
}

void OptionSlot::assignNumber(const char* value) {
  switch (def->type) {
    case OPTION_TYPE_INT: intValue = NumberText_ParseInt(value); break;
    case OPTION_TYPE_LONG: longValue = NumberText_ParseInt(value); break;
    case OPTION_TYPE_DOUBLE: doubleValue = NumberText_ParseDouble(value); break;
    default: break;
  }
}

std::vector<OptionSlot>& Option_Slots() {
  Option_Init(nullptr);
  return state().slots;
}

void Option_Report(const char* format, ...) {
  const OptionReportFn report = state().report;
  if (!report) return;
  va_list args;
  va_start(args, format);
  const std::string message = Text_FormatV(format, args);
  va_end(args);
  report(message.c_str());
}

OptionSlot* Option_FindNoCase(const std::string& key) {
  for (OptionSlot& slot : Option_Slots()) {
    if (equalsNoCase(slot.def->name, key)) return &slot;
  }
  return nullptr;
}

int Option_Init(OptionReportFn report) {
  OptionState& s = state();
  if (report) s.report = report;
  if (s.initialised) return 0;
  return initFrom(OptionTable_Definitions());
}

int Option_InitFromDefinitions(const OptionDef* defs, OptionReportFn report) {
  state().report = report;
  return initFrom(defs);
}

int Option_GetInt(const char* name) {
  const OptionSlot* slot = lookup(name, OPTION_TYPE_INT, "Option_GetInt");
  return slot ? slot->intValue : 0;
}

int Option_SetInt(const char* name, int value) {
  OptionSlot* slot = lookup(name, OPTION_TYPE_INT, "Option_SetInt");
  if (!slot) return -1;
  slot->intValue = value;
  return 0;
}

int32_t Option_GetLong(const char* name) {
  const OptionSlot* slot = lookup(name, OPTION_TYPE_LONG, "Option_GetLong");
  return slot ? slot->longValue : 0;
}

int Option_SetLong(const char* name, int32_t value) {
  OptionSlot* slot = lookup(name, OPTION_TYPE_LONG, "Option_SetLong");
  if (!slot) return -1;
  slot->longValue = value;
  return 0;
}

double Option_GetDouble(const char* name) {
  const OptionSlot* slot = lookup(name, OPTION_TYPE_DOUBLE, "Option_GetDouble");
  return slot ? slot->doubleValue : 0.0;
}

int Option_SetDouble(const char* name, double value) {
  OptionSlot* slot = lookup(name, OPTION_TYPE_DOUBLE, "Option_SetDouble");
  if (!slot) return -1;
  slot->doubleValue = value;
  return 0;
}

const char* Option_GetString(const char* name) {
  const OptionSlot* slot = lookup(name, OPTION_TYPE_STRING, "Option_GetString");
  return slot ? slot->textValue() : "";
}

int Option_SetString(const char* name, const char* text) {
  return setText(name, OPTION_TYPE_STRING, "Option_SetString", text ? std::string(text) : "");
}

const std::wstring& Option_GetWString(const char* name) {
  const OptionSlot* slot = lookup(name, OPTION_TYPE_WSTRING, "Option_GetWString");
  std::wstring& buffer = state().wideBuffer;
  buffer = slot ? Text_Widen(slot->textValue()) : std::wstring();
  return buffer;
}

// The stored narrow form is UTF-8; the limit counts its characters.
int Option_SetWString(const char* name, const std::wstring& text) {
  return setText(name, OPTION_TYPE_WSTRING, "Option_SetWString", Text_Narrow(text));
}

const char* Option_GetText(const char* name) {
  const OptionSlot* slot = lookup(name, OPTION_TYPE_WSTRING, "Option_GetWString");
  return slot ? slot->textValue() : "";
}

int Option_SetText(const char* name, const std::string& utf8) {
  return setText(name, OPTION_TYPE_WSTRING, "Option_SetWString", utf8);
}
