#include <gtest/gtest.h>

#include <vector>

#include "master/WireFormat.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<DecodedFrame> FeedAll(StreamDecoder& decoder, const Bytes& bytes) {
  std::vector<DecodedFrame> out;
  decoder.feed(bytes.data(), bytes.size(), [&](const DecodedFrame& d) { out.push_back(d); });
  return out;
}

TEST(WireFormat, HostFrameIsIdBigEndianThenBusAndLengthNibblesThenData) {
  EXPECT_EQ(EncodeHostFrame(SimFrame(0x685, 0, {0xB4, 0x30, 0x00, 0x01})),
            (Bytes{0x00, 0x00, 0x06, 0x85, 0x04, 0xB4, 0x30, 0x00, 0x01}));
  EXPECT_EQ(EncodeHostFrame(SimFrame(0x80000002, 3, {})), (Bytes{0x80, 0x00, 0x00, 0x02, 0x30}));
}

TEST(WireFormat, MasterFrameCarriesTimeStampFirst) {
  EXPECT_EQ(EncodeMasterFrame(SimFrame(0x682, 1, {0x00, 0x85, 0x10, 0x02, 0, 0, 0, 0}), 0x01020304),
            (Bytes{0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x06, 0x82, 0x18, 0x00, 0x85, 0x10, 0x02, 0, 0, 0, 0}));
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

TEST(WireFormat, LengthNibbleAboveEightIsIllegalButItsBytesAreSkipped) {
  // Nibble 10 on bus 1: 5 + 10 bytes belong to the bad frame; the next frame is intact.
  Bytes stream{0x00, 0x00, 0x06, 0x82, 0x1A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
               0x00, 0x00, 0x06, 0x82, 0x01, 0x80};
  HostStreamDecoder d;
  auto got = FeedAll(d, stream);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_FALSE(got[0].legal());
  EXPECT_EQ(got[0].lengthNibble, 10);
  EXPECT_EQ(got[0].frame.len, 8);  // only the first eight are kept
  EXPECT_EQ(got[0].frame.data[7], 8);
  EXPECT_TRUE(got[1].legal());
  EXPECT_EQ(got[1].frame, SimFrame(0x682, 0, {0x80}));
}

TEST(WireFormat, MasterDecoderReadsTimeStampAndKeepsPartialFrameUntilComplete) {
  Bytes frame{0x00, 0x00, 0x12, 0x34, 0x80, 0x00, 0x00, 0x01, 0x01, 0x02};
  MasterStreamDecoder d;
  EXPECT_TRUE(FeedAll(d, Bytes(frame.begin(), frame.begin() + 9)).empty());
  EXPECT_EQ(d.buffered(), 9u);
  auto got = FeedAll(d, Bytes(frame.begin() + 9, frame.end()));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].timeStamp, 0x1234u);
  EXPECT_EQ(got[0].frame, SimFrame(0x80000001, 0, {0x02}));
}

}  // namespace
