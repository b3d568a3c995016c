#include "module/IoChannels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "module/AnalogSource.h"
#include "module/IoBuilder.h"
#include "module/SamAdc.h"
#include "module/SimChanCodes.h"
#include "module/SimModule.h"
#include "protocol/WireConstants.h"

using namespace Wire;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kEmpty = 0xFFFFFFFFu;
constexpr int kConfigOff = 99;

uint32_t ObjectValue(const SimModule& m, uint16_t index, uint8_t subindex, uint32_t fallback = 0) {
  const SimObject* o = m.objects().find(index, subindex);
  return o ? o->value : fallback;
}

const SimIoSignal* SignalOf(const SimModule& m, SimIoGroup group, int channel) {
  for (const SimIoSignal& s : m.config().io.ioSignals) {
    if (s.group == group && s.channel == channel) return &s;
  }
  return nullptr;
}

bool CodeInfoOf(const SimChannelInfo& ch, SimCodeInfo& info) {
  return ch.code != 0xFFFF && SimChanCode_Find(ch.code, info);
}

float AsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

uint32_t FloatBits(double value) {
  const float f = float(value);
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

uint32_t ValueKey(const SimChannelInfo& ch) { return uint32_t(ch.valueIndex) << 8 | ch.valueSubindex; }

// The time of the module's own clock.
int64_t NowUs(const SimModule& m) { return m.host() ? m.host()->nowUs() : 0; }

// The signal an analog input without one of its own gets: the level its
// value object shows now.
SimIoSignal LevelFromObject(const SimModule& m, int channel, const SimChannelInfo& ch,
                            const SimCodeInfo& info) {
  SimIoSignal s;
  s.group = SimIoGroup::AnalogIn;
  s.channel = channel;
  const double value = SimChanCode_Decode(info, ObjectValue(m, ch.valueIndex, ch.valueSubindex), ch.aligned);
  s.level = SimChanCode_ToPhysical(info, value);
  return s;
}

// One value of an input's noise in -1..1: fixed for each 10 ms slot of
// simulated time, from a sequence seeded by the module's bus, node and the
// channel (splitmix64), so that a run repeats itself.
double NoiseAt(const SimModule& m, int channel, int64_t nowUs) {
  uint64_t z = (uint64_t(m.config().bus) << 40) ^ (uint64_t(m.config().node) << 32) ^
               (uint64_t(uint32_t(channel)) << 24) ^ uint64_t(nowUs / 10000) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return double(z >> 11) / double(1ull << 52) - 1.0;
}

// "ao:<bus>:<node>:<channel>": the level of another module's analog output.
bool OutputSourceLevel(const SimModule& m, const std::string& name, double& level) {
  int bus = 0, node = 0, channel = 0;
  char tail = 0;
  if (std::sscanf(name.c_str(), "ao:%d:%d:%d%c", &bus, &node, &channel, &tail) != 3) return false;
  return m.host()->analogOutputLevel(bus, node, channel, level);
}

// The sources named in `from` (separated by commas) in order: the first
// that drives the terminals gives their level; otherwise the first that is
// connected but drives nothing leaves them open.
bool WiredLevel(const SimModule& m, const std::string& from, double& level) {
  if (from.empty() || !m.host()) return false;
  bool open = false;
  double openValue = 0;
  size_t start = 0;
  while (start <= from.size()) {
    const size_t comma = from.find(',', start);
    const std::string name = from.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    start = comma == std::string::npos ? from.size() + 1 : comma + 1;
    if (name.rfind("ao:", 0) == 0) {
      if (OutputSourceLevel(m, name, level)) return true;
      continue;
    }
    const SimAnalogSource* source = m.host()->analogSource(name);
    if (!source) continue;
    if (source->level(level)) return true;
    double v = 0;
    if (!open && source->openLevel(v)) {
      open = true;
      openValue = v;
    }
  }
  if (open) level = openValue;
  return open;
}

// While a wired source drives the terminals, its level replaces the level
// and the swing of the input's own signal.
SimIoSignal WithWiredSource(const SimModule& m, SimIoSignal s) {
  double level = 0;
  if (WiredLevel(m, s.from, level)) {
    s.level = level;
    s.swing = 0;
  }
  return s;
}

double Terminal(const SimModule& m, int channel, const SimIoSignal& own, const SimCodeInfo& info, int64_t nowUs) {
  const SimIoSignal s = WithWiredSource(m, own);
  double physical = s.level;
  if (s.swing != 0 && s.periodMs > 0) {
    const double phase = double(nowUs % (int64_t(s.periodMs) * 1000)) / (double(s.periodMs) * 1000);
    physical += s.swing * std::sin(2 * kPi * phase);
  }
  if (s.noise != 0) physical += s.noise * (info.physMax - info.physMin) * NoiseAt(m, channel, nowUs);
  return physical;
}

// What the input measures: the level at its terminals (through the
// converter of a SAMC21 module), with its offset and gain error.
double Measure(const SimModule& m, int channel, const SimIoSignal& s, const SimCodeInfo& info, int64_t nowUs) {
  double physical = Terminal(m, channel, s, info, nowUs);
  if (const SimSamAdc* adc = SimSam_AdcOf(m, channel)) {
    const int digits = SimSam_Convert(*adc, physical, info.physMin, info.physMax);
    physical = info.physMin + (info.physMax - info.physMin) * digits / SIM_SAM_FULL_SCALE;
  }
  const double value = SimChanCode_ToValue(info, physical);
  const double span = SimChanCode_ToValue(info, info.physMax) - SimChanCode_ToValue(info, info.physMin);
  return value * (1 + s.gain) + s.offset * span;
}

// The factory set of the channel's active configuration, then the user set.
double Corrected(const SimModule& m, uint8_t channelByte, const SimChannelInfo& ch, double v) {
  const uint8_t type = uint8_t((ch.code >> 8) & 0x1F);
  v += SimIo_Correction(SimIo_Points(m, channelByte, type, uint8_t(ch.code & 0xFF)), v);
  return v + SimIo_Correction(SimIo_Points(m, channelByte, SIM_CALIB_USER_TYPE, 0), v);
}

uint32_t RotateLeft(uint32_t pattern, int64_t steps, int bits) {
  const uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  pattern &= mask;
  const int k = int(steps % bits);
  if (k == 0) return pattern;
  return ((pattern << k) | (pattern >> (bits - k))) & mask;
}

int BitsOf(const SimCodeInfo& info) {
  const double max = info.rawMax;
  int bits = 1;
  while (bits < 32 && std::ldexp(1.0, bits) - 1 < max) ++bits;
  return bits;
}

// ---- keeping the value objects live ---------------------------------------------------

void RefreshAnalogInput(SimModule& m, int channel, const SimChannelInfo& ch, int64_t nowUs) {
  SimCodeInfo info;
  if (!CodeInfoOf(ch, info)) return;  // switched off: the value stays as it is
  SimObject* object = m.objects().find(ch.valueIndex, ch.valueSubindex);
  if (!object) return;
  SimIoConfig& io = m.config().io;
  auto last = io.lastReported.find(ValueKey(ch));
  const bool setFromOutside = last != io.lastReported.end() && last->second != object->value;
  // Without a signal the input keeps measuring what its object holds now; a
  // value someone put into the object is what the input sees from then on.
  const SimIoSignal* own = SignalOf(m, SimIoGroup::AnalogIn, channel);
  if (setFromOutside || !own) {
    SimIoSignal signal = own ? *own : SimIoSignal{};
    signal.group = SimIoGroup::AnalogIn;
    signal.channel = channel;
    signal.level = LevelFromObject(m, channel, ch, info).level;
    signal.swing = 0;
    SimIo_SetSignal(m, signal);
  }
  const double reported = SimIo_ReportedInput(m, channel, nowUs);
  object->value = SimChanCode_Encode(info, reported, ch.aligned);
  io.lastReported[ValueKey(ch)] = object->value;
}

void RefreshDigital(SimModule& m, SimIoGroup group, int channel, const SimChannelInfo& ch, int64_t nowUs) {
  const SimIoSignal* s = SignalOf(m, group, channel);
  if (!s) return;
  SimObject* object = m.objects().find(ch.valueIndex, ch.valueSubindex);
  SimCodeInfo info;
  if (!object || !CodeInfoOf(ch, info)) return;
  if (group == SimIoGroup::DigitalIn) {
    object->value = SimChanCode_Encode(info, SimIo_DigitalInput(m, channel, nowUs), false);
    return;
  }
  const bool operational = m.firmwareRunning() && (m.state() & VORN_STATE_MASK) == VORN_STATE_OPERATIONAL;
  if (!s->program || !operational) return;  // the outputs hold what was written
  const int64_t step = nowUs / (int64_t(s->periodMs > 0 ? s->periodMs : 1) * 1000);
  object->value = SimChanCode_Encode(info, RotateLeft(1, step, BitsOf(info)), false);
}

// Before an object read: the value objects of inputs (and of outputs the
// module's program drives) take their present value.
void RefreshValueObject(SimModule& m, uint16_t index, uint8_t subindex) {
  const int64_t now = NowUs(m);
  for (SimIoGroup group : {SimIoGroup::AnalogIn, SimIoGroup::DigitalIn, SimIoGroup::DigitalOut}) {
    const int count = SimIo_ChannelCount(m, group);
    for (int channel = 0; channel < count; ++channel) {
      SimChannelInfo ch;
      if (!SimIo_Channel(m, group, channel, ch)) continue;
      if (ch.valueIndex != index || ch.valueSubindex != subindex) continue;
      if (group == SimIoGroup::AnalogIn) {
        RefreshAnalogInput(m, channel, ch, now);
      } else {
        RefreshDigital(m, group, channel, ch, now);
      }
      return;
    }
  }
}

// ---- the calibration point command ------------------------------------------------------

// The value a calibration takes as the channel's present raw value: what an
// input measures (after the factory correction when the user set is
// calibrated), or what an output drives for the value it was last given.
bool PresentRawValue(const SimModule& m, uint8_t channelByte, uint8_t type, double& raw) {
  const bool output = channelByte & SIM_CALIB_OUTPUT;
  const int channel = channelByte & 0x7F;
  const SimIoGroup group = output ? SimIoGroup::AnalogOut : SimIoGroup::AnalogIn;
  SimChannelInfo ch;
  if (!SimIo_Channel(m, group, channel, ch)) return false;
  if (output) {
    // What the stage drives now: the user set what it passes to the factory
    // stage, the factory set what goes to the converter. A point then pairs
    // a drive value with what the output put out, whatever points are in force.
    raw = SimIo_Uncorrected(SimIo_Points(m, channelByte, SIM_CALIB_USER_TYPE, 0), SimIo_OutputValue(m, channel));
    const uint8_t factoryType = uint8_t((ch.code >> 8) & 0x1F);
    if (type != SIM_CALIB_USER_TYPE)
      raw = SimIo_Uncorrected(SimIo_Points(m, channelByte, factoryType, uint8_t(ch.code & 0xFF)), raw);
    return true;
  }
  raw = SimIo_MeasuredInput(m, channel, NowUs(m));
  if (type == SIM_CALIB_USER_TYPE) {
    const uint8_t factoryType = uint8_t((ch.code >> 8) & 0x1F);
    raw += SimIo_Correction(SimIo_Points(m, channelByte, factoryType, uint8_t(ch.code & 0xFF)), raw);
  }
  return true;
}

bool ChannelExists(const SimModule& m, uint8_t channelByte) {
  const SimIoGroup group = (channelByte & SIM_CALIB_OUTPUT) ? SimIoGroup::AnalogOut : SimIoGroup::AnalogIn;
  return (channelByte & 0x7F) < SimIo_ChannelCount(m, group);
}

void CalibCommand(SimModule& m, const ModuleRequest& rq) {
  const SimFrame& f = rq.frame;
  if (f.len < 4 || !m.firmwareRunning()) return;
  const uint8_t channelByte = f.data[1];
  const int operation = f.data[2] >> 5;
  const uint8_t type = f.data[2] & 0x1F;
  const uint8_t range = f.data[3];
  const bool known = ChannelExists(m, channelByte);
  SimCalibPoints points = SimIo_Points(m, channelByte, type, range);

  if (rq.wantsReply) {
    const uint32_t v = known && operation < 4 ? points.values[operation] : kEmpty;
    m.reply(rq, {channelByte, f.data[2], range, uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    return;
  }
  if (known) {
    const uint32_t value = f.len >= 8 ? uint32_t(f.data[4]) | uint32_t(f.data[5]) << 8 |
                                            uint32_t(f.data[6]) << 16 | uint32_t(f.data[7]) << 24
                                      : 0;
    double raw = 0;
    if (operation < 4 && f.len >= 8) {
      points.values[operation] = value;
    } else if ((operation == 4 || operation == 5) && f.len >= 8 &&
               PresentRawValue(m, channelByte, type, raw)) {
      const int first = operation == 4 ? 0 : 2;
      points.values[first] = FloatBits(raw);
      points.values[first + 1] = FloatBits(double(AsFloat(value)) - double(float(raw)));
    } else if (operation == 6 || operation == 7) {
      const int first = operation == 6 ? 0 : 2;
      points.values[first] = points.values[first + 1] = kEmpty;
    }
    SimIo_SetPoints(m, channelByte, type, range, points);
  }
  if (rq.wantsAck) m.acknowledge(rq);
}

}  // namespace

// ---- channels ------------------------------------------------------------------------------

int SimIo_ChannelCount(const SimModule& m, SimIoGroup group) {
  return int(ObjectValue(m, SimIo_ListIndex(group), 0) & 0xFF);
}

bool SimIo_Channel(const SimModule& m, SimIoGroup group, int channel, SimChannelInfo& out) {
  if (channel < 0 || channel >= SimIo_ChannelCount(m, group)) return false;
  const uint8_t sub = uint8_t(channel + 1);
  const uint32_t descriptor = ObjectValue(m, SimIo_ListIndex(group), sub);
  out = SimChannelInfo{};
  out.typeNumber = int(descriptor & 0xFF);
  out.valueSubindex = uint8_t(descriptor >> 8);
  out.valueIndex = uint16_t(descriptor >> 16);
  if (SimIo_IsAnalog(group)) {
    const uint16_t selectEntry = group == SimIoGroup::AnalogIn ? SIM_IO_SELECT_ANALOG_IN : SIM_IO_SELECT_ANALOG_OUT;
    const uint16_t selection = uint16_t(ObjectValue(m, selectEntry, 0));
    out.config = int(ObjectValue(m, selection, sub) & 0xFF);
    const SimObject* flag = m.objects().find(SIM_IO_ALIGNMENT, sub);
    out.aligned = flag && (flag->value & 0xFF) != 0;
  }
  const uint16_t typeEntry = uint16_t(SIM_IO_TYPE_BASE + out.typeNumber);
  const int configs = int(ObjectValue(m, typeEntry, 0) & 0xFF);
  if (out.config != kConfigOff && out.config < configs) {
    out.code = uint16_t(ObjectValue(m, typeEntry, uint8_t(out.config + 1)));
  }
  return true;
}

void SimIo_SetSignal(SimModule& m, const SimIoSignal& signal) {
  for (SimIoSignal& s : m.config().io.ioSignals) {
    if (s.group == signal.group && s.channel == signal.channel) {
      s = signal;
      return;
    }
  }
  m.config().io.ioSignals.push_back(signal);
}

// ---- values ----------------------------------------------------------------------------------

double SimIo_MeasuredInput(const SimModule& m, int channel, int64_t nowUs) {
  SimChannelInfo ch;
  SimCodeInfo info;
  if (!SimIo_Channel(m, SimIoGroup::AnalogIn, channel, ch) || !CodeInfoOf(ch, info)) return 0;
  const SimIoSignal* s = SignalOf(m, SimIoGroup::AnalogIn, channel);
  return Measure(m, channel, s ? *s : LevelFromObject(m, channel, ch, info), info, nowUs);
}

bool SimIo_TerminalLevel(const SimModule& m, int channel, int64_t nowUs, double& physical) {
  SimChannelInfo ch;
  SimCodeInfo info;
  if (!SimIo_Channel(m, SimIoGroup::AnalogIn, channel, ch) || !CodeInfoOf(ch, info)) return false;
  const SimIoSignal* s = SignalOf(m, SimIoGroup::AnalogIn, channel);
  physical = Terminal(m, channel, s ? *s : LevelFromObject(m, channel, ch, info), info, nowUs);
  return true;
}

double SimIo_ReportedInput(const SimModule& m, int channel, int64_t nowUs) {
  SimChannelInfo ch;
  if (!SimIo_Channel(m, SimIoGroup::AnalogIn, channel, ch)) return 0;
  return Corrected(m, uint8_t(channel), ch, SimIo_MeasuredInput(m, channel, nowUs));
}

uint32_t SimIo_DigitalInput(const SimModule& m, int channel, int64_t nowUs) {
  SimChannelInfo ch;
  SimCodeInfo info;
  if (!SimIo_Channel(m, SimIoGroup::DigitalIn, channel, ch)) return 0;
  const SimIoSignal* s = SignalOf(m, SimIoGroup::DigitalIn, channel);
  if (!s || !CodeInfoOf(ch, info)) return ObjectValue(m, ch.valueIndex, ch.valueSubindex);
  const uint32_t pattern = uint32_t(int64_t(s->level));
  const int64_t steps = s->periodMs > 0 ? nowUs / (int64_t(s->periodMs) * 1000) : 0;
  return RotateLeft(pattern, steps, BitsOf(info));
}

double SimIo_OutputValue(const SimModule& m, int channel) {
  SimChannelInfo ch;
  SimCodeInfo info;
  if (!SimIo_Channel(m, SimIoGroup::AnalogOut, channel, ch) || !CodeInfoOf(ch, info)) return 0;
  return SimChanCode_Decode(info, ObjectValue(m, ch.valueIndex, ch.valueSubindex), ch.aligned);
}

double SimIo_OutputLevel(const SimModule& m, int channel) {
  SimChannelInfo ch;
  SimCodeInfo info;
  if (!SimIo_Channel(m, SimIoGroup::AnalogOut, channel, ch) || !CodeInfoOf(ch, info)) return 0;
  const uint8_t channelByte = uint8_t(channel | SIM_CALIB_OUTPUT);
  const uint8_t type = uint8_t((ch.code >> 8) & 0x1F);
  double value = SimIo_Uncorrected(SimIo_Points(m, channelByte, SIM_CALIB_USER_TYPE, 0), SimIo_OutputValue(m, channel));
  value = SimIo_Uncorrected(SimIo_Points(m, channelByte, type, uint8_t(ch.code & 0xFF)), value);
  const double physical = std::clamp(SimChanCode_ToPhysical(info, value), info.physMin, info.physMax);
  const SimIoSignal* s = SignalOf(m, SimIoGroup::AnalogOut, channel);
  if (!s) return physical;
  return physical * (1 + s->gain) + s->offset * (info.physMax - info.physMin);
}

// ---- calibration points ----------------------------------------------------------------------

SimCalibPoints SimIo_Points(const SimModule& m, uint8_t channelByte, uint8_t type, uint8_t range) {
  const auto& stored = m.config().io.calibration;
  auto it = stored.find(SimCalibKey(channelByte, type, range));
  return it == stored.end() ? SimCalibPoints{} : it->second;
}

void SimIo_SetPoints(SimModule& m, uint8_t channelByte, uint8_t type, uint8_t range,
                     const SimCalibPoints& points) {
  auto& stored = m.config().io.calibration;
  const uint32_t key = SimCalibKey(channelByte, type, range);
  if (points == SimCalibPoints{}) {
    stored.erase(key);
  } else {
    stored[key] = points;
  }
}

double SimIo_Correction(const SimCalibPoints& p, double v) {
  const bool has1 = p.values[0] != kEmpty && p.values[1] != kEmpty;
  const bool has2 = p.values[2] != kEmpty && p.values[3] != kEmpty;
  const double x1 = AsFloat(p.values[0]), y1 = AsFloat(p.values[1]);
  const double x2 = AsFloat(p.values[2]), y2 = AsFloat(p.values[3]);
  double c = 0;
  if (has1 && has2 && x1 != x2) {
    c = y1 + (v - x1) * (y2 - y1) / (x2 - x1);
  } else if (has1) {
    c = y1;
  } else if (has2) {
    c = y2;
  }
  return std::isfinite(c) ? c : 0;
}

double SimIo_Uncorrected(const SimCalibPoints& p, double w) {
  const bool has1 = p.values[0] != kEmpty && p.values[1] != kEmpty;
  const bool has2 = p.values[2] != kEmpty && p.values[3] != kEmpty;
  const double x1 = AsFloat(p.values[0]), y1 = AsFloat(p.values[1]);
  const double x2 = AsFloat(p.values[2]), y2 = AsFloat(p.values[3]);
  double d = w;
  if (has1 && has2 && x1 != x2) {
    // correction(d) = a + b d, so d + correction(d) = w gives d = (w - a) / (1 + b).
    const double b = (y2 - y1) / (x2 - x1), a = y1 - b * x1;
    if (1 + b != 0) d = (w - a) / (1 + b);
  } else if (has1) {
    d = w - y1;
  } else if (has2) {
    d = w - y2;
  }
  return std::isfinite(d) ? d : w;
}

// ---- installation ------------------------------------------------------------------------------

void InstallIoCommands(SimModule& module) {
  SimModule::Handler objects = module.handler(VORN_CODE_OBJECT);
  module.setHandler(VORN_CODE_OBJECT, [objects](SimModule& m, const ModuleRequest& rq) {
    if (rq.wantsReply && rq.frame.len >= 4 && m.firmwareRunning()) {
      RefreshValueObject(m, uint16_t(rq.frame.data[1] << 8 | rq.frame.data[2]), rq.frame.data[3]);
    }
    if (objects) objects(m, rq);
  });
  module.setHandler(VORN_CODE_CALIB_DATA, CalibCommand);
  if (module.config().cpu == VORN_CPU_SAMC21) InstallSamAdcCommands(module);
}
