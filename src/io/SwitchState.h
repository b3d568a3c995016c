// The Switches page: the four rows it shows (node id low and high digit,
// bit-rate switches, service button), laid out from the module type's switch
// layout, and what a switch read shows in them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/CanMsg.h"

struct ModuleRec;
struct ModuleTypeInfo;

constexpr int SWITCH_ROWS = 4;

struct SwitchRowLayout {
  char mode;  // 'r' one-of-n, 'm' bit mask
  int count;  // buttons; 0 = an empty row
};
// Rows 1..4 (index 0..3): node id low digit, node id high digit, bit-rate
// switches, service button ('m', 1). A type without a catalogue row has the
// default layout.
std::array<SwitchRowLayout, SWITCH_ROWS> Switches_Rows(const ModuleTypeInfo* row);

struct SwitchView {
  std::string nodeText;    // node id switches as an unsigned number
  std::string baudText;    // bit-rate name of the bit-rate switches
  std::string buttonText;  // "1" pressed, "0" not
  std::array<uint32_t, SWITCH_ROWS> rowValues{};
};
// The bit-rate index the switches select on a bus: bits 0..2 of the bit-rate
// byte on CAN ('c'), bits 1..2 on Modbus ('m'), -1 on any other bus.
int Switches_BaudIndex(int baudByte, char bus);
// What the page shows for a switch reply (data bytes 1..3) on a bus.
SwitchView Switches_Decode(const CanMsg& reply, char bus);

// Switch read request (0xB3, length 1). 1 with the reply, 0 failed (reported).
int Switches_Read(const ModuleRec& module, CanMsg& reply);
