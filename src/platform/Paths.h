// Where the program keeps its files, and what it is called.
//
// The home folder is HOMEDRIVE + HOMEPATH when both are set, otherwise $HOME,
// otherwise "/" (the root folder stands for the root of drive C: on a PC).
#pragma once

#include <cstdint>
#include <string>

// The home folder, never empty, without a trailing "/" unless it is "/".
std::string Platform_HomeFolder();
// home folder + "/" + name (no doubled separator at the root).
std::string Platform_HomeFile(const std::string& name);
// Joins a folder and a name with exactly one "/".
std::string Platform_JoinPath(const std::string& folder, const std::string& name);

// The executable's own file name without its folder, cut at the first "." and
// then at the first "-": "KVXconfig-2.exe" gives "KVXconfig".
std::string GetProgramBaseName();
// The cutting rule on its own.
std::string Platform_BaseNameOf(const std::string& executablePath);
// Overrides the executable path used for the base name (tests, embedded use);
// an empty path returns to /proc/self/exe.
void Platform_SetExecutablePath(const std::string& path);

struct FileStatus {
  bool exists = false;
  bool isDirectory = false;
  int64_t size = 0;
  int64_t modifiedMs = 0;  // modification time, ms since the epoch
};
FileStatus Platform_FileStatus(const std::string& path);
// Creates a folder and its missing parents; true when it exists afterwards.
bool Platform_MakeFolders(const std::string& path);
