// What a simulated module does for the program's service pages: the running
// clock behind object 0x3099, the serial-number command, the SMS layout
// object, memory contents at power-up, and the LIN master's commands with the
// LIN slaves behind it.
#include <ctime>
#include <deque>
#include <memory>

#include "module/Bootloader.h"
#include "module/SimModule.h"
#include "protocol/WireConstants.h"

using namespace Wire;

namespace {

// ---- clock --------------------------------------------------------------------------

int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = int(yoe + era * 400 + (m <= 2));
}

// The clock keeps the six fields as last set and the time they were set at;
// it runs only while the fields make a valid date and time.
struct ClockState {
  uint8_t fields[7] = {};  // [1..6] as the subindices
  int64_t setAtUs = 0;

  bool valid() const {
    return fields[1] < 60 && fields[2] < 60 && fields[3] < 24 && fields[4] >= 1 && fields[4] <= 31 &&
           fields[5] >= 1 && fields[5] <= 12;
  }
  // The fields at nowUs.
  void current(int64_t nowUs, uint8_t out[7]) const {
    for (int i = 0; i < 7; ++i) out[i] = fields[i];
    if (!valid() || nowUs <= setAtUs) return;
    int64_t t = DaysFromCivil(2000 + fields[6], fields[5], fields[4]) * 86400 + fields[3] * 3600 +
                fields[2] * 60 + fields[1] + (nowUs - setAtUs) / 1000000;
    const int64_t days = t / 86400;
    t %= 86400;
    int y = 0, m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    out[1] = uint8_t(t % 60), out[2] = uint8_t(t / 60 % 60), out[3] = uint8_t(t / 3600);
    out[4] = uint8_t(d), out[5] = uint8_t(m), out[6] = uint8_t(y - 2000);
  }
};

void InitClock(SimModule& m, ClockState& clock) {
  const SimClockConfig& c = m.config().service.clock;
  uint8_t* f = clock.fields;
  if (c.fromPcTime) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    f[1] = uint8_t(local.tm_sec % 60), f[2] = uint8_t(local.tm_min), f[3] = uint8_t(local.tm_hour);
    f[4] = uint8_t(local.tm_mday), f[5] = uint8_t(local.tm_mon + 1), f[6] = uint8_t(local.tm_year % 100);
  } else {
    f[1] = c.second, f[2] = c.minute, f[3] = c.hour, f[4] = c.day, f[5] = c.month, f[6] = c.year;
  }
  for (uint8_t sub = 1; sub <= 6; ++sub) {
    SimObject o;
    o.index = VORN_OBJ_CLOCK;
    o.subindex = sub;
    o.dataType = SIM_UINT8;
    o.writable = true;
    o.value = f[sub];
    m.objects().set(o);
  }
}

// Object access to the clock: the objects show the running clock before a
// read; a write sets that field and restarts the clock from there.
void WrapObjectsForClock(SimModule& m) {
  auto clock = std::make_shared<ClockState>();
  InitClock(m, *clock);
  SimModule::Handler objects = m.handler(VORN_CODE_OBJECT);
  m.setHandler(VORN_CODE_OBJECT, [objects, clock](SimModule& mod, const ModuleRequest& rq) {
    const SimFrame& f = rq.frame;
    const bool isClock = f.len >= 4 && ((f.data[1] << 8) | f.data[2]) == VORN_OBJ_CLOCK && mod.firmwareRunning();
    const int64_t now = mod.host() ? mod.host()->nowUs() : 0;
    if (isClock) {
      uint8_t fields[7];
      clock->current(now, fields);
      for (uint8_t sub = 1; sub <= 6; ++sub)
        if (SimObject* o = mod.objects().find(VORN_OBJ_CLOCK, sub)) o->value = fields[sub];
    }
    if (objects) objects(mod, rq);
    if (isClock && !rq.wantsReply) {
      for (uint8_t sub = 1; sub <= 6; ++sub)
        if (const SimObject* o = mod.objects().find(VORN_OBJ_CLOCK, sub)) clock->fields[sub] = uint8_t(o->value);
      clock->setAtUs = now;
    }
  });
}

// ---- serial numbers ------------------------------------------------------------------

void AddSerialObjects(SimModule& m) {
  const SimServiceConfig& s = m.config().service;
  for (auto [index, value] : {std::pair{VORN_OBJ_USER_SERIAL, s.userSerial}, std::pair{VORN_OBJ_MANUF_SERIAL, s.manufSerial}}) {
    SimObject o;
    o.index = index;
    o.subindex = 0;
    o.dataType = SIM_UINT32;
    o.value = value;
    m.objects().set(o);
  }
}

// Command 9: bytes 1..3 zero for the user serial, the module's authorisation
// for the manufacturer serial; anything else is refused (counted).
void WriteSerial(SimModule& m, const ModuleRequest& rq) {
  const SimFrame& f = rq.frame;
  if (f.len < 8 || !m.firmwareRunning()) return;
  const uint32_t value = uint32_t(f.data[4]) << 24 | uint32_t(f.data[5]) << 16 | uint32_t(f.data[6]) << 8 | f.data[7];
  uint8_t auth[3];
  VornSerialAuthorisation(m.config().type, m.node(), auth);
  uint16_t index = 0;
  if (f.data[1] == 0 && f.data[2] == 0 && f.data[3] == 0)
    index = VORN_OBJ_USER_SERIAL;
  else if (f.data[1] == auth[0] && f.data[2] == auth[1] && f.data[3] == auth[2])
    index = VORN_OBJ_MANUF_SERIAL;
  SimObject* o = index ? m.objects().find(index, 0) : nullptr;
  if (o) {
    o->value = value;
    m.config().service.userSerial = index == VORN_OBJ_USER_SERIAL ? value : m.config().service.userSerial;
    m.config().service.manufSerial = index == VORN_OBJ_MANUF_SERIAL ? value : m.config().service.manufSerial;
  } else {
    m.countRejectedWrite();
  }
  if (rq.wantsAck) m.acknowledge(rq);
}

// ---- SMS table and memory --------------------------------------------------------------

void AddSmsLayout(SimModule& m) {
  const SimSmsLayout& sms = m.config().service.sms;
  const uint32_t values[3] = {uint32_t(sms.count) | uint32_t(sms.memoryType) << 24, sms.address, sms.entrySize};
  for (int i = 0; i < 3; ++i) {
    SimObject o;
    o.index = VORN_OBJ_SMS_LAYOUT;
    o.subindex = uint8_t(8 + i);
    o.dataType = SIM_UINT32;
    o.value = values[i];
    m.objects().set(o);
  }
}

void LoadMemory(SimModule& m) {
  Bootloader& boot = m.bootloader();
  for (const SimMemoryFill& fill : m.config().service.memory) {
    std::vector<uint8_t> bytes = fill.bytes;
    if (fill.patternLength > 0) {
      bytes.resize(fill.patternLength);
      for (uint32_t i = 0; i < fill.patternLength; ++i) bytes[i] = SimMemoryPattern(i);
    }
    if (fill.memoryType == VORN_MEMORY_FLASH)
      boot.loadFlash(boot.cpu().wordAddressed ? fill.address * 2 : fill.address, bytes);
    else
      boot.loadEeprom(fill.address, bytes);
  }
}

// ---- LIN master -----------------------------------------------------------------------

struct LinMasterState {
  bool prepared = false;
  std::deque<uint8_t> received;  // LIN bytes not yet polled
};

int LinChecksum(int node, const uint8_t* data, int length) {
  int sum = node + length;
  for (int i = 0; i < length; ++i) sum += data[i];
  return 15 - sum % 16;
}

// The ten bytes a slave answers a request with, as its fault makes them.
std::vector<uint8_t> SlaveAnswer(const SimLinSlave& slave) {
  const uint32_t type = slave.fault == "type" ? slave.type + 1 : slave.type;
  uint8_t data[8] = {uint8_t(slave.fault == "response" ? 0x80 : 0), 1, uint8_t(type & 0xFF), 0,
                     uint8_t((type >> 8) & 0xFF), 0, 0, 0};
  const int node = slave.fault == "node" ? slave.node + 1 : slave.node;
  int checksum = LinChecksum(node, data, 8);
  if (slave.fault == "checksum") checksum = (checksum + 1) & 0x0F;
  std::vector<uint8_t> answer = {uint8_t(node), uint8_t(checksum << 4)};
  answer.insert(answer.end(), data, data + 8);
  if (slave.fault == "short") answer.resize(6);
  return answer;
}

void LinFrame(SimModule& m, const ModuleRequest& rq, const std::shared_ptr<LinMasterState>& lin) {
  const SimFrame& f = rq.frame;
  if (!rq.wantsReply) return;
  if (f.len >= 7 && f.data[1] != 0) {
    // A LIN frame to send: the slave of that node answers, if the request is sound.
    const int node = f.data[4];
    const int length = f.data[5] & 0x0F;
    const int checksum = f.data[5] >> 4;
    const bool sound = lin->prepared && length >= 1 && 6 + length <= f.len &&
                       LinChecksum(node, &f.data[6], length) == checksum;
    m.reply(rq, {uint8_t(sound ? 0 : 1), 0, 0, 0, 0, 0, 0});
    lin->received.clear();
    if (!sound) return;
    for (const SimLinSlave& slave : m.config().service.linSlaves) {
      if (slave.node != node || slave.fault == "silent") continue;
      std::vector<uint8_t> answer = SlaveAnswer(slave);
      if (slave.delayMs <= 0 || !m.host()) {
        lin->received.insert(lin->received.end(), answer.begin(), answer.end());
      } else {
        m.host()->startTimer(m, int64_t(slave.delayMs) * 1000, [lin, answer](SimModule&) {
          lin->received.insert(lin->received.end(), answer.begin(), answer.end());
        });
      }
      break;
    }
    return;
  }
  // A poll: up to four of the bytes received.
  uint8_t out[7] = {};
  int n = 0;
  while (n < VORN_LIN_POLL_MAX && !lin->received.empty()) {
    out[3 + n++] = lin->received.front();
    lin->received.pop_front();
  }
  out[0] = uint8_t(n << 4);
  m.reply(rq, out);
}

void InstallLinMaster(SimModule& m) {
  auto lin = std::make_shared<LinMasterState>();
  m.setHandler(VORN_CODE_LIN_PREPARE, [lin](SimModule&, const ModuleRequest& rq) {
    lin->prepared = rq.frame.len >= 6;
    lin->received.clear();
  });
  m.setHandler(VORN_CODE_LIN_FRAME, [lin](SimModule& mod, const ModuleRequest& rq) { LinFrame(mod, rq, lin); });
}

}  // namespace

void InstallServiceCommands(SimModule& module) {
  const SimServiceConfig& s = module.config().service;
  if (s.clock.present) WrapObjectsForClock(module);
  if (s.hasSerials) AddSerialObjects(module);
  module.setHandler(VORN_CODE_SERIAL_NUMBER, WriteSerial);
  if (s.sms.count >= 0) AddSmsLayout(module);
  if (s.memoryAccess || s.sms.count >= 0) module.bootloader().memoryAccessInFirmware = true;
  LoadMemory(module);
  if (module.config().type == VORN_LIN_MASTER_TYPE) InstallLinMaster(module);
}
