#include "module/ModuleTabs.h"

#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"
#include "protocol/VornProtCommands.h"

namespace {

enum Needs : unsigned {
  kNone = 0,
  kFirmware = 1 << 0,    // the application firmware runs
  kFactory = 1 << 1,     // factory mode
  kDebug = 1 << 2,       // DEBUG_MODE
  kModuleTest = 1 << 3,  // MODULETEST_MODE
};

struct TabRule {
  ModuleTabEntry tab;
  const char* capability;  // nullptr: no capability needed
  unsigned needs;
};

// Tab order of the module dialog. "Vref Calib" is served by the SDO page.
constexpr TabRule kRules[] = {
    {{"CAN Bus", "TAB_MOD_BUSCONFIG"}, nullptr, kNone},
    {{"Firmware Update", "TAB_MOD_FIRMWARE"}, nullptr, kNone},
    {{"SMS", "TAB_MOD_SMS"}, "SMS", kFirmware},
    {{"Analog In", "TAB_MOD_ANALOGIN"}, "AnalogIn", kFirmware},
    {{"Analog Out", "TAB_MOD_ANALOGOUT"}, "AnalogOut", kFirmware},
    {{"Digital In", "TAB_MOD_DIGITALIN"}, "DigitalIn", kFirmware},
    {{"Digital Out", "TAB_MOD_DIGITALOUT"}, "DigitalOut", kFirmware},
    {{"RTC", "TAB_MOD_RTC"}, "RTC", kNone},
    {{"LIN Bus", "TAB_MOD_LINTEST"}, "Lin", kModuleTest},
    {{"Switches", "TAB_MOD_DIPSWITCHES"}, nullptr, kFactory | kModuleTest},
    {{"SDOs", "TAB_MOD_SDO"}, nullptr, kDebug | kFirmware},
    {{"Vref Calib", "TAB_MOD_VREFCALIB"}, "VrefCalib", kFactory | kFirmware},
    {{"Peek Memory", "TAB_MOD_PEEKMEM"}, nullptr, kFactory | kDebug},
};

bool Holds(const TabRule& rule, const ModuleRec& module, const ModuleTabModes& modes) {
  if (rule.capability && !ModuleType_HasCapability(module.typeInfo, rule.capability)) return false;
  if ((rule.needs & kFirmware) && !(module.state & VORN_STATE_FIRMWARE_RUNNING)) return false;
  if ((rule.needs & kFactory) && !modes.factory) return false;
  if ((rule.needs & kDebug) && !modes.debug) return false;
  if ((rule.needs & kModuleTest) && !modes.moduleTest) return false;
  return true;
}

}  // namespace

ModuleTabModes ModuleTabs_CurrentModes() {
  ModuleTabModes modes;
  modes.factory = FactoryMode();
  modes.debug = Option_GetInt("DEBUG_MODE") != 0;
  modes.moduleTest = Option_GetInt("MODULETEST_MODE") != 0;
  return modes;
}

std::vector<ModuleTabEntry> ModuleTabs_List(const ModuleRec& module, const ModuleTabModes& modes) {
  std::vector<ModuleTabEntry> tabs{{"Info", "TAB_MOD_INFO"}};
  if (!module.typeInfo) return tabs;
  for (const TabRule& rule : kRules)
    if (Holds(rule, module, modes)) tabs.push_back(rule.tab);
  return tabs;
}

std::string ModuleDialog_MakeTitle(const ModuleRec& module, const char* suffix) {
  if (!suffix) suffix = "";
  const char* bus = BusName(module.bus);
  const std::string id = module.node != 0
                             ? Text_Format("%s ID %d (0x%02X)", bus, module.node, unsigned(module.node))
                             : Text_Format("%s bus", bus);
  if (module.typeInfo)
    return Text_Format("%s,  %s%s", module.typeInfo->orderCode, id.c_str(), suffix);
  return Text_Format("Unknown type #%u,  %s%s", module.type, id.c_str(), suffix);
}
