#include "io/AnalogChannel.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "core/TextFormat.h"
#include "io/ObjectAccess.h"
#include "protocol/ModuleList.h"

namespace {

bool ValidChannel(const ChanInfo& info, int channel) {
  return channel >= 0 && channel < info.channelCount && channel < CHANINFO_MAX_CHANNELS;
}

bool IsVoltageOrCurrent(int code) { return (code >> 8) == 1 || (code >> 8) == 2; }

// Reads and decodes the channel's value. False when the read failed.
bool ReadDecoded(const ModuleRec& module, const ChanInfo& info, int channel, int code, double& value) {
  const ChanEntry& entry = info.channels[channel];
  CanMsg reply;
  if (!ObjectAccess_Read(module.node, int(entry.valueIndex), int(entry.valueSubindex), reply)) {
    return false;
  }
  ChanValueBytes bytes = ObjectAccess_ValueBytes(reply);
  value = 0;
  ChanType_ConvertValue('g', value, code, bytes, entry.aligned);
  return true;
}

}  // namespace

std::string AnalogChannel_ConfigText(const ChanInfo& info, int channel) {
  if (ValidChannel(info, channel) && info.channels[channel].configInUse == CHANINFO_CONFIG_OFF) {
    return "(off)";
  }
  std::string name;
  ChanType_GetInfo(ChanInfo_ActiveCode(info, channel), false, &name);
  return name;
}

int AnalogChannel_Bar(double value, double minimum, double maximum) {
  const double span = maximum - minimum;
  if (span == 0 || !std::isfinite(value)) return 0;
  const double bar = std::trunc((value - minimum) * 100 / span);
  return int(std::clamp(bar, 0.0, 100.0));
}

int AnalogIn_ReadValue(const ModuleRec& module, const ChanInfo& info, int channel,
                       AnalogReading& out) {
  if (!ValidChannel(info, channel)) {
    out = AnalogReading{};
    return -1;
  }
  // The value is read even for a channel that is off, so that a module that
  // stopped answering ends the polling in every case.
  const int code = ChanInfo_ActiveCode(info, channel);
  double value = 0;
  if (!ReadDecoded(module, info, channel, code, value)) return 0;
  std::string unit;
  double minimum = 0, maximum = 0;
  if (ChanType_GetInfo(code, true, nullptr, &unit, &minimum, &maximum) != 0) {
    out = AnalogReading{};
    return -1;
  }
  out.text = Text_Format("%g %s", value, IsVoltageOrCurrent(code) ? "" : unit.c_str());
  out.bar = AnalogChannel_Bar(value, minimum, maximum);
  return 1;
}

std::string AnalogOut_Caption(const std::string& captured, const ChanInfo& info, int channel) {
  double minimum = 0, maximum = 0;
  ChanType_GetInfo(ChanInfo_ActiveCode(info, channel), false, nullptr, nullptr, &minimum, &maximum);
  return Text_Format("%s %s:", captured.c_str(), Text_Format("(%g...%g)", minimum, maximum).c_str());
}

int AnalogOut_ReadValue(const ModuleRec& module, const ChanInfo& info, int channel, bool hexEntry,
                        AnalogReading& out) {
  if (!ValidChannel(info, channel)) return 0;
  const int code = ChanInfo_ActiveCode(info, channel);
  double minimum = 0, maximum = 0;
  ChanType_GetInfo(code, false, nullptr, nullptr, &minimum, &maximum);
  double value = 0;
  if (!ReadDecoded(module, info, channel, code, value)) return 0;
  if (hexEntry) {
    // A 32-bit long, as the modules' tools have always shown it.
    const double whole = std::isfinite(value) ? std::fmod(std::trunc(value), 4294967296.0) : 0;
    out.text = Text_Format("0x%lX", static_cast<unsigned long>(uint32_t(int64_t(whole))));
  } else {
    out.text = Text_Format("%g", value);
  }
  out.bar = AnalogChannel_Bar(value, minimum, maximum);
  return 1;
}

bool AnalogOut_IsHexEntry(const std::string& entry) { return entry.rfind("0x", 0) == 0; }

bool AnalogOut_ParseEntry(const std::string& entry, double& value) {
  const char* start = entry.c_str();
  char* end = nullptr;
  if (AnalogOut_IsHexEntry(entry)) {
    start += 2;
    if (!std::isxdigit(static_cast<unsigned char>(*start))) return false;
    errno = 0;
    const unsigned long long number = std::strtoull(start, &end, 16);
    if (errno == ERANGE || number > 0xFFFFFFFFull) return false;
    value = double(number);
    return true;
  }
  // "inf", "nan" and numbers beyond a double are no values to drive an output with.
  const double number = std::strtod(start, &end);
  if (end == start || !std::isfinite(number)) return false;
  value = number;
  return true;
}

int AnalogOut_SetValue(const ModuleRec& module, const ChanInfo& info, int channel,
                       const std::string& entry) {
  if (!ValidChannel(info, channel)) return -1;
  double value = 0;
  if (!AnalogOut_ParseEntry(entry, value)) return -1;
  const ChanEntry& ch = info.channels[channel];
  const int code = ChanInfo_ActiveCode(info, channel);
  double minimum = 0, maximum = 0;
  ChanType_GetInfo(code, false, nullptr, nullptr, &minimum, &maximum);
  value = std::clamp(value, minimum, maximum);
  ChanValueBytes bytes{};
  // A code that cannot be encoded (an i8 channel) writes nothing.
  if (ChanType_ConvertValue('s', value, code, bytes, ch.aligned) != 0) return -1;
  return ObjectAccess_Write(module.node, int(ch.valueIndex), int(ch.valueSubindex), bytes) == 0 ? 0 : -1;
}
