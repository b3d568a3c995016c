#include "module/Bootloader.h"

#include <algorithm>
#include <cstring>

#include "module/SimModuleConfig.h"
#include "protocol/WireConstants.h"

using namespace Wire;

namespace {

constexpr uint8_t kErased = 0xFF;
constexpr char kInfoMarker[] = "~KVXINFOSTRUCT~";
constexpr size_t kInfoMarkerLength = sizeof(kInfoMarker) - 1;
constexpr size_t kInfoEntry = 20;  // 16 key bytes, four value bytes (byte layout)
constexpr size_t kInfoKey = 16;
constexpr int kMaxInfoEntries = 256;

// The flash blocks are the parts' erase and write units in image bytes; the
// dsPIC parts keep two useful bytes in every 4-byte image word.
const BootCpu kCpus[] = {
    {VORN_CPU_PIC18F, 0x20000, 64, false, false, 1024, 0x0000, 0},
    {VORN_CPU_DSPIC30F, 0x80000, 128, true, true, 4096, 0x0400, 0},
    {VORN_CPU_AT8051, 0x10000, 128, false, false, 0, 0x2000, 0},
    {VORN_CPU_DSPIC33F, 0x80000, 2048, true, true, 0, 0x0400, VORN_CHECK_MODE_SUM},
    {VORN_CPU_SAMC21, 0x40000, 256, false, false, 8192, 0x1000, VORN_CHECK_MODE_SUM},
};
const BootCpu kGenericCpu = {0, 0x10000, 64, false, false, 256, 0, 0};

// Position of the marker in bytes, or npos.
// Jumps from "~" to "~" with memchr: a whole flash is searched at every
// validation, and that must stay quick in unoptimised and sanitizer builds.
size_t FindMarker(const std::vector<uint8_t>& bytes) {
  const uint8_t* begin = bytes.data();
  const uint8_t* end = begin + bytes.size();
  for (const uint8_t* p = begin; p < end; ++p) {
    p = static_cast<const uint8_t*>(std::memchr(p, kInfoMarker[0], size_t(end - p)));
    if (!p) break;
    if (size_t(end - p) >= kInfoMarkerLength && std::memcmp(p, kInfoMarker, kInfoMarkerLength) == 0)
      return size_t(p - begin);
  }
  return std::string::npos;
}

std::string EntryKey(const uint8_t* entry) {
  std::string key;
  for (size_t i = 0; i < kInfoKey; ++i) {
    char c = static_cast<char>(entry[i]);
    if (c == '\0' || c == ' ' || c == '=') break;
    key += c;
  }
  return key;
}

// Walks the table that starts with the marker entry at `at`.
BootFirmwareInfo ParseInfoTable(const std::vector<uint8_t>& bytes, size_t at) {
  BootFirmwareInfo info;
  info.found = true;
  for (int i = 1; i <= kMaxInfoEntries; ++i) {
    size_t start = at + size_t(i) * kInfoEntry;
    if (start + kInfoEntry > bytes.size()) break;
    const uint8_t* entry = &bytes[start];
    const uint8_t* v = entry + kInfoKey;
    std::string key = EntryKey(entry);
    if (key == kInfoMarker) break;
    if (key == "INFO_TYPE") info.infoType = v[3];
    else if (key == "MODULE_TYPE") info.moduleType = v[2] * 256 + v[3];
    else if (key == "HARDW_VERSION") info.hardwareVersion = v[2] * 256 + v[3];
    else if (key == "SOFTW_VERSION") {
      info.softwareMajor = v[1];
      info.softwareMinor = v[3];
    }
  }
  return info;
}

// Bytes past the end of a memory read as erased; writes past it are dropped.
std::vector<uint8_t> ReadRange(const std::vector<uint8_t>& mem, uint32_t address, size_t count) {
  std::vector<uint8_t> out(count, kErased);
  for (size_t i = 0; i < count && size_t(address) + i < mem.size(); ++i) out[i] = mem[address + i];
  return out;
}

void LoadRange(std::vector<uint8_t>& mem, uint32_t address, const std::vector<uint8_t>& bytes) {
  for (size_t i = 0; i < bytes.size() && size_t(address) + i < mem.size(); ++i) mem[address + i] = bytes[i];
}

}  // namespace

const BootCpu& BootCpu_For(uint8_t cpuCode) {
  for (const BootCpu& c : kCpus)
    if (c.code == cpuCode) return c;
  return kGenericCpu;
}

void Bootloader::setCpu(uint8_t cpuCode) {
  cpuCode_ = cpuCode;
  cpu_ = &BootCpu_For(cpuCode);
  codeStart_ = cpu_->codeStart;
  checkMode_ = cpu_->checkMode;
  flash_.clear();
  eeprom_.clear();
  transfer_ = Transfer{};
  finalized_ = false;
}

std::vector<uint8_t>& Bootloader::memory(uint8_t memoryType) {
  bool flash = memoryType == VORN_MEMORY_FLASH;
  std::vector<uint8_t>& mem = flash ? flash_ : eeprom_;
  size_t size = flash ? cpu_->flashBytes : cpu_->eepromBytes;
  if (mem.size() != size) mem.assign(size, kErased);
  return mem;
}

std::vector<uint8_t> Bootloader::readFlash(uint32_t byteAddress, size_t count) const {
  return ReadRange(flash_, byteAddress, count);
}

void Bootloader::loadFlash(uint32_t byteAddress, const std::vector<uint8_t>& bytes) {
  LoadRange(memory(VORN_MEMORY_FLASH), byteAddress, bytes);
}

std::vector<uint8_t> Bootloader::readEeprom(uint32_t address, size_t count) const {
  return ReadRange(eeprom_, address, count);
}

void Bootloader::loadEeprom(uint32_t address, const std::vector<uint8_t>& bytes) {
  LoadRange(memory(VORN_MEMORY_EEPROM), address, bytes);
}

void Bootloader::eraseAll() {
  flash_.clear();
  eeprom_.clear();
}

uint32_t Bootloader::codeStartBytes() const { return cpu_->wordAddressed ? codeStart_ * 2 : codeStart_; }

void Bootloader::fail(uint8_t error) {
  if (transfer_.error == VORN_BOOT_OK) transfer_.error = error;
}

void Bootloader::startTransfer(uint8_t memoryType, uint32_t address) {
  transfer_ = Transfer{};
  transfer_.active = true;
  transfer_.memoryType = memoryType;
  ++transfersStarted_;
  if (memoryType > VORN_MEMORY_EEPROM || memory(memoryType).empty()) {
    fail(VORN_BOOT_ERR_PARAMETER);
    return;
  }
  uint64_t pos = address;
  if (memoryType == VORN_MEMORY_FLASH && cpu_->wordAddressed) pos *= 2;
  if (pos > memory(memoryType).size()) {
    fail(VORN_BOOT_ERR_ADDRESS_OVERFLOW);
    return;
  }
  transfer_.pos = static_cast<uint32_t>(pos);
  transfer_.blockBase = transfer_.pos;
}

void Bootloader::readNext(uint8_t out[7]) {
  const std::vector<uint8_t>* mem = nullptr;
  if (transfer_.active && transfer_.memoryType <= VORN_MEMORY_EEPROM) mem = &memory(transfer_.memoryType);
  for (int i = 0; i < 7; ++i) {
    size_t at = size_t(transfer_.pos) + size_t(i);
    out[i] = mem && at < mem->size() ? (*mem)[at] : kErased;
  }
  if (transfer_.active) transfer_.pos += 7;
}

void Bootloader::writeData(const uint8_t* bytes, int count, bool async) {
  if (async && faults_.loseAsyncDataEvery > 0 && ++asyncFrames_ % faults_.loseAsyncDataEvery == 0) {
    ++lostDataFrames_;  // arrived while the receive buffer was full
    return;
  }
  if (!transfer_.active) {
    fail(VORN_BOOT_ERR_PARAMETER);
    return;
  }
  if (transfer_.error != VORN_BOOT_OK) return;  // the transfer is dead until the next start
  transfer_.count += uint32_t(count);
  for (int i = 0; i < count; ++i) transfer_.sum += bytes[i];
  if (transfer_.memoryType == VORN_MEMORY_FLASH)
    acceptFlashBytes(bytes, count);
  else
    writeEeprom(bytes, count);
}

void Bootloader::endBlock(const uint8_t* bytes, int count) {
  if (!transfer_.active || count < 0 || count > 6) {
    fail(VORN_BOOT_ERR_PARAMETER);
    return;
  }
  if (transfer_.error != VORN_BOOT_OK) return;
  transfer_.count += uint32_t(count);
  for (int i = 0; i < count; ++i) transfer_.sum += bytes[i];
  if (transfer_.memoryType != VORN_MEMORY_FLASH) {
    writeEeprom(bytes, count);
    return;
  }
  if (transfer_.block.empty() && count == 0) {
    fail(VORN_BOOT_ERR_BUFFER_EMPTY);
    return;
  }
  if (acceptFlashBytes(bytes, count)) programBlock();
}

bool Bootloader::acceptFlashBytes(const uint8_t* bytes, int count) {
  if (count == 0) return true;
  Transfer& t = transfer_;
  if (t.closedShort) {
    fail(VORN_BOOT_ERR_ADDRESS_GAP);
    return false;
  }
  if (t.block.empty()) {
    if (t.pos % cpu_->blockBytes != 0) {
      fail(VORN_BOOT_ERR_ALIGNMENT);
      return false;
    }
    if (t.pos < codeStartBytes()) {
      fail(VORN_BOOT_ERR_CODE_START);
      return false;
    }
    if (uint64_t(t.pos) + cpu_->blockBytes > cpu_->flashBytes) {
      fail(VORN_BOOT_ERR_ADDRESS_OVERFLOW);
      return false;
    }
    t.blockBase = t.pos;
  }
  if (t.block.size() + size_t(count) > cpu_->blockBytes) {
    fail(VORN_BOOT_ERR_BUFFER_OVERFLOW);
    return false;
  }
  t.block.insert(t.block.end(), bytes, bytes + count);
  return true;
}

// Programs the collected bytes at the block's start; a short block ends the
// writes of this transfer.
void Bootloader::programBlock() {
  Transfer& t = transfer_;
  std::vector<uint8_t>& mem = memory(VORN_MEMORY_FLASH);
  std::copy(t.block.begin(), t.block.end(), mem.begin() + t.blockBase);
  ++blocksProgrammed_;
  finalized_ = false;
  if (t.block.size() < cpu_->blockBytes) t.closedShort = true;
  t.pos = t.blockBase + cpu_->blockBytes;
  t.blockBase = t.pos;
  t.block.clear();
}

void Bootloader::writeEeprom(const uint8_t* bytes, int count) {
  std::vector<uint8_t>& mem = memory(VORN_MEMORY_EEPROM);
  if (size_t(transfer_.pos) + size_t(count) > mem.size()) {
    fail(VORN_BOOT_ERR_ADDRESS_OVERFLOW);
    return;
  }
  std::copy(bytes, bytes + count, mem.begin() + transfer_.pos);
  transfer_.pos += uint32_t(count);
}

BootStatus Bootloader::status() const {
  BootStatus s;
  s.error = transfer_.error;
  s.checkMode = checkMode_;
  s.checkValue = checkMode_ == VORN_CHECK_MODE_SUM ? uint16_t(~transfer_.sum & 0xFFFF)
                                                   : uint16_t(transfer_.count & 0xFFFF);
  return s;
}

BootStatus Bootloader::takeStatus() {
  BootStatus s = status();
  if (faults_.wrongCheckValues > 0) {
    --faults_.wrongCheckValues;
    s.checkValue = uint16_t(s.checkValue + 1);
  }
  return s;
}

uint8_t Bootloader::bootCommand(const uint8_t* key, int keyLength) {
  if (!cpu_->needsKey || keyLength < 4) return VORN_BOOT_ERR_PARAMETER;
  if (std::memcmp(key, VORN_BOOT_KEY, 4) != 0) return VORN_BOOT_ERR_COMMAND_KEY;
  finalized_ = true;
  return VORN_BOOT_OK;
}

void Bootloader::setFirmwareStatus(bool valid, SimModuleConfig& config) {
  if (!valid) {
    config.firmwarePresent = false;
    return;
  }
  if (cpu_->needsKey && !finalized_) return;  // not completed: the firmware stays invalid
  config.firmwarePresent = true;
  BootFirmwareInfo info = firmwareInfo();
  bool versioned = info.softwareMajor >= 0;
  config.fwMajor = versioned ? uint8_t(info.softwareMajor) : uint8_t(255);
  config.fwMinor = versioned ? uint8_t(info.softwareMinor) : uint8_t(255);
  if (info.moduleType >= 0) config.type = uint32_t(info.moduleType);
}

BootFirmwareInfo Bootloader::firmwareInfo() const {
  if (flash_.empty()) return {};
  size_t at = FindMarker(flash_);
  if (at != std::string::npos) return ParseInfoTable(flash_, at);
  // Word layout: the first two bytes of every 4-byte group carry the data.
  std::vector<uint8_t> useful(flash_.size() / 2 + 2);
  size_t n = 0;
  for (size_t i = 0; i < flash_.size(); i += 4) {
    useful[n++] = flash_[i];
    if (i + 1 < flash_.size()) useful[n++] = flash_[i + 1];
  }
  useful.resize(n);
  at = FindMarker(useful);
  if (at != std::string::npos) return ParseInfoTable(useful, at);
  return {};
}
