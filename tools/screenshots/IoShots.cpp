// Shots of the I/O pages of the module dialog: Digital In, Digital Out and
// Switches of the demo's digital module, Analog In of its analog input
// module, and Analog Out of a multifunction module put on the first bus for
// the shot (the demo's analog outputs sit on its second bus).
// The simulator's headers come before Qt's, whose keyword macros ("signals",
// "slots") would otherwise rewrite names in them.
#include "SimServer.h"
#include "module/IoBuilder.h"
#include "module/SimModule.h"

#include <QTabWidget>
#include <cstdio>

#include "Screenshots.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "io/AnalogTab.h"
#include "io/DigitalTab.h"
#include "io/SwitchesTab.h"
#include "module/ModuleDialog.h"
#include "protocol/ModuleList.h"

namespace {

ModuleRec* Listed(int node) {
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
    if (rec->node == node) return rec;
  return nullptr;
}

// The module on this node of the first bus, listed as a scan would list it
// when the scan has not (yet) done so.
ModuleRec* ListedOrAdded(ScreenshotContext& ctx, int node) {
  if (ModuleRec* rec = Listed(node)) return rec;
  SimModuleConfig c;
  uint8_t state = 0;
  if (!ctx.sim->withModule(ctx.sim->findModule(0, node), [&](SimModule& m) {
        c = m.config();
        state = m.state();
      })) {
    return nullptr;
  }
  ModuleList_Add(node, 'c', c.type, c.hwVersion, state, false);
  return Listed(node);
}

// A fresh dialog of the module on this node, showing the page named
// pageName; the page is returned through `page`.
QWidget* PageShot(ScreenshotContext& ctx, int node, const char* pageName, QWidget** page,
                  bool factory = false) {
  ModuleRec* rec = ListedOrAdded(ctx, node);
  if (!rec) {
    std::fprintf(stderr, "kvxscreens: no module on node %d\n", node);
    return nullptr;
  }
  if (ModuleDialog* open = ModuleDialog_FromHandle(rec->dialog)) open->close();
  const bool wasFactory = FactoryMode();
  FactoryMode_Set(factory);
  ModuleList_OpenDialog(rec);
  ModuleDialog* dialog = ModuleDialog_FromHandle(rec->dialog);
  QWidget* found = nullptr;
  for (int i = 0; dialog && i < dialog->tabControl()->count(); ++i) {
    if (dialog->tabControl()->widget(i)->objectName() == pageName) {
      dialog->tabControl()->setCurrentIndex(i);
      found = dialog->tabControl()->widget(i);
    }
  }
  FactoryMode_Set(wasFactory);
  if (!found) {
    std::fprintf(stderr, "kvxscreens: module %d has no page %s\n", node, pageName);
    return nullptr;
  }
  *page = found;
  return dialog;
}

// A multifunction module with two 12-bit analog outputs and a user
// calibration point, on the first bus at node 24.
constexpr int kOutputNode = 24;
void AddOutputModule(ScreenshotContext& ctx) {
  if (ctx.sim->findModule(0, kOutputNode) >= 0) return;
  SimModuleConfig c = SimModuleConfig::make(0, kOutputNode, 30);
  c.fwMajor = 2;
  c.fwMinor = 3;
  SimChannelGroup ao;
  ao.group = SimIoGroup::AnalogOut;
  ao.typeNumber = 3;
  ao.configs = {0x0104, 0x010C};
  ao.count = 2;
  ao.valueIndex = 0x6411;
  ao.aligned = true;
  ao.initialValue = 2730u << 4;
  SimIo_AddChannels(c, ao);
  SimCalibPoints user;
  user.values[0] = 0x44FA0000u;  // X1 = 2000
  user.values[1] = 0x41200000u;  // Y1 = 10
  c.io.calibration[SimCalibKey(0x80, SIM_CALIB_USER_TYPE, 0)] = user;
  ctx.sim->addModule(c);
}

}  // namespace

KVX_SCREENSHOT("module-dialog-digital-in") {
  QWidget* page = nullptr;
  QWidget* dialog = PageShot(ctx, 2, "TAB_MOD_DIGITALIN", &page);
  if (auto* tab = qobject_cast<DigitalInTab*>(page)) tab->tick();
  return dialog;
}

KVX_SCREENSHOT("module-dialog-digital-out") {
  // With auto-update off the outputs are the user's: the rows take clicks
  // and, in factory mode, the bit pattern buttons are there.
  if (ModuleRec* rec = ListedOrAdded(ctx, 2)) rec->autoUpdate = 0;
  QWidget* page = nullptr;
  QWidget* dialog = PageShot(ctx, 2, "TAB_MOD_DIGITALOUT", &page, true);
  if (auto* tab = qobject_cast<DigitalOutTab*>(page)) {
    tab->row(0).setValue(0x29);
    tab->write();
    tab->read();
  }
  if (ModuleRec* rec = Listed(2)) rec->autoUpdate = 1;
  return dialog;
}

KVX_SCREENSHOT("module-dialog-switches") {
  // The page belongs to factory mode with the module test mode on.
  const int testMode = Option_GetInt("MODULETEST_MODE");
  Option_SetInt("MODULETEST_MODE", 1);
  QWidget* page = nullptr;
  QWidget* dialog = PageShot(ctx, 2, "TAB_MOD_DIPSWITCHES", &page, true);
  Option_SetInt("MODULETEST_MODE", testMode);
  return dialog;
}

KVX_SCREENSHOT("module-dialog-analog-in") {
  QWidget* page = nullptr;
  QWidget* dialog = PageShot(ctx, 3, "TAB_MOD_ANALOGIN", &page);
  if (auto* tab = qobject_cast<AnalogInTab*>(page)) tab->tick();
  return dialog;
}

KVX_SCREENSHOT("module-dialog-analog-out") {
  AddOutputModule(ctx);
  QWidget* page = nullptr;
  return PageShot(ctx, kOutputNode, "TAB_MOD_ANALOGOUT", &page);
}
