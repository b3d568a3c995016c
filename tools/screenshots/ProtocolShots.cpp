// Shots of the bus management windows: the module list after the start-up
// scan, the "Module Status" overview after "Read Status", and "Search a
// Module" with a module found whose front button was pressed.
#include <QTreeWidget>
#include <cstdio>

#include "Screenshots.h"
#include "SimServer.h"
#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "app/MainWindow.h"
#include "platform/Poll.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleListWindow.h"
#include "protocol/SearchDialog.h"
#include "protocol/StatusDialog.h"
#include "protocol/VornProt.h"

namespace {

// Waits (at most a second) until the bus master has passed on a reply on node 0.
bool AwaitSearchReply() {
  for (int i = 0; i < 200; ++i) {
    PollReceive();
    if (Interface_StoredFrames(0) > 0) return true;
    Poll_WaitReadable(EthMaster_Descriptor(), 5);
  }
  return false;
}

}  // namespace

// The main window with the list the start-up scan found (the tool waits for
// that scan before any shot), one line selected.
KVX_SCREENSHOT("module-list-scanned") {
  if (ScanRunning() || ModuleList_Count() == 0) {
    std::fprintf(stderr, "kvxscreens: the start-up scan did not end or found no modules\n");
    return nullptr;
  }
  QTreeWidget* list = ctx.mainWindow->moduleList()->list();
  list->setCurrentItem(list->topLevelItem(0));
  return (QWidget*)ctx.mainWindow;
}

KVX_SCREENSHOT("status-dialog") {
  auto* dialog = new StatusDialog(ctx.mainWindow);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->readStatus();
  return dialog;
}

// The module on bus 0, node 3 is put into search mode; the dialog's next tick
// finds it and offers "Configure...".
KVX_SCREENSHOT("search-dialog") {
  auto* dialog = new SearchDialog(ctx.mainWindow);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  if (!ctx.sim->pressButton(ctx.sim->findModule(0, 3))) {
    std::fprintf(stderr, "kvxscreens: no module on node 3 to put into search mode\n");
    return nullptr;
  }
  VornProt_SearchSend();
  if (!AwaitSearchReply()) {
    std::fprintf(stderr, "kvxscreens: the module in search mode did not answer\n");
    return nullptr;
  }
  dialog->run().tick();
  return dialog;
}
