#include "module/SimModule.h"

#include <utility>

#include "module/Bootloader.h"
#include "module/IoChannels.h"
#include "protocol/WireConstants.h"

using namespace Wire;

SimDate SimDate::make(int fullYear, int month, int day, int hour, int minute, int second) {
  SimDate d;
  d.century = static_cast<uint8_t>(fullYear / 100);
  d.year = static_cast<uint8_t>(fullYear % 100);
  d.month = static_cast<uint8_t>(month);
  d.day = static_cast<uint8_t>(day);
  d.hour = static_cast<uint8_t>(hour);
  d.minute = static_cast<uint8_t>(minute);
  d.second = static_cast<uint8_t>(second);
  return d;
}

SimModuleConfig SimModuleConfig::make(int bus, int node, uint32_t type, uint8_t busBitRateCode) {
  SimModuleConfig c;
  c.bus = bus;
  c.node = node;
  c.type = type;
  c.dipNodeSwitches = static_cast<uint8_t>(node);
  c.dipBaudSwitches = busBitRateCode;
  c.eepromNode = static_cast<uint8_t>(node);
  c.eepromBaud = busBitRateCode;
  return c;
}

namespace {
// A format-38 module can be given a Modbus node id above 127; it then answers
// on base + node as on any other node.
bool ValidNode(int node) { return node >= 1 && node <= VORN_PROT_MAX_MODBUS_NODE; }
}  // namespace

SimModule::SimModule(int id, const SimModuleConfig& config)
    : id_(id), config_(config), node_(config.node), factoryNode_(config.node), state_(config.state) {
  for (const SimObject& object : config_.objects) objects_.set(object);
  config_.objects.clear();  // the dictionary is the one place that holds them now
  bootloader_ = std::make_shared<Bootloader>(config_.cpu);
  InstallStandardCommands(*this);
  InstallBootCommands(*this);
  InstallIoCommands(*this);
  InstallServiceCommands(*this);
  applyBusParameters(true);
  node_ = config.node;  // the configured node is what the module powers up with
}

uint8_t SimModule::state() const {
  if (!searchMode_) return state_;
  return static_cast<uint8_t>((state_ & ~VORN_STATE_MASK) | VORN_STATE_SEARCH_MODE);
}

bool SimModule::offBus(uint8_t busBitRateCode) const {
  return bitRateIndex_ >= 0 && bitRateIndex_ != busBitRateCode;
}

void SimModule::setHandler(uint8_t code, Handler handler) {
  handlers_[code & VORN_CODE_MASK] = std::move(handler);
}

uint32_t SimModule::baseId() const { return host_ ? host_->baseId() : VORN_PROT_BASE_ID; }

void SimModule::receive(const SimFrame& frame) {
  if (!host_ || frame.isControl()) return;
  if (frame.id & 0x60000000u) return;  // error reports and remote frames carry no request
  if (frame.len == 0 || rebooting_ || offBus(host_->busBitRateCode(config_.bus))) return;
  uint32_t base = baseId();
  uint32_t id = frame.id & 0x1FFFFFFFu;
  if (id < base || id > base + MODBUS_MAX_ADDRESS) return;
  int target = static_cast<int>(id - base);

  ModuleRequest rq;
  rq.frame = frame;
  rq.command = frame.data[0];
  if ((rq.command & VORN_ACK_FLAGS) == VORN_ACK_FLAGS) return;  // an acknowledgement, not a request
  rq.code = rq.command & VORN_CODE_MASK;
  rq.wantsReply = (rq.command & VORN_FLAG_REPLY) != 0;
  rq.wantsAck = (rq.command & VORN_FLAG_ACK) != 0;
  rq.toNodeZero = target == 0;
  if (target != node_) {
    if (target != 0) return;
    // Node 0: every module hears the identify broadcast; anything else there
    // is meant for the module whose front button was pressed.
    if (rq.code != VORN_CODE_IDENTIFY && !searchMode_) return;
  }
  // Answers go on the module's own identifier, except for what a module in
  // search mode answers on node 0 (the program knows it only as node 0).
  bool answerOnZero = rq.toNodeZero && rq.code != VORN_CODE_IDENTIFY;
  rq.answerId = base + (answerOnZero ? 0 : node_);

  const Handler& handler = handlers_[rq.code];
  if (!handler) return;
  ++requests_;
  handler(*this, rq);
}

void SimModule::reply(const ModuleRequest& rq, std::initializer_list<uint8_t> bytes) {
  uint8_t b[7] = {};
  int i = 0;
  for (uint8_t v : bytes) {
    if (i < 7) b[i++] = v;
  }
  reply(rq, b);
}

void SimModule::reply(const ModuleRequest& rq, const uint8_t bytes[7]) {
  if (!host_) return;
  SimFrame f;
  f.id = rq.answerId;
  f.bus = static_cast<uint8_t>(config_.bus);
  f.len = VORN_PROT_REPLY_LEN;
  f.data[0] = rq.code;
  for (int i = 0; i < 7; ++i) f.data[i + 1] = bytes[i];
  host_->transmit(*this, f, config_.responseDelayUs);
}

void SimModule::acknowledge(const ModuleRequest& rq) {
  if (!host_) return;
  SimFrame f = rq.frame;
  f.id = rq.answerId;
  f.bus = static_cast<uint8_t>(config_.bus);
  f.data[0] = static_cast<uint8_t>(rq.command | VORN_ACK_FLAGS);
  host_->transmit(*this, f, config_.responseDelayUs);
}

void SimModule::restart(bool firmware, bool keepSearchMode) {
  if (!host_ || rebooting_) return;
  rebooting_ = true;
  ++restarts_;
  if (bootloader_->faults().neverReturnFromReset) return;  // stays silent for good
  if (host_->rebootTimeUs() <= 0) {  // back at once: no silent moment at all
    finishRestart(firmware, keepSearchMode);
    return;
  }
  host_->startTimer(*this, host_->rebootTimeUs(), [firmware, keepSearchMode](SimModule& m) {
    m.finishRestart(firmware, keepSearchMode);
  });
}

void SimModule::finishRestart(bool firmware, bool keepSearchMode) {
  rebooting_ = false;
  bootloader_->onRestart();
  searchMode_ = searchMode_ && keepSearchMode;
  if (firmware && config_.firmwarePresent) {
    // The firmware comes up in the state the module was configured with.
    state_ = (config_.state & VORN_STATE_FIRMWARE_RUNNING)
                 ? config_.state
                 : static_cast<uint8_t>(VORN_STATE_FIRMWARE_RUNNING | VORN_STATE_OPERATIONAL);
  } else {
    state_ = VORN_STATE_BOOTLOADER;
  }
  applyBusParameters(true);
}

void SimModule::applyBusParameters(bool includingBitRate) {
  const SimModuleConfig& c = config_;
  bool dip = c.useDip && c.hasDipSwitches;
  int node = dip ? c.dipNodeSwitches : c.eepromNode;
  if (ValidNode(node)) {
    node_ = node;
  } else if (!dip || !ValidNode(node_)) {
    // Switches in an illegal position keep the node the module had; cleared
    // EEPROM parameters bring back the node it was delivered with.
    node_ = factoryNode_;
  }
  if (includingBitRate) {
    int rate = dip ? (c.dipBaudSwitches & 7) : c.eepromBaud;
    bitRateIndex_ = rate <= 7 ? rate : -1;
  }
}
