// The bootloader of a simulated module: program flash and data EEPROM sized
// by the processor type, block transfers into and out of them with the
// transfer count and sum, the firmware status with the firmware's identity
// read from its info table, the dsPIC finalisation key, and faults for tests.
//
// Flash is written one flash block at a time: a write must begin on a block
// boundary, the block is collected from the data frames and programmed by the
// end-of-block command (bytes behind the data keep their contents). A block
// closed before it was full ends the run of writes of that transfer: more
// data would leave a gap. Addresses are byte addresses, except on dsPIC
// program flash, where one address unit holds two bytes of the image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SimModuleConfig;

// What the bootloader of a processor family looks like.
struct BootCpu {
  uint8_t code = 0;           // processor type code
  uint32_t flashBytes = 0;    // size of program flash in image bytes
  uint32_t blockBytes = 0;    // flash block (erase and write unit) in image bytes
  bool wordAddressed = false; // flash addresses count two image bytes each
  bool needsKey = false;      // validation needs the bootloader command with the key
  uint32_t eepromBytes = 0;
  uint32_t codeStart = 0;     // default start of the firmware, in address units
  uint8_t checkMode = 0;      // default check mode of the status replies
};
// The parameters of a processor type; unknown codes get a small generic part.
const BootCpu& BootCpu_For(uint8_t cpuCode);

// Faults a test can switch on.
struct BootFaults {
  int loseAsyncDataEvery = 0;        // every Nth data frame without acknowledgement is lost; 0 none
  int wrongCheckValues = 0;          // this many status replies carry a wrong check value
  bool neverReturnFromReset = false; // a restart leaves the module silent for good
};

// The state a status reply reports.
struct BootStatus {
  uint8_t error = 0;
  uint8_t checkMode = 0;
  uint16_t checkValue = 0;
};

// The identity a firmware image declares in its info table.
struct BootFirmwareInfo {
  bool found = false;
  int infoType = -1, moduleType = -1, hardwareVersion = -1;
  int softwareMajor = -1, softwareMinor = -1;
};

class Bootloader {
 public:
  explicit Bootloader(uint8_t cpuCode) { setCpu(cpuCode); }

  // Re-sizes the memories for another processor (contents are erased).
  void setCpu(uint8_t cpuCode);
  uint8_t cpuCode() const { return cpuCode_; }
  const BootCpu& cpu() const { return *cpu_; }
  uint32_t codeStart() const { return codeStart_; }  // address units
  void setCodeStart(uint32_t address) { codeStart_ = address; }
  uint8_t checkMode() const { return checkMode_; }
  void setCheckMode(uint8_t mode) { checkMode_ = mode; }
  // Whether the firmware answers block transfers too (a build with memory access).
  bool memoryAccessInFirmware = false;
  BootFaults& faults() { return faults_; }

  // ---- memories (image byte addresses) ------------------------------------------
  std::vector<uint8_t> readFlash(uint32_t byteAddress, size_t count) const;
  void loadFlash(uint32_t byteAddress, const std::vector<uint8_t>& bytes);
  std::vector<uint8_t> readEeprom(uint32_t address, size_t count) const;
  void loadEeprom(uint32_t address, const std::vector<uint8_t>& bytes);
  void eraseAll();

  // ---- block transfers ------------------------------------------------------------
  void startTransfer(uint8_t memoryType, uint32_t address);
  // The next seven bytes at the transfer address.
  void readNext(uint8_t out[7]);
  // Seven data bytes; async marks a frame that needs no acknowledgement.
  void writeData(const uint8_t* bytes, int count, bool async);
  // The last 0..6 bytes; flash: programs the block collected so far.
  void endBlock(const uint8_t* bytes, int count);
  // The status as the next status reply reports it (uses up a check-value fault).
  BootStatus takeStatus();
  BootStatus status() const;

  // ---- completion -------------------------------------------------------------------
  // The bootloader command with its 4-byte key; returns the error code.
  uint8_t bootCommand(const uint8_t* key, int keyLength);
  // Invalidates or validates the installed firmware, updating the module's
  // identity: a validated firmware reports the versions and type of its info
  // table. On dsPIC parts validation needs the bootloader command first.
  void setFirmwareStatus(bool valid, SimModuleConfig& config);
  // A restart ends any transfer.
  void onRestart() { transfer_ = Transfer{}; }

  // Searches program flash for the firmware info table (byte and word layout).
  BootFirmwareInfo firmwareInfo() const;

  // ---- counters for tests -------------------------------------------------------------
  int blocksProgrammed() const { return blocksProgrammed_; }
  int lostDataFrames() const { return lostDataFrames_; }
  int transfersStarted() const { return transfersStarted_; }
  bool finalized() const { return finalized_; }

 private:
  struct Transfer {
    bool active = false;
    uint8_t memoryType = 0;
    uint32_t pos = 0;        // byte offset of the next byte in the memory
    uint8_t error = 0;
    uint32_t count = 0;      // bytes written since the start
    uint32_t sum = 0;
    std::vector<uint8_t> block;  // flash bytes collected for the current block
    uint32_t blockBase = 0;
    bool closedShort = false;    // a block ended before it was full
  };

  std::vector<uint8_t>& memory(uint8_t memoryType);
  void fail(uint8_t error);
  bool acceptFlashBytes(const uint8_t* bytes, int count);
  void writeEeprom(const uint8_t* bytes, int count);
  void programBlock();
  uint32_t codeStartBytes() const;

  uint8_t cpuCode_ = 0;
  const BootCpu* cpu_ = nullptr;
  uint32_t codeStart_ = 0;
  uint8_t checkMode_ = 0;
  std::vector<uint8_t> flash_;   // allocated when first used
  std::vector<uint8_t> eeprom_;
  Transfer transfer_;
  BootFaults faults_;
  bool finalized_ = false;       // dsPIC: the key was given since the last write
  int asyncFrames_ = 0;
  int blocksProgrammed_ = 0;
  int lostDataFrames_ = 0;
  int transfersStarted_ = 0;
};
