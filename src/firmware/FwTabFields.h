// What the firmware tab shows: the module's and the file's identity in two
// columns, the agreement marks, the headings and which buttons work. Worked
// out from the two readers' results so that the page only puts texts in place.
#pragma once

#include <string>

#include "firmware/FwInfo.h"

struct ModuleRec;

struct FwTabColumn {
  std::string type, hardware, firmware, codeStart;
};

// Agreement of one row: hidden, or a check mark / a cross.
enum class FwMark { Hidden, Agree, Differ };

struct FwTabFields {
  std::string moduleHeading = "Module:";
  std::string fileHeading = "Hex File:";
  FwTabColumn module, file;
  FwMark typeMark = FwMark::Hidden, hardwareMark = FwMark::Hidden, codeMark = FwMark::Hidden;
  std::string restartText = "Restart into Bootloader...";
  bool restartEnabled = false;
  bool fileColumnEnabled = true;  // off while the module runs its firmware
  bool writeEnabled = false;
};

struct FwTabModes {
  bool factory = false;
  bool debug = false;           // DEBUG_MODE
  bool allowWrongType = false;  // PROGRAM_ALLOW_WRONG_TYPE
};
FwTabModes FwTab_CurrentModes();

// r, h: the results of FwInfo_ReadModule and FwInfo_ReadHexFile.
FwTabFields FwTab_Compose(const ModuleRec& rec, const FwModuleInfo& m, int r, const FwHexInfo& h,
                          int hr, const FwTabModes& modes);

// Reads module and file (report: a HEX read error is shown) and composes.
FwTabFields FwTab_Read(ModuleRec& rec, const std::string& fileName, bool report);

// Type, hardware version and code start agree: both known and equal.
bool FwInfo_TypeAgrees(const FwModuleInfo& m, const FwHexInfo& h);
bool FwInfo_HardwareAgrees(const FwModuleInfo& m, const FwHexInfo& h);
bool FwInfo_CodeStartAgrees(const FwModuleInfo& m, const FwHexInfo& h);

// Asks for consent and restarts the module into its bootloader (when it runs
// its firmware) or into its firmware. 1 when the restart was sent, 0 when
// the module did not answer, the user declined or no firmware is installed.
int FwTab_Restart(ModuleRec& rec);
// The restart message: 0x01 with the target, the search-mode variant in state 2.
int FwTab_SendRestart(ModuleRec& rec, bool intoFirmware);
