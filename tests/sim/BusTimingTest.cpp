#include <gtest/gtest.h>

#include <vector>

#include "core/FrameTiming.h"
#include "core/SimNetwork.h"
#include "module/SimModule.h"
#include "population/Population.h"

namespace {

TEST(FrameTiming, WorstCaseBitsOfStandardFrames) {
  EXPECT_EQ(CanFrameBits(0), 55);
  EXPECT_EQ(CanFrameBits(1), 65);
  EXPECT_EQ(CanFrameBits(8), 135);
  EXPECT_EQ(CanFrameTimeUs(8, 7), 135);    // 1000 kbit/s
  EXPECT_EQ(CanFrameTimeUs(8, 4), 1080);   // 125 kbit/s
  EXPECT_EQ(CanFrameTimeUs(8, 0), 13500);  // 10 kbit/s
  EXPECT_EQ(CanFrameTimeUs(8, 9), 0);      // unknown code: no pacing
}

struct Heard {
  int64_t timeUs;
  uint32_t id;
};

std::vector<Heard> FlashIdentify(bool timing, uint8_t rate) {
  SimNetwork net;
  SimPopulation p;
  p.busBitRates = {rate};
  net.setPopulation(p);
  net.setBusTiming(timing);
  for (int node : {3, 2, 4}) net.addModule(SimModuleConfig::make(0, node, 16, rate));
  std::vector<Heard> heard;
  net.setListener([&](int, const SimFrame& f, int64_t t, FrameOrigin) { heard.push_back({t, f.id}); });
  net.hostTransmit(0, SimFrame(0x680, 0, {0x80}), 0);
  net.advance(1000000);
  return heard;
}

// The request (1 byte, 520 us), then three 8-byte replies of 1080 us each in
// arbitration order, lowest identifier first; without timing all at once.
TEST(BusTiming, FramesFollowEachOtherAtTheirTimeOnTheWireOrAllAtOnce) {
  for (const bool timing : {true, false}) {
    auto heard = FlashIdentify(timing, 4);
    ASSERT_EQ(heard.size(), 4u);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(heard[i].timeUs, timing ? 520 + i * 1080 : 0) << i;
      if (i > 0) EXPECT_EQ(heard[i].id, 0x681u + uint32_t(i)) << i;
    }
  }
}

TEST(BusTiming, HostFramesQueueBehindABusyBusAndThroughputMeetsThePhysicalLimit) {
  SimNetwork net;
  SimPopulation p;
  p.busBitRates = {7};
  net.setPopulation(p);
  net.setBusTiming(true);
  std::vector<int64_t> times;
  net.setListener([&](int, const SimFrame&, int64_t t, FrameOrigin) { times.push_back(t); });
  for (int i = 0; i < 100; ++i) net.hostTransmit(0, SimFrame(0x123, 0, {1, 2, 3, 4, 5, 6, 7, 8}), 0);
  net.advance(5000);
  // 5000 us at 135 us per frame: 37 frames are through, the rest still waits.
  EXPECT_EQ(times.size(), 37u);
  EXPECT_EQ(times.back(), 37 * 135);
  net.advance(100000);
  EXPECT_EQ(times.size(), 100u);
}

TEST(BusTiming, AFloodBeyondTheBusQueueIsCountedNotKept) {
  SimNetwork net;
  net.setBusTiming(true);
  size_t heard = 0;
  net.setListener([&](int, const SimFrame&, int64_t, FrameOrigin) { ++heard; });
  const int flood = int(SimNetwork::kMaxPending) + 100;
  for (int i = 0; i < flood; ++i) net.hostTransmit(0, SimFrame(0x100 + (i % 50), 0, {1}), 0);
  EXPECT_EQ(net.overflowFrames(), 100);
  net.advance(int64_t(1) << 40);
  EXPECT_EQ(heard, SimNetwork::kMaxPending);
}

TEST(BusTiming, BackgroundTrafficRepeatsAtItsPeriod) {
  SimNetwork net;
  std::vector<int64_t> times;
  net.setListener([&](int, const SimFrame& f, int64_t t, FrameOrigin o) {
    if (o == FrameOrigin::Other) times.push_back(t);
    EXPECT_EQ(f.id, 0x181u);
  });
  net.addTraffic(0, std::make_unique<PeriodicTraffic>(SimFrame(0x181, 0, {1, 2}), 10000), 0);
  net.advance(35000);
  EXPECT_EQ(times, (std::vector<int64_t>{10000, 20000, 30000}));
  net.clearTraffic();
  net.advance(100000);
  EXPECT_EQ(times.size(), 3u);
}

}  // namespace
