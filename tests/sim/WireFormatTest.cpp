// The simulator's side of the bus master's byte stream: host frames encoded
// and decoded from any chunking. Time stamps and illegal lengths are checked
// on the wire by the server tests.
#include <gtest/gtest.h>

#include <vector>

#include "master/WireFormat.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(WireFormat, HostFrameIsIdBigEndianThenBusAndLengthNibblesThenData) {
  EXPECT_EQ(EncodeHostFrame(SimFrame(0x685, 0, {0xB4, 0x30, 0x00, 0x01})),
            (Bytes{0x00, 0x00, 0x06, 0x85, 0x04, 0xB4, 0x30, 0x00, 0x01}));
  EXPECT_EQ(EncodeHostFrame(SimFrame(0x80000002, 3, {})), (Bytes{0x80, 0x00, 0x00, 0x02, 0x30}));
}

TEST(WireFormat, HostDecoderTakesFramesOneAfterTheOtherFromAnyChunking) {
  Bytes stream{0x00, 0x00, 0x06, 0x82, 0x01, 0x80,                 // identify to node 2, bus 0
               0x80, 0x00, 0x00, 0x00, 0x20,                       // keep-alive, bus 2, no data
               0x00, 0x00, 0x06, 0x83, 0x72, 0x01, 0xFF};          // restart, bus 7
  for (size_t chunk = 1; chunk <= stream.size(); ++chunk) {
    HostStreamDecoder d;
    std::vector<DecodedFrame> got;
    for (size_t off = 0; off < stream.size(); off += chunk) {
      size_t n = std::min(chunk, stream.size() - off);
      d.feed(stream.data() + off, n, [&](const DecodedFrame& f) { got.push_back(f); });
    }
    ASSERT_EQ(got.size(), 3u) << "chunk " << chunk;
    EXPECT_EQ(got[0].frame, SimFrame(0x682, 0, {0x80}));
    EXPECT_EQ(got[1].frame, SimFrame(0x80000000, 2, {}));
    EXPECT_EQ(got[2].frame, SimFrame(0x683, 7, {0x01, 0xFF}));
    EXPECT_EQ(d.buffered(), 0u);
  }
}

}  // namespace
