// GUI tests open module dialogs the way the main window lets them: with the
// program's page registry (and, when given, an owner window).
#pragma once

#include "app/ModulePages.h"
#include "module/ModuleDialog.h"

inline void InstallModuleDialogs(QWidget* owner = nullptr) {
  ModuleDialogContext context;
  context.owner = owner;
  context.findPage = ModulePages_Find;
  ModuleDialog_Install(context);
}
