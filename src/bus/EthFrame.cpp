#include "bus/EthFrame.h"

#include <cstring>

namespace {
uint32_t readBigEndian(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
}  // namespace

size_t EthFrame_Encode(const CanMsg& msg, int bus, uint8_t out[kEthSendFrameMax]) {
  const uint32_t len = msg.len > 8 ? 8 : msg.len;
  out[0] = uint8_t(msg.id >> 24);
  out[1] = uint8_t(msg.id >> 16);
  out[2] = uint8_t(msg.id >> 8);
  out[3] = uint8_t(msg.id);
  out[4] = uint8_t((bus & 15) << 4 | len);
  for (uint32_t i = 0; i < len; ++i) out[5 + i] = uint8_t(msg.data[i]);
  return 5 + len;
}

uint8_t* EthStreamBuffer::space(size_t& room) {
  // Reads happen while the front frame is incomplete, so at most 23 bytes move.
  if (head_ > 0) {
    std::memmove(bytes_, bytes_ + head_, tail_ - head_);
    tail_ -= head_;
    head_ = 0;
  }
  room = kCapacity - tail_;
  return bytes_ + tail_;
}

void EthStreamBuffer::commit(size_t bytes) {
  tail_ = bytes > kCapacity - tail_ ? kCapacity : tail_ + bytes;
}

int EthStreamBuffer::frontLengthByte() const {
  return pending() >= kEthHeaderSize ? bytes_[head_ + 8] : -1;
}

bool EthStreamBuffer::frontComplete() const {
  const int lengthByte = frontLengthByte();
  return lengthByte >= 0 && pending() >= kEthHeaderSize + size_t(lengthByte & 15);
}

bool EthStreamBuffer::pop(EthFrameIn& out) {
  if (!frontComplete()) return false;
  const uint8_t* p = bytes_ + head_;
  out.stamp = readBigEndian(p);
  out.id = readBigEndian(p + 4);
  out.busLength = p[8];
  const size_t n = p[8] & 15;
  std::memcpy(out.data, p + kEthHeaderSize, n);
  std::memset(out.data + n, 0, sizeof(out.data) - n);
  head_ += kEthHeaderSize + n;
  return true;
}
