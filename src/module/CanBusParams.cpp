#include "module/CanBusParams.h"

#include <cctype>
#include <climits>
#include <cstdlib>

#include "bus/Interface.h"
#include "core/CanMsg.h"
#include "core/ErrorReport.h"
#include "core/TextFormat.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "protocol/VornProtText.h"
#include "ui/Ui.h"

namespace {

constexpr int kBaudCount = 8;
constexpr int kDefaultBaudIndex = 4;
constexpr int kMinNode = 2;
constexpr int kMaxNode = VORN_PROT_MAX_NODE;

bool Ask(const std::string& question, const std::string& title) {
  return Ui_MessageBox(question, title, UiButtons::OkCancel, UiIcon::Question) == UiAnswer::Ok;
}

// The write request (0x59); its acknowledgement is not examined - the refresh
// that follows shows what the module took.
void SendWrite(const ModuleRec& module, int source, int baud, int node) {
  CanMsg msg;
  VornProt_RequestMessage(msg, module.node, 8, VORN_CMD_WRITE_BUS_PARAMS,
                          {source, 0, 0, 0, 0, baud, node});
}

std::string Trimmed(const std::string& text) {
  size_t start = 0, end = text.size();
  while (start < end && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(start, end - start);
}

// All digits of the given base, at least one, at most 32 bits.
bool ParseDigits(const std::string& digits, int base, unsigned long long& value) {
  if (digits.empty()) return false;
  value = 0;
  for (char ch : digits) {
    int d;
    if (ch >= '0' && ch <= '9') d = ch - '0';
    else if (base == 16 && ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
    else if (base == 16 && ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
    else return false;
    value = value * base + d;
    if (value > 0xFFFFFFFFull) return false;
  }
  return true;
}

BusWriteResult WriteFormat38(ModuleRec& module, char action, char bus, BusTabInputs& in) {
  const char* busName = BusName(bus);
  int source = 0, baud = kBusParamsNone;
  long node = kBusParamsNone;
  std::string question, title;
  if (action == 'c') {
    question = Text_Format("Clear EEPROM %s bus parameters of module?", busName);
    title = "Clear EEPROM Parameters";
  } else {
    source = in.dipSelected ? 1 : 0;
    if (!BusParams_ParseNode38(in.nodeText, node)) node = -1;
    const std::string error = BusParams_NodeRangeError(bus, node);
    if (!error.empty()) {
      ShowErrorBox("%s", error.c_str());
      return {};
    }
    baud = BusParams_BaudIndex(in.baudText, bus);
    question = Text_Format("Set EEPROM %s bus parameters of module to\nNode ID = %ld  (%02lXh),\nBaudrate = %s?",
                           busName, node, (unsigned long)node, VornProt_BaudName(baud, bus));
    title = "Set EEPROM Parameters";
  }
  if (!Ask(question, title)) return {};
  SendWrite(module, source, baud, int(node));
  // After a clear the module decides which node it answers on; the record
  // keeps the node it was reached on until the next scan finds it again.
  if (source == 0 && action != 'c') module.node = int(node);
  return {1, true, false};
}

// DIP switches the classic write accepts: node 2..127 (0..127 in factory
// mode) and a bit-rate index 0..7.
bool DipSwitchesUsable(const BusParams& p) {
  const int lowest = FactoryMode() ? 0 : kMinNode;
  if (p.dipNode >= lowest && p.dipNode <= kMaxNode && p.dipBaud < kBaudCount) return true;
  ShowErrorBox("Error: DIP switches in illegal position.\nSet DIP switches to a Node ID\n"
               "in the range 02h...7Fh (2...127) and to a\nvalid baudrate.");
  return false;
}

BusWriteResult WriteClassic(ModuleRec& module, char bus, BusTabInputs& in) {
  if (bus != 'c') return {};
  BusWriteResult result;
  const char* busName = BusName(bus);
  const unsigned typed = BusParams_ParseDecimal(in.nodeText);
  const int source = in.dipSelected ? 1 : 0;
  const int baud = BusParams_BaudIndex(in.baudText, bus);
  int node = 0;
  std::string question;
  if (source) {
    BusParams p;
    if (!BusParams_Read(module, p)) return {};
    if (!DipSwitchesUsable(p)) return {1, false, false};
    question = Text_Format("Set %s bus parameters of module to\nNode ID = DIP,\nBaudrate = DIP?", busName);
  } else {
    node = BusParams_LimitNode(typed > unsigned(INT_MAX) ? INT_MAX : int(typed));
    if (unsigned(node) != typed) {
      in.nodeText = Text_Format("%d", node);
      result.nodeTextChanged = true;
    }
    question = Text_Format("Set %s bus parameters of module to\nNode ID = %d,\nBaudrate = %s?", busName,
                           node, VornProt_BaudName(baud, bus));
  }
  if (!Ask(question, Text_Format("Set %s Parameters", busName))) return result;
  if (source) {
    // The switches are read again for the node to send; set while the
    // question was open, they are checked again too.
    BusParams p;
    if (!BusParams_Read(module, p)) return result;
    if (!DipSwitchesUsable(p)) return {1, false, result.nodeTextChanged};
    node = p.dipNode;
  }
  SendWrite(module, source, baud, node);
  if (module.bus == 'c') module.node = node;
  result.refresh = 1;
  result.sent = true;
  return result;
}

}  // namespace

BusParams BusParams_Decode(const CanMsg& reply) {
  BusParams p;
  p.dipActive = reply.data[1] != 0;
  p.format = int(reply.data[2] & 0xFF);
  p.dipBaud = int(reply.data[3] & 0xFF);
  p.dipNode = int(reply.data[4] & 0xFF);
  p.eepromBaud = int(reply.data[6] & 0xFF);
  p.eepromNode = int(reply.data[7] & 0xFF);
  return p;
}

int BusParams_Read(const ModuleRec& module, BusParams& params) {
  CanMsg msg;
  if (!VornProt_RequestMessage(msg, module.node, 1, VORN_CMD_READ_BUS_PARAMS)) return 0;
  params = BusParams_Decode(msg);
  return 1;
}

int BusParams_LimitNode(int node) {
  if (node < kMinNode) return kMinNode;
  if (node > kMaxNode) return kMaxNode;
  return node;
}

std::vector<std::string> BusParams_BaudNames(char bus) {
  std::vector<std::string> names;
  for (int i = 0; i < kBaudCount; ++i) names.emplace_back(VornProt_BaudName(i, bus));
  return names;
}

int BusParams_BaudIndex(const std::string& text, char bus) {
  int found = kDefaultBaudIndex;
  for (int i = 0; i < kBaudCount; ++i)
    if (text == VornProt_BaudName(i, bus)) found = i;
  return found;
}

unsigned BusParams_ParseDecimal(const std::string& text) {
  const std::string t = Trimmed(text);
  unsigned long long value = 0;
  size_t i = 0;
  if (i < t.size() && t[i] == '+') ++i;
  if (i == t.size() || !std::isdigit(static_cast<unsigned char>(t[i]))) return 0;
  for (; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i) {
    value = value * 10 + unsigned(t[i] - '0');
    if (value > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  }
  // Anything after the digits makes the text no number at all.
  return i == t.size() ? unsigned(value) : 0;
}

bool BusParams_ParseNode38(const std::string& text, long& node) {
  const std::string t = Trimmed(text);
  unsigned long long value = 0;
  const bool hex = t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
  if (!ParseDigits(hex ? t.substr(2) : t, hex ? 16 : 10, value)) return false;
  node = long(value);
  return true;
}

std::string BusParams_NodeRangeError(char bus, long node) {
  switch (bus) {
    case 'c':
      if (node >= kMinNode && node <= kMaxNode) return "";
      return "Error: Node-ID outside range 02h...7Fh (2...127).";
    case 'm':
      if (node >= 1 && node <= 240) return "";
      return "Error: Node-ID outside range 01h...F0h (1...240).";
    default:
      // Other buses have no range of their own, but the node must fit its byte.
      if (node >= 0 && node <= 255) return "";
      return "Error: Node-ID outside range 00h...FFh (0...255).";
  }
}

BusTabView BusTab_EmptyView() { return BusTabView{}; }

BusTabView BusTab_ViewOf(const BusParams& p) {
  BusTabView v;
  v.dipSelected = p.dipActive;
  if (p.format == kBusParamsFormat38) {
    v.format38 = true;
    const bool eeprom = !p.dipActive;
    v.fieldsEnabled = v.writeEnabled = v.clearEnabled = eeprom;
    v.clearVisible = true;
    v.nodeText = Text_Format("%d", p.eepromNode);
    v.baudIndex = p.eepromBaud < kBaudCount ? p.eepromBaud : -1;
    return v;
  }
  v.dipEnabled = !(p.dipBaud == kBusParamsNone && p.dipNode == kBusParamsNone);
  v.eepromEnabled = true;
  v.writeEnabled = true;
  if (p.dipActive) {
    v.nodeText = Text_Format("%d", p.dipNode);
    v.baudIndex = p.dipBaud < kBaudCount ? p.dipBaud : -1;
  } else {
    v.nodeText = Text_Format("%d", BusParams_LimitNode(p.eepromNode));
    v.baudIndex = p.eepromBaud < kBaudCount ? p.eepromBaud : -1;
    v.fieldsEnabled = true;
  }
  return v;
}

BusSourceView BusTab_SourceChosen(const ModuleRec& module, bool dip) {
  BusSourceView v;
  BusParams p;
  const bool read = BusParams_Read(module, p) != 0;
  if (read && p.format == kBusParamsFormat38) return v;
  v.apply = true;
  v.fieldsEnabled = !dip;
  if (!read) return v;
  v.haveValues = true;
  const int node = dip ? p.dipNode : BusParams_LimitNode(p.eepromNode);
  const int baud = dip ? p.dipBaud : p.eepromBaud;
  v.nodeText = Text_Format("%d", node);
  v.baudIndex = baud < kBaudCount ? baud : -1;
  return v;
}

BusWriteResult BusTab_WriteParams(ModuleRec& module, bool format38, char action, char bus,
                                  BusTabInputs& inputs) {
  return format38 ? WriteFormat38(module, action, bus, inputs) : WriteClassic(module, bus, inputs);
}
