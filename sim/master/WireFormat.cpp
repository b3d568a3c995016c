#include "master/WireFormat.h"

namespace {
void PutBigEndian(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v >> 24));
  out.push_back(uint8_t(v >> 16));
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

uint32_t GetBigEndian(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void PutBusLengthAndData(std::vector<uint8_t>& out, const SimFrame& frame) {
  int len = frame.len > 8 ? 8 : frame.len;
  out.push_back(uint8_t(((frame.bus & 0x0F) << 4) | len));
  out.insert(out.end(), frame.data, frame.data + len);
}
}  // namespace

std::vector<uint8_t> EncodeHostFrame(const SimFrame& frame) {
  std::vector<uint8_t> out;
  out.reserve(13);
  PutBigEndian(out, frame.id);
  PutBusLengthAndData(out, frame);
  return out;
}

std::vector<uint8_t> EncodeMasterFrame(const SimFrame& frame, uint32_t timeStamp) {
  std::vector<uint8_t> out;
  out.reserve(17);
  PutBigEndian(out, timeStamp);
  PutBigEndian(out, frame.id);
  PutBusLengthAndData(out, frame);
  return out;
}

StreamDecoder::StreamDecoder(int headerSize) : header_(headerSize) {}

void StreamDecoder::feed(const uint8_t* bytes, size_t count,
                         const std::function<void(const DecodedFrame&)>& onFrame) {
  for (size_t i = 0; i < count; ++i) {
    buf_[have_++] = bytes[i];
    if (have_ < size_t(header_)) continue;
    uint8_t busLen = buf_[header_ - 1];
    size_t need = size_t(header_) + (busLen & 0x0F);  // at most 9 + 15: fits the buffer
    if (have_ < need) continue;
    DecodedFrame d;
    const uint8_t* idBytes = buf_ + header_ - 5;
    if (header_ == 9) d.timeStamp = GetBigEndian(buf_);
    d.frame.id = GetBigEndian(idBytes);
    d.frame.bus = busLen >> 4;
    d.lengthNibble = busLen & 0x0F;
    d.frame.len = d.lengthNibble > 8 ? 8 : d.lengthNibble;
    for (int k = 0; k < d.frame.len; ++k) d.frame.data[k] = buf_[header_ + k];
    have_ = 0;
    onFrame(d);
  }
}
