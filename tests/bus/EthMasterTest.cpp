// The Ethernet master link and the interface layer over it, against the
// simulated bus master through real loopback sockets. The simulator's fault
// injection stands in for a misbehaving master: silent or wrong control
// answers, frames split or batched, exact bytes on the stream, a connection
// that closes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "BusTestSupport.h"
#include "SimServer.h"
#include "core/ErrorReport.h"

namespace {

const char* const kEthernet = "KVX Master (Ethernet)";
using Bytes = std::vector<uint8_t>;

// A frame as the master writes it: time stamp, identifier, bus/length byte, data.
Bytes MasterFrame(uint32_t id, int bus, const Bytes& data, uint32_t stamp = 1234, int nibble = -1) {
  const int n = nibble < 0 ? int(data.size()) : nibble;
  Bytes out = {uint8_t(stamp >> 24), uint8_t(stamp >> 16), uint8_t(stamp >> 8), uint8_t(stamp),
               uint8_t(id >> 24),    uint8_t(id >> 16),    uint8_t(id >> 8),    uint8_t(id),
               uint8_t(bus << 4 | n)};
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Slice(const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + from, b.begin() + to); }

int g_plcOpened = 0;
int g_plcClosed = 0;
int g_loggerUpdates = 0;
std::vector<CanMsg> g_logged;

class EthMasterTest : public BusTest {
 protected:
  void SetUp() override {
    BusTest::SetUp();
    g_plcOpened = g_plcClosed = g_loggerUpdates = 0;
    g_logged.clear();
    sim.setRebootTimeMs(2);
  }
  void TearDown() override {
    CloseInterface();
    BusTest::TearDown();
    sim.stop();
  }

  // Buses at these bit-rate codes; module 5 (type 0x1234, firmware 2.7) on
  // bus 0 and module 7 on bus 1 when there are two buses, each at its bus's rate.
  void serve(std::vector<uint8_t> busCodes = {4}) {
    SimPopulation population;
    population.busBitRates = busCodes;
    population.plcRunState = 1;
    SimModuleConfig a = SimModuleConfig::make(0, 5, 0x1234, busCodes[0]);
    a.fwMajor = 2;
    a.fwMinor = 7;
    population.modules.push_back(a);
    if (busCodes.size() > 1)
      population.modules.push_back(SimModuleConfig::make(1, 7, 0x1235, busCodes[1]));
    sim.setPopulation(population);
    ASSERT_TRUE(sim.start()) << sim.lastError();
  }
  void openEthernet() {
    EthMaster_SetHostName("127.0.0.1");
    EthMaster_SetPort(sim.port());
    ASSERT_EQ(OpenInterface(kEthernet), 0) << GetInterfaceError();
    ASSERT_TRUE(sim.waitForClient(2000));
  }
  void connect(std::vector<uint8_t> busCodes = {4}) {
    ASSERT_NO_FATAL_FAILURE(serve(std::move(busCodes)));
    ASSERT_NO_FATAL_FAILURE(openEthernet());
    sim.clearTraffic();
  }
  // What the program sent since the last clearTraffic(), once `count` frames are in.
  std::vector<SimFrame> sent(size_t count) {
    EXPECT_TRUE(sim.waitForReceived(count, 2000));
    std::vector<SimFrame> out;
    for (const SimTimedFrame& f : sim.receivedFrames()) out.push_back(f.frame);
    return out;
  }

  // Gives the master's bytes time to arrive before a non-waiting receive.
  static void awaitInput() { Poll_WaitReadable(EthMaster_Descriptor(), 2000); }
  // The next frame the program received (the test fails when none comes).
  static CanMsg receiveOne() {
    CanMsg m;
    int got = 0;
    for (int i = 0; i < 100 && !got; ++i) {
      awaitInput();
      EXPECT_EQ(EthMaster_Receive(m, got), 0) << GetInterfaceError();
    }
    EXPECT_EQ(got, 1);
    return m;
  }
  static int receiveNow(CanMsg& m) {
    int got = -1;
    EXPECT_EQ(EthMaster_Receive(m, got), 0) << GetInterfaceError();
    return got;
  }
  // The module-info request (command byte 0x85) to a node through the layer.
  static int moduleInfo(int node, CanMsg& reply) {
    reply = Frame(0x680 + node, {0x85});
    return RequestReply(0x680 + node, 5, reply);
  }

  SimServer sim;
};

// ---- connecting ----------------------------------------------------------------

TEST_F(EthMasterTest, OpenLearnsTheBusesAndTheirBitRates) {
  ASSERT_NO_FATAL_FAILURE(serve({6, 2, 9}));
  ASSERT_NO_FATAL_FAILURE(openEthernet());
  EXPECT_EQ(sent(4), (std::vector<SimFrame>{SimFrame(0x80000001, 0, {}), SimFrame(0x80000002, 0, {}),
                                             SimFrame(0x80000002, 1, {}), SimFrame(0x80000002, 2, {})}));
  EXPECT_TRUE(EthMaster_IsMasterAnswering());
  EXPECT_EQ(EthMaster_GetCanBusCount(), 3);
  EXPECT_EQ(EthMaster_GetBusBaudCode(2), 9);
  EXPECT_EQ(EthMaster_GetBusBaudCode(8), -1);
  EXPECT_EQ(EthMaster_GetCanBusNo(), 0);
  EXPECT_STREQ(GetInterfaceDescription(), "127.0.0.1 (CAN 0, 500 kBaud)");
  EXPECT_EQ(GetCanBitrate(), 500000);
  EthMaster_SetCanBusNo(1);
  EXPECT_STREQ(GetInterfaceDescription(), "127.0.0.1 (CAN 1, 50 kBaud)");
  EthMaster_SetCanBusNo(2);
  EXPECT_STREQ(GetInterfaceDescription(), "127.0.0.1 (CAN 2, Baud=undef)");
  EXPECT_EQ(GetCanBitrate(), 0);
  EXPECT_FALSE(ui.waitCursor());
}

TEST_F(EthMasterTest, TheReportedBusCountIsClampedAndUnansweredBitRatesAre125k) {
  ASSERT_NO_FATAL_FAILURE(serve({7, 7}));
  SimControlFaults faults;
  faults.reportedBusCount = 0;
  sim.setControlFaults(faults);
  ASSERT_NO_FATAL_FAILURE(openEthernet());
  EXPECT_EQ(EthMaster_GetCanBusCount(), 1);
  ASSERT_EQ(CloseInterface(), 0);

  faults.reportedBusCount = 12;
  faults.silentBitRateBuses = 0xFE;  // only bus 0 answers
  sim.setControlFaults(faults);
  sim.clearTraffic();
  useManualClock();
  clock.setPeerGraceMs(150);  // each silent query costs this much real time
  ASSERT_NO_FATAL_FAILURE(openEthernet());
  EXPECT_EQ(EthMaster_GetCanBusCount(), 8);
  EXPECT_EQ(sent(9).size(), 9u) << "one count query and eight bit-rate queries";
  EXPECT_EQ(EthMaster_GetBusBaudCode(0), 7);
  EXPECT_EQ(EthMaster_GetBusBaudCode(1), 4);
  EthMaster_SetCanBusNo(99);
  EXPECT_EQ(EthMaster_GetCanBusNo(), 7);
}

TEST_F(EthMasterTest, ASilentMasterGivesOneBusAt125kAndNoPlcDialog) {
  ASSERT_NO_FATAL_FAILURE(serve({6, 6}));
  sim.setSilentMaster(true);
  Option_SetInt("ETH_OPEN_STARTSTOPDIALOG", 1);
  EthMaster_SetPlcDialogHooks([] { ++g_plcOpened; }, [] { ++g_plcClosed; });
  useManualClock();
  clock.setPeerGraceMs(5);  // the master stays silent
  const int64_t start = Clock_NowMs();
  ASSERT_NO_FATAL_FAILURE(openEthernet());
  EXPECT_GE(Clock_NowMs() - start, 900) << "the count query waited its ten polls";
  EXPECT_FALSE(EthMaster_IsMasterAnswering());
  EXPECT_EQ(EthMaster_GetCanBusCount(), 1);
  EXPECT_EQ(EthMaster_GetBusBaudCode(0), 4);
  EXPECT_EQ(GetCanBitrate(), 125000);
  EXPECT_EQ(g_plcOpened, 0);
  EXPECT_EQ(sent(1).size(), 1u);
}

TEST_F(EthMasterTest, ThePlcDialogOpensOnConnectWhenAskedAndClosesWithTheLink) {
  ASSERT_NO_FATAL_FAILURE(serve());
  EthMaster_SetPlcDialogHooks([] { ++g_plcOpened; }, [] { ++g_plcClosed; });
  ASSERT_NO_FATAL_FAILURE(openEthernet());
  EXPECT_EQ(g_plcOpened, 0) << "ETH_OPEN_STARTSTOPDIALOG is off";
  ASSERT_EQ(CloseInterface(), 0);
  EXPECT_EQ(g_plcClosed, 1);
  EXPECT_FALSE(EthMaster_IsMasterAnswering());

  Option_SetInt("ETH_OPEN_STARTSTOPDIALOG", 1);
  ASSERT_NO_FATAL_FAILURE(openEthernet());
  EXPECT_EQ(g_plcOpened, 1);
  EXPECT_TRUE(EthMaster_IsMasterAnswering());
}

TEST_F(EthMasterTest, TheChosenBusSurvivesTheConnectionClampedToTheBusesReported) {
  ASSERT_NO_FATAL_FAILURE(serve({4, 4, 4, 4}));
  EthMaster_SetCanBusNo(3);  // from the options, before any connection
  ASSERT_NO_FATAL_FAILURE(openEthernet());
  EXPECT_EQ(EthMaster_GetCanBusNo(), 3);
  EXPECT_EQ(sent(1)[0].bus, 0) << "the count query goes out on bus 0 whatever bus was chosen";
  ASSERT_EQ(CloseInterface(), 0);
  EXPECT_EQ(EthMaster_GetCanBusNo(), 3) << "close keeps the bus";

  SimControlFaults faults;
  faults.reportedBusCount = 2;
  sim.setControlFaults(faults);
  ASSERT_NO_FATAL_FAILURE(openEthernet());
  EXPECT_EQ(EthMaster_GetCanBusNo(), 1);
  EthMaster_SetCanBusNo(5);
  EXPECT_EQ(EthMaster_GetCanBusNo(), 1);
  EthMaster_SetCanBusNo(-3);
  EXPECT_EQ(EthMaster_GetCanBusNo(), 0);
}

TEST_F(EthMasterTest, OpenFailuresLeaveTheirTextAndTheLayerUsable) {
  EXPECT_EQ(OpenInterface(kEthernet), -1);
  EXPECT_STREQ(GetInterfaceError(), "No hostname\nfor the KVX master");

  EthMaster_SetHostName("kvx-master.invalid");
  EXPECT_EQ(OpenInterface(kEthernet), -1);
  EXPECT_STREQ(GetInterfaceError(), "Can't resolve host 'kvx-master.invalid'");
  EXPECT_FALSE(ui.waitCursor());

  uint16_t closedPort;  // a port nobody listens on any more
  {
    TcpListener gone;
    ASSERT_TRUE(gone.listenLoopback(0));
    closedPort = gone.port();
  }
  EthMaster_SetHostName("127.0.0.1");
  EthMaster_SetPort(closedPort);
  EXPECT_EQ(OpenInterface(kEthernet), -1);
  EXPECT_STREQ(GetInterfaceError(), "Can't connect to host '127.0.0.1'\nconnect() error #111");
  EXPECT_EQ(GetInterfaceType(), kInterfaceNone);
  EXPECT_EQ(GetInterfaceState(), InterfaceState::Failed);
  EXPECT_FALSE(ui.waitCursor());

  ASSERT_NO_FATAL_FAILURE(connect());
  EXPECT_EQ(GetInterfaceType(), kInterfaceEthernet);
}

TEST_F(EthMasterTest, HostNameAndPortSettersKeepTheirLimits) {
  EthMaster_SetPort(70000);
  EXPECT_EQ(EthMaster_GetPort(), 65535);
  EthMaster_SetPort(-5);
  EXPECT_EQ(EthMaster_GetPort(), 0);
  const std::string longName(300, 'h');
  EthMaster_SetHostName(longName.c_str());
  EXPECT_EQ(std::string(EthMaster_GetHostName()), std::string(255, 'h'));
  EthMaster_SetHostName(nullptr);
  EXPECT_STREQ(EthMaster_GetHostName(), "");
}

// ---- the stream from the master -------------------------------------------------

TEST_F(EthMasterTest, AFrameSplitAcrossSegmentsIsDeliveredWithItsLastByte) {
  ASSERT_NO_FATAL_FAILURE(connect());
  const Bytes frame = MasterFrame(0x685, 0, {0x05, 0x11, 0x22}, 0x01020304);
  CanMsg m;
  sim.sendRawToClient(Slice(frame, 0, 3));
  awaitInput();
  EXPECT_EQ(receiveNow(m), 0);
  sim.sendRawToClient(Slice(frame, 3, 10));
  awaitInput();
  EXPECT_EQ(receiveNow(m), 0);
  EXPECT_EQ(receiveNow(m), 0) << "nothing more arrived";
  sim.sendRawToClient(Slice(frame, 10, frame.size()));
  awaitInput();
  ASSERT_EQ(receiveNow(m), 1);
  EXPECT_EQ(m.time, 0x01020304u);
  EXPECT_EQ(m.id, 0x685u);
  EXPECT_EQ(m.len, 3u);
  EXPECT_EQ(m.data[2], 0x22u);
  EXPECT_EQ(m.data[3], 0u);
}

TEST_F(EthMasterTest, FramesInOneSegmentComeOneCallEachAndOtherBusesAreDiscarded) {
  ASSERT_NO_FATAL_FAILURE(connect({4, 4}));
  sim.sendRawToClient(MasterFrame(0x681, 0, {1}) + MasterFrame(0x682, 1, {2}) +
                      MasterFrame(0x80000004, 5, {0}) + MasterFrame(0x683, 0, {3, 3, 3, 3, 3, 3, 3, 3}));
  CanMsg m = receiveOne();
  EXPECT_EQ(m.id, 0x681u);
  ASSERT_EQ(receiveNow(m), 1);
  EXPECT_EQ(m.id, 0x80000004u) << "control replies come on any bus";
  ASSERT_EQ(receiveNow(m), 1);
  EXPECT_EQ(m.id, 0x683u);
  EXPECT_EQ(m.len, 8u);
  EXPECT_EQ(receiveNow(m), 0);

  EthMaster_SetCanBusNo(1);
  sim.sendRawToClient(MasterFrame(0x684, 0, {4}) + MasterFrame(0x685, 1, {5}));
  EXPECT_EQ(receiveOne().id, 0x685u);
}

TEST_F(EthMasterTest, AnIllegalLengthIsReportedOnceAndTheStreamStaysAligned) {
  ASSERT_NO_FATAL_FAILURE(connect({4, 4}));
  EthMaster_SetCanBusNo(1);
  EthMaster_SetIllegalLengthHook([] { ++g_loggerUpdates; });
  const Bytes bad = MasterFrame(0x686, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1, 10);
  sim.sendRawToClient(Slice(bad, 0, 9));
  awaitInput();
  CanMsg m;
  EXPECT_EQ(receiveNow(m), 0);
  EXPECT_EQ(GetStatusText(), "*** Error: Received message with illegal length (26)\nlogger stopped.");
  EXPECT_EQ(g_loggerUpdates, 1);
  sim.sendRawToClient(Slice(bad, 9, 14));
  awaitInput();
  EXPECT_EQ(receiveNow(m), 0);
  sim.sendRawToClient(Slice(bad, 14, bad.size()) + MasterFrame(0x687, 1, {7}));
  m = receiveOne();
  EXPECT_EQ(m.id, 0x686u);
  EXPECT_EQ(m.len, 8u);
  EXPECT_EQ(m.data[7], 8u);
  EXPECT_EQ(g_loggerUpdates, 1) << "one report per frame";
  ASSERT_EQ(receiveNow(m), 1);
  EXPECT_EQ(m.id, 0x687u);
}

TEST_F(EthMasterTest, APeerThatClosesGivesItsTextAndTheInterfaceCanBeReopened) {
  ASSERT_NO_FATAL_FAILURE(connect());
  sim.sendRawToClient(MasterFrame(0x681, 0, {5, 1}));
  awaitInput();
  sim.closeConnection();
  // What arrived before the close is delivered first; then the end of the
  // stream is an error.
  int result = 0;
  for (int i = 0; i < 200 && result == 0; ++i) {
    result = PollReceive();
    if (result == 0) Poll_WaitReadable(EthMaster_Descriptor(), 10);
  }
  EXPECT_EQ(result, -1);
  EXPECT_THAT(GetInterfaceError(), ::testing::StartsWith("Server closed connection, socket error #"));
  CanMsg m;
  EXPECT_EQ(FetchReply(0x681, 5, m), 1);
  EXPECT_EQ(moduleInfo(5, m), -1);
  EXPECT_EQ(GetInterfaceType(), kInterfaceEthernet);

  ASSERT_EQ(CloseInterface(), 0);
  ASSERT_NO_FATAL_FAILURE(openEthernet());
  EXPECT_EQ(moduleInfo(5, m), 0) << GetInterfaceError();
}

TEST_F(EthMasterTest, ResetReceiveDropsAPartialFrameAndWhatIsPending) {
  ASSERT_NO_FATAL_FAILURE(connect());
  sim.sendRawToClient(Bytes{0, 0, 0, 1, 0, 0, 6});
  awaitInput();
  ASSERT_EQ(PollReceive(), 0);
  sim.sendRawToClient(MasterFrame(0x682, 0, {5}));
  awaitInput();
  ResetReceive();
  sim.sendRawToClient(MasterFrame(0x683, 0, {5, 3}));
  CanMsg m = receiveOne();
  EXPECT_EQ(m.id, 0x683u);
  EXPECT_EQ(m.data[1], 3u);
}

TEST_F(EthMasterTest, FramesWithoutTimeStampGetTheTimeSinceProgramStart) {
  ASSERT_NO_FATAL_FAILURE(connect());
  sim.setZeroTimeStamps(true);
  useManualClock();  // started at tick 1000
  clock.advance(41000);
  CanMsg reply;
  ASSERT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
  EXPECT_EQ(reply.time, 41000u);
}

// ---- frames to the master ----------------------------------------------------------

TEST_F(EthMasterTest, SentFramesCarryTheCurrentBusAndControlFramesTheirValues) {
  ASSERT_NO_FATAL_FAILURE(connect({4, 4, 4}));
  EthMaster_SetCanBusNo(2);
  ASSERT_EQ(SendCanMsg(Frame(0x6A5, {0x85, 1, 2})), 0);
  ASSERT_EQ(EthMaster_SetRunState(7), 0);
  ASSERT_EQ(EthMaster_SetRunState(0), 0);
  ASSERT_EQ(EthMaster_SetLoggerForwarding(1), 0);
  ASSERT_EQ(EthMaster_SetLoggerForwarding(0), 0);
  EXPECT_EQ(sent(5), (std::vector<SimFrame>{SimFrame(0x6A5, 2, {0x85, 1, 2}), SimFrame(0x80000005, 2, {1}),
                                             SimFrame(0x80000005, 2, {0}), SimFrame(0x80000003, 2, {3}),
                                             SimFrame(0x80000003, 2, {0})}));
}

TEST_F(EthMasterTest, KeepAliveGoesOutOnlyForAnActiveEthernetLinkWithAnInterval) {
  ASSERT_NO_FATAL_FAILURE(connect({4, 4}));
  EthMaster_SetCanBusNo(1);
  EXPECT_EQ(EthMaster_KeepAliveTick(), 5000);
  EXPECT_EQ(sent(1), (std::vector<SimFrame>{SimFrame(0x80000000, 1, {})}));
  Option_SetInt("TCPKEEPALIVE_SEND_INTERVAL_MS", 0);
  EXPECT_EQ(EthMaster_KeepAliveTick(), 0);
  Option_SetInt("TCPKEEPALIVE_SEND_INTERVAL_MS", 700);
  ASSERT_EQ(OpenInterface("LIN Adapter"), 0);
  EXPECT_EQ(EthMaster_KeepAliveTick(), 700);
  EXPECT_EQ(sim.stats().keepAlives, 1);
}

TEST_F(EthMasterTest, RunStateCommandAndQueryAndAMasterThatDoesNotAnswer) {
  ASSERT_NO_FATAL_FAILURE(connect());
  EXPECT_EQ(EthMaster_GetRunState(), 1);
  ASSERT_EQ(EthMaster_SetRunState(1), 0);
  EXPECT_EQ(EthMaster_GetRunState(), 0) << "a stopped PLC runs after the start command";
  SimControlFaults faults;
  faults.silentRunState = true;
  sim.setControlFaults(faults);
  useManualClock();
  clock.setPeerGraceMs(5);
  const int64_t start = Clock_NowMs();
  EXPECT_EQ(EthMaster_GetRunState(), 255);
  EXPECT_GE(Clock_NowMs() - start, 900);
}

TEST_F(EthMasterTest, FramesArrivingDuringAControlRequestAreNotLost) {
  ASSERT_NO_FATAL_FAILURE(connect());
  Interface_SetFrameLogger([](const CanMsg& m) { g_logged.push_back(m); });
  sim.sendRawToClient(MasterFrame(0x685, 0, {5, 0x42}));  // ahead of the answer
  EXPECT_EQ(EthMaster_GetRunState(), 1);
  CanMsg m;
  ASSERT_EQ(FetchReply(0x685, 5, m), 1);
  EXPECT_EQ(m.data[1], 0x42u);
  EXPECT_EQ(g_logged.size(), 1u);
}

TEST_F(EthMasterTest, SendingWithoutAConnectionFails) {
  EXPECT_EQ(EthMaster_Send(Frame(0x685, {0x85})), -1);
  EXPECT_STREQ(GetInterfaceError(), "Sending message failed, socket error #9");
  CanMsg m;
  int got = 1;
  EXPECT_EQ(EthMaster_Receive(m, got), -1);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(EthMaster_GetRunState(), 255);
}

// ---- requests through the interface layer ------------------------------------------

TEST_F(EthMasterTest, ModulesAnswerOnTheCurrentBusOnly) {
  ASSERT_NO_FATAL_FAILURE(connect({6, 3}));
  CanMsg reply;
  ASSERT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
  EXPECT_EQ(reply.data[4], 2u);  // firmware 2.7
  EXPECT_EQ(reply.data[5], 7u);
  Option_SetInt("MSGREQUEST_TIMEOUT_MS", 50);
  EXPECT_EQ(moduleInfo(7, reply), -1) << "node 7 is on bus 1";
  EthMaster_SetCanBusNo(1);
  EXPECT_EQ(moduleInfo(7, reply), 0) << GetInterfaceError();
}

TEST_F(EthMasterTest, DroppedLateSplitAndBatchedReplies) {
  ASSERT_NO_FATAL_FAILURE(connect());
  Option_SetInt("MSGREQUEST_TIMEOUT_MS", 100);
  CanMsg reply;
  sim.dropNextReplies(1);  // a dropped reply times out, the next request works
  EXPECT_EQ(moduleInfo(5, reply), -1);
  EXPECT_STREQ(GetInterfaceError(), "Module timeout");
  EXPECT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();

  SimFaults late;  // a reply after the deadline is flushed by the next request
  late.delayMs = 150;
  sim.setFaults(late);
  EXPECT_EQ(moduleInfo(5, reply), -1);
  sim.setFaults(SimFaults{});
  // Nothing else is pending, so the socket turns readable when the late reply arrives.
  ASSERT_EQ(Poll_WaitReadable(EthMaster_Descriptor(), 2000), 1);
  sim.dropNextReplies(1);
  EXPECT_EQ(moduleInfo(5, reply), -1) << "the late reply was flushed, the new one dropped";
  EXPECT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();

  SimFaults pieces;
  pieces.splitBytes = 3;
  pieces.splitGapMs = 2;
  sim.setFaults(pieces);
  EXPECT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
  SimFaults batch;
  batch.batchFrames = 2;
  batch.batchWaitMs = 5;
  sim.setFaults(batch);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(moduleInfo(5, reply), 0) << GetInterfaceError();
}

TEST_F(EthMasterTest, ASilentModuleTimesOutAfterTheOptionsTimeInRealTime) {
  ASSERT_NO_FATAL_FAILURE(connect());
  Option_SetInt("MSGREQUEST_TIMEOUT_MS", 40);
  CanMsg m = Frame(0x68A, {0x85});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RequestReply(0x68A, 5, m), -1);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start).count();
  EXPECT_STREQ(GetInterfaceError(), "Module timeout");
  EXPECT_GE(took, 40);
  EXPECT_LT(took, 40 + 400);
}

}  // namespace
