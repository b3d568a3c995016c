// A bus scan over the "PCAN USB" interface - the carried adapter library on
// the simulator's raw CAN port - lists the modules a scan over the Ethernet
// master lists on the same bus.
#include <gtest/gtest.h>

#include "ProtocolSimFixture.h"
#include "bus/PcanLink.h"
#include "core/ErrorReport.h"
#include "support/PcanSim.h"

namespace {

class BusScanPcanTest : public ProtocolSimTest {
 protected:
  // A flash-mode scan to its end; the lines of the module list.
  std::vector<std::string> flashScan() {
    Option_SetInt("SCAN_FLASHMODE", 1);
    BusScan_Command();
    for (int round = 0; round < 3000 && storedFrames() < kBus0Modules; ++round) {
      PollReceive();
      PcanSim::pause();
    }
    EXPECT_EQ(storedFrames(), kBus0Modules);
    ui.fire(&BusScan_Timer(2));
    ui.fire(&BusScan_Timer(3));
    EXPECT_FALSE(ScanRunning());
    return lines();
  }
  static constexpr int kBus0Modules = 7;  // the test bus, the LIN master among them
};

TEST_F(BusScanPcanTest, TheAdapterFindsTheModulesTheMasterFinds) {
  connectTestBus();
  const std::vector<std::string> overMaster = flashScan();
  ASSERT_EQ(overMaster.size(), 6u);

  PcanSim adapter(sim, 0);
  ASSERT_TRUE(adapter.open()) << GetInterfaceError();
  EXPECT_EQ(GetInterfaceType(), kInterfacePcanUsb);
  EXPECT_EQ(std::string(pCAN_LibraryPath()), home.file("PCAN_USB.DLL"));
  sim.clearTraffic();
  EXPECT_EQ(flashScan(), overMaster);
  EXPECT_GE(adapter.port.stats().framesFromClient, 2) << "search and identify went through the port";
  EXPECT_TRUE(sim.receivedFrames().empty()) << "nothing went through the master";
}

TEST_F(BusScanPcanTest, AnAdapterAtAnotherBitRateFindsNothing) {
  sim.setPopulation(population());
  ASSERT_TRUE(sim.start());
  pCAN_SetBaudrate(6);  // 500 kbit/s on a 125 kbit/s bus
  PcanSim adapter(sim, 0);
  ASSERT_TRUE(adapter.open()) << GetInterfaceError();
  Option_SetInt("SCAN_FLASHMODE", 1);
  BusScan_Command();
  for (int round = 0; round < 50 && adapter.port.stats().framesRefused < 2; ++round) PcanSim::pause();
  EXPECT_EQ(adapter.port.stats().framesRefused, 2);
  for (int round = 0; round < 20; ++round) {
    PollReceive();
    PcanSim::pause();
  }
  EXPECT_EQ(storedFrames(), 0);
  ui.fire(&BusScan_Timer(2));
  ui.fire(&BusScan_Timer(3));
  EXPECT_TRUE(lines().empty());
}

}  // namespace
