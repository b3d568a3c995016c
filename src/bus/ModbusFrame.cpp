#include "bus/ModbusFrame.h"

uint16_t Modbus_Crc16(const uint8_t* bytes, size_t count) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
  }
  return crc;
}

int ModbusFrame_EncodeRequest(const CanMsg& msg, uint32_t baseId, uint8_t out[kModbusRequestMax]) {
  const int n = msg.len > 8 ? 8 : int(msg.len);
  out[0] = uint8_t(msg.id - baseId);
  out[1] = kModbusFunctionCan;
  out[2] = kModbusRequestTag[0];
  out[3] = kModbusRequestTag[1];
  out[4] = uint8_t(n);
  for (int i = 0; i < n; ++i) out[5 + i] = uint8_t(msg.data[i]);
  const uint16_t crc = Modbus_Crc16(out, size_t(5 + n));
  out[5 + n] = uint8_t(crc & 0xFF);
  out[6 + n] = uint8_t(crc >> 8);
  return 7 + n;
}

ModbusReplyBuffer::Result ModbusReplyBuffer::take(uint32_t baseId, CanMsg& msg) {
  if (count_ < 3) return Result::Incomplete;
  const int n = bytes_[2];
  const int size = 5 + n;
  if (count_ < size) return Result::Incomplete;
  const uint16_t crc = Modbus_Crc16(bytes_, size_t(3 + n));
  const bool good = bytes_[1] == kModbusFunctionCan && n <= kModbusReplyMaxData &&
                    bytes_[3 + n] == (crc & 0xFF) && bytes_[4 + n] == (crc >> 8);
  if (good) {
    msg.id = baseId + bytes_[0];
    msg.len = uint32_t(n);
    for (int i = 0; i < 8; ++i) msg.data[i] = i < n ? bytes_[3 + i] : 0;
  }
  count_ = 0;
  return good ? Result::Frame : Result::Dropped;
}
