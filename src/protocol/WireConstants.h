// Wire facts shared by the program and the module simulator: the module
// protocol's identifiers, flags and command codes, and the bus master's TCP
// port and control frames. Header only, no dependencies, so that the
// simulator (which uses nothing else of the program) can include it.
//
// Everything lives in namespace Wire so that it can sit beside the program's
// own protocol headers in one translation unit.
#pragma once

#include <cstdint>

namespace Wire {

// ---- module protocol frames ----------------------------------------------------
// A module answers on identifier VORN_PROT_BASE_ID + node; node 0 is the
// broadcast / search-mode address.
inline constexpr uint32_t VORN_PROT_BASE_ID = 1664;  // 0x680, the default
inline constexpr int VORN_PROT_MAX_NODE = 127;
inline constexpr int VORN_PROT_REPLY_LEN = 8;

// Command byte: bits 0..5 command code, bit 7 reply requested, bit 6
// acknowledgement requested. An acknowledgement carries the command byte OR
// VORN_ACK_FLAGS and has the request's length; a reply carries the code alone.
inline constexpr uint8_t VORN_FLAG_REPLY = 0x80;
inline constexpr uint8_t VORN_FLAG_ACK = 0x40;
inline constexpr uint8_t VORN_ACK_FLAGS = 0xC0;
inline constexpr uint8_t VORN_CODE_MASK = 0x3F;

// ---- command codes (bits 0..5 of the command byte) -------------------------------
inline constexpr uint8_t VORN_CODE_IDENTIFY = 0;            // 0x80
inline constexpr uint8_t VORN_CODE_RESTART = 1;             // 0x01
inline constexpr uint8_t VORN_CODE_SEARCH = 2;              // 0x82, to node 0
inline constexpr uint8_t VORN_CODE_FLASH_LED = 4;           // 0x04
inline constexpr uint8_t VORN_CODE_MODULE_INFO = 5;         // 0x85; 0x45 firmware status
inline constexpr uint8_t VORN_CODE_SERIAL_NUMBER = 9;       // 0x09
inline constexpr uint8_t VORN_CODE_BUS_PARAMS = 25;         // 0x99 read, 0x59 write
inline constexpr uint8_t VORN_CODE_BLOCK_START = 27;        // 0x1B, 0x5B
inline constexpr uint8_t VORN_CODE_BLOCK_DATA = 33;         // 0xA1, 0x61, 0x21
inline constexpr uint8_t VORN_CODE_BLOCK_END = 34;          // 0x62, 0xA2
inline constexpr uint8_t VORN_CODE_BLOCK_STATUS = 35;       // 0xA3
inline constexpr uint8_t VORN_CODE_CODE_START = 36;         // 0xA4
inline constexpr uint8_t VORN_CODE_SHIPPING_DATE = 37;      // 0xA5 read, 0x65 set
inline constexpr uint8_t VORN_CODE_PROGRAMMING_DATE = 38;   // 0xA6 read, 0x66 set
inline constexpr uint8_t VORN_CODE_BOOT_COMMAND = 44;       // 0xAC
inline constexpr uint8_t VORN_CODE_SWITCHES = 51;           // 0xB3
inline constexpr uint8_t VORN_CODE_OBJECT = 52;             // 0xB4 read, 0x74 write+ack, 0x34 write
inline constexpr uint8_t VORN_CODE_BASE_CALIB = 53;         // 0xB5, 0x35
inline constexpr uint8_t VORN_CODE_CALIB_DATA = 54;         // 0xB6, 0x76
inline constexpr uint8_t VORN_CODE_LIN_PREPARE = 55;        // 0x37
inline constexpr uint8_t VORN_CODE_LIN_FRAME = 56;          // 0xB8

// ---- command bytes as the program sends them ------------------------------------
inline constexpr uint8_t VORN_CMD_IDENTIFY = 0x80;
inline constexpr uint8_t VORN_CMD_RESTART = 0x01;
inline constexpr uint8_t VORN_CMD_SEARCH = 0x82;
inline constexpr uint8_t VORN_CMD_FLASH_LED = 0x04;
inline constexpr uint8_t VORN_CMD_MODULE_INFO = 0x85;
inline constexpr uint8_t VORN_CMD_READ_BUS_PARAMS = 0x99;
inline constexpr uint8_t VORN_CMD_WRITE_BUS_PARAMS = 0x59;
inline constexpr uint8_t VORN_CMD_READ_SHIPPING_DATE = 0xA5;
inline constexpr uint8_t VORN_CMD_SET_SHIPPING_DATE = 0x65;
inline constexpr uint8_t VORN_CMD_READ_PROGRAMMING_DATE = 0xA6;
inline constexpr uint8_t VORN_CMD_SET_PROGRAMMING_DATE = 0x66;
inline constexpr uint8_t VORN_CMD_READ_SWITCHES = 0xB3;
inline constexpr uint8_t VORN_CMD_OBJECT_READ = 0xB4;
inline constexpr uint8_t VORN_CMD_OBJECT_WRITE_ACK = 0x74;
inline constexpr uint8_t VORN_CMD_OBJECT_WRITE = 0x34;

// Restart targets (byte 1 of the restart command).
inline constexpr uint8_t VORN_RESTART_TO_BOOTLOADER = 0;
inline constexpr uint8_t VORN_RESTART_TO_FIRMWARE = 255;
inline constexpr uint8_t VORN_RESTART_SEARCH_TO_BOOTLOADER = 2;
inline constexpr uint8_t VORN_RESTART_SEARCH_TO_FIRMWARE = 4;

// Module state byte: bits 0..3 state number, bit 7 firmware running.
inline constexpr uint8_t VORN_STATE_MASK = 0x0F;
inline constexpr uint8_t VORN_STATE_FIRMWARE_RUNNING = 0x80;
inline constexpr uint8_t VORN_STATE_BOOTUP = 0;
inline constexpr uint8_t VORN_STATE_BOOTLOADER = 1;
inline constexpr uint8_t VORN_STATE_SEARCH_MODE = 2;
inline constexpr uint8_t VORN_STATE_PRE_OPERATIONAL = 3;
inline constexpr uint8_t VORN_STATE_STOPPED = 4;
inline constexpr uint8_t VORN_STATE_OPERATIONAL = 5;

// serial number, calibration values and points, LIN master
inline constexpr uint8_t VORN_CMD_WRITE_SERIAL = 0x09;
inline constexpr uint8_t VORN_CMD_BASE_CALIB_READ = 0xB5;
inline constexpr uint8_t VORN_CMD_BASE_CALIB_WRITE = 0x35;
inline constexpr uint8_t VORN_CMD_CALIB_READ = 0xB6;
inline constexpr uint8_t VORN_CMD_CALIB_WRITE = 0x76;
inline constexpr uint8_t VORN_CMD_LIN_PREPARE = 0x37;
inline constexpr uint8_t VORN_CMD_LIN_FRAME = 0xB8;

// Serial numbers: objects 0x2098 (user) and 0x2097 (manufacturer), sub-index
// 0, UINT32. Command 9 writes one: bytes 1..3 are 0 for the user serial and
// the authorisation below for the manufacturer serial; bytes 4..7 the serial,
// most significant first.
inline constexpr uint16_t VORN_OBJ_USER_SERIAL = 0x2098;
inline constexpr uint16_t VORN_OBJ_MANUF_SERIAL = 0x2097;
// The three authorisation bytes of a manufacturer serial, derived from the
// module's type and node id; byte 1 always has bit 7 set, so that the bytes
// can never be taken for a user serial's zeros.
inline constexpr void VornSerialAuthorisation(uint32_t type, int node, uint8_t out[3]) {
  const uint8_t lo = uint8_t(type & 0xFF), hi = uint8_t((type >> 8) & 0xFF), n = uint8_t(node & 0x7F);
  out[0] = uint8_t(0x80 | ((lo ^ 0x5A) + n));
  out[1] = uint8_t((hi ^ 0xC3) + uint8_t(n * 7));
  out[2] = uint8_t(out[0] ^ out[1] ^ 0xA5);
}

// The real-time clock: object 0x3099, sub-indices 1..6 = seconds, minutes,
// hours, day, month, year - 2000, one byte each.
inline constexpr uint16_t VORN_OBJ_CLOCK = 0x3099;
// The SMS table's layout: object 0x3008, sub-index 8 the entry count (value
// byte 3 = the memory type of the table), 9 the address of entry 0, 10 the
// size of one entry.
inline constexpr uint16_t VORN_OBJ_SMS_LAYOUT = 0x3008;

// LIN master (module type 0x85). Command 55 prepares it; command 56 with
// length 7 sends a LIN frame (byte 1 = (data length + 2) x 16, bytes 2, 3 =
// 0x80, 0xC0, byte 4 the LIN node id, byte 5 checksum x 16 + data length,
// byte 6.. the data) and with length 4 (byte 1 = 0) polls the LIN bytes
// received since: reply byte 1 high nibble = their number n (0..4), bytes
// 4 .. 3 + n the bytes. A LIN slave answers a request with ten bytes: its
// node id, its checksum in the high nibble, eight data bytes (0 = ok, -, type
// low, -, type high, ...).
inline constexpr uint8_t VORN_LIN_MASTER_TYPE = 0x85;
inline constexpr int VORN_LIN_POLL_MAX = 4;

// Base calibration of the converters of SAMC21 modules (command 53): byte 1
// is the sub-command, + VORN_BASECAL_ADC1 for the second converter. Reads
// (0xB5) are answered with the status in byte 1 and the latest conversion
// result in bytes 2..3; writes (0x35) carry two 16-bit values in bytes 4..7.
// All numbers low byte first.
inline constexpr uint8_t VORN_BASECAL_CLIPPING = 0;        // bytes 4..5
inline constexpr uint8_t VORN_BASECAL_LOW_PAIR = 1;        // actual, wanted
inline constexpr uint8_t VORN_BASECAL_HIGH_PAIR = 2;       // actual, wanted
inline constexpr uint8_t VORN_BASECAL_RESET_PAIRS = 3;
inline constexpr uint8_t VORN_BASECAL_ENABLE = 4;
inline constexpr uint8_t VORN_BASECAL_DISABLE = 5;
inline constexpr uint8_t VORN_BASECAL_STATUS = 6;          // reply bytes 4..5: input mask
inline constexpr uint8_t VORN_BASECAL_LOW_REFERENCE = 7;   // reply bytes 2..5 float, 6..7 digits
inline constexpr uint8_t VORN_BASECAL_HIGH_REFERENCE = 8;
inline constexpr uint8_t VORN_BASECAL_ADC1 = 0x80;
// Status bits; the reference replies add the input mode.
inline constexpr uint8_t VORN_BASECAL_LOW_VALID = 0x01;
inline constexpr uint8_t VORN_BASECAL_HIGH_VALID = 0x02;
inline constexpr uint8_t VORN_BASECAL_ENABLED = 0x04;
inline constexpr uint8_t VORN_BASECAL_MODE_VOLTAGE = 0x10;
inline constexpr uint8_t VORN_BASECAL_MODE_CURRENT = 0x20;

// The reference source of the base calibration: a CANopen node on the CAN
// adapter's bus, told what to put out by an expedited SDO download of one
// byte (VORN_REFSOURCE_SET + output) to its object 0x3200.0.
inline constexpr int VORN_REFSOURCE_NODE = 124;
inline constexpr uint32_t CANOPEN_SDO_REQUEST_BASE = 0x600;  // + node
inline constexpr uint32_t CANOPEN_SDO_ANSWER_BASE = 0x580;   // + node
inline constexpr uint8_t CANOPEN_SDO_DOWNLOAD_1BYTE = 0x2F;
inline constexpr uint16_t VORN_REFSOURCE_OBJECT = 0x3200;
inline constexpr uint8_t VORN_REFSOURCE_SET = 0x80;
inline constexpr uint8_t VORN_REFSOURCE_LOW = 1;
inline constexpr uint8_t VORN_REFSOURCE_HIGH = 2;
inline constexpr uint8_t VORN_REFSOURCE_OFF = 3;  // high impedance

// Object read reply, byte 1: status flags.
inline constexpr uint8_t VORN_OBJECT_WRITABLE = 0x01;
inline constexpr uint8_t VORN_OBJECT_NOT_AVAILABLE = 0x80;

// ---- bootloader ---------------------------------------------------------------------
// Block transfers: start (byte 1 memory type, bytes 4..7 address, most
// significant first), read seven bytes, write seven bytes, write the last 0..6
// bytes / end of block (byte 1 = count), status. The status reply and the
// end-of-block reply carry the bootloader error code in byte 1, the check mode
// in byte 5 and the check value in bytes 6, 7 (high, low).
inline constexpr uint8_t VORN_CMD_FIRMWARE_STATUS = 0x45;  // byte 7: 0 invalidate, 1 validate
inline constexpr uint8_t VORN_CMD_BLOCK_START = 0x1B;
inline constexpr uint8_t VORN_CMD_BLOCK_START_ACK = 0x5B;
inline constexpr uint8_t VORN_CMD_BLOCK_READ = 0xA1;
inline constexpr uint8_t VORN_CMD_BLOCK_WRITE = 0x21;
inline constexpr uint8_t VORN_CMD_BLOCK_WRITE_ACK = 0x61;
inline constexpr uint8_t VORN_CMD_BLOCK_WRITE_LAST = 0x62;
inline constexpr uint8_t VORN_CMD_BLOCK_END = 0xA2;
inline constexpr uint8_t VORN_CMD_BLOCK_STATUS = 0xA3;
inline constexpr uint8_t VORN_CMD_READ_CODE_START = 0xA4;  // reply bytes 4..7, most significant first
inline constexpr uint8_t VORN_CMD_BOOT_COMMAND = 0xAC;     // bytes 1..4: the command key

inline constexpr uint8_t VORN_MEMORY_FLASH = 0;
inline constexpr uint8_t VORN_MEMORY_EEPROM = 1;

// Check mode 11: the check value is the ones' complement of the low 16 bits of
// the sum of the bytes written since the transfer started; any other mode:
// the low 16 bits of their count.
inline constexpr uint8_t VORN_CHECK_MODE_SUM = 11;

// The key that the dsPIC bootloaders expect with the bootloader command that
// completes an upload: four ASCII letters, sent in this order.
inline constexpr uint8_t VORN_BOOT_KEY[4] = {'F', 'W', 'O', 'K'};

// Bootloader error codes (status reply byte 1).
inline constexpr uint8_t VORN_BOOT_OK = 0;
inline constexpr uint8_t VORN_BOOT_ERR_PARAMETER = 1;
inline constexpr uint8_t VORN_BOOT_ERR_BUFFER_OVERFLOW = 2;
inline constexpr uint8_t VORN_BOOT_ERR_ALIGNMENT = 3;
inline constexpr uint8_t VORN_BOOT_ERR_CODE_START = 4;
inline constexpr uint8_t VORN_BOOT_ERR_ADDRESS_OVERFLOW = 5;
inline constexpr uint8_t VORN_BOOT_ERR_BUFFER_EMPTY = 6;
inline constexpr uint8_t VORN_BOOT_ERR_COMMAND_KEY = 7;
inline constexpr uint8_t VORN_BOOT_ERR_ADDRESS_GAP = 8;

// Processor type codes (module info reply, byte 6).
inline constexpr uint8_t VORN_CPU_PIC18F = 1;
inline constexpr uint8_t VORN_CPU_DSPIC30F = 2;
inline constexpr uint8_t VORN_CPU_AT8051 = 3;
inline constexpr uint8_t VORN_CPU_DSPIC33F = 4;
inline constexpr uint8_t VORN_CPU_SAMC21 = 6;

// Bus-parameter reply, byte 2: the newer layout without a DIP switch choice.
inline constexpr uint8_t VORN_BUS_PARAMS_FORMAT_NEW = 38;
inline constexpr uint8_t VORN_BUS_PARAMS_NONE = 255;  // DIP value not available / EEPROM cleared

// ---- bus master over TCP -----------------------------------------------------------
inline constexpr uint16_t ETH_MASTER_DEFAULT_PORT = 1664;
inline constexpr int ETH_MASTER_MAX_BUSES = 8;
// Program to master: id (4, big-endian), bus nibble | length nibble, data.
inline constexpr int ETH_MASTER_TX_HEADER = 5;
// Master to program: time stamp (4), id (4), bus nibble | length nibble, data.
inline constexpr int ETH_MASTER_RX_HEADER = 9;
inline constexpr int CAN_MAX_DATA = 8;

// Control frames: identifiers with bit 31 set, addressed to the master itself.
inline constexpr uint32_t ETH_CTRL_FLAG = 0x80000000u;
inline constexpr uint32_t ETH_CTRL_KEEPALIVE = 0x80000000u;     // no data, no reply
inline constexpr uint32_t ETH_CTRL_BUS_COUNT = 0x80000001u;     // reply byte 0 = bus count
inline constexpr uint32_t ETH_CTRL_BUS_BITRATE = 0x80000002u;   // reply byte 0 = bit-rate code of the bus in the nibble
inline constexpr uint32_t ETH_CTRL_LOGGER_FORWARD = 0x80000003u;  // byte 0: 3 logger running, 0 not
inline constexpr uint32_t ETH_CTRL_GET_RUN_STATE = 0x80000004u; // reply byte 0 = PLC run state
inline constexpr uint32_t ETH_CTRL_SET_RUN_STATE = 0x80000005u; // byte 0: 1 start, 0 stop
inline constexpr uint8_t ETH_LOGGER_FORWARD_ON = 3;

// PLC run states.
inline constexpr uint8_t ETH_RUN_STATE_RUN = 0;
inline constexpr uint8_t ETH_RUN_STATE_STOP = 1;
inline constexpr uint8_t ETH_RUN_STATE_STOP_DEBUG = 2;
inline constexpr uint8_t ETH_RUN_STATE_RUN_DEBUG = 3;
inline constexpr uint8_t ETH_RUN_STATE_RUN_DEBUG2 = 4;
inline constexpr uint8_t ETH_RUN_STATE_UNKNOWN = 255;  // what a query without answer yields

// ---- Modbus RTU line ----------------------------------------------------------------
// A module protocol frame for node n goes to slave address n with this function
// code: address, function, 0x06, 0x80, length, data, CRC (low byte first); the
// reply is address, function, length, data, CRC. CRC-16: 0xFFFF, polynomial 0xA001.
inline constexpr uint8_t MODBUS_FUNCTION_CAN = 0x68;
inline constexpr uint8_t MODBUS_REQUEST_TAG_HIGH = 0x06;
inline constexpr uint8_t MODBUS_REQUEST_TAG_LOW = 0x80;
inline constexpr int MODBUS_MAX_ADDRESS = 255;
// Modules of the newer bus-parameter layout (format 38) take node ids up to
// this on a Modbus line; on a CAN bus every module stays within 1..127.
inline constexpr int VORN_PROT_MAX_MODBUS_NODE = 240;

// Bit-rate codes of a bus: 0 = 10 kbit/s ... 7 = 1000 kbit/s.
inline constexpr uint8_t CAN_BITRATE_CODE_COUNT = 8;
inline constexpr uint8_t CAN_BITRATE_DEFAULT_CODE = 4;  // 125 kbit/s
inline constexpr int32_t CAN_BITRATE_KBITS[8] = {10, 20, 50, 100, 125, 250, 500, 1000};

}  // namespace Wire
