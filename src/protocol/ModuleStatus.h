// The cell texts, sort order and status reading of the "Module Status"
// overview (one row per listed module).
#pragma once

#include <string>
#include <vector>

struct ModuleRec;

enum ModuleStatusColumn {
  kStatusColNode = 0,
  kStatusColName,
  kStatusColState,
  kStatusColFirmware,
  kStatusColBootloader,
  kStatusColumnCount
};

// "CAN ID", or "LIN ID" on a LIN interface, then "Name", "Status", "Firmware", "Bootloader".
std::string ModuleStatus_ColumnTitle(int column);
int ModuleStatus_ColumnWidth(int column);

// "%d", "-" for node 0.
std::string ModuleStatus_NodeText(const ModuleRec& rec);
// The order code, or "(unknown)".
std::string ModuleStatus_NameText(const ModuleRec& rec);
// The state number, with " (i)" when the master initialised the module.
std::string ModuleStatus_StateText(const ModuleRec& rec);
// "major.minor", "-" when none, "(?)" while the module info was not read.
std::string ModuleStatus_FirmwareText(const ModuleRec& rec);
std::string ModuleStatus_BootloaderText(const ModuleRec& rec);
std::string ModuleStatus_CellText(const ModuleRec& rec, int column);

// Sorts rows by a column: the name column by order code (case-insensitive,
// modules of unknown type after the known ones), every other by node id.
// Rows that compare equal keep their order.
void ModuleStatus_Sort(std::vector<ModuleRec*>& rows, int column, bool ascending);

// Asks the module for its state (identify) and stores it; false when the
// request failed (reported; the old value stays).
bool ModuleStatus_ReadState(ModuleRec& rec);
// Asks for the module info and stores state, versions, processor and firmware
// flag, marking them valid; false when the request failed.
bool ModuleStatus_ReadInfo(ModuleRec& rec);
