#include "protocol/ModuleStatus.h"

#include <algorithm>
#include <strings.h>

#include "bus/Interface.h"
#include "core/CanMsg.h"
#include "core/TextFormat.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"

namespace {

constexpr unsigned kNone = 255;  // version byte of something not installed

// Bits 4..6 of the state byte: above 1 the bus master has initialised the module.
bool initialisedByMaster(unsigned state) { return ((state >> 4) & 0x07) > 1; }

// Modules of unknown type go after the known ones, all equal among themselves.
bool nameLess(const ModuleRec* a, const ModuleRec* b) {
  if (!a->typeInfo || !b->typeInfo) return a->typeInfo && !b->typeInfo;
  return strcasecmp(a->typeInfo->orderCode, b->typeInfo->orderCode) < 0;
}

bool nodeLess(const ModuleRec* a, const ModuleRec* b) { return a->node < b->node; }

}  // namespace

std::string ModuleStatus_ColumnTitle(int column) {
  switch (column) {
    case kStatusColNode: return GetBusLetter() == 'l' ? "LIN ID" : "CAN ID";
    case kStatusColName: return "Name";
    case kStatusColState: return "Status";
    case kStatusColFirmware: return "Firmware";
    case kStatusColBootloader: return "Bootloader";
    default: return std::string();
  }
}

int ModuleStatus_ColumnWidth(int column) {
  static const int widths[kStatusColumnCount] = {50, 100, 50, 65, 65};
  return column >= 0 && column < kStatusColumnCount ? widths[column] : 0;
}

std::string ModuleStatus_NodeText(const ModuleRec& rec) {
  return rec.node == 0 ? std::string("-") : Text_Format("%d", rec.node);
}

std::string ModuleStatus_NameText(const ModuleRec& rec) {
  return rec.typeInfo ? std::string(rec.typeInfo->orderCode) : std::string("(unknown)");
}

std::string ModuleStatus_StateText(const ModuleRec& rec) {
  return Text_Format("%d%s", int(rec.state & VORN_STATE_MASK),
                     initialisedByMaster(rec.state) ? " (i)" : "");
}

std::string ModuleStatus_FirmwareText(const ModuleRec& rec) {
  if (!rec.infoValid) return "(?)";
  if (rec.fwMajor == kNone || rec.fwMinor == kNone || !rec.fwPresent) return "-";
  return Text_Format("%d.%d", int(rec.fwMajor), int(rec.fwMinor));
}

std::string ModuleStatus_BootloaderText(const ModuleRec& rec) {
  if (!rec.infoValid) return "(?)";
  if (rec.bootMajor == kNone || rec.bootMinor == kNone) return "-";
  return Text_Format("%d.%d", int(rec.bootMajor), int(rec.bootMinor));
}

std::string ModuleStatus_CellText(const ModuleRec& rec, int column) {
  switch (column) {
    case kStatusColNode: return ModuleStatus_NodeText(rec);
    case kStatusColName: return ModuleStatus_NameText(rec);
    case kStatusColState: return ModuleStatus_StateText(rec);
    case kStatusColFirmware: return ModuleStatus_FirmwareText(rec);
    case kStatusColBootloader: return ModuleStatus_BootloaderText(rec);
    default: return std::string();
  }
}

void ModuleStatus_Sort(std::vector<ModuleRec*>& rows, int column, bool ascending) {
  auto less = column == kStatusColName ? nameLess : nodeLess;
  if (ascending)
    std::stable_sort(rows.begin(), rows.end(), less);
  else
    std::stable_sort(rows.begin(), rows.end(),
                     [less](const ModuleRec* a, const ModuleRec* b) { return less(b, a); });
}

bool ModuleStatus_ReadState(ModuleRec& rec) {
  CanMsg msg;
  if (!VornProt_RequestMessage(msg, rec.node, 1, VORN_CMD_IDENTIFY)) return false;
  rec.state = msg.data[1] & 0xFF;
  return true;
}

bool ModuleStatus_ReadInfo(ModuleRec& rec) {
  CanMsg msg;
  if (!VornProt_RequestMessage(msg, rec.node, 1, VORN_CMD_MODULE_INFO)) return false;
  rec.state = msg.data[1] & 0xFF;
  rec.bootMajor = msg.data[2] & 0xFF;
  rec.bootMinor = msg.data[3] & 0xFF;
  rec.fwMajor = msg.data[4] & 0xFF;
  rec.fwMinor = msg.data[5] & 0xFF;
  rec.info6 = msg.data[6] & 0xFF;
  rec.fwPresent = msg.data[7] & 0xFF;
  rec.infoValid = 1;
  return true;
}
