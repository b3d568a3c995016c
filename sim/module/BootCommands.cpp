// The bootloader's commands: firmware status, block transfers, transfer
// status, code start address and the command key. Block transfers are
// answered in the bootloader only, unless the firmware was built with memory
// access; the code start address is known to both.
#include "module/Bootloader.h"
#include "module/SimModule.h"
#include "protocol/WireConstants.h"

using namespace Wire;

namespace {

// The bootloader of m, following the module's processor type.
Bootloader& Boot(SimModule& m) {
  Bootloader& b = m.bootloader();
  if (b.cpuCode() != m.config().cpu) b.setCpu(m.config().cpu);
  return b;
}

bool TakesTransfers(SimModule& m) { return !m.firmwareRunning() || m.bootloader().memoryAccessInFirmware; }

void StatusReply(SimModule& m, const ModuleRequest& rq) {
  BootStatus s = Boot(m).takeStatus();
  m.reply(rq, {s.error, 0, 0, 0, s.checkMode, uint8_t(s.checkValue >> 8), uint8_t(s.checkValue & 0xFF)});
}

void BlockStart(SimModule& m, const ModuleRequest& rq) {
  const SimFrame& f = rq.frame;
  if (!TakesTransfers(m) || rq.wantsReply || f.len < 8) return;
  uint32_t address = uint32_t(f.data[4]) << 24 | uint32_t(f.data[5]) << 16 | uint32_t(f.data[6]) << 8 | f.data[7];
  Boot(m).startTransfer(f.data[1], address);
  if (rq.wantsAck) m.acknowledge(rq);
}

// 0xA1 reads the next seven bytes; 0x21 and 0x61 write seven.
void BlockData(SimModule& m, const ModuleRequest& rq) {
  if (!TakesTransfers(m)) return;
  if (rq.wantsReply) {
    uint8_t bytes[7];
    Boot(m).readNext(bytes);
    m.reply(rq, bytes);
    return;
  }
  if (rq.frame.len < 8) return;
  Boot(m).writeData(&rq.frame.data[1], 7, !rq.wantsAck);
  if (rq.wantsAck) m.acknowledge(rq);
}

// 0xA2 ends the block and reports the status; 0x62 writes the last bytes with an acknowledgement.
void BlockEnd(SimModule& m, const ModuleRequest& rq) {
  const SimFrame& f = rq.frame;
  if (!TakesTransfers(m) || f.len < 8) return;
  int count = f.data[1];
  Boot(m).endBlock(&f.data[2], count <= 6 ? count : -1);
  if (rq.wantsReply)
    StatusReply(m, rq);
  else if (rq.wantsAck)
    m.acknowledge(rq);
}

void BlockStatus(SimModule& m, const ModuleRequest& rq) {
  if (TakesTransfers(m) && rq.wantsReply) StatusReply(m, rq);
}

void CodeStart(SimModule& m, const ModuleRequest& rq) {
  if (!rq.wantsReply) return;
  uint32_t a = Boot(m).codeStart();
  m.reply(rq, {0, 0, 0, uint8_t(a >> 24), uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a)});
}

void BootCommand(SimModule& m, const ModuleRequest& rq) {
  if (m.firmwareRunning() || !rq.wantsReply) return;
  int keyLength = rq.frame.len > 1 ? rq.frame.len - 1 : 0;
  uint8_t error = Boot(m).bootCommand(&rq.frame.data[1], keyLength);
  m.reply(rq, {error, 0, 0, 0, 0, 0, 0});
}

}  // namespace

void InstallBootCommands(SimModule& module) {
  // Code 5 is shared: the module info request (reply) stays with the standard
  // handler, the firmware status (acknowledgement) belongs to the bootloader.
  SimModule::Handler moduleInfo = module.handler(VORN_CODE_MODULE_INFO);
  module.setHandler(VORN_CODE_MODULE_INFO, [moduleInfo](SimModule& m, const ModuleRequest& rq) {
    if (rq.wantsReply || !rq.wantsAck) {
      if (moduleInfo) moduleInfo(m, rq);
      return;
    }
    const SimFrame& f = rq.frame;
    if (m.firmwareRunning() || f.len < 8 || f.data[7] > 1) return;
    Boot(m).setFirmwareStatus(f.data[7] == 1, m.config());
    m.acknowledge(rq);
  });
  module.setHandler(VORN_CODE_BLOCK_START, BlockStart);
  module.setHandler(VORN_CODE_BLOCK_DATA, BlockData);
  module.setHandler(VORN_CODE_BLOCK_END, BlockEnd);
  module.setHandler(VORN_CODE_BLOCK_STATUS, BlockStatus);
  module.setHandler(VORN_CODE_CODE_START, CodeStart);
  module.setHandler(VORN_CODE_BOOT_COMMAND, BootCommand);
}
