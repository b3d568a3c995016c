// What a simulated module offers the program's service pages beyond plain
// objects: a running real-time clock, serial numbers, an SMS table in its
// EEPROM, memory contents, memory access from the firmware, and - for a LIN
// master - the LIN slaves on its LIN bus. The population file's module keys
// rtc=, serials=, sms=, memaccess= and the statements memory, smsentry and
// linslave fill it (docs/simulator.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The clock object 0x3099 (seconds, minutes, hours, day, month, year - 2000)
// runs from the date given, or from the PC's local time when the module starts.
struct SimClockConfig {
  bool present = false;
  bool fromPcTime = false;
  uint8_t second = 0, minute = 0, hour = 0, day = 1, month = 1, year = 0;  // year - 2000
};

// The SMS table's layout object 0x3008; the entries live in the memory.
struct SimSmsLayout {
  int count = -1;  // -1: no table
  uint32_t address = 0;
  uint32_t entrySize = 0;
  uint8_t memoryType = 1;  // EEPROM
};

// Bytes put into a memory at power-up. Flash addresses are in the program's
// address units (two image bytes each on dsPIC program flash).
struct SimMemoryFill {
  uint8_t memoryType = 1;
  uint32_t address = 0;
  std::vector<uint8_t> bytes;
  uint32_t patternLength = 0;  // > 0: `bytes` is empty and a counting pattern fills this many bytes
};
// The byte of the counting pattern at offset i.
inline uint8_t SimMemoryPattern(uint32_t i) { return uint8_t(i + (i >> 8) * 3); }

// A LIN slave answering its master's requests with its node id and type.
struct SimLinSlave {
  int node = 0;
  uint32_t type = 0;
  // Fault of its answers: "" none, "checksum", "node", "response", "type",
  // "short" (six of the ten bytes), "silent" (no answer).
  std::string fault;
  int delayMs = 0;  // time from the request to the complete answer
};

struct SimServiceConfig {
  SimClockConfig clock;
  bool hasSerials = false;
  uint32_t userSerial = 0, manufSerial = 0;
  SimSmsLayout sms;
  bool memoryAccess = false;  // the firmware answers block transfers too
  std::vector<SimMemoryFill> memory;
  std::vector<SimLinSlave> linSlaves;
};
