// Module protocol frames in Modbus RTU frames: a CAN frame for node n travels
// to slave address n with the user function code 0x68; the module answers
// with a shorter frame of the same function. Both end in the Modbus CRC-16,
// low byte first.
//
//   request: address, 0x68, 0x06, 0x80, n, n data bytes, CRC    (7 + n bytes)
//   reply:   address, 0x68, n, n data bytes, CRC                (5 + n bytes, n <= 8)
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/CanMsg.h"

inline constexpr uint8_t kModbusFunctionCan = 0x68;
// Bytes 2..3 of every request: the default base identifier 0x680, most
// significant byte first, whatever base the program uses.
inline constexpr uint8_t kModbusRequestTag[2] = {0x06, 0x80};
inline constexpr int kModbusRequestMax = 7 + 8;
inline constexpr int kModbusReplyMaxData = 8;

// Modbus RTU CRC-16: initial value 0xFFFF, reflected polynomial 0xA001, no final XOR.
uint16_t Modbus_Crc16(const uint8_t* bytes, size_t count);

// Writes the request frame for msg (slave address = low 8 bits of id - base)
// into out; returns its length, 7 + msg.len (len above 8 counts as 8).
int ModbusFrame_EncodeRequest(const CanMsg& msg, uint32_t baseId, uint8_t out[kModbusRequestMax]);

// Reply assembly: bytes are appended as they arrive; once the announced
// length is in, the frame is either delivered or dropped, and the buffer is
// emptied either way (bytes after the frame go with it).
class ModbusReplyBuffer {
 public:
  // The most a frame can announce (n = 255) plus one read's worth of bytes.
  static constexpr int kCapacity = 5 + 255 + 100;

  // Free room for the next read.
  uint8_t* space(int& room) {
    room = kCapacity - count_;
    return bytes_ + count_;
  }
  void commit(int n) { count_ += n; }
  int count() const { return count_; }
  void clear() { count_ = 0; }

  enum class Result { Incomplete, Frame, Dropped };
  // Looks at the buffered bytes. A complete frame with the right function
  // code, CRC and at most 8 data bytes becomes msg (identifier base + address,
  // time left to the caller); a complete bad one is dropped.
  Result take(uint32_t baseId, CanMsg& msg);

 private:
  uint8_t bytes_[kCapacity] = {};
  int count_ = 0;
};
