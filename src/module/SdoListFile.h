// SDO list files: one per module type, "<home>/<program>-sdo/<order code>.sdo"
// ("Default.sdo" for a type the catalogue does not know). One entry a line:
// flags (decimal), name, index, subindex and value separated by tabs; the
// value is kept only for writable entries and entries never answered.
#pragma once

#include <string>
#include <vector>

#include "module/SdoEntries.h"

inline constexpr int kSdoFileMaxLine = 1024;

struct ModuleRec;

// The folder and the file of a module's type.
std::string SdoListFile_Folder();
std::string SdoListFile_Path(const ModuleRec& module);

// The file's text for the list.
std::string SdoListFile_Format(const SdoList& list);
// The entries of a file's lines (at most 64; entries with all four texts
// empty are dropped; texts cut to their field lengths).
std::vector<SdoEntry> SdoListFile_Parse(const std::vector<std::string>& lines);

// The list of the module's type (empty when the file is missing or unreadable).
void SdoListFile_Load(const ModuleRec& module, SdoList& list);
// Writes the list; a file that cannot be written is skipped silently.
void SdoListFile_Save(const ModuleRec& module, const SdoList& list);
