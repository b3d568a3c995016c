#include "logger/LogLine.h"

#include <cstdio>

#include "protocol/VornProtCommands.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// At least minDigits upper-case hexadecimal digits, like "%0<n>X".
void appendHex(std::string& out, uint32_t value, int minDigits) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = kHexDigits[value & 15];
    value >>= 4;
  } while (value && n < 8);
  for (int pad = minDigits - n; pad > 0; --pad) out += '0';
  while (n > 0) out += digits[--n];
}

void appendUnsigned(std::string& out, uint64_t value) {
  char digits[20];
  int n = 0;
  do {
    digits[n++] = char('0' + value % 10);
    value /= 10;
  } while (value);
  while (n > 0) out += digits[--n];
}

// "%ld.%03ld": seconds and milliseconds since the time base; a frame stamped
// before the base shows as "-1.500" rather than with two signs.
void appendTime(const LogEntry& entry, std::string& out) {
  if (entry.rawTime) {
    appendUnsigned(out, entry.time);
    return;
  }
  int64_t ms = int32_t(entry.time);
  if (ms < 0) {
    out += '-';
    ms = -ms;
  }
  appendUnsigned(out, uint64_t(ms / 1000));
  out += '.';
  const int frac = int(ms % 1000);
  out += char('0' + frac / 100);
  out += char('0' + frac / 10 % 10);
  out += char('0' + frac % 10);
}

// The node-prefixed CANopen names, by COB-ID range of 0x80 from 0x080 up;
// nullptr where the range has its own rule.
const char* const kRangeNames[16] = {
    nullptr,    "Emgcy",   "RxPDO5", "TxPDO1", "RxPDO1", "TxPDO2", "RxPDO2", "TxPDO3",
    "RxPDO3",   "TxPDO4",  "RxPDO4", "TxSDO",  "RxSDO",  nullptr,  nullptr,  "TxPDO5"};

const char* nmtCommand(uint32_t command) {
  switch (command) {
    case 1: return "start";
    case 2: return "stop";
    case 129:
    case 130: return "reset";
    default: return "(?)";
  }
}

void appendNodeName(std::string& out, uint32_t node, const char* name) {
  appendUnsigned(out, node);
  out += ": ";
  out += name;
}

bool hasErrorData(const LogEntry& entry) {
  return entry.isEvent() && entry.id == kEventBusError && entry.len > 0;
}

void appendDataColumn(const LogEntry& entry, std::string& out) {
  if (entry.isRemote() || (entry.isEvent() && !hasErrorData(entry))) return;
  for (int i = 0; i < entry.len; ++i) {
    appendHex(out, entry.data[i], 2);
    out += ' ';
  }
}

}  // namespace

const char* LogLine_TimeHeader(bool rawTime) { return rawTime ? "Timestamp" : "Time (s.ms)"; }

const char* LogLine_ColumnHeader(int column, bool rawTime) {
  switch (column) {
    case kColTime: return LogLine_TimeHeader(rawTime);
    case kColCobId: return "COB-ID";
    case kColLen: return "Len";
    case kColData: return "Data";
    case kColCanOpen: return "CANopen";
    default: return "";
  }
}

std::string LogLine_EventText(uint32_t code, int bus) {
  if (code & kEventBusError) {
    std::string text = "** Bus error:";
    if (code & kEventBusOff) text += " BOFF";
    if (code & kEventBusErr) text += " BERR";
    if (code & kEventAckErr) text += " ACK";
    if (code & kEventBusReset) text += " RST";
    return text;
  }
  const char* base = nullptr;
  bool withBus = false;
  switch (code) {
    case kEventStart: base = "-- START"; withBus = true; break;
    case kEventStop: base = "-- STOP"; break;
    case kEventContinue: base = "-- CONTINUE"; withBus = true; break;
    case kEventRestart: base = "-- RESTART"; withBus = true; break;
    case kEventReset: base = "-- RESET"; break;
    case kEventOverflow: base = "-- DISPLAY OVERFLOW"; break;
    default: return "";
  }
  std::string text = base;
  if (withBus && bus >= 0) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, " (CAN %d)", bus);
    text += suffix;
  }
  return text;
}

void LogLine_AppendCanOpen(const LogEntry& entry, bool factoryMode, std::string& out) {
  const uint32_t cob = entry.id & CANMSG_ID_MASK;
  const uint32_t node = cob & 0x7F;
  if (cob == 0) {
    if (entry.len != 2) {
      out += "NMT";
      return;
    }
    const uint32_t addressed = entry.data[1];
    if (addressed != 0) {
      appendUnsigned(out, addressed);
      out += ": ";
    }
    out += "NMT ";
    out += nmtCommand(entry.data[0]);
    return;
  }
  if (cob == 0x080) {
    out += "SYNC";
    return;
  }
  if (cob > 0x7FF) {
    out += "(?)";
    return;
  }
  const uint32_t range = cob >> 7;
  const uint32_t vornBase = VORN_PROT_DEFAULT_BASE_ID;
  if (cob >= vornBase && cob <= vornBase + VORN_PROT_MAX_NODE) {
    if (factoryMode)
      appendNodeName(out, node, "VnProt");
    else
      out += "(?)";
    return;
  }
  if (range == 0xE) {  // 0x700..0x77F
    const bool bootup = entry.len >= 1 && entry.data[0] == 0 && !entry.isRemote();
    appendNodeName(out, node, bootup ? "Bootup" : "NodeGuarding");
    return;
  }
  const char* name = kRangeNames[range];
  if (name)
    appendNodeName(out, node, name);
  else
    out += "(?)";
}

void LogLine_AppendColumn(const LogEntry& entry, int column, const std::string& eventText,
                          bool factoryMode, std::string& out) {
  switch (column) {
    case kColTime:
      if (entry.isEvent())
        out += eventText;
      else
        appendTime(entry, out);
      break;
    case kColCobId:
      if (!entry.isEvent()) appendHex(out, entry.id & CANMSG_ID_MASK, entry.id & CANMSG_FLAG_LONG ? 8 : 3);
      break;
    case kColLen:
      if (entry.isEvent()) break;
      if (entry.isRemote() && entry.len == 0) {
        out += "RTR";
      } else {
        if (entry.isRemote()) out += 'R';
        appendUnsigned(out, entry.len);
      }
      break;
    case kColData: appendDataColumn(entry, out); break;
    case kColCanOpen:
      if (!entry.isEvent()) LogLine_AppendCanOpen(entry, factoryMode, out);
      break;
    default: break;
  }
}

std::string LogLine_Column(const LogEntry& entry, int column, const std::string& eventText,
                           bool factoryMode) {
  std::string out;
  LogLine_AppendColumn(entry, column, eventText, factoryMode, out);
  return out;
}

void LogLine_AppendFileLine(const LogEntry& entry, const std::string& eventText, bool factoryMode,
                            std::string& out) {
  // "%-10S": the time or the event text, at least ten characters wide.
  const size_t start = out.size();
  if (entry.isEvent())
    out += eventText;
  else
    appendTime(entry, out);
  for (size_t width = out.size() - start; width < 10; ++width) out += ' ';

  if (!entry.isEvent()) {
    out += "  [";
    appendHex(out, entry.id & CANMSG_ID_MASK, 3);
    out += entry.isRemote() ? "] R" : "] #";
    appendUnsigned(out, entry.len);
    out += ' ';
    const int shown = entry.isRemote() ? 0 : entry.len;
    for (int i = 0; i < shown; ++i) {
      out += '[';
      appendHex(out, entry.data[i], 2);
      out += ']';
    }
    for (int i = shown; i < 8; ++i) out += "    ";
  } else if (hasErrorData(entry)) {
    // An error report without a known kind keeps its bytes in the file too.
    out += "  ";
    for (int i = 0; i < entry.len; ++i) {
      out += '[';
      appendHex(out, entry.data[i], 2);
      out += ']';
    }
  }
  out += "    ";
  if (!entry.isEvent()) LogLine_AppendCanOpen(entry, factoryMode, out);
  out += '\n';
}

LogEntry LogEntry_FromFrame(const CanMsg& msg) {
  LogEntry entry;
  entry.kind = LogEntry::Frame;
  entry.id = msg.id;
  entry.len = uint8_t(msg.len > 8 ? 8 : msg.len);
  for (int i = 0; i < 8; ++i) entry.data[i] = uint8_t(msg.data[i]);
  return entry;
}
