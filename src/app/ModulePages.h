// The pages the module dialog can carry, looked up by page name (the
// TAB_MOD_* names that ModuleTabs_List() gives). How to add a page: see the
// table in ModulePages.cpp.
#pragma once

#include "ui/TabDialog.h"

// The factory of the page named pageName, or an empty one while no such page
// exists: the dialog then leaves that tab out.
TabPageFactory ModulePages_Find(const char* pageName);
