#include "firmware/HexImageBuilder.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

std::vector<uint8_t> FwInfo_Entry(const std::string& key, uint8_t v0, uint8_t v1, uint8_t v2,
                                  uint8_t v3, char terminator) {
  std::vector<uint8_t> entry(kFwInfoEntrySize, 0);
  size_t n = key.size() < 16 ? key.size() : 16;
  memcpy(entry.data(), key.data(), n);
  if (n < 16) entry[n] = static_cast<uint8_t>(terminator);
  entry[16] = v0;
  entry[17] = v1;
  entry[18] = v2;
  entry[19] = v3;
  return entry;
}

std::vector<uint8_t> FwInfo_Table(const FwInfoValues& values) {
  std::vector<uint8_t> table;
  auto append = [&table](const std::vector<uint8_t>& entry) {
    table.insert(table.end(), entry.begin(), entry.end());
  };
  auto hi = [](int v) { return static_cast<uint8_t>(v >> 8 & 0xFF); };
  auto lo = [](int v) { return static_cast<uint8_t>(v & 0xFF); };
  char t = values.keyTerminator;

  // The marker's own entry keeps its NUL so its text is found whole.
  append(FwInfo_Entry(kFwInfoMarker, 0, 0, 0, 0));
  if (values.infoType) append(FwInfo_Entry("INFO_TYPE", 0, 0, 0, lo(*values.infoType), t));
  if (values.moduleType) {
    append(FwInfo_Entry("MODULE_TYPE", 0, 0, hi(*values.moduleType), lo(*values.moduleType), t));
  }
  if (values.hardwareVersion) {
    append(FwInfo_Entry("HARDW_VERSION", 0, 0, hi(*values.hardwareVersion),
                        lo(*values.hardwareVersion), t));
  }
  if (values.softwareMajor && values.softwareMinor) {
    append(FwInfo_Entry("SOFTW_VERSION", 0, lo(*values.softwareMajor), 0,
                        lo(*values.softwareMinor), t));
  }
  if (values.closingMarker) append(FwInfo_Entry(kFwInfoMarker, 0, 0, 0, 0));
  return table;
}

std::vector<uint8_t> FwImage_ToWordData(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> words;
  words.reserve((bytes.size() + 1) / 2 * 4);
  for (size_t i = 0; i < bytes.size(); i += 2) {
    words.push_back(bytes[i]);
    words.push_back(i + 1 < bytes.size() ? bytes[i + 1] : 0);
    words.push_back(0);
    words.push_back(0);
  }
  return words;
}

std::vector<uint8_t> FwImage_Pattern(size_t length, uint32_t seed) {
  std::vector<uint8_t> bytes(length);
  uint32_t x = seed * 2654435761u + 0x9E3779B9u;
  for (size_t i = 0; i < length; i++) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    // '~' never occurs, so filler can't complete a marker.
    uint8_t b = static_cast<uint8_t>(x >> 24);
    bytes[i] = b == '~' ? 0x7F : b;
  }
  return bytes;
}

std::vector<uint8_t> FwImage_FirmwareBytes(const FwImageLayout& layout) {
  std::vector<uint8_t> code = FwImage_Pattern(layout.codeBytes, layout.seed);
  if (layout.tableOffset && *layout.tableOffset < code.size()) {
    std::vector<uint8_t> table = FwInfo_Table(layout.info);
    size_t at = *layout.tableOffset;
    size_t n = table.size() < code.size() - at ? table.size() : code.size() - at;
    memcpy(code.data() + at, table.data(), n);
  }
  return layout.wordData ? FwImage_ToWordData(code) : code;
}

// ---- HEX text ---------------------------------------------------------------

namespace {

class HexTextWriter {
 public:
  explicit HexTextWriter(const HexTextOptions& options) : options_(options) {}

  void record(uint32_t type, uint32_t offset, const uint8_t* bytes, size_t count) {
    uint32_t sum = static_cast<uint32_t>(count) + (offset >> 8 & 0xFF) + (offset & 0xFF) + type;
    text_ += ':';
    byte(static_cast<uint32_t>(count));
    byte(offset >> 8 & 0xFF);
    byte(offset & 0xFF);
    byte(type);
    for (size_t i = 0; i < count; i++) {
      byte(bytes[i]);
      sum += bytes[i];
    }
    byte(-sum & 0xFF);
    text_ += options_.lineEnd;
  }

  void value16(uint32_t type, uint32_t value) {
    uint8_t b[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    record(type, 0, b, 2);
  }

  void value32(uint32_t type, uint32_t value) {
    uint8_t b[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                    static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    record(type, 0, b, 4);
  }

  std::string& text() { return text_; }

 private:
  void byte(uint32_t b) {
    const char* digits = options_.lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
    text_ += digits[b >> 4 & 0xF];
    text_ += digits[b & 0xF];
  }

  const HexTextOptions& options_;
  std::string text_;
};

}  // namespace

std::string FwImage_HexText(const std::vector<FwImageBlock>& blocks, const HexTextOptions& options) {
  if (options.recordLength < 1 || options.recordLength > 255) {
    throw std::invalid_argument("record length must be 1..255");
  }
  bool segmentMode = options.addressing == HexTextOptions::Addressing::Segment;
  HexTextWriter out(options);
  uint32_t page = 0;  // 64 KiB page the reader's base points at; 0 before any address record
  for (const FwImageBlock& block : blocks) {
    size_t i = 0;
    while (i < block.bytes.size()) {
      uint32_t address = block.address + static_cast<uint32_t>(i);
      uint32_t wanted = address >> 16;
      if (wanted != page) {
        if (segmentMode) {
          if (wanted >= 16) throw std::invalid_argument("segment addressing reaches 1 MiB only");
          out.value16(2, wanted << 12);
        } else {
          out.value16(4, wanted);
        }
        page = wanted;
      }
      uint32_t offset = address & 0xFFFF;
      size_t count = block.bytes.size() - i;
      if (count > static_cast<size_t>(options.recordLength)) count = options.recordLength;
      if (count > 0x10000 - offset) count = 0x10000 - offset;
      out.record(0, offset, block.bytes.data() + i, count);
      i += count;
    }
  }
  if (options.startAddress) {
    if (segmentMode) {
      // CS:IP of a start address below 1 MiB.
      uint32_t a = *options.startAddress;
      out.value32(3, (a >> 4 & 0xF000) << 16 | (a & 0xFFFF));
    } else {
      out.value32(5, *options.startAddress);
    }
  }
  if (options.endRecord) out.record(1, 0, nullptr, 0);
  return std::move(out.text());
}

// ---- builder ----------------------------------------------------------------

HexImageBuilder& HexImageBuilder::add(uint32_t address, std::vector<uint8_t> bytes) {
  blocks_.push_back({address, std::move(bytes)});
  return *this;
}

HexImageBuilder& HexImageBuilder::addPattern(uint32_t address, size_t length, uint32_t seed) {
  return add(address, FwImage_Pattern(length, seed));
}

HexImageBuilder& HexImageBuilder::addFirmware(const FwImageLayout& layout) {
  return add(layout.address, FwImage_FirmwareBytes(layout));
}

bool HexImageBuilder::poke(uint32_t address, const std::vector<uint8_t>& bytes) {
  bool allPlaced = true;
  for (size_t i = 0; i < bytes.size(); i++) {
    uint32_t a = address + static_cast<uint32_t>(i);
    bool placed = false;
    for (FwImageBlock& block : blocks_) {
      if (a >= block.address && a - block.address < block.bytes.size()) {
        block.bytes[a - block.address] = bytes[i];
        placed = true;
      }
    }
    allPlaced = allPlaced && placed;
  }
  return allPlaced;
}

std::string HexImageBuilder::hexText(const HexTextOptions& options) const {
  return FwImage_HexText(blocks_, options);
}

bool HexImageBuilder::writeHexFile(const std::string& path, const HexTextOptions& options) const {
  std::string text = hexText(options);
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
  return fclose(f) == 0 && ok;
}
