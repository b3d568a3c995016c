// Reading and writing population files. One statement per line, '#' starts a
// comment; the format is described in docs/simulator.md.
#include "population/Population.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "population/IoStatements.h"
#include "population/ServiceStatements.h"
#include "protocol/WireConstants.h"

namespace {

const char* const kRateNames[8] = {"10k", "20k", "50k", "100k", "125k", "250k", "500k", "1000k"};

struct TypeName {
  const char* name;
  uint8_t code;
};
const TypeName kTypeNames[] = {
    {"bool", SIM_BOOL},     {"int8", SIM_INT8},     {"int16", SIM_INT16},   {"int32", SIM_INT32},
    {"uint8", SIM_UINT8},   {"uint16", SIM_UINT16}, {"uint32", SIM_UINT32}, {"real32", SIM_REAL32},
    {"string", SIM_STRING}, {"pdocompar", SIM_PDOCOMPAR},
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Splits a line into words; a double-quoted word may hold blanks and '#'.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error) {
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') break;
    std::string word;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
      if (line[i] == '"') {
        size_t close = line.find('"', i + 1);
        if (close == std::string::npos) {
          error = "unterminated quotation";
          return false;
        }
        word += line.substr(i + 1, close - i - 1);
        i = close + 1;
      } else {
        word += line[i++];
      }
    }
    words.push_back(word);
  }
  return true;
}

// A whole number: decimal or 0x hexadecimal, optionally negative.
bool ParseInt(const std::string& text, long long& out) {
  if (text.empty()) return false;
  const char* s = text.c_str();
  bool negative = *s == '-';
  if (negative) ++s;
  int base = 10;
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s += 2;
  }
  if (!*s || !std::isxdigit(static_cast<unsigned char>(*s))) return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(s, &end, base);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull) return false;
  out = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
  return true;
}

bool ParseRange(const std::string& text, long long lo, long long hi, long long& out) {
  return ParseInt(text, out) && out >= lo && out <= hi;
}

bool ParseByte(const std::string& text, uint8_t& out) {
  long long v = 0;
  if (!ParseRange(text, 0, 255, v)) return false;
  out = static_cast<uint8_t>(v);
  return true;
}

bool ParseBitRate(const std::string& text, uint8_t& out) {
  std::string t = Lower(text);
  if (t == "1m") t = "1000k";
  for (int i = 0; i < 8; ++i) {
    if (t == kRateNames[i]) {
      out = static_cast<uint8_t>(i);
      return true;
    }
  }
  return ParseByte(text, out);
}

// "major.minor" or "none" (255.255).
bool ParseVersion(const std::string& text, uint8_t& major, uint8_t& minor) {
  if (Lower(text) == "none") {
    major = minor = 255;
    return true;
  }
  size_t dot = text.find('.');
  if (dot == std::string::npos) return false;
  return ParseByte(text.substr(0, dot), major) && ParseByte(text.substr(dot + 1), minor);
}

// "a/b" pair of bytes, or "none".
bool ParsePair(const std::string& text, uint8_t& a, uint8_t& b, bool& none) {
  none = Lower(text) == "none";
  if (none) return true;
  size_t slash = text.find('/');
  if (slash == std::string::npos) return false;
  return ParseByte(text.substr(0, slash), a) && ParseByte(text.substr(slash + 1), b);
}

// YYYY-MM-DD[Thh:mm[:ss]] or "none" (all zero).
bool ParseDate(const std::string& text, SimDate& out) {
  if (Lower(text) == "none") {
    out = SimDate{};
    return true;
  }
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  if (n != 3 && n != 5 && n != 6) return false;
  if (y < 0 || y > 25599 || mo < 0 || mo > 255 || d < 0 || d > 255 || h < 0 || h > 255 || mi < 0 ||
      mi > 255 || s < 0 || s > 255)
    return false;
  out = SimDate::make(y, mo, d, h, mi, s);
  return true;
}

bool ParseDataType(const std::string& text, uint8_t& out) {
  std::string t = Lower(text);
  for (const TypeName& tn : kTypeNames) {
    if (t == tn.name) {
      out = tn.code;
      return true;
    }
  }
  return ParseByte(text, out);
}

const char* DataTypeName(uint8_t code) {
  for (const TypeName& tn : kTypeNames)
    if (tn.code == code) return tn.name;
  return nullptr;
}

uint32_t MaskForType(uint8_t type) {
  switch (type) {
    case SIM_BOOL: case SIM_INT8: case SIM_UINT8: return 0xFF;
    case SIM_INT16: case SIM_UINT16: return 0xFFFF;
    default: return 0xFFFFFFFF;
  }
}

bool ParseObjectValue(const std::string& text, uint8_t type, uint32_t& out) {
  if (type == SIM_REAL32) {
    char* end = nullptr;
    errno = 0;
    float f = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0) return false;
    std::memcpy(&out, &f, sizeof out);
    return true;
  }
  if (type == SIM_STRING && !text.empty() && !std::isdigit(static_cast<unsigned char>(text[0]))) {
    if (text.size() > 4) return false;
    out = 0;
    for (size_t i = 0; i < text.size(); ++i) out |= uint32_t(uint8_t(text[i])) << (8 * i);
    return true;
  }
  long long v = 0;
  if (!ParseInt(text, v) || v < -2147483648LL) return false;
  out = static_cast<uint32_t>(v) & MaskForType(type);
  return true;
}

// "0x3000.1"
bool ParseObjectAddress(const std::string& text, uint16_t& index, uint8_t& subindex) {
  size_t dot = text.find('.');
  if (dot == std::string::npos) return false;
  long long i = 0;
  if (!ParseRange(text.substr(0, dot), 0, 0xFFFF, i)) return false;
  index = static_cast<uint16_t>(i);
  return ParseByte(text.substr(dot + 1), subindex);
}

class Parser {
 public:
  Parser(SimPopulation& out, std::string& error) : out_(out), error_(error) {}

  bool run(const std::string& text);

 private:
  bool fail(const std::string& what) {
    error_ = "line " + std::to_string(line_) + ": " + what;
    return false;
  }
  bool settings(const std::vector<std::string>& w);
  bool module(const std::vector<std::string>& w);
  bool moduleKey(SimModuleConfig& m, const std::string& key, const std::string& value);
  bool object(const std::vector<std::string>& w);
  bool refSource(const std::vector<std::string>& w);
  bool ioStatement(const std::vector<std::string>& w);
  bool serviceStatement(const std::vector<std::string>& w);

  SimPopulation& out_;
  std::string& error_;
  int line_ = 0;
  std::map<int, uint8_t> buses_;
  std::set<std::pair<int, int>> nodes_;
};

bool Parser::run(const std::string& text) {
  // Pass 1: settings and buses, so that modules may come before their bus.
  // Pass 2: modules and their objects.
  for (int pass = 1; pass <= 2; ++pass) {
    std::istringstream in(text);
    std::string raw;
    line_ = 0;
    while (std::getline(in, raw)) {
      ++line_;
      std::vector<std::string> w;
      std::string why;
      if (!SplitWords(raw, w, why)) return fail(why);
      if (w.empty()) continue;
      std::string keyword = Lower(w[0]);
      bool ok = true;
      if (keyword == "base" || keyword == "plc" || keyword == "bus") {
        if (pass == 1) ok = settings(w);
      } else if (keyword == "module") {
        if (pass == 2) ok = module(w);
      } else if (keyword == "object") {
        if (pass == 2) ok = object(w);
      } else if (keyword == "refsource") {
        if (pass == 2) ok = refSource(w);
      } else if (IoStatement_Is(keyword)) {
        if (pass == 2) ok = ioStatement(w);
      } else if (ServiceStatement_Is(keyword)) {
        if (pass == 2) ok = serviceStatement(w);
      } else {
        return fail("unknown statement '" + w[0] + "'");
      }
      if (!ok) return false;
    }
    if (pass == 1) {
      int count = buses_.empty() ? 1 : buses_.rbegin()->first + 1;
      out_.busBitRates.assign(count, Wire::CAN_BITRATE_DEFAULT_CODE);
      for (const auto& [index, code] : buses_) out_.busBitRates[index] = code;
    }
  }
  return true;
}

bool Parser::settings(const std::vector<std::string>& w) {
  std::string keyword = Lower(w[0]);
  if (keyword == "bus") {
    long long index = 0;
    uint8_t code = 0;
    if (w.size() != 3) return fail("expected: bus <index> <bit rate>");
    if (!ParseRange(w[1], 0, Wire::ETH_MASTER_MAX_BUSES - 1, index)) return fail("bus index must be 0..7");
    std::string rate = w[2];
    if (Lower(rate).rfind("rate=", 0) == 0) rate = rate.substr(5);
    if (!ParseBitRate(rate, code)) return fail("bad bit rate '" + w[2] + "'");
    if (buses_.count(int(index))) return fail("bus " + w[1] + " given twice");
    buses_[int(index)] = code;
    return true;
  }
  if (w.size() != 2) return fail("expected: " + keyword + " <number>");
  long long v = 0;
  if (keyword == "base") {
    if (!ParseRange(w[1], 0, 0x7FF - Wire::VORN_PROT_MAX_NODE, v)) return fail("base identifier out of range");
    out_.baseId = static_cast<uint32_t>(v);
  } else {
    if (!ParseByte(w[1], out_.plcRunState)) return fail("PLC run state must be 0..255");
  }
  return true;
}

bool Parser::module(const std::vector<std::string>& w) {
  SimModuleConfig m;
  m.node = 0;
  bool nodeGiven = false, typeGiven = false, dipGiven = false, eepromGiven = false;
  uint8_t dip[2] = {0, 0}, eeprom[2] = {0, 0};
  bool dipNone = false, eepromNone = false;
  for (size_t i = 1; i < w.size(); ++i) {
    size_t eq = w[i].find('=');
    std::string key = Lower(w[i].substr(0, eq));
    std::string value = eq == std::string::npos ? "" : w[i].substr(eq + 1);
    if (eq == std::string::npos && key != "legacyid") return fail("expected key=value, got '" + w[i] + "'");
    if (key == "node") {
      long long v = 0;
      if (!ParseRange(value, 1, Wire::VORN_PROT_MAX_NODE, v)) return fail("node must be 1..127");
      m.node = int(v);
      nodeGiven = true;
    } else if (key == "type") {
      long long v = 0;
      if (!ParseRange(value, 0, 0xFFFF, v)) return fail("type must be 0..65535");
      m.type = uint32_t(v);
      typeGiven = true;
    } else if (key == "dip") {
      if (!ParsePair(value, dip[0], dip[1], dipNone)) return fail("dip must be <node switches>/<bit-rate switches> or none");
      dipGiven = true;
    } else if (key == "eeprom") {
      if (!ParsePair(value, eeprom[0], eeprom[1], eepromNone)) return fail("eeprom must be <node>/<bit-rate index> or none");
      eepromGiven = true;
    } else if (!moduleKey(m, key, value)) {
      return false;
    }
  }
  if (!nodeGiven || !typeGiven) return fail("a module needs node= and type=");
  if (m.bus >= int(out_.busBitRates.size())) return fail("bus " + std::to_string(m.bus) + " is not declared");
  if (!nodes_.insert({m.bus, m.node}).second) return fail("two modules on bus " + std::to_string(m.bus) + " node " + std::to_string(m.node));

  // Switches and EEPROM default to the module's node and its bus's bit rate;
  // format-38 modules have no switches unless the file gives them.
  uint8_t rate = out_.busBitRates[m.bus];
  m.hasDipSwitches = dipGiven ? !dipNone : m.paramFormat != Wire::VORN_BUS_PARAMS_FORMAT_NEW;
  m.dipNodeSwitches = dipGiven && !dipNone ? dip[0] : uint8_t(m.node);
  m.dipBaudSwitches = dipGiven && !dipNone ? dip[1] : rate;
  m.eepromNode = eepromGiven ? (eepromNone ? 255 : eeprom[0]) : uint8_t(m.node);
  m.eepromBaud = eepromGiven ? (eepromNone ? 255 : eeprom[1]) : rate;
  if (m.useDip && !m.hasDipSwitches) return fail("source=dip needs DIP switches");
  if (m.useDip && dipGiven && m.dipNodeSwitches != m.node) return fail("source=dip: the switches must show the module's node");
  if (!m.useDip && eepromGiven && !eepromNone && m.eepromNode != m.node) return fail("source=eeprom: the EEPROM must hold the module's node");
  out_.modules.push_back(m);
  return true;
}

bool Parser::moduleKey(SimModuleConfig& m, const std::string& key, const std::string& value) {
  long long v = 0;
  if (key == "bus") {
    if (!ParseRange(value, 0, Wire::ETH_MASTER_MAX_BUSES - 1, v)) return fail("bus must be 0..7");
    m.bus = int(v);
  } else if (key == "hw") {
    if (!ParseByte(value, m.hwVersion)) return fail("hw must be 0..255");
  } else if (key == "state") {
    if (!ParseByte(value, m.state)) return fail("state must be 0..255");
  } else if (key == "boot") {
    if (!ParseVersion(value, m.bootMajor, m.bootMinor)) return fail("boot must be <major>.<minor> or none");
  } else if (key == "fw") {
    if (!ParseVersion(value, m.fwMajor, m.fwMinor)) return fail("fw must be <major>.<minor> or none");
    m.firmwarePresent = !(m.fwMajor == 255 && m.fwMinor == 255);
  } else if (key == "fwpresent") {
    if (!ParseRange(value, 0, 1, v)) return fail("fwpresent must be 0 or 1");
    m.firmwarePresent = v != 0;
  } else if (key == "cpu") {
    if (!ParseByte(value, m.cpu)) return fail("cpu must be 0..255");
  } else if (key == "format") {
    if (!ParseByte(value, m.paramFormat)) return fail("format must be 0..255");
  } else if (key == "source") {
    std::string s = Lower(value);
    if (s != "dip" && s != "eeprom") return fail("source must be dip or eeprom");
    m.useDip = s == "dip";
  } else if (key == "shipped") {
    if (!ParseDate(value, m.shippingDate)) return fail("shipped must be YYYY-MM-DD[Thh:mm[:ss]] or none");
  } else if (key == "programmed") {
    if (!ParseDate(value, m.programmingDate)) return fail("programmed must be YYYY-MM-DD[Thh:mm[:ss]] or none");
  } else if (key == "button") {
    if (!ParseRange(value, 0, 1, v)) return fail("button must be 0 or 1");
    m.serviceButton = v != 0;
  } else if (key == "delay") {
    char* end = nullptr;
    double ms = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !(ms >= 0 && ms <= 60000)) return fail("delay must be 0..60000 ms");
    m.responseDelayUs = int(std::lround(ms * 1000));
  } else if (key == "legacyid") {
    m.extendedType = false;
  } else if (key == "name") {
    m.label = value;
  } else {
    std::string why;
    const int service = ServiceKey_Apply(m, key, value, why);
    if (service == 0) return fail(why);
    if (service < 0) return fail("unknown module key '" + key + "'");
  }
  return true;
}

bool Parser::object(const std::vector<std::string>& w) {
  if (out_.modules.empty()) return fail("object before any module");
  if (w.size() < 4 || w.size() > 6) return fail("expected: object <index>.<sub> <type> [rw|ro] <value> [status=<bits>]");
  SimObject o;
  if (!ParseObjectAddress(w[1], o.index, o.subindex)) return fail("bad object address '" + w[1] + "'");
  if (!ParseDataType(w[2], o.dataType)) return fail("bad data type '" + w[2] + "'");
  size_t next = 3;
  std::string access = Lower(w[next]);
  if (access == "rw" || access == "ro") {
    o.writable = access == "rw";
    ++next;
  }
  if (next >= w.size()) return fail("object without a value");
  if (!ParseObjectValue(w[next], o.dataType, o.value)) return fail("bad value '" + w[next] + "'");
  ++next;
  if (next < w.size()) {
    std::string s = w[next];
    if (Lower(s).rfind("status=", 0) != 0 || !ParseByte(s.substr(7), o.statusBits)) return fail("expected status=<bits>");
    o.statusBits &= 0x7E;
    ++next;
  }
  if (next != w.size()) return fail("too many words");
  auto& objects = out_.modules.back().objects;
  for (const SimObject& existing : objects)
    if (existing.index == o.index && existing.subindex == o.subindex) return fail("object " + w[1] + " given twice");
  objects.push_back(o);
  return true;
}

// "refsource [bus=<b>] [node=<n>] [low=<x>] [high=<x>]": the reference source
// of the base calibration.
bool Parser::refSource(const std::vector<std::string>& w) {
  if (out_.refSource.present) return fail("only one reference source");
  SimRefSourceConfig c;
  c.present = true;
  for (size_t i = 1; i < w.size(); ++i) {
    const size_t eq = w[i].find('=');
    const std::string key = Lower(w[i].substr(0, eq));
    const std::string value = eq == std::string::npos ? "" : w[i].substr(eq + 1);
    long long v = 0;
    if (key == "bus") {
      if (!ParseRange(value, 0, Wire::ETH_MASTER_MAX_BUSES - 1, v)) return fail("bus must be 0..7");
      c.bus = int(v);
    } else if (key == "node") {
      if (!ParseRange(value, 1, Wire::VORN_PROT_MAX_NODE, v)) return fail("node must be 1..127");
      c.node = int(v);
    } else if (key == "low" || key == "high") {
      char* end = nullptr;
      const double x = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !std::isfinite(x)) return fail("bad number '" + value + "'");
      (key == "low" ? c.low : c.high) = x;
    } else {
      return fail("unknown refsource key '" + key + "'");
    }
  }
  if (c.bus >= int(out_.busBitRates.size())) return fail("bus " + std::to_string(c.bus) + " is not declared");
  out_.refSource = c;
  return true;
}

// channels, signal, calib: I/O of the module on the line before.
bool Parser::ioStatement(const std::vector<std::string>& w) {
  if (out_.modules.empty()) return fail(w[0] + " before any module");
  std::string why;
  if (!IoStatement_Apply(w, out_.modules.back(), why)) return fail(why);
  return true;
}

// memory, smsentry, linslave: service parts of the module on the line before.
bool Parser::serviceStatement(const std::vector<std::string>& w) {
  if (out_.modules.empty()) return fail(w[0] + " before any module");
  std::string why;
  if (!ServiceStatement_Apply(w, out_.modules.back(), why)) return fail(why);
  return true;
}

std::string Hex(unsigned v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
  return buf;
}

std::string DateText(const SimDate& d) {
  if (d == SimDate{}) return "none";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", d.century * 100 + d.year, d.month, d.day,
                d.hour, d.minute, d.second);
  return buf;
}

std::string VersionText(uint8_t major, uint8_t minor) {
  if (major == 255 && minor == 255) return "none";
  return std::to_string(major) + "." + std::to_string(minor);
}

std::string ObjectValueText(const SimObject& o) {
  if (o.dataType == SIM_REAL32) {
    float f = 0;
    std::memcpy(&f, &o.value, sizeof f);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", double(f));
    return buf;
  }
  return Hex(o.value, 1);
}

}  // namespace

bool SimPopulation::parse(const std::string& text, SimPopulation& out, std::string& error) {
  SimPopulation p;
  p.busBitRates.clear();
  Parser parser(p, error);
  if (!parser.run(text)) return false;
  out = std::move(p);
  return true;
}

bool SimPopulation::load(const std::string& path, SimPopulation& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read '" + path + "'";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!parse(text.str(), out, error)) {
    error = path + ", " + error;
    return false;
  }
  return true;
}

std::string SimPopulation::format() const {
  std::ostringstream o;
  o << "base " << Hex(baseId, 3) << "\n";
  o << "plc " << int(plcRunState) << "\n";
  for (size_t i = 0; i < busBitRates.size(); ++i) {
    uint8_t code = busBitRates[i];
    o << "bus " << i << " " << (code < 8 ? kRateNames[code] : std::to_string(code)) << "\n";
  }
  if (refSource.present) {
    char line[120];
    std::snprintf(line, sizeof line, "refsource bus=%d node=%d low=%.15g high=%.15g\n", refSource.bus, refSource.node,
                  refSource.low, refSource.high);
    o << line;
  }
  for (const SimModuleConfig& m : modules) {
    o << "module bus=" << m.bus << " node=" << m.node << " type=" << m.type << " hw=" << int(m.hwVersion)
      << " state=" << Hex(m.state, 2) << " boot=" << VersionText(m.bootMajor, m.bootMinor)
      << " fw=" << VersionText(m.fwMajor, m.fwMinor) << " fwpresent=" << (m.firmwarePresent ? 1 : 0)
      << " cpu=" << int(m.cpu) << " format=" << int(m.paramFormat);
    if (m.hasDipSwitches)
      o << " dip=" << int(m.dipNodeSwitches) << "/" << int(m.dipBaudSwitches);
    else
      o << " dip=none";
    if (m.eepromNode == 255 && m.eepromBaud == 255)
      o << " eeprom=none";
    else
      o << " eeprom=" << int(m.eepromNode) << "/" << int(m.eepromBaud);
    o << " source=" << (m.useDip ? "dip" : "eeprom") << " shipped=" << DateText(m.shippingDate)
      << " programmed=" << DateText(m.programmingDate);
    if (m.serviceButton) o << " button=1";
    if (m.responseDelayUs > 0) o << " delay=" << m.responseDelayUs / 1000.0;
    if (!m.extendedType) o << " legacyid";
    o << ServiceKey_Format(m);
    if (!m.label.empty()) {
      std::string label = m.label;
      for (char& c : label)
        if (c == '"' || c == '\n' || c == '\r') c = '\'';
      o << " name=\"" << label << "\"";
    }
    o << "\n";
    for (const SimObject& ob : m.objects) {
      const char* type = DataTypeName(ob.dataType);
      o << "object " << Hex(ob.index, 4) << "." << int(ob.subindex) << " "
        << (type ? std::string(type) : std::to_string(ob.dataType)) << " " << (ob.writable ? "rw" : "ro") << " "
        << ObjectValueText(ob);
      if (ob.statusBits) o << " status=" << Hex(ob.statusBits, 2);
      o << "\n";
    }
    o << IoStatement_Format(m);
    o << ServiceStatement_Format(m);
  }
  return o.str();
}
