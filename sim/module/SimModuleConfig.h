// Everything that describes one simulated module when it is powered up: its
// identity, versions, dates, switches, EEPROM bus parameters and objects.
// Population files and tests fill it; the module keeps its own copy and
// changes it as a real module would change its EEPROM.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "module/SimIoConfig.h"
#include "module/SimServiceConfig.h"

// A date as the module protocol carries it in bytes 1..7 of a date reply.
struct SimDate {
  uint8_t century = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  static SimDate make(int fullYear, int month, int day, int hour = 0, int minute = 0, int second = 0);
  bool operator==(const SimDate&) const = default;
};

// Data type codes of object entries, as the object read reply names them.
enum SimDataType : uint8_t {
  SIM_BOOL = 1, SIM_INT8 = 2, SIM_INT16 = 3, SIM_INT32 = 4, SIM_UINT8 = 5,
  SIM_UINT16 = 6, SIM_UINT32 = 7, SIM_REAL32 = 8, SIM_STRING = 9, SIM_PDOCOMPAR = 32,
};

// One entry of a module's object dictionary.
struct SimObject {
  uint16_t index = 0;
  uint8_t subindex = 0;
  uint32_t value = 0;        // the four value bytes, least significant first on the wire
  uint8_t dataType = SIM_UINT32;
  bool writable = false;
  uint8_t statusBits = 0;    // further status bits reported in the read reply (bits 1..6)
};

struct SimModuleConfig {
  std::string label;           // free text shown by kvxsim, e.g. "DIO 16"
  int bus = 0;                 // bus index 0..7 of the master
  int node = 1;                // node id 1..127 the module answers on at power-up
  uint32_t type = 0;           // module type number
  uint8_t hwVersion = 1;
  // State byte at power-up: bits 0..3 state number, bit 7 firmware running.
  // 0x85 = firmware running, Operational; 0x01 = in the bootloader.
  uint8_t state = 0x85;
  uint8_t bootMajor = 1, bootMinor = 0;    // 255, 255 = none
  uint8_t fwMajor = 1, fwMinor = 0;        // 255, 255 = none
  uint8_t cpu = 2;                         // processor type code
  bool firmwarePresent = true;
  // Identify replies carry the type's high byte in byte 4 and a 0 in byte 5.
  // Older modules send a non-zero byte 5 instead (their type fits one byte).
  bool extendedType = true;
  SimDate shippingDate;
  SimDate programmingDate;

  // Bus parameters. Classic modules (any format but 38) may have DIP
  // switches; format-38 modules have none and can have their EEPROM values cleared.
  uint8_t paramFormat = 0;
  bool hasDipSwitches = true;
  uint8_t dipNodeSwitches = 0;  // node id switches: low nibble low digit, high nibble high digit
  uint8_t dipBaudSwitches = 4;  // bit-rate switches; bits 0..2 are the bit-rate index on CAN
  bool useDip = false;          // true: the module takes node and bit rate from the switches
  uint8_t eepromNode = 255;     // 255 = cleared
  uint8_t eepromBaud = 255;     // bit-rate index, 255 = cleared
  bool serviceButton = false;   // state of the service button in the switch reply

  int responseDelayUs = 0;      // time the module takes to answer a request
  std::vector<SimObject> objects;
  SimIoConfig io;               // signals and calibration points of its I/O channels
  SimServiceConfig service;     // clock, serials, SMS table, memory contents, LIN slaves

  // A module whose switches and EEPROM agree with node and bus bit rate.
  static SimModuleConfig make(int bus, int node, uint32_t type, uint8_t busBitRateCode = 4);
};
