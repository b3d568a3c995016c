// The commands every simulated module understands. Each handler sees the
// request and decides from its flags whether to reply, acknowledge or stay silent.
#include "module/SimModule.h"
#include "protocol/WireConstants.h"

using namespace Wire;

namespace {

// Identify (code 0) and search (code 2) replies share one layout.
void SendIdentity(SimModule& m, const ModuleRequest& rq) {
  const SimModuleConfig& c = m.config();
  bool extended = c.extendedType || c.type > 0xFF;
  uint8_t typeHigh = extended ? static_cast<uint8_t>(c.type >> 8) : 0;
  uint8_t marker = extended ? 0 : 0xFF;  // a non-zero byte 5: byte 4 is not part of the type
  m.reply(rq, {m.state(), static_cast<uint8_t>(c.type & 0xFF), c.hwVersion, typeHigh, marker, 0, 0});
}

void Identify(SimModule& m, const ModuleRequest& rq) {
  if (rq.wantsReply) SendIdentity(m, rq);
}

// Only a module in search mode answers, and only on node 0.
void Search(SimModule& m, const ModuleRequest& rq) {
  if (rq.wantsReply && rq.toNodeZero && m.searchMode()) SendIdentity(m, rq);
}

void Restart(SimModule& m, const ModuleRequest& rq) {
  if (rq.frame.len < 2) return;
  uint8_t target = rq.frame.data[1];
  bool firmware;
  bool keepSearch = false;
  switch (target) {
    case VORN_RESTART_TO_BOOTLOADER: firmware = false; break;
    case VORN_RESTART_TO_FIRMWARE: firmware = true; break;
    case VORN_RESTART_SEARCH_TO_BOOTLOADER: firmware = false; keepSearch = true; break;
    case VORN_RESTART_SEARCH_TO_FIRMWARE: firmware = true; keepSearch = true; break;
    default: return;  // not a restart target: ignored
  }
  if (rq.wantsAck) m.acknowledge(rq);
  m.restart(firmware, keepSearch);
}

void FlashLed(SimModule& m, const ModuleRequest& rq) {
  m.countFlash(rq.frame.len >= 8 ? rq.frame.data[7] : 0);
  if (rq.wantsAck) m.acknowledge(rq);
}

void ModuleInfo(SimModule& m, const ModuleRequest& rq) {
  if (!rq.wantsReply) return;
  const SimModuleConfig& c = m.config();
  bool fw = c.firmwarePresent;
  m.reply(rq, {m.state(), c.bootMajor, c.bootMinor, fw ? c.fwMajor : uint8_t(255),
               fw ? c.fwMinor : uint8_t(255), c.cpu, uint8_t(fw ? 1 : 0)});
}

void BusParameters(SimModule& m, const ModuleRequest& rq) {
  SimModuleConfig& c = m.config();
  if (rq.wantsReply) {
    uint8_t dipBaud = c.hasDipSwitches ? static_cast<uint8_t>(c.dipBaudSwitches & 7) : VORN_BUS_PARAMS_NONE;
    uint8_t dipNode = c.hasDipSwitches ? c.dipNodeSwitches : VORN_BUS_PARAMS_NONE;
    m.reply(rq, {uint8_t(c.useDip && c.hasDipSwitches ? 1 : 0), c.paramFormat, dipBaud, dipNode, 0,
                 c.eepromBaud, c.eepromNode});
    return;
  }
  // A write: acknowledged on the identifier it came on, then the new
  // parameters apply - the node at once, the bit rate at the next restart.
  if (rq.wantsAck) m.acknowledge(rq);
  if (rq.frame.len < 8) return;
  uint8_t source = rq.frame.data[1];
  uint8_t baud = rq.frame.data[6];
  uint8_t node = rq.frame.data[7];
  if (source != 0) {
    if (c.hasDipSwitches) c.useDip = true;
  } else {
    c.useDip = false;
    if (baud == VORN_BUS_PARAMS_NONE && node == VORN_BUS_PARAMS_NONE) {
      c.eepromBaud = VORN_BUS_PARAMS_NONE;
      c.eepromNode = VORN_BUS_PARAMS_NONE;
    } else {
      if (baud <= 7) c.eepromBaud = baud;
      const int maxNode =
          c.paramFormat == VORN_BUS_PARAMS_FORMAT_NEW ? VORN_PROT_MAX_MODBUS_NODE : VORN_PROT_MAX_NODE;
      if (node >= 1 && node <= maxNode) c.eepromNode = node;
    }
  }
  m.leaveSearchMode();  // the module has been given its node: the search is over
  m.applyBusParameters(false);
}

void DateCommand(SimModule& m, const ModuleRequest& rq, SimDate& date) {
  if (rq.wantsReply) {
    m.reply(rq, {date.century, date.year, date.month, date.day, date.hour, date.minute, date.second});
    return;
  }
  if (rq.frame.len >= 8) {
    const uint8_t* d = rq.frame.data;
    date = SimDate{d[1], d[2], d[3], d[4], d[5], d[6], d[7]};
  }
  if (rq.wantsAck) m.acknowledge(rq);
}

void Switches(SimModule& m, const ModuleRequest& rq) {
  if (!rq.wantsReply) return;
  const SimModuleConfig& c = m.config();
  uint8_t baud = c.hasDipSwitches ? c.dipBaudSwitches : 0;
  uint8_t node = c.hasDipSwitches ? c.dipNodeSwitches : 0;
  m.reply(rq, {baud, node, uint8_t(c.serviceButton ? 1 : 0), 0, 0, 0, 0});
}

// Object access. Reads answer with the status flags (bit 0 writable, bit 7
// not available), the data type and the value; the bootloader knows no
// objects. Writes store as many value bytes as the request carries.
void ObjectAccess(SimModule& m, const ModuleRequest& rq) {
  const SimFrame& f = rq.frame;
  uint16_t index = static_cast<uint16_t>((f.data[1] << 8) | f.data[2]);
  uint8_t subindex = f.data[3];
  SimObject* entry = (f.len >= 4 && m.firmwareRunning()) ? m.objects().find(index, subindex) : nullptr;
  if (rq.wantsReply) {
    if (!entry) {
      m.reply(rq, {VORN_OBJECT_NOT_AVAILABLE, 0, 0, 0, 0, 0, 0});
      return;
    }
    uint8_t status = static_cast<uint8_t>((entry->statusBits & 0x7E) | (entry->writable ? VORN_OBJECT_WRITABLE : 0));
    uint32_t v = entry->value;
    m.reply(rq, {status, 0, entry->dataType, uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    return;
  }
  if (entry && entry->writable && f.len >= 5) {
    uint32_t value = 0;
    for (int i = 4; i < f.len; ++i) value |= uint32_t(f.data[i]) << (8 * (i - 4));
    entry->value = value;
  } else {
    m.countRejectedWrite();
  }
  if (rq.wantsAck) m.acknowledge(rq);
}

}  // namespace

void InstallStandardCommands(SimModule& module) {
  module.setHandler(VORN_CODE_IDENTIFY, Identify);
  module.setHandler(VORN_CODE_RESTART, Restart);
  module.setHandler(VORN_CODE_SEARCH, Search);
  module.setHandler(VORN_CODE_FLASH_LED, FlashLed);
  module.setHandler(VORN_CODE_MODULE_INFO, ModuleInfo);
  module.setHandler(VORN_CODE_BUS_PARAMS, BusParameters);
  module.setHandler(VORN_CODE_SHIPPING_DATE, [](SimModule& m, const ModuleRequest& rq) {
    DateCommand(m, rq, m.config().shippingDate);
  });
  module.setHandler(VORN_CODE_PROGRAMMING_DATE, [](SimModule& m, const ModuleRequest& rq) {
    DateCommand(m, rq, m.config().programmingDate);
  });
  module.setHandler(VORN_CODE_SWITCHES, Switches);
  module.setHandler(VORN_CODE_OBJECT, ObjectAccess);
}
