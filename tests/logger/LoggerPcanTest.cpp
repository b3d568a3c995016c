// The logger on the "PCAN USB" interface: the carried adapter library on the
// simulator's raw CAN port at 1 Mbit/s with CANopen traffic. The file must
// hold one line for every frame the port sent, remote frames marked, and the
// master's error reports (status messages of the adapter) left out.
#include <gtest/gtest.h>

#include "LoggerTestSupport.h"
#include "SimServer.h"
#include "bus/PcanLink.h"
#include "logger/Logger.h"
#include "support/AppFixture.h"
#include "support/PcanSim.h"
#include "traffic/CanOpenTraffic.h"

namespace {

using LoggerPcanTest = AppStateTest;  // the carried library goes to a temporary home

TEST_F(LoggerPcanTest, TheFileHoldsEveryFrameTheAdapterReceived) {
  SimServer sim;
  SimPopulation population;
  population.busBitRates = {7};
  sim.setPopulation(population);
  sim.setBusTiming(true);
  ASSERT_TRUE(sim.start());
  CanOpenTrafficConfig config;
  config.framesPerSecond = 4000;
  config.errorShare = 0.02;
  config.seed = 7;
  PcanSim adapter(sim, 0);
  pCAN_SetBaudrate(7);
  ASSERT_TRUE(adapter.open()) << GetInterfaceError();
  EXPECT_STREQ(GetInterfaceDescription(), "1000 kBaud");

  LoggerSession s;
  const std::string path = home.file("pcan.log");
  ASSERT_TRUE(s.openLogFile(path));
  s.startStop();
  sim.addTrafficSource(0, std::make_unique<CanOpenTraffic>(config));
  for (int round = 0; round < 3000 && s.framesReceived() < 400; ++round) {
    s.pollTick();
    PcanSim::pause();
  }
  sim.clearBusTraffic();
  // Take what is still under way until the port has nothing more.
  for (int quiet = 0; quiet < 20;) {
    const int64_t before = s.framesReceived();
    s.pollTick();
    PcanSim::pause();
    quiet = s.framesReceived() == before && s.framesReceived() == adapter.port.stats().framesToClient ? quiet + 1 : 0;
  }
  s.startStop();
  s.close();

  const SimCanPortStats port = adapter.port.stats();
  EXPECT_GE(port.framesToClient, 400);
  EXPECT_GT(port.statusToClient, 0) << "the traffic held error reports";
  EXPECT_EQ(s.framesReceived(), port.framesToClient);
  int frameLines = 0, remoteLines = 0;
  for (const std::string& line : Lines(ReadWholeFile(path))) {
    EXPECT_EQ(line.rfind("** Bus error", 0), std::string::npos) << line;
    if (line.size() > 13 && line.compare(10, 3, "  [") == 0) {
      ++frameLines;
      remoteLines += line.find("] R") != std::string::npos;
    }
  }
  EXPECT_EQ(frameLines, port.framesToClient);
  EXPECT_GT(remoteLines, 0);
}

}  // namespace
