// Shots of module dialogs of each kind (Info and CAN Bus pages) and of the
// module catalogue viewer. The demo population was scanned at start-up.
#include <QCheckBox>
#include <QTabWidget>
#include <cstdio>

#include "Screenshots.h"
#include "core/ErrorReport.h"
#include "app/MainWindow.h"
#include "module/ModuleDialog.h"
#include "module/ModuleInfoDialog.h"
#include "protocol/ModuleList.h"

namespace {

// A fresh dialog of the listed module on this node, opened as a double click
// does, showing the page at tabIndex. A dialog left open by an earlier shot
// is closed first, so that its pages read the module again.
QWidget* ModuleDialogShot(int node, int tabIndex) {
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec)) {
    if (rec->node != node) continue;
    if (ModuleDialog* open = ModuleDialog_FromHandle(rec->dialog)) open->close();
    ModuleList_OpenDialog(rec);
    ModuleDialog* dialog = ModuleDialog_FromHandle(rec->dialog);
    if (dialog && tabIndex < dialog->tabControl()->count()) dialog->tabControl()->setCurrentIndex(tabIndex);
    return dialog;
  }
  std::fprintf(stderr, "kvxscreens: no module on node %d was found by the scan\n", node);
  return nullptr;
}

// The same in factory mode: the Info page with the programming date and
// "Set Shipping Date...". The page reads the module while it is shown, so
// factory mode only needs to last while the dialog opens.
QWidget* FactoryModuleDialogShot(int node, int tabIndex) {
  const bool factory = FactoryMode();
  FactoryMode_Set(true);
  QWidget* dialog = ModuleDialogShot(node, tabIndex);
  FactoryMode_Set(factory);
  return dialog;
}

}  // namespace

KVX_SCREENSHOT("module-dialog-info") { return ModuleDialogShot(2, 0); }
KVX_SCREENSHOT("module-dialog-canbus") { return ModuleDialogShot(2, 1); }
KVX_SCREENSHOT("module-dialog-info-factory") { return FactoryModuleDialogShot(3, 0); }
KVX_SCREENSHOT("module-dialog-format38-info") { return ModuleDialogShot(5, 0); }
KVX_SCREENSHOT("module-dialog-format38-canbus") { return ModuleDialogShot(5, 1); }
KVX_SCREENSHOT("module-dialog-bootloader-info") { return ModuleDialogShot(7, 0); }
KVX_SCREENSHOT("module-dialog-bootloader-canbus") { return ModuleDialogShot(7, 1); }
KVX_SCREENSHOT("module-dialog-unknown-type") { return ModuleDialogShot(12, 0); }

KVX_SCREENSHOT("module-catalogue") {
  auto* dialog = new ModuleInfoDialog(ctx.mainWindow);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  return dialog;
}

KVX_SCREENSHOT("module-catalogue-with-types") {
  auto* dialog = new ModuleInfoDialog(ctx.mainWindow);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  if (auto* box = dialog->findChild<QCheckBox*>("showModuleType")) box->setChecked(true);
  return dialog;
}
