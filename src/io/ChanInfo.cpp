#include "io/ChanInfo.h"

#include <algorithm>

#include "core/ErrorReport.h"
#include "io/ObjectAccess.h"
#include "protocol/ModuleList.h"

namespace {

// Object directory entries that describe the channels.
constexpr int kAnalogInList = 0x3000;
constexpr int kAnalogOutList = 0x3001;
constexpr int kAnalogInSelection = 0x3002;
constexpr int kAnalogOutSelection = 0x3003;
constexpr int kDigitalInList = 0x3004;
constexpr int kDigitalOutList = 0x3005;
constexpr int kTypeEntryBase = 0x3100;
constexpr int kAlignmentFlags = 0x2190;

bool IsAnalog(int infoType) {
  return infoType == CHANINFO_ANALOG_IN || infoType == CHANINFO_ANALOG_OUT;
}

int ListIndexOf(int infoType) {
  switch (infoType) {
    case CHANINFO_ANALOG_IN: return kAnalogInList;
    case CHANINFO_ANALOG_OUT: return kAnalogOutList;
    case CHANINFO_DIGITAL_IN: return kDigitalInList;
    default: return kDigitalOutList;
  }
}

// Configuration number, configuration-selection and alignment of one analog
// channel. False when a read failed.
bool ReadAnalogSettings(int node, int subindex, uint32_t selectIndex, ChanEntry& channel) {
  CanMsg reply;
  if (!ObjectAccess_Read(node, int(selectIndex), subindex, reply)) return false;
  channel.configOriginal = ObjectAccess_Byte(reply, 4);
  channel.configInUse = channel.configOriginal;
  if (!ObjectAccess_Read(node, kAlignmentFlags, subindex, reply)) return false;
  // A module without the flag entry answers "not available": no alignment.
  const bool available = (ObjectAccess_Byte(reply, 1) & OBJECT_FLAG_NOT_AVAILABLE) == 0;
  channel.aligned = available ? ObjectAccess_Byte(reply, 4) : 0;
  return true;
}

// The list of the channel's type: an existing one, or one read from the
// type entry. -1 when a read failed or no list is left (reported).
int ConfigListFor(int node, uint32_t typeIndex, ChanInfo& info) {
  for (int i = 0; i < info.configListCount; ++i) {
    if (info.configLists[i].typeIndex == typeIndex) return i;
  }
  CanMsg reply;
  if (!ObjectAccess_Read(node, int(typeIndex), 0, reply)) return -1;
  if (info.configListCount >= CHANINFO_MAX_CONFIG_LISTS) {
    ShowError("More than %d configurations per channel not supported.", CHANINFO_MAX_CONFIG_LISTS);
    return -1;
  }
  ChanConfigList& list = info.configLists[info.configListCount];
  list = ChanConfigList{};
  list.typeIndex = typeIndex;
  const int count = std::min(ObjectAccess_Byte(reply, 4), CHANINFO_MAX_CONFIGS);
  for (int j = 0; j < count; ++j) {
    if (!ObjectAccess_Read(node, int(typeIndex), j + 1, reply)) return -1;
    list.codes[j] = ObjectAccess_Byte(reply, 4) + 256 * ObjectAccess_Byte(reply, 5);
  }
  list.count = count;
  return info.configListCount++;
}

// The whole read into `out`; false when it ended early.
bool ReadChannelInfo(int node, int infoType, ChanInfo& out) {
  CanMsg reply;
  out.configSelectIndex = 0;
  if (IsAnalog(infoType)) {
    const int entry = infoType == CHANINFO_ANALOG_IN ? kAnalogInSelection : kAnalogOutSelection;
    if (!ObjectAccess_Read(node, entry, 0, reply)) return false;
    out.configSelectIndex = uint32_t(ObjectAccess_Byte(reply, 4) + 256 * ObjectAccess_Byte(reply, 5));
  }
  if (infoType < CHANINFO_ANALOG_IN || infoType > CHANINFO_DIGITAL_OUT) {
    ShowError("Wrong parameter infoType = %d in ChanInfo_GetChannelInfo()", infoType);
    return false;
  }

  const int listIndex = ListIndexOf(infoType);
  if (!ObjectAccess_Read(node, listIndex, 0, reply)) return false;
  int count = ObjectAccess_Byte(reply, 4);
  if (count > CHANINFO_MAX_CHANNELS) {
    ShowErrorBox("Module has %d I/O channels, but I can handle only max. %d", count,
                 CHANINFO_MAX_CHANNELS);
    count = CHANINFO_MAX_CHANNELS;
  }

  for (int i = 0; i < count; ++i) {
    ChanEntry& channel = out.channels[i];
    channel = ChanEntry{};
    if (!ObjectAccess_Read(node, listIndex, i + 1, reply)) return false;
    channel.valueIndex = uint32_t(ObjectAccess_Byte(reply, 6) + 256 * ObjectAccess_Byte(reply, 7));
    channel.valueSubindex = uint32_t(ObjectAccess_Byte(reply, 5));
    channel.typeIndex = uint32_t(kTypeEntryBase + ObjectAccess_Byte(reply, 4));
    if (IsAnalog(infoType) && !ReadAnalogSettings(node, i + 1, out.configSelectIndex, channel)) {
      return false;
    }
  }

  out.configListCount = 0;
  for (int i = 0; i < count; ++i) {
    const int list = ConfigListFor(node, out.channels[i].typeIndex, out);
    if (list < 0) return false;
    out.channels[i].configList = list;
  }
  out.channelCount = count;
  out.currentChannel = 0;
  return true;
}

}  // namespace

void ChanInfo_GetChannelInfo(const ModuleRec& module, ChanInfo& info, int infoType) {
  // The read works on a copy so that a read that ends early leaves the
  // caller's record whole, with the channel count the caller set.
  ChanInfo read = info;
  if (ReadChannelInfo(module.node, infoType, read)) info = read;
}
