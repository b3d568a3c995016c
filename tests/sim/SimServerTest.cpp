// The bus master over TCP, seen by a raw client: the bytes on the wire, the
// control frames, bad input from the client and every injected fault.
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
    node5 = sim.addModule(SimModuleConfig::make(0, 5, 16, 4));
    node5bus1 = sim.addModule(SimModuleConfig::make(1, 5, 17, 6));
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
  SimModuleId node5 = -1, node5bus1 = -1;
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

TEST_F(Server, FramesGoToTheBusInTheirNibbleAndAnswersComeBackTagged) {
  auto a = exchange(kBase + 5, 1, {0x80});
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].frame.bus, 1);
  EXPECT_EQ(a[0].frame.data[2], 17);
  auto b = exchange(kBase + 5, 0, {0x80});
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].frame.bus, 0);
  EXPECT_EQ(b[0].frame.data[2], 16);
  // Bus 2 has no module 5; bus 9 does not exist.
  client.sendFrame(kBase + 5, 2, {0x80});
  client.sendFrame(kBase + 5, 9, {0x80});
  EXPECT_TRUE(nothingBefore());
  EXPECT_EQ(sim.stats().unknownBusFrames, 1);
}

TEST_F(Server, LoggerForwardingPassesAllTrafficOnlyWhileOn) {
  sim.addBusTraffic(1, SimFrame(0x181, 0, {0x11, 0x22}), 2);
  // Off: the PDO traffic stays on its bus; module answers still come.
  EXPECT_EQ(exchange(kBase + 5, 0, {0x80}).at(0).frame.id, kBase + 5);
  client.sendFrame(0x80000003, 0, {3});
  auto f = client.readFrames(2, kWait);
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0].frame, SimFrame(0x181, 1, {0x11, 0x22}));
  EXPECT_EQ(sim.loggerForwarding(), 3);
  client.sendFrame(0x80000003, 0, {0});
  ASSERT_TRUE(sim.waitForReceived(3, kWait));
  sim.clearBusTraffic();
  client.readFrames(100, 20);  // whatever was already under way
  EXPECT_TRUE(nothingBefore());
  EXPECT_EQ(sim.loggerForwarding(), 0);
}

TEST_F(Server, PopulationControlFromTheTest) {
  SimModuleId extra = sim.addModule(SimModuleConfig::make(0, 9, 48));
  EXPECT_EQ(exchange(kBase, 0, {0x80}, 2).size(), 2u);  // flash identify: nodes 5 and 9
  ASSERT_TRUE(sim.removeModule(extra));
  EXPECT_EQ(sim.findModule(0, 9), -1);
  client.sendFrame(kBase + 9, 0, {0x80});
  EXPECT_TRUE(nothingBefore());
  // The front button.
  EXPECT_TRUE(sim.pressButton(node5));
  auto s = exchange(kBase, 0, {0x82});
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].frame, SimFrame(kBase, 0, {0x02, 0x82, 0x10, 0x01, 0, 0, 0, 0}));
  EXPECT_EQ(sim.moduleState(node5), 0x82);
  // Objects.
  EXPECT_TRUE(sim.setObject(node5, SimObject{0x2100, 3, 7, 5, true, 0}));
  client.sendFrame(kBase + 5, 0, {0x34, 0x21, 0x00, 0x03, 0x2A});
  auto r = exchange(kBase + 5, 0, {0xB4, 0x21, 0x00, 0x03});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].frame.data[4], 0x2A);
  uint32_t v = 0;
  EXPECT_TRUE(sim.readObject(node5, 0x2100, 3, v));
  EXPECT_EQ(v, 0x2Au);
}

TEST_F(Server, RestartedModuleAnswersAgainAfterTheRebootTime) {
  client.sendFrame(kBase + 5, 0, {0x01, 0x00});
  // Ask until the bootloader answers; with a 1 ms reboot time that is almost at once.
  uint8_t state = 0;
  for (int i = 0; i < 100 && state != 0x01; ++i) {
    client.sendFrame(kBase + 5, 0, {0x80});
    auto f = client.readFrames(1, 20);
    if (!f.empty()) state = f[0].frame.data[1];
  }
  EXPECT_EQ(state, 0x01);
  int restarts = 0;
  sim.withModule(node5, [&](SimModule& m) { restarts = m.restartCount(); });
  EXPECT_EQ(restarts, 1);
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

TEST_F(Server, ANewClientReplacesTheOldOne) {
  RawClient second(sim.port());
  ASSERT_TRUE(sim.waitForConnections(2, kWait));
  EXPECT_TRUE(client.waitClosed(kWait));
  second.sendFrame(kBase + 5, 0, {0x80});
  EXPECT_EQ(second.readFrames(1, kWait).size(), 1u);
}

TEST_F(Server, ZeroTimeStamps) {
  sim.setZeroTimeStamps(true);
  client.sendFrame(0x80000001, 0, {});
  Bytes got = client.readBytes(10, kWait);
  ASSERT_EQ(got.size(), 10u);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), (Bytes{0, 0, 0, 0}));
}

// ---- fault injection ------------------------------------------------------------

TEST_F(Server, DropShareIsSpreadEvenlyAndDropNextCounts) {
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
  sim.dropNextReplies(2);
  client.sendFrame(kBase + 5, 0, {0x80});
  client.sendFrame(kBase + 5, 0, {0x85});
  auto g = exchange(kBase + 5, 0, {0x99});
  ASSERT_EQ(g.size(), 1u);
  EXPECT_EQ(g[0].frame.data[0], 0x19);
}

TEST_F(Server, DelayHoldsEveryReplyBack) {
  SimFaults faults;
  faults.delayMs = 40;
  sim.setFaults(faults);
  auto start = std::chrono::steady_clock::now();
  auto f = exchange(kBase + 5, 0, {0x80});
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(f.size(), 1u);
  EXPECT_GE(ms, 39);
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

TEST_F(Server, SplitFramesWithAGapOnTheirOwn) {
  SimFaults faults;
  faults.splitBytes = 9;
  faults.splitGapMs = 30;
  sim.setFaults(faults);
  auto f = exchange(kBase + 5, 0, {0x80});
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].frame.data[2], 16);
  EXPECT_EQ(sim.stats().segmentsToClient, 2);
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

TEST_F(Server, IncompleteBatchLeavesAfterItsWait) {
  SimFaults faults;
  faults.batchFrames = 4;
  faults.batchWaitMs = 10;
  sim.setFaults(faults);
  EXPECT_EQ(exchange(kBase + 5, 0, {0x80}).size(), 1u);
}

TEST_F(Server, CloseConnectionAndCloseMidFrame) {
  sim.closeConnection();
  EXPECT_TRUE(client.waitClosed(kWait));
  EXPECT_FALSE(sim.hasClient());

  RawClient second(sim.port());
  ASSERT_TRUE(sim.waitForConnections(2, kWait));
  sim.closeMidFrame();
  second.sendFrame(kBase + 5, 0, {0x80});
  Bytes half = second.readBytes(17, kWait);
  EXPECT_EQ(half.size(), 8u);
  EXPECT_TRUE(second.waitClosed(kWait));

  RawClient third(sim.port());
  ASSERT_TRUE(sim.waitForConnections(3, kWait));
  third.sendFrame(kBase + 5, 0, {0x80});
  EXPECT_EQ(third.readFrames(1, kWait).size(), 1u);  // the close was a one-off
}

TEST_F(Server, RawBytesGoOutUntouched) {
  sim.sendRawToClient({0xDE, 0xAD, 0xBE, 0xEF});
  EXPECT_EQ(client.readBytes(4, kWait), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
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

namespace {

TEST(SimServerDemo, FlashIdentifyOnTheDemoBusesAnswersEveryModuleInIdentifierOrder) {
  SimServer sim;
  sim.setPopulation(SimPopulation::demo());
  ASSERT_TRUE(sim.start());
  RawClient c(sim.port());
  c.sendFrame(0x680, 0, {0x80});
  auto bus0 = c.readFrames(7, kWait);
  ASSERT_EQ(bus0.size(), 7u);
  std::vector<uint32_t> nodes;
  for (const DecodedFrame& f : bus0) {
    nodes.push_back(f.frame.id - 0x680);
    EXPECT_EQ(f.frame.bus, 0);
    EXPECT_EQ(f.frame.len, 8);
  }
  EXPECT_EQ(nodes, (std::vector<uint32_t>{2, 3, 5, 7, 10, 12, 20}));
  EXPECT_EQ(bus0[6].frame.data[2], 0x85);  // the LIN master answers like any module
  c.sendFrame(0x680, 1, {0x80});
  auto bus1 = c.readFrames(8, kWait);
  ASSERT_EQ(bus1.size(), 8u);  // 2, 4, 9, the LIN test bench 20..22, 31, 33
  EXPECT_EQ(bus1[7].frame, SimFrame(0x680 + 33, 1, {0x00, 0x84, 48, 3, 0, 0, 0, 0}));
}

}  // namespace
