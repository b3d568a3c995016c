// Firmware images for the simulator and the tests: blocks of bytes at
// addresses, the firmware info table that every firmware carries behind the
// "~KVXINFOSTRUCT~" marker, the word layout of CPUs that keep two useful bytes
// in every 4-byte program word, and the Intel HEX text of an image.
//
// The HEX text is produced here on its own (not by the program's writer), so
// it can vary what a real tool chain varies: record length, segment or linear
// addressing, letter case, line ends and start records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr char kFwInfoMarker[] = "~KVXINFOSTRUCT~";
// One table entry: 16 key bytes and four value bytes (byte layout).
inline constexpr size_t kFwInfoEntrySize = 20;

struct FwImageBlock {
  uint32_t address = 0;
  std::vector<uint8_t> bytes;
};

// What the info table declares; an empty value leaves its entry out.
struct FwInfoValues {
  std::optional<int> infoType = 1;  // 1 application firmware, 0 bootloader
  std::optional<int> moduleType;
  std::optional<int> hardwareVersion;
  std::optional<int> softwareMajor;  // the entry is written when both parts are set
  std::optional<int> softwareMinor;
  char keyTerminator = '\0';  // NUL, blank or '=' after each key
  bool closingMarker = true;  // a second marker entry ends the table
};

// One entry in byte layout: the key (at most 16 characters), the terminator
// when there is room, NUL padding, then value bytes 0..3.
std::vector<uint8_t> FwInfo_Entry(const std::string& key, uint8_t v0, uint8_t v1, uint8_t v2,
                                  uint8_t v3, char terminator = '\0');
// The whole table in byte layout, starting with the marker entry.
std::vector<uint8_t> FwInfo_Table(const FwInfoValues& values);
// Word layout: every two useful bytes become the low two bytes of a 4-byte
// group (the upper two are 0); an odd last byte is padded with 0.
std::vector<uint8_t> FwImage_ToWordData(const std::vector<uint8_t>& bytes);

// A firmware block: pseudo-random code bytes with the info table inside.
struct FwImageLayout {
  uint32_t address = 0x1000;  // byte address of the block in the image
  size_t codeBytes = 4096;    // useful bytes, before the word layout
  // Where the table starts among the useful bytes; table bytes beyond
  // codeBytes are cut off, so codeBytes - 15 puts the marker text at the very
  // end. Empty: an image without the marker.
  std::optional<size_t> tableOffset = 256;
  bool wordData = false;
  FwInfoValues info;
  uint32_t seed = 1;  // varies the code bytes
};

struct HexTextOptions {
  enum class Addressing { Linear, Segment };
  int recordLength = 16;  // data bytes per record, 1..255
  // Linear: type 4 records; Segment: type 2 records (image below 1 MiB only).
  Addressing addressing = Addressing::Linear;
  std::string lineEnd = "\r\n";
  bool lowerCase = false;
  std::optional<uint32_t> startAddress;  // written as a type 5 (linear) or type 3 (segment) record
  bool endRecord = true;                 // the closing ":00000001FF"
};

// The Intel HEX text of the blocks, in block order. Throws std::invalid_argument
// for options it cannot honour (record length, segment addressing above 1 MiB).
std::string FwImage_HexText(const std::vector<FwImageBlock>& blocks,
                            const HexTextOptions& options = {});

// Collects blocks and turns them into HEX text or a file.
class HexImageBuilder {
 public:
  HexImageBuilder& add(uint32_t address, std::vector<uint8_t> bytes);
  // Pseudo-random bytes (never containing the marker), for filler blocks.
  HexImageBuilder& addPattern(uint32_t address, size_t length, uint32_t seed);
  HexImageBuilder& addFirmware(const FwImageLayout& layout);
  // Overwrites bytes of already added blocks; false when some byte is in none.
  bool poke(uint32_t address, const std::vector<uint8_t>& bytes);

  const std::vector<FwImageBlock>& blocks() const { return blocks_; }
  std::string hexText(const HexTextOptions& options = {}) const;
  bool writeHexFile(const std::string& path, const HexTextOptions& options = {}) const;

 private:
  std::vector<FwImageBlock> blocks_;
};

// The bytes of a firmware block as addFirmware lays them out.
std::vector<uint8_t> FwImage_FirmwareBytes(const FwImageLayout& layout);
// Pseudo-random filler bytes.
std::vector<uint8_t> FwImage_Pattern(size_t length, uint32_t seed);
