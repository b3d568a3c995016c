// The logger on the real Ethernet link against the simulated bus master with
// CANopen background traffic: the log file must hold exactly what the master
// sent for the logged bus, and the forwarding frame must follow the logger.
#include <gtest/gtest.h>

#include <cstdio>

#include "LoggerTestSupport.h"
#include "SimServer.h"
#include "logger/Logger.h"
#include "platform/Poll.h"
#include "traffic/CanOpenTraffic.h"

namespace {

// The link asks the bus count and each of the two buses' bit rate on opening.
constexpr size_t kOpeningFrames = 3;

class LoggerSimTest : public LoggerStateTest {
 protected:
  void SetUp() override {
    LoggerStateTest::SetUp();
    SimPopulation population;
    population.busBitRates = {7, 4};  // 1000 and 125 kbit/s
    sim.setPopulation(population);
    ASSERT_TRUE(sim.start()) << sim.lastError();
    EthMaster_SetHostName("127.0.0.1");
    EthMaster_SetPort(sim.port());
    ASSERT_EQ(OpenInterface("KVX Master (Ethernet)"), 0) << GetInterfaceError();
    ASSERT_EQ(EthMaster_GetCanBusCount(), 2);
  }
  void TearDown() override {
    LoggerStateTest::TearDown();
    sim.stop();
  }

  void addTraffic(int bus, double rate, uint32_t seed) {
    CanOpenTrafficConfig config;
    config.framesPerSecond = rate;
    config.errorShare = 0.01;
    config.seed = seed;
    sim.addTrafficSource(bus, std::make_unique<CanOpenTraffic>(config));
  }

  // Polls like the logger's timer until the logger has taken `count` frames
  // (waiting on the socket in between, never sleeping blindly).
  static bool pollUntil(LoggerSession& s, int64_t count, int timeoutMs) {
    const int64_t deadline = Clock_NowMs() + timeoutMs;
    while (s.framesReceived() < count) {
      s.pollTick();
      if (Clock_NowMs() > deadline) return false;
      Poll_WaitReadableUntil(EthMaster_Descriptor(), std::min(deadline, Clock_NowMs() + 20));
    }
    return true;
  }

  // The last logger forwarding value the master received.
  std::vector<int> forwardingFrames() const {
    std::vector<int> values;
    for (const SimTimedFrame& f : sim.receivedFrames())
      if (f.frame.id == 0x80000003 && f.frame.len == 1) values.push_back(f.frame.data[0]);
    return values;
  }

  // What the log file line of a frame the master sent must read, made from
  // the frame as the simulator recorded it.
  static std::string ExpectedLine(const SimTimedFrame& sent, uint32_t firstStamp) {
    const SimFrame& f = sent.frame;
    char text[160];
    if (f.id & kSimErrorReportFlag) {
      std::string line = "** Bus error:";
      if (f.id & kSimErrorBusOff) line += " BOFF";
      if (f.id & kSimErrorBus) line += " BERR";
      if (f.id & kSimErrorAck) line += " ACK";
      if (f.id & kSimErrorReset) line += " RST";
      return line + "    ";
    }
    const uint32_t stamp = uint32_t(std::max<int64_t>(1, sent.timeUs / 1000));
    const uint32_t ms = stamp - firstStamp;
    std::snprintf(text, sizeof text, "%u.%03u", ms / 1000, ms % 1000);
    std::string line = text;
    line.resize(std::max<size_t>(line.size(), 10), ' ');
    const bool remote = f.id & kSimRemoteFlag;
    std::snprintf(text, sizeof text, "  [%03X] %c%d ", f.id & 0x1FFFFFFF, remote ? 'R' : '#', f.len);
    line += text;
    const int shown = remote ? 0 : f.len;
    for (int i = 0; i < shown; ++i) {
      std::snprintf(text, sizeof text, "[%02X]", f.data[i]);
      line += text;
    }
    line += std::string(size_t(8 - shown) * 4 + 4, ' ');
    return line;  // the CANopen text follows
  }

  SimServer sim;
};

TEST_F(LoggerSimTest, TheFileHoldsEveryFrameTheMasterSentForTheBusInOrder) {
  TempFolder folder;
  const std::string path = folder.file("sim.log");
  addTraffic(0, 20000, 1);
  addTraffic(1, 500, 2);  // forwarded as well, but not this program's bus
  LoggerSession s;
  ASSERT_TRUE(s.openLogFile(path));
  s.startStop();
  ASSERT_TRUE(sim.waitForReceived(kOpeningFrames + 1, 2000));
  EXPECT_EQ(sim.loggerForwarding(), 3);
  ASSERT_TRUE(pollUntil(s, 1500, 5000)) << "frames taken: " << s.framesReceived();

  // Silence the buses, then take whatever is still under way.
  sim.clearBusTraffic();
  std::vector<SimTimedFrame> sent;
  // Done when the master has sent nothing new and nothing waits unread, three
  // looks in a row (a loaded machine may leave either behind for a while).
  for (int stable = 0; stable < 3;) {
    s.pollTick();
    const bool nothingPending = Poll_WaitReadable(EthMaster_Descriptor(), 20) == 0;
    std::vector<SimTimedFrame> now = sim.sentFrames();
    stable = nothingPending && now.size() == sent.size() ? stable + 1 : 0;
    sent = std::move(now);
  }
  s.pollTick();
  s.startStop();
  ASSERT_TRUE(sim.waitForReceived(kOpeningFrames + 2, 2000));
  EXPECT_EQ(forwardingFrames(), (std::vector<int>{3, 0}));
  s.close();

  std::vector<SimTimedFrame> bus0;
  for (const SimTimedFrame& f : sent)
    if (!f.frame.isControl() && f.frame.bus == 0) bus0.push_back(f);
  const std::vector<std::string> lines = Lines(ReadWholeFile(path));
  std::vector<std::string> logged;
  for (const std::string& line : lines)
    if (!line.empty() && line[0] != '#' && line.rfind("--", 0) != 0) logged.push_back(line);
  ASSERT_EQ(logged.size(), bus0.size());
  EXPECT_EQ(s.framesReceived(), int64_t(bus0.size()));

  uint32_t firstStamp = 0;
  for (const SimTimedFrame& f : bus0)
    if (!(f.frame.id & kSimErrorReportFlag)) {
      firstStamp = uint32_t(std::max<int64_t>(1, f.timeUs / 1000));
      break;
    }
  int errors = 0, remotes = 0;
  for (size_t i = 0; i < bus0.size(); ++i) {
    const std::string expected = ExpectedLine(bus0[i], firstStamp);
    ASSERT_EQ(logged[i].substr(0, expected.size()), expected) << "line " << i;
    // The CANopen text names the frame's node; no frame of the mix is unknown.
    const std::string meaning = logged[i].substr(expected.size());
    const uint32_t cob = bus0[i].frame.id & 0x1FFFFFFF;
    if (bus0[i].frame.id & kSimErrorReportFlag)
      EXPECT_EQ(meaning, "") << "line " << i;
    else if (cob == 0)
      EXPECT_NE(meaning.find("NMT"), std::string::npos) << "line " << i;
    else if (cob == 0x080)
      EXPECT_EQ(meaning, "SYNC") << "line " << i;
    else
      EXPECT_EQ(meaning.rfind(std::to_string(cob & 0x7F) + ": ", 0), 0u) << "line " << i << ": " << meaning;
    errors += (bus0[i].frame.id & kSimErrorReportFlag) != 0;
    remotes += (bus0[i].frame.id & kSimRemoteFlag) != 0;
  }
  EXPECT_GT(errors, 0);
  EXPECT_GT(remotes, 0);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "-- Filter OFF    "), lines.end());
}

TEST_F(LoggerSimTest, TheBusSelectorResetsAPausedLoggerAndTheBusIsRestoredOnClose) {
  addTraffic(1, 2000, 3);
  {
    LoggerSession s;
    EXPECT_TRUE(s.busSelectorVisible());
    EXPECT_TRUE(s.busSelectorEnabled());
    s.startStop();
    EXPECT_FALSE(s.busSelectorEnabled()) << "no bus change while running";
    s.chooseBus(1);
    EXPECT_EQ(EthMaster_GetCanBusNo(), 0);
    s.startStop();
    s.chooseBus(1);
    EXPECT_EQ(s.state(), LoggerState::Stopped) << "a paused logger is reset";
    EXPECT_EQ(EthMaster_GetCanBusNo(), 1);
    s.startStop();
    const LogBuffer& lines = s.lines();
    ASSERT_GE(lines.count(), 2u);
    EXPECT_EQ(lines.textOf(lines.at(0)), "-- RESET");
    EXPECT_EQ(lines.textOf(lines.at(1)), "-- START (CAN 1)");
    ASSERT_TRUE(pollUntil(s, 20, 3000)) << "bus 1 traffic reaches the logger";
    EXPECT_NE(std::string(GetInterfaceDescription()).find("(CAN 1, 125 kBaud)"), std::string::npos);
  }
  EXPECT_EQ(EthMaster_GetCanBusNo(), 0) << "the bus of the opening is back";
}

TEST_F(LoggerSimTest, AnIllegalLengthFromTheMasterStopsTheLogger) {
  addTraffic(0, 200, 4);
  LoggerSession s;
  s.startStop();
  ASSERT_TRUE(pollUntil(s, 5, 3000));
  sim.corruptNextReplies(SimCorruption::LengthAbove8);
  Option_SetInt("ERRORS_IN_STATUSBAR", 0);  // errors in a message box
  ui.expectMessage("Received message with illegal length (10)\nlogger stopped.", UiAnswer::Ok);
  const int64_t deadline = Clock_NowMs() + 3000;
  while (s.state() == LoggerState::Running && Clock_NowMs() < deadline) {
    s.pollTick();
    Poll_WaitReadable(EthMaster_Descriptor(), 20);
  }
  EXPECT_EQ(s.state(), LoggerState::Paused);
  ASSERT_TRUE(sim.waitForReceived(kOpeningFrames + 2, 2000));
  EXPECT_EQ(forwardingFrames(), (std::vector<int>{3, 0})) << "the master stops forwarding";
}

}  // namespace
