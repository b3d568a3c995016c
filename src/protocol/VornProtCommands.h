// The module protocol's command table: frame layout constants and every
// command byte the program sends. A command byte holds the command code in
// bits 0..5; bit 7 asks for a reply (8 bytes, command code alone in byte 0),
// bit 6 for an acknowledgement (the command byte OR 0xC0, same length as the
// request); a byte with neither flag is sent without waiting.
#pragma once

#include <cstdint>

// ---- frame layout -----------------------------------------------------------
inline constexpr int VORN_PROT_DEFAULT_BASE_ID = 0x680;  // CAN id of node 0 unless the option says otherwise
inline constexpr int VORN_PROT_MAX_NODE = 127;
inline constexpr int VORN_PROT_REPLY_LEN = 8;

inline constexpr uint8_t VORN_FLAG_REPLY = 0x80;
inline constexpr uint8_t VORN_FLAG_ACK = 0x40;
inline constexpr uint8_t VORN_ACK_FLAGS = 0xC0;  // both flags: byte 0 of an acknowledgement
inline constexpr uint8_t VORN_CODE_MASK = 0x3F;

constexpr uint8_t VornCode(uint8_t commandByte) { return commandByte & VORN_CODE_MASK; }

// ---- command codes (bits 0..5) ------------------------------------------------
inline constexpr uint8_t VORN_CODE_IDENTIFY = 0;
inline constexpr uint8_t VORN_CODE_RESTART = 1;
inline constexpr uint8_t VORN_CODE_SEARCH = 2;
inline constexpr uint8_t VORN_CODE_FLASH_LED = 4;
inline constexpr uint8_t VORN_CODE_MODULE_INFO = 5;  // also validates/invalidates the firmware
inline constexpr uint8_t VORN_CODE_SERIAL_NUMBER = 9;
inline constexpr uint8_t VORN_CODE_BUS_PARAMS = 25;
inline constexpr uint8_t VORN_CODE_BLOCK_START = 27;
inline constexpr uint8_t VORN_CODE_BLOCK_DATA = 33;
inline constexpr uint8_t VORN_CODE_BLOCK_END = 34;
inline constexpr uint8_t VORN_CODE_BLOCK_STATUS = 35;
inline constexpr uint8_t VORN_CODE_CODE_START = 36;
inline constexpr uint8_t VORN_CODE_SHIPPING_DATE = 37;
inline constexpr uint8_t VORN_CODE_PROGRAMMING_DATE = 38;
inline constexpr uint8_t VORN_CODE_BOOT_COMMAND = 44;
inline constexpr uint8_t VORN_CODE_SWITCHES = 51;
inline constexpr uint8_t VORN_CODE_OBJECT = 52;
inline constexpr uint8_t VORN_CODE_BASE_CALIB = 53;
inline constexpr uint8_t VORN_CODE_CALIB_DATA = 54;
inline constexpr uint8_t VORN_CODE_LIN_PREPARE = 55;
inline constexpr uint8_t VORN_CODE_LIN_FRAME = 56;

// ---- command bytes as sent; request length in the comment ---------------------
// identify, len 1; sent to one node, or to node 0 in flash mode where all answer
inline constexpr uint8_t VORN_CMD_IDENTIFY = 0x80;
// restart, len 2; byte 1 = one of VORN_RESTART_*
inline constexpr uint8_t VORN_CMD_RESTART = 0x01;
// search, len 1, to node 0; modules in search mode answer
inline constexpr uint8_t VORN_CMD_SEARCH = 0x82;
// flash the LEDs, len 8: bytes 1..5 = 0, byte 6 = 10, byte 7 = cycles
inline constexpr uint8_t VORN_CMD_FLASH_LED = 0x04;
// module info, len 1: state, bootloader and firmware versions, processor, firmware present
inline constexpr uint8_t VORN_CMD_MODULE_INFO = 0x85;
// firmware status, len 8: byte 7 = 0 invalidate, 1 validate
inline constexpr uint8_t VORN_CMD_FIRMWARE_STATUS = 0x45;
// write serial number, len 8
inline constexpr uint8_t VORN_CMD_WRITE_SERIAL = 0x09;
// bus parameters: read len 1, write len 8 (byte 1 source, byte 6 bit-rate index, byte 7 node id)
inline constexpr uint8_t VORN_CMD_READ_BUS_PARAMS = 0x99;
inline constexpr uint8_t VORN_CMD_WRITE_BUS_PARAMS = 0x59;
// start a block transfer at a memory address, len 8, without or with acknowledgement
inline constexpr uint8_t VORN_CMD_BLOCK_START = 0x1B;
inline constexpr uint8_t VORN_CMD_BLOCK_START_ACK = 0x5B;
// block transfer: read the next seven bytes (len 1), write seven bytes (len 8)
inline constexpr uint8_t VORN_CMD_BLOCK_READ = 0xA1;
inline constexpr uint8_t VORN_CMD_BLOCK_WRITE_ACK = 0x61;
inline constexpr uint8_t VORN_CMD_BLOCK_WRITE = 0x21;
// block transfer: write the last 0 to 6 bytes / end of block, len 8
inline constexpr uint8_t VORN_CMD_BLOCK_WRITE_LAST = 0x62;
inline constexpr uint8_t VORN_CMD_BLOCK_END = 0xA2;
// block transfer status (bootloader error code), len 1
inline constexpr uint8_t VORN_CMD_BLOCK_STATUS = 0xA3;
// code start address, len 2; reply bytes 4..7, most significant first
inline constexpr uint8_t VORN_CMD_READ_CODE_START = 0xA4;
// shipping date: read len 1, set len 8 (bytes 1..7 century, year, month, day, hour, minute, second)
inline constexpr uint8_t VORN_CMD_READ_SHIPPING_DATE = 0xA5;
inline constexpr uint8_t VORN_CMD_SET_SHIPPING_DATE = 0x65;
// programming date: read len 1, set len 8
inline constexpr uint8_t VORN_CMD_READ_PROGRAMMING_DATE = 0xA6;
inline constexpr uint8_t VORN_CMD_SET_PROGRAMMING_DATE = 0x66;
// bootloader command with a 4-byte command key, len 5
inline constexpr uint8_t VORN_CMD_BOOT_COMMAND = 0xAC;
// DIP switches, len 1: reply byte 1 bit rate, byte 2 node id, byte 3 service button
inline constexpr uint8_t VORN_CMD_READ_SWITCHES = 0xB3;
// object access by index (byte 1 high, byte 2 low) and sub-index (byte 3):
// read len 4; write with acknowledgement len 5 or 8; write without answer len 8
inline constexpr uint8_t VORN_CMD_OBJECT_READ = 0xB4;
inline constexpr uint8_t VORN_CMD_OBJECT_WRITE_ACK = 0x74;
inline constexpr uint8_t VORN_CMD_OBJECT_WRITE = 0x34;
// base calibration values, len 8
inline constexpr uint8_t VORN_CMD_BASE_CALIB_READ = 0xB5;
inline constexpr uint8_t VORN_CMD_BASE_CALIB_WRITE = 0x35;
// calibration data: read len 4, write len 4 or 8
inline constexpr uint8_t VORN_CMD_CALIB_READ = 0xB6;
inline constexpr uint8_t VORN_CMD_CALIB_WRITE = 0x76;
// LIN master: prepare (len 6); send a LIN frame (len 7) or poll the received bytes (len 4)
inline constexpr uint8_t VORN_CMD_LIN_PREPARE = 0x37;
inline constexpr uint8_t VORN_CMD_LIN_FRAME = 0xB8;

// ---- restart targets (byte 1 of VORN_CMD_RESTART) ------------------------------
inline constexpr uint8_t VORN_RESTART_TO_BOOTLOADER = 0;
inline constexpr uint8_t VORN_RESTART_TO_FIRMWARE = 255;
inline constexpr uint8_t VORN_RESTART_SEARCH_TO_BOOTLOADER = 2;  // module in search mode
inline constexpr uint8_t VORN_RESTART_SEARCH_TO_FIRMWARE = 4;

// ---- module state byte (identify, search and module info replies, byte 1) ----
inline constexpr uint8_t VORN_STATE_MASK = 0x0F;
inline constexpr uint8_t VORN_STATE_FIRMWARE_RUNNING = 0x80;
inline constexpr uint8_t VORN_STATE_BOOTUP = 0;
inline constexpr uint8_t VORN_STATE_BOOTLOADER = 1;
inline constexpr uint8_t VORN_STATE_SEARCH_MODE = 2;
inline constexpr uint8_t VORN_STATE_PRE_OPERATIONAL = 3;
inline constexpr uint8_t VORN_STATE_STOPPED = 4;
inline constexpr uint8_t VORN_STATE_OPERATIONAL = 5;
