// Compile-time checks of the command table: every command byte carries the
// code it is listed under and the flags its exchange needs, and the values
// the simulator shares with the program agree with the program's own.
#include "protocol/VornProtCommands.h"

#include "protocol/WireConstants.h"

namespace {

constexpr bool IsReply(uint8_t b) { return (b & VORN_FLAG_REPLY) != 0 && (b & VORN_FLAG_ACK) == 0; }
constexpr bool IsAck(uint8_t b) { return (b & VORN_FLAG_ACK) != 0 && (b & VORN_FLAG_REPLY) == 0; }
constexpr bool IsPlain(uint8_t b) { return (b & VORN_ACK_FLAGS) == 0; }

constexpr bool Is(uint8_t b, uint8_t code, bool (*kind)(uint8_t)) { return VornCode(b) == code && kind(b); }

static_assert(Is(VORN_CMD_IDENTIFY, VORN_CODE_IDENTIFY, IsReply));
static_assert(Is(VORN_CMD_RESTART, VORN_CODE_RESTART, IsPlain));
static_assert(Is(VORN_CMD_SEARCH, VORN_CODE_SEARCH, IsReply));
static_assert(Is(VORN_CMD_FLASH_LED, VORN_CODE_FLASH_LED, IsPlain));
static_assert(Is(VORN_CMD_MODULE_INFO, VORN_CODE_MODULE_INFO, IsReply));
static_assert(Is(VORN_CMD_FIRMWARE_STATUS, VORN_CODE_MODULE_INFO, IsAck));
static_assert(Is(VORN_CMD_WRITE_SERIAL, VORN_CODE_SERIAL_NUMBER, IsPlain));
static_assert(Is(VORN_CMD_READ_BUS_PARAMS, VORN_CODE_BUS_PARAMS, IsReply));
static_assert(Is(VORN_CMD_WRITE_BUS_PARAMS, VORN_CODE_BUS_PARAMS, IsAck));
static_assert(Is(VORN_CMD_BLOCK_START, VORN_CODE_BLOCK_START, IsPlain));
static_assert(Is(VORN_CMD_BLOCK_START_ACK, VORN_CODE_BLOCK_START, IsAck));
static_assert(Is(VORN_CMD_BLOCK_READ, VORN_CODE_BLOCK_DATA, IsReply));
static_assert(Is(VORN_CMD_BLOCK_WRITE_ACK, VORN_CODE_BLOCK_DATA, IsAck));
static_assert(Is(VORN_CMD_BLOCK_WRITE, VORN_CODE_BLOCK_DATA, IsPlain));
static_assert(Is(VORN_CMD_BLOCK_WRITE_LAST, VORN_CODE_BLOCK_END, IsAck));
static_assert(Is(VORN_CMD_BLOCK_END, VORN_CODE_BLOCK_END, IsReply));
static_assert(Is(VORN_CMD_BLOCK_STATUS, VORN_CODE_BLOCK_STATUS, IsReply));
static_assert(Is(VORN_CMD_READ_CODE_START, VORN_CODE_CODE_START, IsReply));
static_assert(Is(VORN_CMD_READ_SHIPPING_DATE, VORN_CODE_SHIPPING_DATE, IsReply));
static_assert(Is(VORN_CMD_SET_SHIPPING_DATE, VORN_CODE_SHIPPING_DATE, IsAck));
static_assert(Is(VORN_CMD_READ_PROGRAMMING_DATE, VORN_CODE_PROGRAMMING_DATE, IsReply));
static_assert(Is(VORN_CMD_SET_PROGRAMMING_DATE, VORN_CODE_PROGRAMMING_DATE, IsAck));
static_assert(Is(VORN_CMD_BOOT_COMMAND, VORN_CODE_BOOT_COMMAND, IsReply));
static_assert(Is(VORN_CMD_READ_SWITCHES, VORN_CODE_SWITCHES, IsReply));
static_assert(Is(VORN_CMD_OBJECT_READ, VORN_CODE_OBJECT, IsReply));
static_assert(Is(VORN_CMD_OBJECT_WRITE_ACK, VORN_CODE_OBJECT, IsAck));
static_assert(Is(VORN_CMD_OBJECT_WRITE, VORN_CODE_OBJECT, IsPlain));
static_assert(Is(VORN_CMD_BASE_CALIB_READ, VORN_CODE_BASE_CALIB, IsReply));
static_assert(Is(VORN_CMD_BASE_CALIB_WRITE, VORN_CODE_BASE_CALIB, IsPlain));
static_assert(Is(VORN_CMD_CALIB_READ, VORN_CODE_CALIB_DATA, IsReply));
static_assert(Is(VORN_CMD_CALIB_WRITE, VORN_CODE_CALIB_DATA, IsAck));
static_assert(Is(VORN_CMD_LIN_PREPARE, VORN_CODE_LIN_PREPARE, IsPlain));
static_assert(Is(VORN_CMD_LIN_FRAME, VORN_CODE_LIN_FRAME, IsReply));

// ---- agreement with the wire constants shared with the simulator --------------
static_assert(Wire::VORN_PROT_BASE_ID == VORN_PROT_DEFAULT_BASE_ID);
static_assert(Wire::VORN_PROT_MAX_NODE == VORN_PROT_MAX_NODE);
static_assert(Wire::VORN_PROT_REPLY_LEN == VORN_PROT_REPLY_LEN);
static_assert(Wire::VORN_FLAG_REPLY == VORN_FLAG_REPLY);
static_assert(Wire::VORN_FLAG_ACK == VORN_FLAG_ACK);
static_assert(Wire::VORN_ACK_FLAGS == VORN_ACK_FLAGS);
static_assert(Wire::VORN_CODE_MASK == VORN_CODE_MASK);

static_assert(Wire::VORN_CODE_IDENTIFY == VORN_CODE_IDENTIFY);
static_assert(Wire::VORN_CODE_RESTART == VORN_CODE_RESTART);
static_assert(Wire::VORN_CODE_SEARCH == VORN_CODE_SEARCH);
static_assert(Wire::VORN_CODE_FLASH_LED == VORN_CODE_FLASH_LED);
static_assert(Wire::VORN_CODE_MODULE_INFO == VORN_CODE_MODULE_INFO);
static_assert(Wire::VORN_CODE_SERIAL_NUMBER == VORN_CODE_SERIAL_NUMBER);
static_assert(Wire::VORN_CODE_BUS_PARAMS == VORN_CODE_BUS_PARAMS);
static_assert(Wire::VORN_CODE_BLOCK_START == VORN_CODE_BLOCK_START);
static_assert(Wire::VORN_CODE_BLOCK_DATA == VORN_CODE_BLOCK_DATA);
static_assert(Wire::VORN_CODE_BLOCK_END == VORN_CODE_BLOCK_END);
static_assert(Wire::VORN_CODE_BLOCK_STATUS == VORN_CODE_BLOCK_STATUS);
static_assert(Wire::VORN_CODE_CODE_START == VORN_CODE_CODE_START);
static_assert(Wire::VORN_CODE_SHIPPING_DATE == VORN_CODE_SHIPPING_DATE);
static_assert(Wire::VORN_CODE_PROGRAMMING_DATE == VORN_CODE_PROGRAMMING_DATE);
static_assert(Wire::VORN_CODE_BOOT_COMMAND == VORN_CODE_BOOT_COMMAND);
static_assert(Wire::VORN_CODE_SWITCHES == VORN_CODE_SWITCHES);
static_assert(Wire::VORN_CODE_OBJECT == VORN_CODE_OBJECT);
static_assert(Wire::VORN_CODE_BASE_CALIB == VORN_CODE_BASE_CALIB);
static_assert(Wire::VORN_CODE_CALIB_DATA == VORN_CODE_CALIB_DATA);
static_assert(Wire::VORN_CODE_LIN_PREPARE == VORN_CODE_LIN_PREPARE);
static_assert(Wire::VORN_CODE_LIN_FRAME == VORN_CODE_LIN_FRAME);

static_assert(Wire::VORN_CMD_IDENTIFY == VORN_CMD_IDENTIFY);
static_assert(Wire::VORN_CMD_RESTART == VORN_CMD_RESTART);
static_assert(Wire::VORN_CMD_SEARCH == VORN_CMD_SEARCH);
static_assert(Wire::VORN_CMD_FLASH_LED == VORN_CMD_FLASH_LED);
static_assert(Wire::VORN_CMD_MODULE_INFO == VORN_CMD_MODULE_INFO);
static_assert(Wire::VORN_CMD_READ_BUS_PARAMS == VORN_CMD_READ_BUS_PARAMS);
static_assert(Wire::VORN_CMD_WRITE_BUS_PARAMS == VORN_CMD_WRITE_BUS_PARAMS);
static_assert(Wire::VORN_CMD_READ_SHIPPING_DATE == VORN_CMD_READ_SHIPPING_DATE);
static_assert(Wire::VORN_CMD_SET_SHIPPING_DATE == VORN_CMD_SET_SHIPPING_DATE);
static_assert(Wire::VORN_CMD_READ_PROGRAMMING_DATE == VORN_CMD_READ_PROGRAMMING_DATE);
static_assert(Wire::VORN_CMD_SET_PROGRAMMING_DATE == VORN_CMD_SET_PROGRAMMING_DATE);
static_assert(Wire::VORN_CMD_READ_SWITCHES == VORN_CMD_READ_SWITCHES);
static_assert(Wire::VORN_CMD_OBJECT_READ == VORN_CMD_OBJECT_READ);
static_assert(Wire::VORN_CMD_OBJECT_WRITE_ACK == VORN_CMD_OBJECT_WRITE_ACK);
static_assert(Wire::VORN_CMD_OBJECT_WRITE == VORN_CMD_OBJECT_WRITE);

static_assert(Wire::VORN_RESTART_TO_BOOTLOADER == VORN_RESTART_TO_BOOTLOADER);
static_assert(Wire::VORN_RESTART_TO_FIRMWARE == VORN_RESTART_TO_FIRMWARE);
static_assert(Wire::VORN_RESTART_SEARCH_TO_BOOTLOADER == VORN_RESTART_SEARCH_TO_BOOTLOADER);
static_assert(Wire::VORN_RESTART_SEARCH_TO_FIRMWARE == VORN_RESTART_SEARCH_TO_FIRMWARE);

static_assert(Wire::VORN_STATE_MASK == VORN_STATE_MASK);
static_assert(Wire::VORN_STATE_FIRMWARE_RUNNING == VORN_STATE_FIRMWARE_RUNNING);
static_assert(Wire::VORN_STATE_BOOTUP == VORN_STATE_BOOTUP);
static_assert(Wire::VORN_STATE_BOOTLOADER == VORN_STATE_BOOTLOADER);
static_assert(Wire::VORN_STATE_SEARCH_MODE == VORN_STATE_SEARCH_MODE);
static_assert(Wire::VORN_STATE_PRE_OPERATIONAL == VORN_STATE_PRE_OPERATIONAL);
static_assert(Wire::VORN_STATE_STOPPED == VORN_STATE_STOPPED);
static_assert(Wire::VORN_STATE_OPERATIONAL == VORN_STATE_OPERATIONAL);

}  // namespace
