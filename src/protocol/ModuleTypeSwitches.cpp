#include "protocol/ModuleTypeSwitches.h"

#include <cctype>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads "<kind letter><decimal size>" at the start of text into sw.
// Leaves sw alone and returns false when the text does not start that way.
bool ReadSwitch(std::string_view text, ModuleSwitch* sw) {
  if (text.size() < 2 || !std::isalpha(static_cast<unsigned char>(text[0])) || !IsDigit(text[1]))
    return false;
  int size = 0;
  for (size_t i = 1; i < text.size() && IsDigit(text[i]); ++i) {
    size = size * 10 + (text[i] - '0');
    if (size > MODULE_SWITCH_MAX_SIZE) size = MODULE_SWITCH_MAX_SIZE;
  }
  sw->kind = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  sw->size = size;
  return true;
}

}  // namespace

ModuleSwitchLayout ModuleType_DefaultSwitchLayout() {
  return ModuleSwitchLayout{{'r', 16}, {'r', 16}, {'m', 4}};
}

ModuleSwitchLayout ModuleType_ParseSwitchLayout(std::string_view layout) {
  layout = layout.substr(0, layout.find(','));
  ModuleSwitchLayout result = ModuleType_DefaultSwitchLayout();
  // Every position is tested for a tag, so stray text between items is skipped.
  for (size_t i = 0; i + 3 <= layout.size(); ++i) {
    const std::string_view tag = layout.substr(i, 3);
    ModuleSwitch* target = nullptr;
    if (tag == "NL:") target = &result.nodeLow;
    else if (tag == "NH:" || tag == "FB:") target = &result.nodeHigh;
    else if (tag == "BD:") target = &result.bitRate;
    if (target) ReadSwitch(layout.substr(i + 3), target);
  }
  return result;
}

ModuleSwitchLayout ModuleType_SwitchLayout(const ModuleTypeInfo* row) {
  std::string_view layout;
  if (!ModuleType_CapabilityValue(row, "Switches", &layout)) return ModuleType_DefaultSwitchLayout();
  return ModuleType_ParseSwitchLayout(layout);
}
