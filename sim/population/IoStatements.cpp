#include "population/IoStatements.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "module/IoBuilder.h"
#include "module/SimChanCodes.h"
#include "protocol/WireConstants.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Decimal or 0x hexadecimal whole number, optionally negative.
bool ParseInt(const std::string& text, long long lo, long long hi, long long& out) {
  if (text.empty()) return false;
  const char* s = text.c_str();
  const bool negative = *s == '-';
  if (negative) ++s;
  int base = 10;
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s += 2;
  }
  if (!std::isxdigit(static_cast<unsigned char>(*s))) return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(s, &end, base);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull) return false;
  out = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
  return out >= lo && out <= hi;
}

bool ParseNumber(const std::string& text, double& out) {
  if (text.empty()) return false;
  long long whole = 0;
  if (ParseInt(text, -0xFFFFFFFFll, 0xFFFFFFFFll, whole)) {
    out = double(whole);
    return true;
  }
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || errno != 0 || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool ParseGroup(const std::string& text, SimIoGroup& group) {
  const std::string t = Lower(text);
  if (t == "ai") group = SimIoGroup::AnalogIn;
  else if (t == "ao") group = SimIoGroup::AnalogOut;
  else if (t == "di") group = SimIoGroup::DigitalIn;
  else if (t == "do") group = SimIoGroup::DigitalOut;
  else return false;
  return true;
}

const char* GroupName(SimIoGroup group) {
  switch (group) {
    case SimIoGroup::AnalogIn: return "ai";
    case SimIoGroup::AnalogOut: return "ao";
    case SimIoGroup::DigitalIn: return "di";
    case SimIoGroup::DigitalOut: return "do";
  }
  return "ai";
}

bool Fail(std::string& error, const std::string& why) {
  error = why;
  return false;
}

// "key=value" into its parts; a word without "=" is a key with an empty value.
void SplitKey(const std::string& word, std::string& key, std::string& value) {
  const size_t eq = word.find('=');
  key = Lower(word.substr(0, eq));
  value = eq == std::string::npos ? "" : word.substr(eq + 1);
}

// "0x6401.1"
bool ParseAddress(const std::string& text, uint16_t& index, int& subindex) {
  const size_t dot = text.find('.');
  long long i = 0, s = 0;
  if (dot == std::string::npos || !ParseInt(text.substr(0, dot), 0, 0xFFFF, i) ||
      !ParseInt(text.substr(dot + 1), 0, 255, s)) {
    return false;
  }
  index = uint16_t(i);
  subindex = int(s);
  return true;
}

bool ParseCodes(const std::string& text, std::vector<uint16_t>& codes) {
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    long long code = 0;
    if (!ParseInt(item, 0, 0xFFFF, code)) return false;
    codes.push_back(uint16_t(code));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !codes.empty();
}

// The value bytes of `initial=`: a float for float configurations, else a whole number.
bool ParseInitial(const std::string& text, uint16_t code, uint32_t& out) {
  SimCodeInfo info;
  double v = 0;
  if (SimChanCode_Find(code, info) && info.encoding == SimEncoding::Float32) {
    if (!ParseNumber(text, v)) return false;
    const float f = float(v);
    std::memcpy(&out, &f, sizeof out);
    return true;
  }
  long long whole = 0;
  if (!ParseInt(text, -0x80000000ll, 0xFFFFFFFFll, whole)) return false;
  out = uint32_t(whole);
  return true;
}

bool Channels(const std::vector<std::string>& w, SimModuleConfig& module, std::string& error) {
  SimChannelGroup g;
  if (w.size() < 2 || !ParseGroup(w[1], g.group)) return Fail(error, "expected: channels ai|ao|di|do key=value ...");
  bool typeGiven = false, valueGiven = false;
  std::string initial;
  for (size_t i = 2; i < w.size(); ++i) {
    std::string key, value;
    SplitKey(w[i], key, value);
    long long n = 0;
    if (key == "type") {
      if (!ParseInt(value, 0, 255, n)) return Fail(error, "type must be 0..255");
      g.typeNumber = int(n);
      typeGiven = true;
    } else if (key == "configs") {
      if (!ParseCodes(value, g.configs)) return Fail(error, "configs must be codes separated by commas");
    } else if (key == "count") {
      if (!ParseInt(value, 0, 255, n)) return Fail(error, "count must be 0..255");
      g.count = int(n);
    } else if (key == "value") {
      if (!ParseAddress(value, g.valueIndex, g.firstSubindex)) return Fail(error, "value must be <index>.<subindex>");
      valueGiven = true;
    } else if (key == "config") {
      if (!ParseInt(value, 0, 255, n)) return Fail(error, "config must be 0..255");
      g.config = int(n);
    } else if (key == "aligned") {
      if (!ParseInt(value, 0, 1, n)) return Fail(error, "aligned must be 0 or 1");
      g.aligned = n != 0;
    } else if (key == "noalign") {
      g.alignmentAvailable = false;
    } else if (key == "initial") {
      initial = value;
    } else {
      return Fail(error, "unknown channels key '" + key + "'");
    }
  }
  if (!typeGiven || !valueGiven || g.configs.empty()) return Fail(error, "channels need type=, configs= and value=");
  const uint16_t active = size_t(g.config) < g.configs.size() ? g.configs[g.config] : 0xFFFF;
  if (!initial.empty() && !ParseInitial(initial, active, g.initialValue)) return Fail(error, "bad initial value '" + initial + "'");
  std::string why;
  if (!SimIo_AddChannels(module, g, &why)) return Fail(error, why);
  return true;
}

bool Signal(const std::vector<std::string>& w, SimModuleConfig& module, std::string& error) {
  SimIoSignal s;
  long long channel = 0;
  if (w.size() < 3 || !ParseGroup(w[1], s.group) || !ParseInt(w[2], 0, 254, channel)) {
    return Fail(error, "expected: signal ai|ao|di|do <channel> key=value ...");
  }
  s.channel = int(channel);
  for (size_t i = 3; i < w.size(); ++i) {
    std::string key, value;
    SplitKey(w[i], key, value);
    double v = 0;
    long long n = 0;
    if (key == "program") {
      s.program = true;
    } else if (key == "from") {
      if (value.empty() || value.find_first_of(" \t\"#") != std::string::npos) {
        return Fail(error, "from must name a source, e.g. from=metrahit");
      }
      s.from = Lower(value);
    } else if (key == "period") {
      if (!ParseInt(value, 0, 86400000, n)) return Fail(error, "period must be 0..86400000 ms");
      s.periodMs = int(n);
    } else if (key == "level" || key == "swing" || key == "offset" || key == "gain") {
      if (!ParseNumber(value, v)) return Fail(error, "bad number '" + value + "'");
      (key == "level" ? s.level : key == "swing" ? s.swing : key == "offset" ? s.offset : s.gain) = v;
    } else if (key == "noise") {
      if (!ParseNumber(value, v) || v < 0 || v > 1) return Fail(error, "noise must be a share 0..1 of the span");
      s.noise = v;
    } else {
      return Fail(error, "unknown signal key '" + key + "'");
    }
  }
  if (!s.from.empty() && s.group != SimIoGroup::AnalogIn) return Fail(error, "from= wires analog inputs only");
  if (s.noise != 0 && s.group != SimIoGroup::AnalogIn) return Fail(error, "noise= is for analog inputs only");
  for (SimIoSignal& existing : module.io.ioSignals) {
    if (existing.group == s.group && existing.channel == s.channel) return Fail(error, "signal given twice");
  }
  module.io.ioSignals.push_back(s);
  return true;
}

// "a/b/..." into `count` numbers.
bool ParseNumbers(const std::string& text, size_t count, double* out) {
  size_t start = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t slash = text.find('/', start);
    if ((slash == std::string::npos) != (i + 1 == count)) return false;
    if (!ParseNumber(text.substr(start, slash == std::string::npos ? std::string::npos : slash - start), out[i]))
      return false;
    start = slash + 1;
  }
  return true;
}

bool Int16(double v) { return v == std::floor(v) && v >= -32768 && v <= 32767; }

bool SamAdc(const std::vector<std::string>& w, SimModuleConfig& module, std::string& error) {
  SimSamAdc adc;
  long long index = 0;
  if (w.size() < 2 || !ParseInt(w[1], 0, 1, index)) return Fail(error, "expected: samadc 0|1 key=value ...");
  if (module.cpu != Wire::VORN_CPU_SAMC21) return Fail(error, "samadc needs a SAMC21 module (cpu=6)");
  adc.index = int(index);
  for (size_t i = 2; i < w.size(); ++i) {
    std::string key, value;
    SplitKey(w[i], key, value);
    long long n = 0;
    double v[4] = {};
    if (key == "inputs") {
      if (!ParseInt(value, 0, 0xFFFF, n)) return Fail(error, "inputs must be a mask 0..0xFFFF");
      adc.inputs = uint16_t(n);
    } else if (key == "mode") {
      const std::string mode = Lower(value);
      if (mode != "voltage" && mode != "current") return Fail(error, "mode must be voltage or current");
      adc.current = mode == "current";
    } else if (key == "ref") {
      if (!ParseNumbers(value, 2, v)) return Fail(error, "ref must be <low>/<high>");
      adc.lowReference = v[0], adc.highReference = v[1];
    } else if (key == "offset" || key == "gain") {
      if (!ParseNumber(value, v[0])) return Fail(error, "bad number '" + value + "'");
      (key == "offset" ? adc.offset : adc.gain) = v[0];
    } else if (key == "status") {
      if (!ParseInt(value, 0, 7, n)) return Fail(error, "status must be 0..7");
      adc.status = uint8_t(n);
    } else if (key == "pairs") {
      if (!ParseNumbers(value, 4, v) || !Int16(v[0]) || !Int16(v[1]) || !Int16(v[2]) || !Int16(v[3]))
        return Fail(error, "pairs must be <low actual>/<low wanted>/<high actual>/<high wanted>");
      adc.lowActual = int16_t(v[0]), adc.lowWanted = int16_t(v[1]);
      adc.highActual = int16_t(v[2]), adc.highWanted = int16_t(v[3]);
    } else if (key == "clip") {
      if (!ParseInt(value, -32768, 32767, n)) return Fail(error, "clip must be -32768..32767");
      adc.clipping = int16_t(n);
    } else {
      return Fail(error, "unknown samadc key '" + key + "'");
    }
  }
  for (const SimSamAdc& existing : module.io.samAdcs) {
    if (existing.index == adc.index) return Fail(error, "samadc given twice");
    if (existing.inputs & adc.inputs) return Fail(error, "an input belongs to one converter only");
  }
  module.io.samAdcs.push_back(adc);
  return true;
}

bool ParsePointValue(const std::string& text, uint32_t& bits) {
  if (text == "-") {
    bits = 0xFFFFFFFFu;
    return true;
  }
  double v = 0;
  if (!ParseNumber(text, v)) return false;
  const float f = float(v);
  std::memcpy(&bits, &f, sizeof bits);
  return true;
}

bool Calib(const std::vector<std::string>& w, SimModuleConfig& module, std::string& error) {
  long long channelByte = 0, type = 0, range = 0;
  const size_t dot = w.size() > 2 ? w[2].find('.') : std::string::npos;
  if (w.size() != 7 || !ParseInt(w[1], 0, 255, channelByte) || dot == std::string::npos ||
      !ParseInt(w[2].substr(0, dot), 0, 31, type) || !ParseInt(w[2].substr(dot + 1), 0, 255, range)) {
    return Fail(error, "expected: calib <channel byte> <type>.<range> <X1> <Y1> <X2> <Y2>");
  }
  SimCalibPoints points;
  for (int i = 0; i < 4; ++i) {
    if (!ParsePointValue(w[3 + i], points.values[i])) return Fail(error, "bad point value '" + w[3 + i] + "'");
  }
  module.io.calibration[SimCalibKey(uint8_t(channelByte), uint8_t(type), uint8_t(range))] = points;
  return true;
}

// The shortest text that reads back as the same double.
std::string NumberText(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", v);
  if (std::strtod(text, nullptr) != v) std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string PointValueText(uint32_t bits) {
  if (bits == 0xFFFFFFFFu) return "-";
  float f;
  std::memcpy(&f, &bits, sizeof f);
  char text[40];
  std::snprintf(text, sizeof text, "%.9g", double(f));
  return text;
}

}  // namespace

bool IoStatement_Is(const std::string& keyword) {
  return keyword == "channels" || keyword == "signal" || keyword == "calib" || keyword == "samadc";
}

bool IoStatement_Apply(const std::vector<std::string>& words, SimModuleConfig& module,
                       std::string& error) {
  const std::string keyword = words.empty() ? "" : Lower(words[0]);
  if (keyword == "channels") return Channels(words, module, error);
  if (keyword == "signal") return Signal(words, module, error);
  if (keyword == "calib") return Calib(words, module, error);
  if (keyword == "samadc") return SamAdc(words, module, error);
  return Fail(error, "not an I/O statement");
}

std::string IoStatement_Format(const SimModuleConfig& module) {
  std::string out;
  for (const SimIoSignal& s : module.io.ioSignals) {
    out += std::string("signal ") + GroupName(s.group) + " " + std::to_string(s.channel) +
           " level=" + NumberText(s.level);
    if (s.swing != 0) out += " swing=" + NumberText(s.swing);
    if (s.periodMs != 0) out += " period=" + std::to_string(s.periodMs);
    if (s.offset != 0) out += " offset=" + NumberText(s.offset);
    if (s.gain != 0) out += " gain=" + NumberText(s.gain);
    if (s.noise != 0) out += " noise=" + NumberText(s.noise);
    if (s.program) out += " program";
    if (!s.from.empty()) out += " from=" + s.from;
    out += "\n";
  }
  for (const SimSamAdc& a : module.io.samAdcs) {
    char mask[16];
    std::snprintf(mask, sizeof mask, "0x%04X", unsigned(a.inputs));
    out += "samadc " + std::to_string(a.index) + " inputs=" + mask + " mode=" + (a.current ? "current" : "voltage") +
           " ref=" + NumberText(a.lowReference) + "/" + NumberText(a.highReference);
    if (a.offset != 0) out += " offset=" + NumberText(a.offset);
    if (a.gain != 0) out += " gain=" + NumberText(a.gain);
    if (a.status != 0) out += " status=" + std::to_string(a.status);
    if (a.lowActual || a.lowWanted || a.highActual || a.highWanted)
      out += " pairs=" + std::to_string(a.lowActual) + "/" + std::to_string(a.lowWanted) + "/" +
             std::to_string(a.highActual) + "/" + std::to_string(a.highWanted);
    if (a.clipping != 0) out += " clip=" + std::to_string(a.clipping);
    out += "\n";
  }
  for (const auto& [key, points] : module.io.calibration) {
    char line[40];
    std::snprintf(line, sizeof line, "calib %u %u.%u", unsigned(key >> 16), unsigned((key >> 8) & 0x1F),
                  unsigned(key & 0xFF));
    out += line;
    for (uint32_t v : points.values) out += " " + PointValueText(v);
    out += "\n";
  }
  return out;
}
