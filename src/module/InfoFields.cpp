#include "module/InfoFields.h"

#include "core/CanMsg.h"
#include "core/DateText.h"
#include "core/TextFormat.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "protocol/VornProtText.h"
#include "ui/Ui.h"

namespace {

constexpr unsigned kNone = 255;

// The date in bytes 1..7 of a date reply.
std::string ReplyDate(const CanMsg& reply) {
  uint32_t record[8] = {};
  for (int i = 1; i < 8; ++i) record[i] = reply.data[i];
  return VornProt_DateText(record);
}

// Request 0x85 once; the record keeps the answer until infoValid is cleared.
bool ReadModuleInfo(ModuleRec& module) {
  if (module.infoValid) return true;
  CanMsg msg;
  if (!VornProt_RequestMessage(msg, module.node, 1, VORN_CMD_MODULE_INFO)) return false;
  module.state = msg.data[1];
  module.bootMajor = msg.data[2];
  module.bootMinor = msg.data[3];
  module.fwMajor = msg.data[4];
  module.fwMinor = msg.data[5];
  module.info6 = msg.data[6];
  module.fwPresent = msg.data[7];
  module.infoValid = 1;
  return true;
}

std::string StatusText(unsigned state) {
  const int number = int(state & VORN_STATE_MASK);
  return Text_Format("%d (%s)", number, VornProt_StateText(number));
}

int SetShippingDate(int node, const DateBytes& date) {
  CanMsg msg;
  const int* b = date.bytes;
  return VornProt_RequestMessage(msg, node, 8, VORN_CMD_SET_SHIPPING_DATE,
                                 {b[0], b[1], b[2], b[3], b[4], b[5], b[6]});
}

// Asks before a shipping date is set; `what` names the date(s) in the question.
bool ConfirmShippingDate(const char* what, const LocalTime& now) {
  const std::string question =
      Text_Format("Set %s\nto current date/time\n(%s)?", what, VornProt_DateText(now).c_str());
  return Ui_MessageBox(question, "Set Shipping Date", UiButtons::OkCancel, UiIcon::Question) == UiAnswer::Ok;
}

}  // namespace

std::string InfoFields_BootloaderVersion(unsigned major, unsigned minor) {
  if (major == kNone || minor == kNone) return "-";
  return Text_Format("%u.%u", major, minor);
}

std::string InfoFields_FirmwareVersion(unsigned major, unsigned minor, unsigned fwPresent) {
  if (major == kNone || minor == kNone || fwPresent == 0) return "-";
  return Text_Format("%u.%u", major, minor);
}

DateBytes InfoFields_DateBytes(const LocalTime& t) {
  DateBytes d;
  const int values[7] = {t.year / 100, t.year % 100, t.month, t.day, t.hour, t.minute, t.second};
  for (int i = 0; i < 7; ++i) d.bytes[i] = values[i];
  return d;
}

InfoFields InfoFields_Read(ModuleRec& module, bool factory) {
  InfoFields f;
  f.name = Text_Format("(unknown, #%u)", module.type);
  f.hardwareVersion = Text_Format("%u", module.version);
  f.status = StatusText(module.state);
  f.showProgrammingDate = factory;
  f.showSetShippingDate = factory;

  const ModuleTypeInfo* row = module.typeInfo;
  if (!row) return f;
  f.name = ModuleType_ShownName(row->orderCode, module.type, factory);
  f.description = row->description;
  f.compatible = row->altOrderCode;
  f.showCompatible = !f.compatible.empty();

  if (!ReadModuleInfo(module)) return f;
  // The status follows the state the module has just reported.
  f.status = StatusText(module.state);
  f.mode = (module.state & VORN_STATE_FIRMWARE_RUNNING) ? "Firmware" : "Bootloader";
  f.bootloaderVersion = InfoFields_BootloaderVersion(module.bootMajor, module.bootMinor);
  f.firmwareVersion = InfoFields_FirmwareVersion(module.fwMajor, module.fwMinor, module.fwPresent);

  CanMsg msg;
  if (factory) {
    if (!VornProt_RequestMessage(msg, module.node, 1, VORN_CMD_READ_PROGRAMMING_DATE)) return f;
    f.programmingDate = ReplyDate(msg);
  }
  if (!VornProt_RequestMessage(msg, module.node, 1, VORN_CMD_READ_SHIPPING_DATE)) return f;
  f.shippingDate = ReplyDate(msg);
  f.enableSetShippingDate = factory;
  return f;
}

bool ShippingDate_SetModule(const ModuleRec& module) {
  const LocalTime now = Clock_LocalTime();
  if (!ConfirmShippingDate("module shipping date", now)) return false;
  SetShippingDate(module.node, InfoFields_DateBytes(now));
  return true;
}

bool ShippingDate_SetAll() {
  const LocalTime now = Clock_LocalTime();
  if (!ConfirmShippingDate("shipping date of all modules", now)) return false;
  const DateBytes date = InfoFields_DateBytes(now);
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
    SetShippingDate(rec->node, date);
  ModuleList_CloseAllDialogs();
  return true;
}
