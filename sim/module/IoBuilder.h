// Puts I/O channels into a module's configuration as the objects that
// describe them: the channel count and descriptors in the group's list entry
// (0x3000 analog in, 0x3001 analog out, 0x3004 digital in, 0x3005 digital
// out), the type entry 0x3100 + t with its configuration codes, for analog
// channels the configuration-selection entry (named by 0x3002 / 0x3003) and
// the alignment flag in 0x2190, and the value objects.
//
//   SimModuleConfig c = SimModuleConfig::make(0, 3, 32);
//   SimChannelGroup ai;
//   ai.group = SimIoGroup::AnalogIn;
//   ai.typeNumber = 1;
//   ai.configs = {0x0100, 0x0104};
//   ai.count = 2;
//   ai.valueIndex = 0x6401;
//   SimIo_AddChannels(c, ai);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "module/SimIoConfig.h"
#include "module/SimModuleConfig.h"

// Object indices of the channel description.
constexpr uint16_t SIM_IO_LIST_ANALOG_IN = 0x3000;
constexpr uint16_t SIM_IO_LIST_ANALOG_OUT = 0x3001;
constexpr uint16_t SIM_IO_SELECT_ANALOG_IN = 0x3002;
constexpr uint16_t SIM_IO_SELECT_ANALOG_OUT = 0x3003;
constexpr uint16_t SIM_IO_LIST_DIGITAL_IN = 0x3004;
constexpr uint16_t SIM_IO_LIST_DIGITAL_OUT = 0x3005;
constexpr uint16_t SIM_IO_TYPE_BASE = 0x3100;
constexpr uint16_t SIM_IO_ALIGNMENT = 0x2190;
// Configuration-selection entries used when the module names none yet.
constexpr uint16_t SIM_IO_DEFAULT_SELECT_IN = 0x3010;
constexpr uint16_t SIM_IO_DEFAULT_SELECT_OUT = 0x3011;

uint16_t SimIo_ListIndex(SimIoGroup group);
bool SimIo_IsAnalog(SimIoGroup group);

struct SimChannelGroup {
  SimIoGroup group = SimIoGroup::AnalogIn;
  int typeNumber = 1;              // the type entry is 0x3100 + typeNumber (0..255)
  std::vector<uint16_t> configs;   // its configuration codes (the same for every group of the type)
  int count = 1;                   // channels added after those the module has
  uint16_t valueIndex = 0x6401;    // value objects valueIndex.firstSubindex, .firstSubindex+1, ...
  int firstSubindex = 1;
  int config = 0;                  // analog: active configuration number (99 = off)
  bool aligned = false;            // analog: alignment flag (0x2190 is shared by inputs and outputs)
  bool alignmentAvailable = true;  // false: 0x2190 answers "not available" for these channels
  uint32_t initialValue = 0;       // the value objects' four value bytes
};

// Adds the channels. False with a reason, nothing added, when they do not fit
// (more than 255 channels in a group, subindices beyond 255, a type number
// beyond 255) or the module's type entry lists other configurations.
bool SimIo_AddChannels(SimModuleConfig& config, const SimChannelGroup& group,
                       std::string* error = nullptr);

// Sets or replaces one object of the configuration.
void SimIo_SetObject(SimModuleConfig& config, const SimObject& object);
