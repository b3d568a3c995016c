// Node id assignment: gives a module a new node id in its EEPROM, or sends it
// back to its DIP switch setting; used by the search and by the Module menu.
#pragma once

struct ModuleRec;

// Reads the module's bus parameters (to keep its bit rate), then writes the
// new node id; node 0 returns the module to its DIP switches. 0 ok, -1 failed
// (reported by the module protocol).
int Module_SetNodeId(const ModuleRec* rec, int node);

// Every listed module back to its DIP switches, then the list is cleared and,
// when an interface is active and SCAN_ON_START is set, a scan starts.
void ResetAllNodeIds();

// The Module menu's "Reset Node IDs to  DIP...": asks first, resets on OK.
void ResetAllNodeIds_Command();
