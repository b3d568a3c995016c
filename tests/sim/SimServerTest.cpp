// The bus master over TCP, seen by a raw client: the bytes on the wire, bad
// input from the client and the injected faults that the program's own tests
// of the Ethernet link do not already drive.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "RawClient.h"
#include "SimServer.h"
#include "module/SimModule.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kBase = 0x680;
constexpr int kWait = 2000;  // upper bound for anything that should come at once

class Server : public ::testing::Test {
 protected:
  void SetUp() override {
    SimPopulation p;
    p.busBitRates = {4, 6, 2};
    sim.setPopulation(p);
    sim.setRebootTimeMs(1);
    sim.addModule(SimModuleConfig::make(0, 5, 16, 4));
    sim.addModule(SimModuleConfig::make(1, 5, 17, 6));
    ASSERT_TRUE(sim.start()) << sim.lastError();
    ASSERT_TRUE(client.connect(sim.port()));
    ASSERT_TRUE(sim.waitForClient(kWait));
  }

  // Sends one frame and expects exactly `count` frames back.
  std::vector<DecodedFrame> exchange(uint32_t id, uint8_t bus, std::initializer_list<uint8_t> data, size_t count = 1) {
    client.sendFrame(id, bus, data);
    return client.readFrames(count, kWait);
  }

  // True when nothing arrives: checked by a following bus-count query whose
  // answer must be the very next frame.
  bool nothingBefore() {
    auto f = exchange(0x80000001, 0, {});
    return f.size() == 1 && f[0].frame.id == 0x80000001;
  }

  SimServer sim;
  RawClient client;
};

TEST_F(Server, IdentifyOverTcpGivesTheExpectedBytes) {
  client.send({0x00, 0x00, 0x06, 0x85, 0x01, 0x80});
  Bytes got = client.readBytes(17, kWait);
  ASSERT_EQ(got.size(), 17u);
  EXPECT_NE(Bytes(got.begin(), got.begin() + 4), (Bytes{0, 0, 0, 0}));  // a time stamp
  EXPECT_EQ(Bytes(got.begin() + 4, got.end()),
            (Bytes{0x00, 0x00, 0x06, 0x85, 0x08, 0x00, 0x85, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00}));
  ASSERT_TRUE(sim.waitForReceived(1, kWait));
  EXPECT_EQ(sim.receivedFrames().at(0).frame, SimFrame(0x685, 0, {0x80}));
}

TEST_F(Server, BadLengthNibbleAndHalfFramesNeverStopTheServer) {
  // Nibble 12: 5 + 12 bytes are skipped, the identify behind them is answered.
  Bytes bad{0x00, 0x00, 0x06, 0x85, 0x0C, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  Bytes good{0x00, 0x00, 0x06, 0x85, 0x01, 0x80};
  bad.insert(bad.end(), good.begin(), good.end());
  client.send(bad);
  auto f = client.readFrames(1, kWait);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].frame.data[0], 0x00);
  EXPECT_EQ(sim.stats().badFrames, 1);

  // The connection closes in the middle of a frame.
  client.send({0x00, 0x00, 0x06});
  client.close();
  ASSERT_TRUE(sim.waitForReceived(1, kWait));

  RawClient second(sim.port());
  ASSERT_TRUE(sim.waitForConnections(2, kWait));
  size_t before = sim.receivedFrames().size();
  second.sendFrame(kBase + 5, 0, {0x85});
  auto info = second.readFrames(1, kWait);
  ASSERT_EQ(info.size(), 1u);
  EXPECT_EQ(info[0].frame.data[0], 0x05);
  // The half frame of the first client was not taken as the start of this one.
  auto received = sim.receivedFrames();
  ASSERT_EQ(received.size(), before + 1);
  EXPECT_EQ(received.back().frame, SimFrame(kBase + 5, 0, {0x85}));
}

// ---- fault injection ------------------------------------------------------------

TEST_F(Server, DropShareIsSpreadEvenly) {
  SimFaults faults;
  faults.dropShare = 0.5;
  sim.setFaults(faults);
  for (int i = 0; i < 4; ++i) client.sendFrame(0x80000004, 0, {});
  client.sendFrame(0x80000001, 0, {});
  auto f = client.readFrames(3, kWait);  // frames 1, 3, 5 pass; 2 and 4 are dropped
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[2].frame.id, 0x80000001u);
  EXPECT_EQ(sim.stats().droppedToClient, 2);
  sim.setFaults(SimFaults{});
  EXPECT_TRUE(nothingBefore());
}

TEST_F(Server, CorruptedRepliesAndTheStreamStaysInStep) {
  sim.corruptNextReplies(SimCorruption::LengthAbove8);
  client.sendFrame(kBase + 5, 1, {0x80});
  Bytes bad = client.readBytes(19, kWait);
  ASSERT_EQ(bad.size(), 19u);
  EXPECT_EQ(bad[8], 0x1A);  // bus 1, nibble 10: the program reports 26
  sim.corruptNextReplies(SimCorruption::WrongCommand);
  sim.corruptNextReplies(SimCorruption::ShortReply);
  client.sendFrame(kBase + 5, 0, {0x80});
  client.sendFrame(kBase + 5, 0, {0xB4, 0x20, 0x00, 0x01});
  client.sendFrame(kBase + 5, 0, {0x85});
  auto f = client.readFrames(3, kWait);
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0].frame.data[0], 0x01);  // identify reply with another command code
  EXPECT_EQ(f[1].frame.len, 7);         // object reply one byte short
  EXPECT_EQ(f[1].frame.data[0], 0x34);
  EXPECT_EQ(f[2].frame.data[0], 0x05);  // and then everything is normal again
  EXPECT_EQ(f[2].frame.len, 8);
  // The log holds the frames as meant.
  ASSERT_TRUE(sim.waitForSent(4, kWait));
  EXPECT_EQ(sim.sentFrames().at(1).frame.data[0], 0x00);
}

// Random faults: about their share of the frames, spoiled ones logged as
// they went out, a held-back frame holding the ones behind it.
TEST_F(Server, RandomFaultsHitTheirShareAndTheLogShowsWhatWasSent) {
  const SimFrame plain = exchange(0x80000004, 0, {}).at(0).frame;
  sim.takeSentFrames();
  const int before = sim.stats().framesToClient;
  SimFaults faults;
  faults.randomDropShare = faults.randomCorruptShare = faults.randomDelayShare = 0.1;
  faults.randomDelayMaxMs = 5;
  sim.setFaults(faults);
  constexpr int kFrames = 400;
  for (int i = 0; i < kFrames; ++i) client.sendFrame(0x80000004, 0, {});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWait);
  SimServerStats s;
  while ((s = sim.stats()).framesToClient - before + s.droppedToClient < kFrames &&
         std::chrono::steady_clock::now() < deadline) {
  }
  for (const int count : {s.droppedToClient, s.spoiledToClient, s.delayedToClient}) {
    EXPECT_GT(count, kFrames / 20);
    EXPECT_LT(count, kFrames / 5);
  }
  const auto got = client.readFrames(size_t(kFrames - s.droppedToClient), kWait);
  const auto sent = sim.takeSentFrames();
  ASSERT_EQ(got.size(), sent.size());
  int changed = 0;
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(got[i].frame, sent[i].frame) << i;
    changed += !(sent[i].frame == plain);
    EXPECT_GE(sent[i].releaseUs, sent[i].timeUs);
    if (i > 0) {
      EXPECT_GE(sent[i].releaseUs, sent[i - 1].releaseUs) << "one stream, in order";
    }
  }
  EXPECT_EQ(changed, s.spoiledToClient);
  EXPECT_TRUE(sim.sentFrames().empty());
}

TEST_F(Server, SplitFramesArriveInPiecesReleasedByTheTest) {
  SimFaults faults;
  faults.splitBytes = 4;
  sim.setFaults(faults);
  sim.holdOutput(true);
  client.sendFrame(kBase + 5, 0, {0x80});
  ASSERT_TRUE(sim.waitForPendingSegments(5, kWait));  // 17 bytes in pieces of 4, 4, 4, 4, 1
  EXPECT_TRUE(client.readOnce(20).empty());
  sim.releaseSegments(1);
  EXPECT_EQ(client.readOnce(kWait).size(), 4u);
  EXPECT_TRUE(client.readOnce(20).empty());
  sim.releaseSegments(4);
  Bytes rest = client.readBytes(13, kWait);
  ASSERT_EQ(rest.size(), 13u);
  EXPECT_EQ(rest.back(), 0x00);
  EXPECT_EQ(sim.pendingSegments(), 0);
}

TEST_F(Server, SeveralFramesInOneSegment) {
  SimFaults faults;
  faults.batchFrames = 3;
  faults.batchWaitMs = 5000;
  sim.setFaults(faults);
  client.sendFrame(kBase + 5, 0, {0x80});
  client.sendFrame(kBase + 5, 0, {0x85});
  ASSERT_TRUE(sim.waitForSent(2, kWait));
  EXPECT_TRUE(client.readOnce(20).empty());  // two frames wait for the third
  client.sendFrame(0x80000001, 0, {});
  Bytes all = client.readOnce(kWait);
  EXPECT_EQ(all.size(), 17u + 17u + 10u);
  EXPECT_EQ(sim.stats().segmentsToClient, 1);
  EXPECT_EQ(sim.stats().framesToClient, 3);
}

TEST_F(Server, ANewClientReplacesTheOldOneAndClosesAreOneOffs) {
  RawClient second(sim.port());
  ASSERT_TRUE(sim.waitForConnections(2, kWait));
  EXPECT_TRUE(client.waitClosed(kWait));
  sim.closeMidFrame();
  second.sendFrame(kBase + 5, 0, {0x80});
  Bytes half = second.readBytes(17, kWait);
  EXPECT_EQ(half.size(), 8u);
  EXPECT_TRUE(second.waitClosed(kWait));

  RawClient third(sim.port());
  ASSERT_TRUE(sim.waitForConnections(3, kWait));
  third.sendFrame(kBase + 5, 0, {0x80});
  EXPECT_EQ(third.readFrames(1, kWait).size(), 1u);  // the close was a one-off
  sim.closeConnection();
  EXPECT_TRUE(third.waitClosed(kWait));
  EXPECT_FALSE(sim.hasClient());
}

TEST(SimServerLifecycle, StartStopRestartAndBadAddress) {
  SimServer sim;
  EXPECT_FALSE(sim.start("not-an-address", 0));
  EXPECT_FALSE(sim.lastError().empty());
  ASSERT_TRUE(sim.start());
  int port = sim.port();
  EXPECT_GT(port, 0);
  RawClient c(port);
  ASSERT_TRUE(sim.waitForClient(kWait));
  sim.stop();
  EXPECT_FALSE(sim.running());
  EXPECT_TRUE(c.waitClosed(kWait));
  ASSERT_TRUE(sim.start());
  RawClient d(sim.port());
  d.sendFrame(0x80000001, 0, {});
  auto f = d.readFrames(1, kWait);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].frame.data[0], 1);
}

}  // namespace
