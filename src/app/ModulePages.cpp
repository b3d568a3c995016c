#include "app/ModulePages.h"

#include <cstring>

#include "calib/AnalogInCalibDialog.h"
#include "calib/AnalogOutCalibDialog.h"
#include "firmware/FirmwareTab.h"
#include "io/AnalogTab.h"
#include "io/DigitalTab.h"
#include "io/SwitchesTab.h"
#include "module/CanBusTab.h"
#include "module/InfoTab.h"
#include "module/LinTestTab.h"
#include "module/PeekMemTab.h"
#include "module/RtcTab.h"
#include "module/SdoTab.h"
#include "module/SmsTab.h"

namespace {

using ModulePageFactory = QWidget* (*)(QWidget* parent);

struct ModulePage {
  const char* pageName;
  ModulePageFactory create;
};

// The usual factory: a page class whose constructor takes the parent.
template <class Page>
QWidget* ModulePages_Make(QWidget* parent) {
  return new Page(parent);
}

// The analog pages, with "Factory Calibration..." opening the calibration
// dialogs (which live above the pages' folder).
QWidget* MakeAnalogIn(QWidget* parent) {
  auto* page = new AnalogInTab(parent);
  page->setFactoryCalibOpener(AnalogInCalib_Open);
  return page;
}
QWidget* MakeAnalogOut(QWidget* parent) {
  auto* page = new AnalogOutTab(parent);
  page->setFactoryCalibOpener(AnalogOutCalib_Open);
  return page;
}

// Every page that exists, by page name. To add one: include its header above
// and add a line {"TAB_MOD_...", ModulePages_Make<YourTab>}. Order does not
// matter here; the tab order and the conditions come from ModuleTabs_List().
const ModulePage kModulePages[] = {
    {"TAB_MOD_INFO", ModulePages_Make<InfoTab>},
    {"TAB_MOD_BUSCONFIG", ModulePages_Make<CanBusTab>},
    {"TAB_MOD_FIRMWARE", ModulePages_Make<FirmwareTab>},
    {"TAB_MOD_ANALOGIN", MakeAnalogIn},
    {"TAB_MOD_ANALOGOUT", MakeAnalogOut},
    {"TAB_MOD_DIGITALIN", ModulePages_Make<DigitalInTab>},
    {"TAB_MOD_DIGITALOUT", ModulePages_Make<DigitalOutTab>},
    {"TAB_MOD_DIPSWITCHES", ModulePages_Make<SwitchesTab>},
    {"TAB_MOD_SMS", ModulePages_Make<SmsTab>},
    {"TAB_MOD_RTC", ModulePages_Make<RtcTab>},
    {"TAB_MOD_LINTEST", ModulePages_Make<LinTestTab>},
    {"TAB_MOD_SDO", ModulePages_Make<SdoTab>},
    {"TAB_MOD_VREFCALIB", ModulePages_Make<SdoTab>},  // the SDO page serves "Vref Calib" too
    {"TAB_MOD_PEEKMEM", ModulePages_Make<PeekMemTab>},
};

}  // namespace

TabPageFactory ModulePages_Find(const char* pageName) {
  if (!pageName) return nullptr;
  for (const ModulePage& page : kModulePages)
    if (std::strcmp(page.pageName, pageName) == 0) return page.create;
  return nullptr;
}
