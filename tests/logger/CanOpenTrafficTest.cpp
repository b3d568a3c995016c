// The simulator's CANopen background traffic: its mix, its rate and its
// respect for the module protocol's identifiers.
#include <gtest/gtest.h>

#include <set>

#include "traffic/CanOpenTraffic.h"

namespace {

TEST(CanOpenTraffic, TheMixHoldsEveryKindAndLeavesTheModuleProtocolAlone) {
  CanOpenTrafficConfig config;
  config.errorShare = 0.01;
  config.nodes = {1, 2, 5, 0, 300};  // 0 and 300 are no nodes and are dropped
  CanOpenTraffic traffic(config);
  std::set<std::string> kinds;
  for (int i = 0; i < 20000; ++i) {
    const SimFrame f = traffic.nextFrame();
    const uint32_t id = f.id & 0x1FFFFFFF;
    ASSERT_LE(f.len, 8);
    ASSERT_FALSE(id >= 0x680 && id <= 0x6FF) << std::hex << id;
    if (f.id & kSimErrorReportFlag) kinds.insert("error");
    else if (f.id & kSimRemoteFlag) kinds.insert("guarding");
    else if (id == 0) kinds.insert("nmt");
    else if (id == 0x80) kinds.insert("sync");
    else if (id < 0x100) kinds.insert("emergency");
    else if (id < 0x580) kinds.insert("pdo");
    else if (id < 0x680) kinds.insert("sdo");
    else if (id >= 0x700 && f.len == 1 && f.data[0] == 0) kinds.insert("bootup");
    else if (id >= 0x700) kinds.insert("heartbeat");
    if (!(f.id & kSimErrorReportFlag) && id != 0 && id != 0x80) {
      const uint32_t node = id & 0x7F;
      EXPECT_TRUE(node == 1 || node == 2 || node == 5) << std::hex << id;
    }
  }
  EXPECT_EQ(kinds, (std::set<std::string>{"bootup", "emergency", "error", "guarding", "heartbeat", "nmt",
                                          "pdo", "sdo", "sync"}));
}

TEST(CanOpenTraffic, SdoRequestsAreAnswered) {
  CanOpenTraffic traffic(CanOpenTrafficConfig{});
  int pairs = 0;
  SimFrame previous;
  for (int i = 0; i < 5000; ++i) {
    const SimFrame f = traffic.nextFrame();
    if ((f.id & 0x780) == 0x580 && !(f.id & 0xE0000000)) {
      ASSERT_EQ(previous.id, f.id + 0x80) << "the answer follows its request";
      EXPECT_EQ(f.data[1], previous.data[1]);
      EXPECT_EQ(f.data[2], previous.data[2]);
      ++pairs;
    }
    previous = f;
  }
  EXPECT_GT(pairs, 100);
}

TEST(CanOpenTraffic, AnotherProtocolBaseIsAvoidedToo) {
  CanOpenTrafficConfig config;
  config.protocolBase = 0x600;
  CanOpenTraffic traffic(config);
  for (int i = 0; i < 5000; ++i) {
    const uint32_t id = traffic.nextFrame().id & 0x1FFFFFFF;
    ASSERT_FALSE(id >= 0x600 && id <= 0x67F) << std::hex << id;
  }
}

TEST(CanOpenTraffic, FixedLengthAndTheSameSequenceForTheSameSeed) {
  CanOpenTrafficConfig config;
  config.fixedLength = 0;
  config.errorShare = 0;
  CanOpenTraffic a(config), b(config);
  for (int i = 0; i < 1000; ++i) {
    const SimFrame f = a.nextFrame();
    ASSERT_EQ(f.len, 0);
    ASSERT_EQ(f, b.nextFrame());
  }
  config.seed = 2;
  CanOpenTraffic c(config);
  int same = 0;
  CanOpenTraffic a2(CanOpenTrafficConfig{});
  for (int i = 0; i < 100; ++i) same += c.nextFrame().id == a2.nextFrame().id;
  EXPECT_LT(same, 50);
}

TEST(CanOpenTraffic, FramesComeAtTheConfiguredAverageRate) {
  CanOpenTrafficConfig config;
  config.framesPerSecond = 64000;  // 15.625 us apart
  CanOpenTraffic traffic(config);
  int64_t at = 1000;
  SimFrame f;
  int64_t first = -1;
  for (int i = 0; i < 64000; ++i) {
    int64_t next = 0;
    ASSERT_TRUE(traffic.next(at, f, next));
    ASSERT_GE(next, at);
    if (first < 0) first = next;
    at = next;
  }
  EXPECT_NEAR(double(at - first), 1e6, 20.0) << "64000 frames take one second";
  CanOpenTrafficConfig none;
  none.framesPerSecond = 0;
  CanOpenTraffic silent(none);
  int64_t unused = 0;
  EXPECT_FALSE(silent.next(0, f, unused));

  // An absurd rate is held at the ceiling instead of burying the server in frames.
  CanOpenTrafficConfig absurd;
  absurd.framesPerSecond = 1e15;
  CanOpenTraffic flood(absurd);
  int64_t t = 0;
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(flood.next(t, f, t));
  EXPECT_NEAR(double(t), 1000.0, 2.0) << "1000 frames at 1e6 frames/s take 1 ms";
}

TEST(CanOpenTraffic, FullBusRates) {
  EXPECT_NEAR(CanOpenTraffic_FullBusRate(7, 0), 21276.6, 0.1);   // 1 Mbit/s, 47-bit frames
  EXPECT_NEAR(CanOpenTraffic_FullBusRate(4, 8), 1126.1, 0.1);    // 125 kbit/s, 111-bit frames
  EXPECT_EQ(CanOpenTraffic_FullBusRate(9, 0), 0.0);
}

// At the full-bus rate the frames made fill the bus's bits exactly: the
// average length counts every frame, SDO answers and error reports included.
TEST(CanOpenTraffic, TheFullRateIsThePhysicalMaximum) {
  for (const int fixedLength : {-1, 8}) {
    for (const double errorShare : {0.0005, 0.05}) {
      CanOpenTrafficConfig config;
      config.fixedLength = fixedLength;
      config.errorShare = errorShare;
      CanOpenTraffic traffic(config);
      double bits = 0;
      const int frames = 200000;
      for (int i = 0; i < frames; ++i) bits += 47 + 8 * traffic.nextFrame().len;
      const double rate = CanOpenTraffic_FullBusRate(4, CanOpenTraffic_AverageLength(config));
      EXPECT_NEAR(rate * bits / frames, 125000.0, 500.0) << fixedLength << " " << errorShare;
    }
  }
}

}  // namespace
