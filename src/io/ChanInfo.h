// A module's description of one group of I/O channels (analog inputs, analog
// outputs, digital inputs or digital outputs), as read from its object
// directory when an I/O page becomes visible. One record per module dialog.
#pragma once

#include <cstdint>

#include "io/ChanType.h"

struct ModuleRec;

constexpr int CHANINFO_MAX_CHANNELS = 32;
constexpr int CHANINFO_MAX_CONFIG_LISTS = 16;  // distinct channel types per read
constexpr int CHANINFO_MAX_CONFIGS = 16;       // configurations per type

// Which channels a read describes (the info type).
constexpr int CHANINFO_ANALOG_IN = 1;
constexpr int CHANINFO_ANALOG_OUT = 2;
constexpr int CHANINFO_DIGITAL_IN = 3;
constexpr int CHANINFO_DIGITAL_OUT = 4;

// Configuration number that marks a channel as switched off.
constexpr int CHANINFO_CONFIG_OFF = 99;

// The configurations one channel type offers; channels of the same type share it.
struct ChanConfigList {
  uint32_t typeIndex = 0;  // object index of the type entry, 0x3100 + type number
  int32_t count = 0;       // valid codes, 0..CHANINFO_MAX_CONFIGS
  int32_t codes[CHANINFO_MAX_CONFIGS] = {};
};

struct ChanEntry {
  uint32_t valueIndex = 0;     // object index of the channel's value (16 bits used)
  uint32_t valueSubindex = 0;
  uint32_t typeIndex = 0;      // 0x3100 + type number
  // Position of the channel's list in ChanInfo::configLists, -1 for none. An
  // index rather than a pointer keeps a copied record self-contained.
  int32_t configList = -1;
  int32_t configOriginal = 0;  // configuration number as read from the module
  int32_t configInUse = 0;     // changed during calibration, restored from configOriginal
  int32_t aligned = 0;         // value alignment flag for ChanType_ConvertValue
};

struct ChanInfo {
  int32_t channelCount = 0;    // valid entries of `channels`; set only by a successful read
  ChanEntry channels[CHANINFO_MAX_CHANNELS];
  int32_t currentChannel = 0;  // the channel the page works on
  uint32_t configSelectIndex = 0;  // analog channels: object index of the active configurations
  int32_t configListCount = 0;
  ChanConfigList configLists[CHANINFO_MAX_CONFIG_LISTS];
};

// The configuration list of channel `channel`, or nullptr when the channel or
// its list is not valid.
inline const ChanConfigList* ChanInfo_ConfigListOf(const ChanInfo& info, int channel) {
  if (channel < 0 || channel >= info.channelCount || channel >= CHANINFO_MAX_CHANNELS) {
    return nullptr;
  }
  const int list = info.channels[channel].configList;
  if (list < 0 || list >= info.configListCount || list >= CHANINFO_MAX_CONFIG_LISTS) {
    return nullptr;
  }
  return &info.configLists[list];
}

// The configuration code of configuration number `config` of a channel;
// CHANTYPE_CODE_INVALID for a channel that is off, a number outside its list
// or a channel without a list.
inline int ChanInfo_ConfigCode(const ChanInfo& info, int channel, int config) {
  const ChanConfigList* list = ChanInfo_ConfigListOf(info, channel);
  const int count = list ? (list->count < CHANINFO_MAX_CONFIGS ? list->count : CHANINFO_MAX_CONFIGS) : 0;
  if (config < 0 || config >= count) return CHANTYPE_CODE_INVALID;
  return list->codes[config];
}

// The code of the configuration a channel uses now.
inline int ChanInfo_ActiveCode(const ChanInfo& info, int channel) {
  if (channel < 0 || channel >= info.channelCount || channel >= CHANINFO_MAX_CHANNELS) {
    return CHANTYPE_CODE_INVALID;
  }
  return ChanInfo_ConfigCode(info, channel, info.channels[channel].configInUse);
}

// Reads the module's description of one group of channels (info type 1..4)
// from its object directory into `info`: the channels with their value
// objects, configuration numbers and alignment flags (analog channels only),
// and one configuration list per channel type. On success the channel count
// is set and the current channel is 0; when a request fails (reported by the
// module protocol) or the module lists a 17th channel type, `info` is left as
// it was, so the caller's channel count of 0 stands.
void ChanInfo_GetChannelInfo(const ModuleRec& module, ChanInfo& info, int infoType);
