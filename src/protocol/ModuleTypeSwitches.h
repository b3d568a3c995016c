// The node-id and bit-rate switch layout of a module type, read from the
// "Switches=" entry of its capability list, for example
// "Switches=NL:r16/NH:r0/BD:m3". Each tag NL: (node id low digit), NH: or
// FB: (node id high digit; a later tag overrides an earlier one) and BD:
// (bit rate) is followed by a kind letter ('r' one-of-n, 'm' bit mask; taken
// in lower case) and a decimal size; a size of 0 means the switch is absent.
#pragma once

#include "protocol/ModuleType.h"

struct ModuleSwitch {
  char kind;  // 'r' or 'm' in the catalogue; any letter a layout names
  int size;   // number of positions (r) or of switches (m)
};

struct ModuleSwitchLayout {
  ModuleSwitch nodeLow;   // default r, 16
  ModuleSwitch nodeHigh;  // default r, 16
  ModuleSwitch bitRate;   // default m, 4
};

// Sizes above this are cut to it; no module has more than 16.
inline constexpr int MODULE_SWITCH_MAX_SIZE = 999;

// The layout used when a type has no "Switches=" entry or is unknown.
ModuleSwitchLayout ModuleType_DefaultSwitchLayout();

// The layout of a row (defaults for a null row or a row without the entry).
ModuleSwitchLayout ModuleType_SwitchLayout(const ModuleTypeInfo* row);

// The layout given by the text after "Switches=" (up to a ",", which ends it).
// Tags not followed by a kind letter and a number are ignored.
ModuleSwitchLayout ModuleType_ParseSwitchLayout(std::string_view layout);
