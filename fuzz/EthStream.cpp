// Fuzzes the read-ahead buffer that cuts the Ethernet master's byte stream
// into frames. The input is a list of read sizes (one byte each, up to a zero
// byte) and then the stream. The buffer is driven the way the link drives it:
// read while the front frame is incomplete, take frames one at a time. The
// frames taken must be those a plain walk over the whole stream finds,
// however the stream was split.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "bus/EthFrame.h"

namespace {

// The frames of the whole stream, walked frame by frame.
std::vector<EthFrameIn> Walk(const uint8_t* p, size_t size) {
  std::vector<EthFrameIn> frames;
  size_t at = 0;
  while (size - at >= kEthHeaderSize) {
    const size_t n = p[at + 8] & 15;
    if (size - at < kEthHeaderSize + n) break;
    EthFrameIn frame;
    frame.stamp = uint32_t(p[at]) << 24 | uint32_t(p[at + 1]) << 16 | uint32_t(p[at + 2]) << 8 |
                  p[at + 3];
    frame.id = uint32_t(p[at + 4]) << 24 | uint32_t(p[at + 5]) << 16 |
               uint32_t(p[at + 6]) << 8 | p[at + 7];
    frame.busLength = p[at + 8];
    std::memcpy(frame.data, p + at + kEthHeaderSize, n);
    frames.push_back(frame);
    at += kEthHeaderSize + n;
  }
  return frames;
}

bool Same(const EthFrameIn& a, const EthFrameIn& b) {
  return a.stamp == b.stamp && a.id == b.id && a.busLength == b.busLength &&
         std::memcmp(a.data, b.data, sizeof a.data) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<size_t> reads;
  size_t at = 0;
  while (at < size && data[at] != 0 && reads.size() < 64) reads.push_back(data[at++]);
  if (at < size && data[at] == 0) ++at;
  if (reads.empty()) reads.push_back(EthStreamBuffer::kCapacity);
  const uint8_t* stream = data + at;
  const size_t length = size - at;
  const std::vector<EthFrameIn> expected = Walk(stream, length);

  static EthStreamBuffer buffer;  // 4 KiB: kept, and cleared like the link does
  buffer.clear();
  std::vector<EthFrameIn> taken;
  size_t fed = 0;
  for (size_t r = 0; fed < length; ++r) {
    while (buffer.frontComplete()) {
      EthFrameIn frame;
      FUZZ_CHECK(buffer.pop(frame));
      taken.push_back(frame);
    }
    FUZZ_CHECK(buffer.pending() < kEthReceiveFrameMax);
    size_t room = 0;
    uint8_t* space = buffer.space(room);
    FUZZ_CHECK(space && room >= kEthReceiveFrameMax);
    const size_t n = std::min({reads[r % reads.size()], room, length - fed});
    std::memcpy(space, stream + fed, n);
    buffer.commit(n);
    fed += n;
  }
  EthFrameIn frame;
  while (buffer.pop(frame)) taken.push_back(frame);

  FUZZ_CHECK(taken.size() == expected.size());
  for (size_t i = 0; i < taken.size(); ++i) FUZZ_CHECK(Same(taken[i], expected[i]));
  FUZZ_CHECK(buffer.frontComplete() == false);
  return 0;
}
