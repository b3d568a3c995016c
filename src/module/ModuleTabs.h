// Which pages a module dialog carries, and its title. Both follow from the
// module's catalogue row and state and from the program's modes, so the
// decision lives here, apart from the widgets.
//
// Registering a page: write the page as a QWidget (best a ModuleTab from
// src/ui, which learns when it is shown and hidden and polls its module) with
// a constructor taking its parent, then add one line to the table in
// src/app/ModulePages.cpp:
//     {"TAB_MOD_FIRMWARE", ModulePages_Make<FirmwareTab>},
// The dialog adds, in the order of ModuleTabs_List(), each listed tab whose
// page is registered there; tabs without a page are simply left out. A page
// finds its module with TabDialog_DataOfPage(this)->module (already in its
// constructor, as it is made a child of the dialog's tab control), its dialog
// with ModuleDialog_OfPage(this), and per-dialog state in
// TabDialog_DataOfPage(this)->shared.get<T>(). Pages are deleted when the
// dialog closes; the visible one gets pageHidden() first. A box (question,
// error of a failed request) runs the event loop, and the dialog may close
// meanwhile: after one, check a QPointer to the page before touching it.
#pragma once

#include <string>
#include <vector>

struct ModuleRec;

// One page of the module dialog: the tab label and the page's name (the
// object name of the page widget).
struct ModuleTabEntry {
  const char* label;
  const char* pageName;
};

// The modes that widen the dialog: factory mode, DEBUG_MODE, MODULETEST_MODE.
struct ModuleTabModes {
  bool factory = false;
  bool debug = false;
  bool moduleTest = false;
};
// The modes as they are now (factory mode and the two options).
ModuleTabModes ModuleTabs_CurrentModes();

// Every page the module gets, in tab order. A module whose type the catalogue
// does not know gets "Info" only; pages that need the application firmware
// are left out while the module runs its bootloader.
std::vector<ModuleTabEntry> ModuleTabs_List(const ModuleRec& module, const ModuleTabModes& modes);

// Title of a module dialog (and of the dialogs that work on one module):
// "KVX 730-08,  CAN ID 5 (0x05)" + suffix, "Unknown type #99,  CAN ID 5 (0x05)",
// "...,  CAN bus" for node 0. Note the two blanks after each comma.
std::string ModuleDialog_MakeTitle(const ModuleRec& module, const char* suffix = "");
