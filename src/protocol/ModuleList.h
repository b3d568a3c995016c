// The program's knowledge of the modules on the bus: a fixed table of 256
// records in table order, one list line per record in use. The module list
// window shows the lines; module dialogs are opened and closed through hooks
// that the GUI installs.
#pragma once

#include <cstdint>
#include <string>

struct ModuleTypeInfo;

constexpr int kModuleRecCount = 256;

struct ModuleRec {
  int32_t node = -1;  // 0..127; -1 = record free; 0 = found by search (base identifier)
  char bus = '-';     // bus letter of the interface it was found on: 'c', 'l', 'm'
  uint32_t type = 0;
  uint32_t version = 0;  // hardware version from the identify reply
  uint32_t bootMajor = 0, bootMinor = 0;  // module info bytes 2, 3; 255 = none
  uint32_t fwMajor = 0, fwMinor = 0;      // module info bytes 4, 5; 255 = none
  uint32_t info6 = 0;      // processor type code (module info byte 6)
  uint32_t fwPresent = 0;  // module info byte 7; 0 = no firmware installed
  uint32_t infoValid = 0;  // 1 while the six fields above hold a module info reply
  uint32_t state = 0;      // module state byte
  uint32_t autoUpdate = 0; // the dialog's tabs refresh themselves while set
  const ModuleTypeInfo* typeInfo = nullptr;  // catalogue row of type, or none
  void* dialog = nullptr;  // the module's open dialog (owned by the GUI), or none
  int32_t listIndex = -1;  // position of the module's line in the list
  int32_t dialogX = 0, dialogY = 0;  // last position of the module's dialog
  uint32_t reopen = 0;     // 1 while the dialog is being re-created at dialogX, dialogY
  uint16_t serialFlags = 0;
  uint32_t userSerial = 0;
  uint32_t manufSerial = 0;
};

// What the GUI does for the list. Any hook may be left empty.
struct ModuleListHooks {
  // Opens (or re-creates) the module dialog of rec and stores it in rec->dialog.
  void (*openDialog)(ModuleRec* rec) = nullptr;
  // Closes rec's dialog and the calibration dialogs that belong to it; the GUI
  // calls ModuleList_DialogClosed when the dialog is gone.
  void (*closeDialog)(ModuleRec* rec) = nullptr;
  // The lines changed: redraw all of them, keeping the selected line.
  void (*linesChanged)() = nullptr;
  // Select the line at this index (-1: none).
  void (*selectLine)(int listIndex) = nullptr;
  // Set the node column header ("CAN ID", "LIN ID", "Modbus ID").
  void (*setHeader)(const char* text) = nullptr;
};
// Replaces all hooks.
void ModuleList_SetHooks(const ModuleListHooks& hooks);
// Replaces only the list window's hooks (linesChanged, selectLine, setHeader).
void ModuleList_SetViewHooks(const ModuleListHooks& hooks);
// Replaces only the module dialog's hooks (openDialog, closeDialog).
void ModuleList_SetDialogHooks(const ModuleListHooks& hooks);
// Brings rec's open dialog to the front (installed by the module dialog).
void ModuleList_SetActivateHook(void (*activateDialog)(ModuleRec* rec));

// Frees all records (program start).
void ModuleList_Create();
// 0 ok, -1 when node is negative or the table is full.
int ModuleList_Add(int node, char bus, unsigned type, unsigned version, unsigned state,
                   bool openDialog);
void ModuleList_Remove(ModuleRec* rec);
void ModuleList_Clear();
void ModuleList_CloseAllDialogs();
void ModuleList_Rebuild();
int ModuleList_Count();
int ModuleList_CountDialogs();
// Iteration in table order: nullptr gives the first record in use.
ModuleRec* ModuleList_Next(ModuleRec* rec);
// The record of a line, or nullptr.
ModuleRec* ModuleList_AtLine(int listIndex);
// Every record that names this dialog forgets it.
void ModuleList_DialogClosed(void* dialog);
// Selects that record's line and shows its status text.
void ModuleList_DialogActivated(void* dialog);
// Status bar text for a module.
void ModuleList_ShowStatus(const ModuleRec* rec);
// A double click on a line: brings the module's dialog to the front, or opens
// it when it has none; then shows the status text.
void ModuleList_OpenDialog(ModuleRec* rec);
// Sets the node column header for the active interface (each scan starts so).
void ModuleList_UpdateHeader();
// " %d\t%hs" (node, order code), " -\t..." for node 0, "(unknown)" for unknown types.
std::string ModuleList_LineText(const ModuleRec* rec);
// "%hs ID" with the bus name of the active interface.
std::string ModuleList_HeaderText();
