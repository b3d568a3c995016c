#include "population/ServiceStatements.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "protocol/WireConstants.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool ParseUnsigned(const std::string& text, unsigned long long hi, uint32_t& out) {
  if (text.empty()) return false;
  const char* s = text.c_str();
  int base = 10;
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s += 2;
  }
  if (!std::isxdigit(static_cast<unsigned char>(*s))) return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(s, &end, base);
  if (errno != 0 || *end != '\0' || v > hi) return false;
  out = uint32_t(v);
  return true;
}

// "a/b[/c]" into numbers.
bool ParseParts(const std::string& text, size_t count, std::vector<uint32_t>& out) {
  out.clear();
  size_t pos = 0;
  for (;;) {
    const size_t slash = text.find('/', pos);
    uint32_t v = 0;
    if (!ParseUnsigned(text.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos), 0xFFFFFFFFull, v))
      return false;
    out.push_back(v);
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }
  return out.size() == count;
}

// UTF-8 text of the file as the module's single-byte (Latin-1) text.
std::string ToLatin1(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += char(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      out += char(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      out += '?';
      while (i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
    }
  }
  return out;
}

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

// "key=value" words after the keyword; false with why for a word without "=".
bool KeyValues(const std::vector<std::string>& w, size_t from, std::vector<std::pair<std::string, std::string>>& out,
               std::string& why) {
  for (size_t i = from; i < w.size(); ++i) {
    const size_t eq = w[i].find('=');
    if (eq == std::string::npos) {
      why = "expected key=value, got '" + w[i] + "'";
      return false;
    }
    out.push_back({Lower(w[i].substr(0, eq)), w[i].substr(eq + 1)});
  }
  return true;
}

bool ParseClock(const std::string& value, SimClockConfig& clock) {
  clock = SimClockConfig{};
  clock.present = true;
  if (Lower(value) == "now") {
    clock.fromPcTime = true;
    return true;
  }
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  const int n = std::sscanf(value.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  if (n != 3 && n != 5 && n != 6) return false;
  if (y < 2000 || y > 2255 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return false;
  clock.year = uint8_t(y - 2000), clock.month = uint8_t(mo), clock.day = uint8_t(d);
  clock.hour = uint8_t(h), clock.minute = uint8_t(mi), clock.second = uint8_t(s);
  return true;
}

bool MemoryStatement(const std::vector<std::string>& w, SimModuleConfig& m, std::string& why) {
  if (w.size() != 4) {
    why = "expected: memory flash|eeprom <address> hex=<bytes>|text=<text>|pattern=<length>";
    return false;
  }
  SimMemoryFill fill;
  const std::string kind = Lower(w[1]);
  if (kind != "flash" && kind != "eeprom") {
    why = "memory must be flash or eeprom";
    return false;
  }
  fill.memoryType = kind == "flash" ? Wire::VORN_MEMORY_FLASH : Wire::VORN_MEMORY_EEPROM;
  if (!ParseUnsigned(w[2], 0xFFFFFF, fill.address)) {
    why = "memory address must be 0..0xFFFFFF";
    return false;
  }
  const size_t eq = w[3].find('=');
  const std::string key = Lower(w[3].substr(0, eq == std::string::npos ? 0 : eq));
  const std::string value = eq == std::string::npos ? "" : w[3].substr(eq + 1);
  if (key == "hex") {
    if (value.empty() || value.size() % 2 != 0) {
      why = "hex= needs pairs of hexadecimal digits";
      return false;
    }
    for (size_t i = 0; i < value.size(); i += 2) {
      uint32_t b = 0;
      if (!ParseUnsigned("0x" + value.substr(i, 2), 0xFF, b)) {
        why = "bad hexadecimal byte '" + value.substr(i, 2) + "'";
        return false;
      }
      fill.bytes.push_back(uint8_t(b));
    }
  } else if (key == "text") {
    const std::string latin1 = ToLatin1(value);
    fill.bytes.assign(latin1.begin(), latin1.end());
  } else if (key == "pattern") {
    if (!ParseUnsigned(value, 0x1000000, fill.patternLength) || fill.patternLength == 0) {
      why = "pattern= needs a length 1..0x1000000";
      return false;
    }
  } else {
    why = "expected hex=, text= or pattern=";
    return false;
  }
  m.service.memory.push_back(fill);
  return true;
}

// An SMS entry as the module keeps it: 4 bytes, phone (26), text (161), zeros up to the entry size.
bool SmsEntryStatement(const std::vector<std::string>& w, SimModuleConfig& m, std::string& why) {
  const SimSmsLayout& sms = m.service.sms;
  uint32_t index = 0;
  if (sms.count < 0) {
    why = "smsentry needs sms= on the module line";
    return false;
  }
  if (w.size() < 2 || !ParseUnsigned(w[1], 0xFFFF, index) || int(index) >= sms.count) {
    why = "smsentry index must be below the SMS count";
    return false;
  }
  std::vector<std::pair<std::string, std::string>> kv;
  if (!KeyValues(w, 2, kv, why)) return false;
  std::string phone, text;
  for (const auto& [key, value] : kv) {
    if (key == "phone") phone = ToLatin1(value);
    else if (key == "text") text = ToLatin1(value);
    else {
      why = "unknown smsentry key '" + key + "'";
      return false;
    }
  }
  if (phone.size() > 25 || text.size() > 160) {
    why = "smsentry: phone up to 25, text up to 160 characters";
    return false;
  }
  SimMemoryFill fill;
  fill.memoryType = sms.memoryType;
  fill.address = sms.address + index * sms.entrySize;
  fill.bytes.assign(std::max<uint32_t>(sms.entrySize, 1), 0);
  for (size_t i = 0; i < phone.size() && 4 + i < fill.bytes.size(); ++i) fill.bytes[4 + i] = uint8_t(phone[i]);
  for (size_t i = 0; i < text.size() && 30 + i < fill.bytes.size(); ++i) fill.bytes[30 + i] = uint8_t(text[i]);
  m.service.memory.push_back(fill);
  return true;
}

bool LinSlaveStatement(const std::vector<std::string>& w, SimModuleConfig& m, std::string& why) {
  if (m.type != Wire::VORN_LIN_MASTER_TYPE) {
    why = "linslave needs a LIN master (type 133) on the line before";
    return false;
  }
  std::vector<std::pair<std::string, std::string>> kv;
  if (!KeyValues(w, 1, kv, why)) return false;
  SimLinSlave slave;
  bool node = false, type = false;
  for (const auto& [key, value] : kv) {
    uint32_t v = 0;
    if (key == "node" && ParseUnsigned(value, 127, v) && v >= 1) {
      slave.node = int(v);
      node = true;
    } else if (key == "type" && ParseUnsigned(value, 0xFFFF, v)) {
      slave.type = v;
      type = true;
    } else if (key == "fault") {
      const std::string f = Lower(value);
      if (f != "checksum" && f != "node" && f != "response" && f != "type" && f != "short" && f != "silent") {
        why = "fault must be checksum, node, response, type, short or silent";
        return false;
      }
      slave.fault = f;
    } else if (key == "delay" && ParseUnsigned(value, 60000, v)) {
      slave.delayMs = int(v);
    } else {
      why = "bad linslave key '" + key + "=" + value + "'";
      return false;
    }
  }
  if (!node || !type) {
    why = "a linslave needs node= and type=";
    return false;
  }
  for (const SimLinSlave& s : m.service.linSlaves)
    if (s.node == slave.node) {
      why = "two LIN slaves with node " + std::to_string(slave.node);
      return false;
    }
  m.service.linSlaves.push_back(slave);
  return true;
}

}  // namespace

int ServiceKey_Apply(SimModuleConfig& m, const std::string& key, const std::string& value, std::string& why) {
  SimServiceConfig& s = m.service;
  std::vector<uint32_t> parts;
  if (key == "rtc") {
    if (ParseClock(value, s.clock)) return 1;
    why = "rtc must be YYYY-MM-DD[Thh:mm[:ss]] (2000..2255) or now";
  } else if (key == "serials") {
    if (ParseParts(value, 2, parts)) {
      s.hasSerials = true;
      s.userSerial = parts[0];
      s.manufSerial = parts[1];
      return 1;
    }
    why = "serials must be <user>/<manufacturer>";
  } else if (key == "sms") {
    if (ParseParts(value, 3, parts) && parts[0] <= 255 && parts[1] <= 0xFFFFFF && parts[2] >= 1 && parts[2] <= 0xFFFF) {
      s.sms.count = int(parts[0]);
      s.sms.address = parts[1];
      s.sms.entrySize = parts[2];
      return 1;
    }
    why = "sms must be <count 0..255>/<address>/<entry size 1..65535>";
  } else if (key == "memaccess") {
    if (value == "0" || value == "1") {
      s.memoryAccess = value == "1";
      return 1;
    }
    why = "memaccess must be 0 or 1";
  } else {
    return -1;
  }
  return 0;
}

std::string ServiceKey_Format(const SimModuleConfig& m) {
  const SimServiceConfig& s = m.service;
  std::string out;
  char buf[96];
  if (s.clock.present) {
    if (s.clock.fromPcTime) {
      out += " rtc=now";
    } else {
      std::snprintf(buf, sizeof buf, " rtc=%04d-%02d-%02dT%02d:%02d:%02d", 2000 + s.clock.year, s.clock.month,
                    s.clock.day, s.clock.hour, s.clock.minute, s.clock.second);
      out += buf;
    }
  }
  if (s.hasSerials) out += " serials=" + std::to_string(s.userSerial) + "/" + Hex(s.manufSerial);
  if (s.sms.count >= 0)
    out += " sms=" + std::to_string(s.sms.count) + "/" + Hex(s.sms.address) + "/" + std::to_string(s.sms.entrySize);
  if (s.memoryAccess) out += " memaccess=1";
  return out;
}

bool ServiceStatement_Is(const std::string& keyword) {
  return keyword == "memory" || keyword == "smsentry" || keyword == "linslave";
}

bool ServiceStatement_Apply(const std::vector<std::string>& w, SimModuleConfig& m, std::string& why) {
  const std::string keyword = Lower(w[0]);
  if (keyword == "memory") return MemoryStatement(w, m, why);
  if (keyword == "smsentry") return SmsEntryStatement(w, m, why);
  return LinSlaveStatement(w, m, why);
}

std::string ServiceStatement_Format(const SimModuleConfig& m) {
  std::string out;
  for (const SimMemoryFill& fill : m.service.memory) {
    out += std::string("memory ") + (fill.memoryType == Wire::VORN_MEMORY_FLASH ? "flash " : "eeprom ") + Hex(fill.address);
    if (fill.patternLength > 0) {
      out += " pattern=" + std::to_string(fill.patternLength) + "\n";
      continue;
    }
    out += " hex=";
    char two[3];
    for (uint8_t b : fill.bytes) {
      std::snprintf(two, sizeof two, "%02X", b);
      out += two;
    }
    out += "\n";
  }
  for (const SimLinSlave& s : m.service.linSlaves) {
    out += "linslave node=" + std::to_string(s.node) + " type=" + std::to_string(s.type);
    if (!s.fault.empty()) out += " fault=" + s.fault;
    if (s.delayMs > 0) out += " delay=" + std::to_string(s.delayMs);
    out += "\n";
  }
  return out;
}
