// One CAN frame as it passes between the module protocol, the interface
// layer, the links and the logger.
#pragma once

#include <cstdint>

struct CanMsg {
  // Bits 0..28 the CAN identifier; bits 29..31 are the flags below.
  uint32_t id = 0;
  // Number of data bytes, 0..8.
  uint32_t len = 0;
  // One byte value (0..255) per element; data[0] is the first byte on the bus
  // and, for the module protocol, its command byte.
  uint32_t data[8] = {};
  // Receive time stamp in ms as delivered by the link; not used when sending.
  uint32_t time = 0;
};

constexpr uint32_t CANMSG_ID_MASK = 0x1FFFFFFF;
// An error report of the link; the error kinds are in the identifier bits.
constexpr uint32_t CANMSG_FLAG_ERROR = 0x20000000;
constexpr uint32_t CANMSG_FLAG_REMOTE = 0x40000000;
// Identifier shown with 8 hexadecimal digits (extended form); on the Ethernet
// master link the same bit marks a control frame of the master.
constexpr uint32_t CANMSG_FLAG_LONG = 0x80000000;
constexpr uint32_t CANMSG_FLAG_CONTROL = CANMSG_FLAG_LONG;

// Error kinds in the identifier of an error report (CANMSG_FLAG_ERROR set).
constexpr uint32_t CANMSG_ERROR_ACK = 0x20;
constexpr uint32_t CANMSG_ERROR_BUSOFF = 0x40;
constexpr uint32_t CANMSG_ERROR_BUS = 0x80;
constexpr uint32_t CANMSG_ERROR_RESET = 0x100;
