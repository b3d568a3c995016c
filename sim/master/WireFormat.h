// The two byte formats of the bus master's TCP stream. There is no framing
// beyond the length nibble, so each decoder takes exactly as many bytes as
// the nibble announces - also for an illegal nibble above 8, which keeps the
// stream aligned with what the sender meant.
//
//   program -> master: id (4 bytes, MSB first), bus << 4 | len, data[len]
//   master -> program: time stamp (4, MSB first), id (4), bus << 4 | len, data[len]
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/SimFrame.h"

// 5 + len bytes; len above 8 is sent as 8.
std::vector<uint8_t> EncodeHostFrame(const SimFrame& frame);
// 9 + len bytes.
std::vector<uint8_t> EncodeMasterFrame(const SimFrame& frame, uint32_t timeStamp);

// A frame taken from a stream. lengthNibble is what the stream said; when it
// is above 8 the frame is illegal and carries only its first 8 data bytes.
struct DecodedFrame {
  SimFrame frame;
  uint32_t timeStamp = 0;     // master -> program only
  uint8_t lengthNibble = 0;
  bool legal() const { return lengthNibble <= 8; }
};

// Assembles frames from a byte stream in either direction.
class StreamDecoder {
 public:
  // headerSize 5: program -> master; 9: master -> program.
  explicit StreamDecoder(int headerSize);
  // Feeds bytes; onFrame is called for every frame completed, in order.
  void feed(const uint8_t* bytes, size_t count, const std::function<void(const DecodedFrame&)>& onFrame);
  void reset() { have_ = 0; }
  size_t buffered() const { return have_; }  // bytes of an unfinished frame

 private:
  int header_;
  uint8_t buf_[9 + 15] = {};
  size_t have_ = 0;
};

class HostStreamDecoder : public StreamDecoder {
 public:
  HostStreamDecoder() : StreamDecoder(5) {}
};

class MasterStreamDecoder : public StreamDecoder {
 public:
  MasterStreamDecoder() : StreamDecoder(9) {}
};
