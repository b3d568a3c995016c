// The firmware identity of a module and of a firmware HEX file, side by side:
// what the module reports (versions, mode, code start) and what the image
// declares in its info table, a table of 20-byte entries that begins with the
// marker "~KVXINFOSTRUCT~". Used by the firmware tab and the multi-module update.
#pragma once

#include <cstdint>
#include <string>

struct HexSegment;
struct ModuleRec;

// The marker that opens (and closes) the info table inside an image.
inline constexpr const char* kFwInfoStructMarker = "~KVXINFOSTRUCT~";
inline constexpr uint32_t kFwUnknownAddress = 0xFFFFFFFF;

struct FwModuleInfo {
  int running = -1;  // 1 firmware runs, 0 bootloader, -1 unknown
  uint32_t type = 0;
  uint32_t hardwareVersion = 0;
  uint32_t codeStart = kFwUnknownAddress;  // in the module's own address units
  std::string firmwareVersion;             // "%d.%d" or "(?)"; empty while not read
  uint32_t fwPresent = 0;
};

struct FwHexInfo {
  int32_t infoType = -1;  // 1 application firmware, 0 bootloader image
  int32_t moduleType = -1;
  int32_t hardwareVersion = -1;
  uint32_t codeStart = kFwUnknownAddress;  // lowest segment address, halved for word data
  std::string softwareVersion;             // "%d.%d", empty when not declared
  int64_t size = -1;                       // data bytes of all segments
  int32_t wordData = -1;                   // 0 byte data, 1 word data (two useful bytes per four)
};

// Reads the module's mode, versions (when the cache is not valid) and code
// start. 0, or -1 when a request failed (reported by the protocol layer).
int FwInfo_ReadModule(ModuleRec& rec, FwModuleInfo& out);

// Reads the file and its info table. 0 when the file is readable, holds the
// marker and declares an application firmware (info type 1); -1 otherwise,
// with what was found so far filled in. report: a read error is shown.
int FwInfo_ReadHexFile(const std::string& fileName, bool report, FwHexInfo& out);
// The same over an image already read (the file-reading step left out).
int FwInfo_ScanImage(const HexSegment* image, FwHexInfo& out);

// "%.1fM" above 1 MiB, "%.1fk" above 1 KiB, else the count: 63295 -> "61.8k".
std::string FormatSize(int64_t count);
