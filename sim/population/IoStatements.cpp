#include "population/IoStatements.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "module/IoBuilder.h"
#include "module/SimChanCodes.h"

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
    } else {
      return Fail(error, "unknown signal key '" + key + "'");
    }
  }
  if (!s.from.empty() && s.group != SimIoGroup::AnalogIn) return Fail(error, "from= wires analog inputs only");
  for (SimIoSignal& existing : module.io.ioSignals) {
    if (existing.group == s.group && existing.channel == s.channel) return Fail(error, "signal given twice");
  }
  module.io.ioSignals.push_back(s);
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
  return keyword == "channels" || keyword == "signal" || keyword == "calib";
}

bool IoStatement_Apply(const std::vector<std::string>& words, SimModuleConfig& module,
                       std::string& error) {
  const std::string keyword = words.empty() ? "" : Lower(words[0]);
  if (keyword == "channels") return Channels(words, module, error);
  if (keyword == "signal") return Signal(words, module, error);
  if (keyword == "calib") return Calib(words, module, error);
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
    if (s.program) out += " program";
    if (!s.from.empty()) out += " from=" + s.from;
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
