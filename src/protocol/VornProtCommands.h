// The module protocol's command table: frame layout constants and every
// command byte the program sends. A command byte holds the command code in
// bits 0..5; bit 7 asks for a reply (8 bytes, command code alone in byte 0),
// bit 6 for an acknowledgement (the command byte OR 0xC0, same length as the
// request); a byte with neither flag is sent without waiting.
// The values live in WireConstants.h, which the simulator shares; this table
// names them for the program and says how each command is used.
#pragma once

#include <cstdint>

#include "protocol/WireConstants.h"

// ---- frame layout -----------------------------------------------------------
// CAN id of node 0 unless the option says otherwise
inline constexpr int VORN_PROT_DEFAULT_BASE_ID = int(Wire::VORN_PROT_BASE_ID);
using Wire::VORN_PROT_MAX_NODE;
using Wire::VORN_PROT_REPLY_LEN;

using Wire::VORN_FLAG_REPLY;
using Wire::VORN_FLAG_ACK;
using Wire::VORN_ACK_FLAGS;  // both flags: byte 0 of an acknowledgement
using Wire::VORN_CODE_MASK;

constexpr uint8_t VornCode(uint8_t commandByte) { return commandByte & VORN_CODE_MASK; }

// ---- command codes (bits 0..5) ------------------------------------------------
using Wire::VORN_CODE_IDENTIFY;
using Wire::VORN_CODE_RESTART;
using Wire::VORN_CODE_SEARCH;
using Wire::VORN_CODE_FLASH_LED;
using Wire::VORN_CODE_MODULE_INFO;  // also validates/invalidates the firmware
using Wire::VORN_CODE_SERIAL_NUMBER;
using Wire::VORN_CODE_BUS_PARAMS;
using Wire::VORN_CODE_BLOCK_START;
using Wire::VORN_CODE_BLOCK_DATA;
using Wire::VORN_CODE_BLOCK_END;
using Wire::VORN_CODE_BLOCK_STATUS;
using Wire::VORN_CODE_CODE_START;
using Wire::VORN_CODE_SHIPPING_DATE;
using Wire::VORN_CODE_PROGRAMMING_DATE;
using Wire::VORN_CODE_BOOT_COMMAND;
using Wire::VORN_CODE_SWITCHES;
using Wire::VORN_CODE_OBJECT;
using Wire::VORN_CODE_BASE_CALIB;
using Wire::VORN_CODE_CALIB_DATA;
using Wire::VORN_CODE_LIN_PREPARE;
using Wire::VORN_CODE_LIN_FRAME;

// ---- command bytes as sent; request length in the comment ---------------------
// identify, len 1; sent to one node, or to node 0 in flash mode where all answer
using Wire::VORN_CMD_IDENTIFY;
// restart, len 2; byte 1 = one of VORN_RESTART_*
using Wire::VORN_CMD_RESTART;
// search, len 1, to node 0; modules in search mode answer
using Wire::VORN_CMD_SEARCH;
// flash the LEDs, len 8: bytes 1..5 = 0, byte 6 = 10, byte 7 = cycles
using Wire::VORN_CMD_FLASH_LED;
// module info, len 1: state, bootloader and firmware versions, processor, firmware present
using Wire::VORN_CMD_MODULE_INFO;
// firmware status, len 8: byte 7 = 0 invalidate, 1 validate
using Wire::VORN_CMD_FIRMWARE_STATUS;
// write serial number, len 8
using Wire::VORN_CMD_WRITE_SERIAL;
// bus parameters: read len 1, write len 8 (byte 1 source, byte 6 bit-rate index, byte 7 node id)
using Wire::VORN_CMD_READ_BUS_PARAMS;
using Wire::VORN_CMD_WRITE_BUS_PARAMS;
// start a block transfer at a memory address, len 8, without or with acknowledgement
using Wire::VORN_CMD_BLOCK_START;
using Wire::VORN_CMD_BLOCK_START_ACK;
// block transfer: read the next seven bytes (len 1), write seven bytes (len 8)
using Wire::VORN_CMD_BLOCK_READ;
using Wire::VORN_CMD_BLOCK_WRITE_ACK;
using Wire::VORN_CMD_BLOCK_WRITE;
// block transfer: write the last 0 to 6 bytes / end of block, len 8
using Wire::VORN_CMD_BLOCK_WRITE_LAST;
using Wire::VORN_CMD_BLOCK_END;
// block transfer status (bootloader error code), len 1
using Wire::VORN_CMD_BLOCK_STATUS;
// code start address, len 2; reply bytes 4..7, most significant first
using Wire::VORN_CMD_READ_CODE_START;
// shipping date: read len 1, set len 8 (bytes 1..7 century, year, month, day, hour, minute, second)
using Wire::VORN_CMD_READ_SHIPPING_DATE;
using Wire::VORN_CMD_SET_SHIPPING_DATE;
// programming date: read len 1, set len 8
using Wire::VORN_CMD_READ_PROGRAMMING_DATE;
using Wire::VORN_CMD_SET_PROGRAMMING_DATE;
// bootloader command with a 4-byte command key, len 5
using Wire::VORN_CMD_BOOT_COMMAND;
// DIP switches, len 1: reply byte 1 bit rate, byte 2 node id, byte 3 service button
using Wire::VORN_CMD_READ_SWITCHES;
// object access by index (byte 1 high, byte 2 low) and sub-index (byte 3):
// read len 4; write with acknowledgement len 5 or 8; write without answer len 8
using Wire::VORN_CMD_OBJECT_READ;
using Wire::VORN_CMD_OBJECT_WRITE_ACK;
using Wire::VORN_CMD_OBJECT_WRITE;
// base calibration values, len 8
using Wire::VORN_CMD_BASE_CALIB_READ;
using Wire::VORN_CMD_BASE_CALIB_WRITE;
// calibration data: read len 4, write len 4 or 8
using Wire::VORN_CMD_CALIB_READ;
using Wire::VORN_CMD_CALIB_WRITE;
// LIN master: prepare (len 6); send a LIN frame (len 7) or poll the received bytes (len 4)
using Wire::VORN_CMD_LIN_PREPARE;
using Wire::VORN_CMD_LIN_FRAME;

// ---- restart targets (byte 1 of VORN_CMD_RESTART) ------------------------------
using Wire::VORN_RESTART_TO_BOOTLOADER;
using Wire::VORN_RESTART_TO_FIRMWARE;
using Wire::VORN_RESTART_SEARCH_TO_BOOTLOADER;  // module in search mode
using Wire::VORN_RESTART_SEARCH_TO_FIRMWARE;

// ---- module state byte (identify, search and module info replies, byte 1) ----
using Wire::VORN_STATE_MASK;
using Wire::VORN_STATE_FIRMWARE_RUNNING;
using Wire::VORN_STATE_BOOTUP;
using Wire::VORN_STATE_BOOTLOADER;
using Wire::VORN_STATE_SEARCH_MODE;
using Wire::VORN_STATE_PRE_OPERATIONAL;
using Wire::VORN_STATE_STOPPED;
using Wire::VORN_STATE_OPERATIONAL;
