#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "BusTestSupport.h"
#include "FakeMaster.h"
#include "core/ErrorReport.h"

namespace {

const char* const kEthernet = "KVX Master (Ethernet)";

class EthMasterTest : public BusTest {
 protected:
  void TearDown() override {
    Poll_SetManualClockGraceMs(20);
    BusTest::TearDown();
    master.stop();
  }

  void startMaster() { ASSERT_TRUE(master.start()); }
  // The master reports its buses at 125 kbit/s (code 4); the program connects.
  void connectOneBus() {
    master.baudCodes = {4};
    startMaster();
    openEthernet();
  }

  // Opens the Ethernet interface on the fake master.
  void openEthernet() {
    EthMaster_SetHostName("127.0.0.1");
    EthMaster_SetPort(master.port());
    ASSERT_EQ(OpenInterface(kEthernet), 0) << GetInterfaceError();
    ASSERT_TRUE(master.waitConnected());
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

  FakeMaster master;
};

int g_plcOpened = 0;
int g_plcClosed = 0;
int g_loggerUpdates = 0;
void PlcOpened() { ++g_plcOpened; }
void PlcClosed() { ++g_plcClosed; }
void LoggerUpdate() { ++g_loggerUpdates; }

std::vector<CanMsg> g_logged;
void LogFrame(const CanMsg& m) { g_logged.push_back(m); }

// ---- connecting ----------------------------------------------------------------

TEST_F(EthMasterTest, OpenLearnsTheBusesAndTheirBitRates) {
  master.busCount = 3;
  master.baudCodes = {6, 2, 9};
  startMaster();
  openEthernet();
  EXPECT_EQ(master.received(), (Bytes{0x80, 0, 0, 1, 0x00, 0x80, 0, 0, 2, 0x00,
                                      0x80, 0, 0, 2, 0x10, 0x80, 0, 0, 2, 0x20}));
  EXPECT_TRUE(EthMaster_IsMasterAnswering());
  EXPECT_EQ(EthMaster_GetCanBusCount(), 3);
  EXPECT_EQ(EthMaster_GetBusBaudCode(0), 6);
  EXPECT_EQ(EthMaster_GetBusBaudCode(1), 2);
  EXPECT_EQ(EthMaster_GetBusBaudCode(2), 9);
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

TEST_F(EthMasterTest, TheReportedBusCountIsClampedToOneToEight) {
  master.busCount = 0;
  master.baudCodes = {5, 5, 5, 5, 5, 5, 5, 5};
  startMaster();
  openEthernet();
  EXPECT_EQ(EthMaster_GetCanBusCount(), 1);
  ASSERT_EQ(CloseInterface(), 0);

  master.busCount = 12;
  master.clearReceived();
  openEthernet();
  EXPECT_EQ(EthMaster_GetCanBusCount(), 8);
  EXPECT_EQ(master.frames().size(), 9u) << "one count query and eight bit-rate queries";
  EthMaster_SetCanBusNo(99);
  EXPECT_EQ(EthMaster_GetCanBusNo(), 7);
}

TEST_F(EthMasterTest, ASilentMasterGivesOneBusAt125kAndNoPlcDialog) {
  master.busCount = -1;
  Option_SetInt("ETH_OPEN_STARTSTOPDIALOG", 1);
  g_plcOpened = 0;
  EthMaster_SetPlcDialogHooks(PlcOpened, PlcClosed);
  startMaster();
  useManualClock();
  const int64_t start = Clock_NowMs();
  openEthernet();
  EXPECT_GE(Clock_NowMs() - start, 900) << "the count query waited its ten polls";
  EXPECT_FALSE(EthMaster_IsMasterAnswering());
  EXPECT_EQ(EthMaster_GetCanBusCount(), 1);
  EXPECT_EQ(EthMaster_GetBusBaudCode(0), 4);
  EXPECT_EQ(GetCanBitrate(), 125000);
  EXPECT_EQ(g_plcOpened, 0);
  EXPECT_EQ(master.frames().size(), 1u);
}

TEST_F(EthMasterTest, AnUnansweredBitRateQueryLeavesCode4) {
  master.busCount = 2;
  master.baudCodes = {7};  // bus 1 unanswered
  startMaster();
  useManualClock();
  Poll_SetManualClockGraceMs(150);  // room for the answers on a loaded machine
  openEthernet();
  EXPECT_EQ(EthMaster_GetBusBaudCode(0), 7);
  EXPECT_EQ(EthMaster_GetBusBaudCode(1), 4);
  EXPECT_EQ(EthMaster_GetBusBaudCode(8), -1);
}

TEST_F(EthMasterTest, ThePlcDialogOpensOnConnectWhenAskedAndClosesWithTheLink) {
  master.busCount = 1;
  master.baudCodes = {4};
  EthMaster_SetPlcDialogHooks(PlcOpened, PlcClosed);
  startMaster();
  g_plcOpened = g_plcClosed = 0;
  openEthernet();
  EXPECT_EQ(g_plcOpened, 0) << "ETH_OPEN_STARTSTOPDIALOG is off";
  ASSERT_EQ(CloseInterface(), 0);
  EXPECT_EQ(g_plcClosed, 1);
  EXPECT_FALSE(EthMaster_IsMasterAnswering());

  Option_SetInt("ETH_OPEN_STARTSTOPDIALOG", 1);
  openEthernet();
  EXPECT_EQ(g_plcOpened, 1);
  EXPECT_TRUE(EthMaster_IsMasterAnswering());
}

TEST_F(EthMasterTest, TheChosenBusSurvivesTheConnectionClampedToTheBusesReported) {
  master.busCount = 4;
  master.baudCodes = {4, 4, 4, 4};
  startMaster();
  EthMaster_SetCanBusNo(3);  // from the options, before any connection
  openEthernet();
  EXPECT_EQ(EthMaster_GetCanBusNo(), 3);
  // The count query went out on bus 0 whatever bus was chosen.
  EXPECT_EQ(master.frames()[0].bus, 0);
  ASSERT_EQ(CloseInterface(), 0);
  EXPECT_EQ(EthMaster_GetCanBusNo(), 3) << "close keeps the bus";

  master.busCount = 2;
  openEthernet();
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

  // A port nobody listens on any more.
  uint16_t closedPort;
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
  EXPECT_FALSE(ui.waitCursor());

  connectOneBus();
  EXPECT_EQ(GetInterfaceType(), kInterfaceEthernet);
}

TEST_F(EthMasterTest, HostNameAndPortSettersKeepTheirLimits) {
  EthMaster_SetPort(70000);
  EXPECT_EQ(EthMaster_GetPort(), 65535);
  EthMaster_SetPort(-5);
  EXPECT_EQ(EthMaster_GetPort(), 0);
  EthMaster_SetPort(1664);
  EXPECT_EQ(EthMaster_GetPort(), 1664);
  const std::string longName(300, 'h');
  EthMaster_SetHostName(longName.c_str());
  EXPECT_EQ(std::string(EthMaster_GetHostName()), std::string(255, 'h'));
  EthMaster_SetHostName(nullptr);
  EXPECT_STREQ(EthMaster_GetHostName(), "");
}

// ---- the stream from the master -------------------------------------------------

TEST_F(EthMasterTest, AFrameSplitAcrossSegmentsIsDeliveredWithItsLastByte) {
  connectOneBus();
  const Bytes frame = MasterFrame(0x685, 0, {0x05, 0x11, 0x22}, 0x01020304);
  CanMsg m;
  ASSERT_TRUE(master.send(Bytes(frame.begin(), frame.begin() + 3)));
  awaitInput();
  EXPECT_EQ(receiveNow(m), 0);
  ASSERT_TRUE(master.send(Bytes(frame.begin() + 3, frame.begin() + 10)));
  awaitInput();
  EXPECT_EQ(receiveNow(m), 0);
  EXPECT_EQ(receiveNow(m), 0) << "nothing more arrived";
  ASSERT_TRUE(master.send(Bytes(frame.begin() + 10, frame.end())));
  awaitInput();
  ASSERT_EQ(receiveNow(m), 1);
  EXPECT_EQ(m.time, 0x01020304u);
  EXPECT_EQ(m.id, 0x685u);
  EXPECT_EQ(m.len, 3u);
  EXPECT_EQ(m.data[0], 0x05u);
  EXPECT_EQ(m.data[2], 0x22u);
  EXPECT_EQ(m.data[3], 0u);
}

TEST_F(EthMasterTest, FramesInOneSegmentComeOneCallEach) {
  connectOneBus();
  ASSERT_TRUE(master.send(MasterFrame(0x681, 0, {1}) + MasterFrame(0x682, 0, {}) +
                          MasterFrame(0x683, 0, {3, 3, 3, 3, 3, 3, 3, 3})));
  CanMsg m = receiveOne();
  EXPECT_EQ(m.id, 0x681u);
  ASSERT_EQ(receiveNow(m), 1);
  EXPECT_EQ(m.id, 0x682u);
  EXPECT_EQ(m.len, 0u);
  ASSERT_EQ(receiveNow(m), 1);
  EXPECT_EQ(m.id, 0x683u);
  EXPECT_EQ(m.len, 8u);
  EXPECT_EQ(receiveNow(m), 0);
}

TEST_F(EthMasterTest, OtherBusesAreDiscardedButControlRepliesComeOnAnyBus) {
  master.busCount = 2;
  master.baudCodes = {4, 4};
  startMaster();
  openEthernet();
  ASSERT_TRUE(master.send(MasterFrame(0x681, 1, {1}) + MasterFrame(0x682, 0, {2}) +
                          MasterFrame(0x80000004, 5, {0}) + MasterFrame(0x683, 1, {3})));
  CanMsg m = receiveOne();
  EXPECT_EQ(m.id, 0x682u);
  ASSERT_EQ(receiveNow(m), 1);
  EXPECT_EQ(m.id, 0x80000004u);
  EXPECT_EQ(receiveNow(m), 0);

  EthMaster_SetCanBusNo(1);
  ASSERT_TRUE(master.send(MasterFrame(0x684, 0, {4}) + MasterFrame(0x685, 1, {5})));
  EXPECT_EQ(receiveOne().id, 0x685u);
}

TEST_F(EthMasterTest, AnIllegalLengthIsReportedOnceAndTheStreamStaysAligned) {
  master.busCount = 2;
  master.baudCodes = {4, 4};
  startMaster();
  openEthernet();
  EthMaster_SetCanBusNo(1);
  g_loggerUpdates = 0;
  EthMaster_SetIllegalLengthHook(LoggerUpdate);
  const Bytes bad = MasterFrame(0x686, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1, 10);
  ASSERT_TRUE(master.send(Bytes(bad.begin(), bad.begin() + 9)));
  awaitInput();
  CanMsg m;
  EXPECT_EQ(receiveNow(m), 0);
  EXPECT_EQ(GetStatusText(), "*** Error: Received message with illegal length (26)\nlogger stopped.");
  EXPECT_EQ(g_loggerUpdates, 1);
  ASSERT_TRUE(master.send(Bytes(bad.begin() + 9, bad.begin() + 14)));
  awaitInput();
  EXPECT_EQ(receiveNow(m), 0);
  ASSERT_TRUE(master.send(Bytes(bad.begin() + 14, bad.end()) + MasterFrame(0x687, 1, {7})));
  m = receiveOne();
  EXPECT_EQ(m.id, 0x686u);
  EXPECT_EQ(m.len, 8u);
  EXPECT_EQ(m.data[7], 8u);
  EXPECT_EQ(g_loggerUpdates, 1) << "one report per frame";
  ASSERT_EQ(receiveNow(m), 1);
  EXPECT_EQ(m.id, 0x687u);
  EXPECT_EQ(m.data[0], 7u);
}

TEST_F(EthMasterTest, APeerThatClosesGivesItsTextAndTheInterfaceCanBeReopened) {
  connectOneBus();
  ASSERT_TRUE(master.send(MasterFrame(0x681, 0, {5, 1})));
  master.closeClient();
  awaitInput();
  // What arrived before the close is still delivered first.
  EXPECT_EQ(PollReceive(), -1);
  EXPECT_STREQ(GetInterfaceError(), "Server closed connection, socket error #0");
  CanMsg m;
  EXPECT_EQ(FetchReply(0x681, 5, m), 1);
  m = Frame(0x681, {0x85});
  EXPECT_EQ(RequestReply(0x681, 5, m), -1);
  EXPECT_EQ(GetInterfaceType(), kInterfaceEthernet);

  ASSERT_EQ(CloseInterface(), 0);
  openEthernet();
  EXPECT_EQ(PollReceive(), 0);
}

TEST_F(EthMasterTest, ResetReceiveDropsAPartialFrameAndWhatIsPending) {
  connectOneBus();
  ASSERT_TRUE(master.send(Bytes{0, 0, 0, 1, 0, 0, 6}));
  awaitInput();
  ASSERT_EQ(PollReceive(), 0);
  ASSERT_TRUE(master.send(MasterFrame(0x682, 0, {5})));
  awaitInput();
  ResetReceive();
  ASSERT_TRUE(master.send(MasterFrame(0x683, 0, {5, 3})));
  CanMsg m = receiveOne();
  EXPECT_EQ(m.id, 0x683u);
  EXPECT_EQ(m.data[1], 3u);
}

// ---- frames to the master ----------------------------------------------------------

TEST_F(EthMasterTest, SentFramesCarryTheCurrentBus) {
  master.busCount = 3;
  master.baudCodes = {4, 4, 4};
  startMaster();
  openEthernet();
  master.clearReceived();
  EthMaster_SetCanBusNo(2);
  ASSERT_EQ(SendCanMsg(Frame(0x6A5, {0x85, 1, 2})), 0);
  ASSERT_TRUE(master.waitFrames(1));
  EXPECT_EQ(master.received(), (Bytes{0, 0, 0x06, 0xA5, 0x23, 0x85, 1, 2}));
}

TEST_F(EthMasterTest, KeepAliveGoesOutOnlyForAnActiveEthernetLinkWithAnInterval) {
  master.busCount = 2;
  master.baudCodes = {4, 4};
  startMaster();
  openEthernet();
  EthMaster_SetCanBusNo(1);
  master.clearReceived();
  EXPECT_EQ(EthMaster_KeepAliveTick(), 5000);
  ASSERT_TRUE(master.waitFrames(1));
  EXPECT_EQ(master.received(), (Bytes{0x80, 0, 0, 0, 0x10}));

  master.clearReceived();
  Option_SetInt("TCPKEEPALIVE_SEND_INTERVAL_MS", 0);
  EXPECT_EQ(EthMaster_KeepAliveTick(), 0);
  Option_SetInt("TCPKEEPALIVE_SEND_INTERVAL_MS", 700);
  ASSERT_EQ(EthMaster_SetRunState(1), 0);  // a marker: the next bytes on the wire
  ASSERT_TRUE(master.waitFrames(1));
  EXPECT_EQ(master.received(), (Bytes{0x80, 0, 0, 5, 0x11, 1}));

  ASSERT_EQ(OpenInterface("LIN Adapter"), 0);
  EXPECT_EQ(EthMaster_KeepAliveTick(), 700);
  EXPECT_EQ(master.frames().size(), 1u);
}

TEST_F(EthMasterTest, RunStateQueryAndCommand) {
  master.runState = 3;
  connectOneBus();
  master.clearReceived();
  EXPECT_EQ(EthMaster_GetRunState(), 3);
  EXPECT_EQ(master.received(), (Bytes{0x80, 0, 0, 4, 0x00}));
  master.clearReceived();
  ASSERT_EQ(EthMaster_SetRunState(7), 0);
  ASSERT_EQ(EthMaster_SetRunState(0), 0);
  ASSERT_EQ(EthMaster_SetLoggerForwarding(1), 0);
  ASSERT_TRUE(master.waitFrames(3));
  EXPECT_EQ(master.received(),
            (Bytes{0x80, 0, 0, 5, 0x01, 1, 0x80, 0, 0, 5, 0x01, 0, 0x80, 0, 0, 3, 0x01, 3}));
}

TEST_F(EthMasterTest, ASilentMasterAnswersRunState255) {
  master.runState = -1;
  connectOneBus();
  useManualClock();
  const int64_t start = Clock_NowMs();
  EXPECT_EQ(EthMaster_GetRunState(), 255);
  EXPECT_GE(Clock_NowMs() - start, 900);
}

TEST_F(EthMasterTest, FramesArrivingDuringAControlRequestAreNotLost) {
  master.runState = 1;
  master.beforeRunStateReply = MasterFrame(0x685, 0, {5, 0x42});
  connectOneBus();
  g_logged.clear();
  Interface_SetFrameLogger(LogFrame);
  EXPECT_EQ(EthMaster_GetRunState(), 1);
  CanMsg m;
  ASSERT_EQ(FetchReply(0x685, 5, m), 1);
  EXPECT_EQ(m.data[1], 0x42u);
  ASSERT_EQ(g_logged.size(), 1u);
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

TEST_F(EthMasterTest, ASilentModuleTimesOutAfterTheOptionsTimeInRealTime) {
  connectOneBus();
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
