// Module dialogs as the module list sees them, without windows: each hook
// call is recorded, and a dialog is a distinct non-null pointer.
#pragma once

#include <string>
#include <vector>

#include "protocol/ModuleList.h"

struct FakeDialogs {
  static inline std::vector<std::string> calls;
  static inline int dialogs[300];
  static inline int next = 0;
  static inline bool closeReportsBack = true;

  static void open(ModuleRec* rec) {
    calls.push_back("open " + std::to_string(rec->node) + (rec->reopen ? " reopen" : ""));
    rec->dialog = &dialogs[next++ % 300];
    rec->reopen = 0;
  }
  static void close(ModuleRec* rec) {
    calls.push_back("close " + std::to_string(rec->node));
    if (closeReportsBack) ModuleList_DialogClosed(rec->dialog);
  }
  static void lines() { calls.push_back("lines"); }
  static void select(int index) { calls.push_back("select " + std::to_string(index)); }
  static void header(const char* text) { calls.push_back(std::string("header ") + text); }
  static void activate(ModuleRec* rec) { calls.push_back("activate " + std::to_string(rec->node)); }

  // Starts afresh and installs the dialog hooks.
  static void install() {
    calls.clear();
    next = 0;
    closeReportsBack = true;
    ModuleListHooks hooks;
    hooks.openDialog = open;
    hooks.closeDialog = close;
    ModuleList_SetDialogHooks(hooks);
    ModuleList_SetActivateHook(activate);
  }
  // Records the list view's calls too (header only, when asked).
  static void installView(bool headerOnly = false) {
    ModuleListHooks view;
    view.setHeader = header;
    if (!headerOnly) view.linesChanged = lines, view.selectLine = select;
    ModuleList_SetViewHooks(view);
  }
};
