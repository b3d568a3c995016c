// The interface layer and the Ethernet link against the simulated bus master,
// through real loopback sockets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BusTestSupport.h"
#include "SimServer.h"
#include "core/ErrorReport.h"

namespace {

class SimLinkTest : public BusTest {
 protected:
  void SetUp() override {
    BusTest::SetUp();
    SimPopulation population;
    population.busBitRates = {6, 3};
    population.plcRunState = 1;
    SimModuleConfig a = SimModuleConfig::make(0, 5, 0x1234, 6);
    a.fwMajor = 2;
    a.fwMinor = 7;
    population.modules.push_back(a);
    population.modules.push_back(SimModuleConfig::make(1, 7, 0x1235, 3));
    sim.setPopulation(population);
    sim.setRebootTimeMs(2);
    ASSERT_TRUE(sim.start()) << sim.lastError();
    EthMaster_SetHostName("127.0.0.1");
    EthMaster_SetPort(sim.port());
    ASSERT_EQ(OpenInterface("KVX Master (Ethernet)"), 0) << GetInterfaceError();
    ASSERT_TRUE(sim.waitForClient(2000));
  }
  void TearDown() override {
    BusTest::TearDown();
    sim.stop();
  }

  // The module-info request (command byte 0x85) to a node.
  static int moduleInfo(int node, CanMsg& reply) {
    reply = Frame(0x680 + node, {0x85});
    return RequestReply(0x680 + node, 5, reply);
  }

  SimServer sim;
};

TEST_F(SimLinkTest, ModulesAnswerOnTheCurrentBusOnly) {
  CanMsg reply;
  ASSERT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
  EXPECT_EQ(reply.len, 8u);
  EXPECT_EQ(reply.data[0], 5u);
  EXPECT_EQ(reply.data[4], 2u);
  EXPECT_EQ(reply.data[5], 7u);

  Option_SetInt("MSGREQUEST_TIMEOUT_MS", 20);
  EXPECT_EQ(moduleInfo(7, reply), -1);
  EXPECT_STREQ(GetInterfaceError(), "Module timeout");
  EthMaster_SetCanBusNo(1);
  EXPECT_EQ(moduleInfo(7, reply), 0) << GetInterfaceError();
  EXPECT_EQ(moduleInfo(5, reply), -1);
}

TEST_F(SimLinkTest, PlcRunStateAndKeepAliveReachTheMaster) {
  EXPECT_EQ(EthMaster_GetRunState(), 1);
  ASSERT_EQ(EthMaster_SetRunState(1), 0);
  EXPECT_EQ(EthMaster_GetRunState(), 0) << "a stopped PLC runs after the start command";
  EXPECT_EQ(EthMaster_KeepAliveTick(), 5000);
  EXPECT_EQ(EthMaster_GetRunState(), 0);  // the keep-alive went out before this query
  EXPECT_EQ(sim.stats().keepAlives, 1);
}

TEST_F(SimLinkTest, ADroppedReplyTimesOutAndTheNextRequestWorks) {
  Option_SetInt("MSGREQUEST_TIMEOUT_MS", 20);
  sim.dropNextReplies(1);
  CanMsg reply;
  EXPECT_EQ(moduleInfo(5, reply), -1);
  EXPECT_STREQ(GetInterfaceError(), "Module timeout");
  EXPECT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
}

TEST_F(SimLinkTest, ALateReplyIsFlushedAndDoesNotAnswerTheNextRequest) {
  Option_SetInt("MSGREQUEST_TIMEOUT_MS", 20);
  SimFaults slow;
  slow.delayMs = 60;
  sim.setFaults(slow);
  CanMsg reply;
  EXPECT_EQ(moduleInfo(5, reply), -1);
  sim.setFaults(SimFaults{});
  // Nothing else is pending, so the socket turns readable when the late reply arrives.
  ASSERT_EQ(Poll_WaitReadable(EthMaster_Descriptor(), 2000), 1);
  sim.dropNextReplies(1);
  EXPECT_EQ(moduleInfo(5, reply), -1) << "the late reply was flushed, the new one dropped";
  EXPECT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
}

TEST_F(SimLinkTest, RepliesSplitIntoPiecesOrBatchedStillArrive) {
  SimFaults split;
  split.splitBytes = 3;
  split.splitGapMs = 1;
  sim.setFaults(split);
  CanMsg reply;
  ASSERT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
  EXPECT_EQ(reply.data[4], 2u);

  SimFaults batch;
  batch.batchFrames = 2;
  batch.batchWaitMs = 5;
  sim.setFaults(batch);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
}

TEST_F(SimLinkTest, AnIllegalLengthFromTheMasterIsReportedAndTheLinkGoesOn) {
  Option_SetInt("MSGREQUEST_TIMEOUT_MS", 100);
  sim.corruptNextReplies(SimCorruption::LengthAbove8);
  CanMsg reply;
  // The spoiled frame is taken whole and delivered with its first 8 bytes.
  EXPECT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
  EXPECT_EQ(reply.len, 8u);
  EXPECT_EQ(GetStatusText(), "*** Error: Received message with illegal length (10)\nlogger stopped.");
  ASSERT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
  EXPECT_EQ(reply.data[4], 2u);
}

TEST_F(SimLinkTest, AClosedConnectionIsReportedAndAReopenWorks) {
  sim.closeConnection();
  Poll_WaitReadable(EthMaster_Descriptor(), 2000);  // the end of the stream has arrived
  CanMsg reply;
  EXPECT_EQ(moduleInfo(5, reply), -1);
  // The number is the socket's own error: 0 for an orderly close, or what the
  // request's send ran into.
  EXPECT_THAT(GetInterfaceError(), ::testing::StartsWith("Server closed connection, socket error #"));
  ASSERT_EQ(CloseInterface(), 0);
  ASSERT_EQ(OpenInterface("KVX Master (Ethernet)"), 0) << GetInterfaceError();
  EXPECT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
}

TEST_F(SimLinkTest, FramesWithoutTimeStampGetTheProgramClock) {
  sim.setZeroTimeStamps(true);
  useManualClock();
  clock.advance(41000);
  CanMsg reply;
  ASSERT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
  EXPECT_EQ(reply.time, 42000u);
}

}  // namespace
