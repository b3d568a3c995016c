// GUI tests open module dialogs the way the main window lets them: with the
// program's page registry (and, when given, an owner window).
#pragma once

#include <QTabWidget>

#include "app/ModulePages.h"
#include "module/ModuleDialog.h"
#include "protocol/ModuleList.h"
#include "support/GuiHelpers.h"

inline void InstallModuleDialogs(QWidget* owner = nullptr) {
  ModuleDialogContext context;
  context.owner = owner;
  context.findPage = ModulePages_Find;
  ModuleDialog_Install(context);
}

// A fixture with the module dialogs installed; they are closed and deleted
// before the fixture's simulator goes.
template <class Base>
class WithModuleDialogs : public Base {
 protected:
  void SetUp() override {
    Base::SetUp();
    InstallModuleDialogs();
  }
  void TearDown() override {
    ModuleList_Clear();
    FlushDeletes();
    Base::TearDown();
  }
};

// Opens rec's dialog as a double click does and shows its page named pageName.
template <class Page = QWidget>
Page* ShowModulePage(ModuleRec* rec, const char* pageName) {
  ModuleList_OpenDialog(rec);
  ModuleDialog* d = rec ? ModuleDialog_FromHandle(rec->dialog) : nullptr;
  for (int i = 0; d && i < d->tabControl()->count(); ++i) {
    if (d->tabControl()->widget(i)->objectName() != pageName) continue;
    d->tabControl()->setCurrentIndex(i);
    return qobject_cast<Page*>(d->tabControl()->widget(i));
  }
  ADD_FAILURE() << "no page " << pageName;
  return nullptr;
}
