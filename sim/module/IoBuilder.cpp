#include "module/IoBuilder.h"

#include "module/SimChanCodes.h"

namespace {

SimObject* Find(SimModuleConfig& config, uint16_t index, uint8_t subindex) {
  for (SimObject& o : config.objects) {
    if (o.index == index && o.subindex == subindex) return &o;
  }
  return nullptr;
}

SimObject Object(uint16_t index, uint8_t subindex, uint8_t type, uint32_t value, bool writable) {
  SimObject o;
  o.index = index;
  o.subindex = subindex;
  o.dataType = type;
  o.value = value;
  o.writable = writable;
  return o;
}

// Data type the value objects of a configuration code announce.
uint8_t ValueDataType(uint16_t code) {
  SimCodeInfo info;
  if (!SimChanCode_Find(code, info)) return SIM_UINT32;
  switch (info.encoding) {
    case SimEncoding::Float32: return SIM_REAL32;
    case SimEncoding::U16: return SIM_UINT16;
    case SimEncoding::I16: return SIM_INT16;
    case SimEncoding::U8: return SIM_UINT8;
    case SimEncoding::I8: return SIM_INT8;
  }
  return SIM_UINT32;
}

bool Fail(std::string* error, const char* why) {
  if (error) *error = why;
  return false;
}

}  // namespace

uint16_t SimIo_ListIndex(SimIoGroup group) {
  switch (group) {
    case SimIoGroup::AnalogIn: return SIM_IO_LIST_ANALOG_IN;
    case SimIoGroup::AnalogOut: return SIM_IO_LIST_ANALOG_OUT;
    case SimIoGroup::DigitalIn: return SIM_IO_LIST_DIGITAL_IN;
    case SimIoGroup::DigitalOut: return SIM_IO_LIST_DIGITAL_OUT;
  }
  return SIM_IO_LIST_ANALOG_IN;
}

bool SimIo_IsAnalog(SimIoGroup group) {
  return group == SimIoGroup::AnalogIn || group == SimIoGroup::AnalogOut;
}

void SimIo_SetObject(SimModuleConfig& config, const SimObject& object) {
  if (SimObject* existing = Find(config, object.index, object.subindex)) {
    *existing = object;
  } else {
    config.objects.push_back(object);
  }
}

bool SimIo_AddChannels(SimModuleConfig& config, const SimChannelGroup& g, std::string* error) {
  if (g.count < 0 || g.typeNumber < 0 || g.typeNumber > 255) return Fail(error, "type number must be 0..255");
  if (g.configs.size() > 255) return Fail(error, "at most 255 configurations");
  const uint16_t list = SimIo_ListIndex(g.group);
  const SimObject* countEntry = Find(config, list, 0);
  const int existing = countEntry ? int(countEntry->value & 0xFF) : 0;
  if (existing + g.count > 255) return Fail(error, "at most 255 channels per group");
  if (g.firstSubindex < 0 || g.firstSubindex + g.count - 1 > 255) return Fail(error, "value subindex beyond 255");

  const uint16_t typeEntry = uint16_t(SIM_IO_TYPE_BASE + g.typeNumber);
  if (const SimObject* listed = Find(config, typeEntry, 0)) {
    // Channels of one type share its entry: they must agree on the configurations.
    bool same = listed->value == g.configs.size();
    for (size_t j = 0; same && j < g.configs.size(); ++j) {
      const SimObject* code = Find(config, typeEntry, uint8_t(j + 1));
      same = code && code->value == g.configs[j];
    }
    if (!same) return Fail(error, "the type entry lists other configurations");
  }

  const bool analog = SimIo_IsAnalog(g.group);
  const bool output = g.group == SimIoGroup::AnalogOut || g.group == SimIoGroup::DigitalOut;
  uint16_t selection = 0;
  if (analog) {
    const uint16_t selectEntry = g.group == SimIoGroup::AnalogIn ? SIM_IO_SELECT_ANALOG_IN : SIM_IO_SELECT_ANALOG_OUT;
    const SimObject* named = Find(config, selectEntry, 0);
    selection = named ? uint16_t(named->value)
                      : (g.group == SimIoGroup::AnalogIn ? SIM_IO_DEFAULT_SELECT_IN : SIM_IO_DEFAULT_SELECT_OUT);
    if (!named) SimIo_SetObject(config, Object(selectEntry, 0, SIM_UINT16, selection, false));
  }

  SimIo_SetObject(config, Object(typeEntry, 0, SIM_UINT8, uint32_t(g.configs.size()), false));
  for (size_t j = 0; j < g.configs.size(); ++j) {
    SimIo_SetObject(config, Object(typeEntry, uint8_t(j + 1), SIM_UINT16, g.configs[j], false));
  }
  const uint16_t activeCode = g.config >= 0 && size_t(g.config) < g.configs.size() ? g.configs[g.config] : 0;

  for (int i = 0; i < g.count; ++i) {
    const uint8_t sub = uint8_t(existing + i + 1);
    const uint8_t valueSub = uint8_t(g.firstSubindex + i);
    const uint32_t descriptor = uint32_t(g.typeNumber) | uint32_t(valueSub) << 8 | uint32_t(g.valueIndex) << 16;
    SimIo_SetObject(config, Object(list, sub, SIM_UINT32, descriptor, false));
    SimIo_SetObject(config, Object(g.valueIndex, valueSub, ValueDataType(activeCode), g.initialValue, output));
    if (!analog) continue;
    SimIo_SetObject(config, Object(selection, sub, SIM_UINT8, uint32_t(g.config & 0xFF), true));
    if (g.alignmentAvailable) {
      SimIo_SetObject(config, Object(SIM_IO_ALIGNMENT, sub, SIM_UINT8, g.aligned ? 1 : 0, false));
    }
  }
  SimIo_SetObject(config, Object(list, 0, SIM_UINT8, uint32_t(existing + g.count), false));
  return true;
}
