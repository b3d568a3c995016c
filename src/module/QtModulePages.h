// The pages the module dialog can carry, looked up by page name (the
// TAB_MOD_* names that ModuleTabs_List() gives). How to add a page: see the
// table in QtModulePages.cpp.
#pragma once

class QWidget;

// Makes a page as a child of parent (the dialog's tab control).
using ModulePageFactory = QWidget* (*)(QWidget* parent);

// The factory of the page named pageName, or nullptr while no such page
// exists: the dialog then leaves that tab out.
ModulePageFactory ModulePages_Find(const char* pageName);

// The usual factory: a page class whose constructor takes the parent.
template <class Page>
QWidget* ModulePages_Make(QWidget* parent) {
  return new Page(parent);
}
