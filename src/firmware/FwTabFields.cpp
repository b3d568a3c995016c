#include "firmware/FwTabFields.h"

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "protocol/ModuleStatus.h"
#include "ui/Ui.h"

namespace {

std::string Hex(uint32_t value) { return Ui_Format("0x%X", value); }

FwMark Mark(bool agrees) { return agrees ? FwMark::Agree : FwMark::Differ; }

void ComposeModule(const ModuleRec& rec, const FwModuleInfo& m, int r, const FwTabModes& modes,
                   FwTabFields& f) {
  const ModuleTypeInfo* row = ModuleType_Find(int(rec.type));
  const char* code = row ? row->orderCode : "(unknown)";
  f.module.type = ModuleType_ShownName(code, rec.type, modes.factory);
  // Nothing of the module but its type when it did not answer.
  if (!m.firmwareVersion.empty()) {
    f.module.hardware = Ui_Format("%u", m.hardwareVersion);
    f.module.firmware = m.firmwareVersion;
  }
  if (m.codeStart != kFwUnknownAddress) f.module.codeStart = Hex(m.codeStart);
  if (r != 0) return;
  const bool firmware = m.running == 1;
  f.restartText = Ui_Format("Restart into %s...", firmware ? "Bootloader" : "Firmware");
  f.moduleHeading = Ui_Format("Module (%s):", firmware ? "Firmware" : "Bootloader");
  f.restartEnabled = firmware || (m.running == 0 && m.fwPresent != 0);
  f.fileColumnEnabled = !firmware;  // uploads are made in the bootloader only
}

void ComposeFile(const FwHexInfo& h, const FwTabModes& modes, FwTabFields& f) {
  if (h.moduleType >= 0) {
    const ModuleTypeInfo* row = ModuleType_Find(h.moduleType);
    const char* code = row ? row->orderCode : "unknown";
    f.file.type = modes.factory ? Ui_Format("%s  (#%d)", code, int(h.moduleType)) : code;
  }
  if (h.hardwareVersion >= 0) f.file.hardware = Ui_Format("%d", int(h.hardwareVersion));
  if (h.infoType == 0)
    f.file.firmware = h.softwareVersion.empty() ? "(Bootloader)" : Ui_Format("(Bootloader %s)", h.softwareVersion.c_str());
  else
    f.file.firmware = h.softwareVersion;
  if (h.codeStart != kFwUnknownAddress) f.file.codeStart = Hex(h.codeStart);
  if (h.size >= 0)
    f.fileHeading = Ui_Format("Hex File (%s %s):", FormatSize(h.size).c_str(),
                              h.wordData == 1 ? "Word Data" : "Byte Data");
}

}  // namespace

FwTabModes FwTab_CurrentModes() {
  FwTabModes modes;
  modes.factory = FactoryMode();
  modes.debug = Option_GetInt("DEBUG_MODE") != 0;
  modes.allowWrongType = Option_GetInt("PROGRAM_ALLOW_WRONG_TYPE") != 0;
  return modes;
}

bool FwInfo_TypeAgrees(const FwModuleInfo& m, const FwHexInfo& h) {
  return h.moduleType >= 0 && uint32_t(h.moduleType) == m.type;
}

bool FwInfo_HardwareAgrees(const FwModuleInfo& m, const FwHexInfo& h) {
  return h.hardwareVersion >= 0 && uint32_t(h.hardwareVersion) == m.hardwareVersion;
}

bool FwInfo_CodeStartAgrees(const FwModuleInfo& m, const FwHexInfo& h) {
  return m.codeStart != kFwUnknownAddress && h.codeStart != kFwUnknownAddress && m.codeStart == h.codeStart;
}

FwTabFields FwTab_Compose(const ModuleRec& rec, const FwModuleInfo& m, int r, const FwHexInfo& h,
                          int hr, const FwTabModes& modes) {
  FwTabFields f;
  ComposeModule(rec, m, r, modes, f);
  ComposeFile(h, modes, f);

  const bool type = FwInfo_TypeAgrees(m, h), hardware = FwInfo_HardwareAgrees(m, h),
             code = FwInfo_CodeStartAgrees(m, h);
  const bool inBootloader = m.running == 0;
  // While the firmware runs nothing is to be written: the marks would only mislead.
  if (r != 0 || inBootloader) {
    f.typeMark = Mark(type);
    f.hardwareMark = Mark(hardware);
    f.codeMark = Mark(code);
  }
  f.writeEnabled = (modes.allowWrongType || (type && hardware)) && code && inBootloader && r == 0 && hr == 0;
  if (modes.factory && modes.debug && inBootloader) f.writeEnabled = true;
  return f;
}

FwTabFields FwTab_Read(ModuleRec& rec, const std::string& fileName, bool report) {
  FwModuleInfo m;
  const int r = FwInfo_ReadModule(rec, m);
  FwHexInfo h;
  const int hr = FwInfo_ReadHexFile(fileName, report, h);
  return FwTab_Compose(rec, m, r, h, hr, FwTab_CurrentModes());
}

int FwTab_SendRestart(ModuleRec& rec, bool intoFirmware) {
  const bool search = (rec.state & VORN_STATE_MASK) == VORN_STATE_SEARCH_MODE;
  const int target = intoFirmware ? (search ? VORN_RESTART_SEARCH_TO_FIRMWARE : VORN_RESTART_TO_FIRMWARE)
                                  : (search ? VORN_RESTART_SEARCH_TO_BOOTLOADER : VORN_RESTART_TO_BOOTLOADER);
  rec.infoValid = 0;
  CanMsg msg;
  return VornProt_SendMessage(msg, rec.node, 2, VORN_CMD_RESTART, {target});
}

int FwTab_Restart(ModuleRec& rec) {
  if (!ModuleStatus_ReadInfo(rec)) return 0;
  if (rec.state & VORN_STATE_FIRMWARE_RUNNING) {
    const bool hasBootloader = !(rec.bootMajor == 255 && rec.bootMinor == 255);
    const bool consent =
        hasBootloader
            ? Ui_MessageBox("Restart module into bootloader?", "Restart module", UiButtons::OkCancel,
                            UiIcon::Question) == UiAnswer::Ok
            : Ui_MessageBox("No bootloader found!\nTry to restart into bootloader anyway?", "Restart module",
                            UiButtons::YesNo, UiIcon::Warning) == UiAnswer::Yes;
    if (!consent) return 0;
    FwTab_SendRestart(rec, false);
    return 1;
  }
  const bool noFirmware = (rec.fwMajor == 255 && rec.fwMinor == 255) || rec.fwPresent == 0;
  if (noFirmware && Option_GetInt("DEBUG_MODE") == 0) {
    ShowErrorBox("Cannot restart into firmware:\nNo firmware installed in module.");
    return 0;
  }
  if (Ui_MessageBox("Restart module into firmware?", "Restart module", UiButtons::OkCancel, UiIcon::Question) !=
      UiAnswer::Ok)
    return 0;
  FwTab_SendRestart(rec, true);
  return 1;
}
