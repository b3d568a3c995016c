// Shots of module dialogs of each kind (Info and CAN Bus pages) and of the
// module catalogue viewer. The demo population was scanned at start-up.
#include <QTabWidget>
#include <cstdio>

#include "Screenshots.h"
#include "core/MainWindow.h"
#include "module/ModuleDialog.h"
#include "module/ModuleInfoDialog.h"
#include "protocol/ModuleList.h"

namespace {

// The dialog of the listed module on this node, opened as a double click does,
// showing the page at tabIndex.
QWidget* ModuleDialogShot(int node, int tabIndex) {
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec)) {
    if (rec->node != node) continue;
    ModuleList_OpenDialog(rec);
    ModuleDialog* dialog = ModuleDialog_FromHandle(rec->dialog);
    if (dialog && tabIndex < dialog->tabControl()->count()) dialog->tabControl()->setCurrentIndex(tabIndex);
    return dialog;
  }
  std::fprintf(stderr, "kvxscreens: no module on node %d was found by the scan\n", node);
  return nullptr;
}

}  // namespace

KVX_SCREENSHOT("module-dialog-info") { return ModuleDialogShot(2, 0); }
KVX_SCREENSHOT("module-dialog-canbus") { return ModuleDialogShot(2, 1); }
KVX_SCREENSHOT("module-dialog-format38-info") { return ModuleDialogShot(5, 0); }
KVX_SCREENSHOT("module-dialog-format38-canbus") { return ModuleDialogShot(5, 1); }
KVX_SCREENSHOT("module-dialog-bootloader-info") { return ModuleDialogShot(7, 0); }
KVX_SCREENSHOT("module-dialog-unknown-type") { return ModuleDialogShot(12, 0); }

KVX_SCREENSHOT("module-catalogue") {
  auto* dialog = new ModuleInfoDialog(ctx.mainWindow);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  return dialog;
}
