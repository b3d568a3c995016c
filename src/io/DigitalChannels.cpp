#include "io/DigitalChannels.h"

#include <algorithm>
#include <cmath>

#include "io/ChanTypeTable.h"
#include "io/ObjectAccess.h"
#include "protocol/ModuleList.h"

namespace {

bool ValidChannel(const ChanInfo& info, int channel) {
  return channel >= 0 && channel < info.channelCount && channel < CHANINFO_MAX_CHANNELS;
}

}  // namespace

int DigitalChannels_BitsOfCode(int code) {
  if ((code >> 8) != CHANTYPE_KIND_DIGITAL || !ChanTypeTable_FindConfig(code)) return 0;
  return (code & 0xFF) + 1;
}

int DigitalChannels_ScrollMax(int count) { return std::max(0, count - DIGITAL_ROWS); }

bool DigitalChannels_NeedsScrollBar(int count) { return count > DIGITAL_ROWS; }

int DigitalChannels_Scroll(int first, DigitalScroll action, int thumb, int count) {
  int next = first;
  switch (action) {
    case DigitalScroll::LineUp: next = first - 1; break;
    case DigitalScroll::LineDown: next = first + 1; break;
    case DigitalScroll::PageUp: next = first - DIGITAL_ROWS; break;
    case DigitalScroll::PageDown: next = first + DIGITAL_ROWS; break;
    case DigitalScroll::Thumb: next = thumb; break;
  }
  return std::clamp(next, 0, DigitalChannels_ScrollMax(count));
}

int DigitalChannels_Read(const ModuleRec& module, const ChanInfo& info, int channel,
                         uint32_t& value) {
  if (!ValidChannel(info, channel)) return 0;
  const ChanEntry& entry = info.channels[channel];
  CanMsg reply;
  if (!ObjectAccess_Read(module.node, int(entry.valueIndex), int(entry.valueSubindex), reply)) {
    return 0;
  }
  ChanValueBytes bytes = ObjectAccess_ValueBytes(reply);
  double number = 0;
  ChanType_ConvertValue('g', number, ChanInfo_ActiveCode(info, channel), bytes, 0);
  // Digital values are whole and never negative; anything else shows as 0.
  value = number >= 0 && number <= 4294967295.0 ? uint32_t(number) : 0;
  return 1;
}

int DigitalChannels_Write(const ModuleRec& module, const ChanInfo& info, int channel,
                          uint32_t value) {
  if (!ValidChannel(info, channel)) return -1;
  const ChanEntry& entry = info.channels[channel];
  const int code = ChanInfo_ActiveCode(info, channel);
  double minimum = 0, maximum = 0;
  ChanType_GetInfo(code, false, nullptr, nullptr, &minimum, &maximum);
  double number = std::clamp(double(value), minimum, maximum);
  ChanValueBytes bytes{};
  ChanType_ConvertValue('s', number, code, bytes, entry.aligned);
  return ObjectAccess_Write(module.node, int(entry.valueIndex), int(entry.valueSubindex), bytes);
}
