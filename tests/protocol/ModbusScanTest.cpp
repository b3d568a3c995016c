// End to end over the simulator's Modbus RTU line: a node-by-node scan lists
// the same modules as over the Ethernet master, and opening the line presets
// the scan options of a serial interface.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProtocolSimFixture.h"
#include "bus/Link.h"
#include "core/ErrorReport.h"
#include "platform/Poll.h"

namespace {

class ModbusScanTest : public ProtocolSimTest {
 protected:
  void SetUp() override {
    ProtocolSimTest::SetUp();
    sim.setPopulation(population());
  }

  // Scans nodes 1..stop one by one, as the scan's timers would: each request
  // is given the time the simulator needs to answer before the next one.
  std::vector<std::string> scan(int stop) {
    Option_SetInt("SCAN_FLASHMODE", 0);
    Option_SetInt("SCAN_RANGE_START", 1);
    Option_SetInt("SCAN_RANGE_STOP", stop);
    BusScan_Command();
    const int fd = Interface_Link(GetInterfaceType())->waitDescriptor();
    const auto settle = [fd] {
      while (Poll_WaitReadable(fd, 10) > 0) PollReceive();
    };
    for (int node = 1; node <= stop; ++node) {
      ui.fire(&BusScan_Timer(1));
      settle();
    }
    ui.fire(&BusScan_Timer(2));
    ui.fire(&BusScan_Timer(3));
    EXPECT_FALSE(ScanRunning());
    return lines();
  }
};

TEST_F(ModbusScanTest, ANodeByNodeScanListsTheModulesTheEthernetMasterLists) {
  ASSERT_NO_FATAL_FAILURE(startAndConnect());
  const std::vector<std::string> overEthernet = scan(24);
  ASSERT_EQ(overEthernet.size(), 6u);  // bus 0 without its LIN master

  CloseInterface();
  ASSERT_NO_FATAL_FAILURE(startAndConnectModbus());
  EXPECT_EQ(Option_GetInt("SCAN_FLASHMODE"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_SEND_INTERVAL_MS"), 100);
  EXPECT_EQ(scan(24), overEthernet);
  int identifies = 0;
  for (const std::vector<uint8_t>& r : sim.modbusRequests()) identifies += r[4] == 1 && r[5] == 0x80;
  EXPECT_EQ(identifies, 24) << "one identify request a node";
  EXPECT_EQ(Option_GetInt("LIN_MASTER_ID"), 20);
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
    EXPECT_EQ(rec->bus, 'm');
}

// A module whose replies come one byte at a time, or spoiled, is still listed
// by the next scan; a spoiled reply just leaves it out of this one.
TEST_F(ModbusScanTest, SpoiledRepliesLeaveTheirModuleOutUntilTheNextScan) {
  ASSERT_NO_FATAL_FAILURE(startAndConnectModbus());
  sim.setModbusSplitGapMs(1);
  sim.modbusFaultNext(SimModbusFault::SplitBytes);   // node 2: assembled
  sim.modbusFaultNext(SimModbusFault::SwappedCrc);   // node 3: dropped
  sim.modbusFaultNext(SimModbusFault::NineBytes);    // node 5: dropped
  sim.modbusFaultNext(SimModbusFault::TrailingGarbage);  // node 7: taken
  EXPECT_EQ(scan(12), (std::vector<std::string>{" 2\tKVX 730-08", " 7\tKVX 720-08", " 10\tKVX 707-01C",
                                                 " 12\t(unknown)"}));
  EXPECT_EQ(scan(12).size(), 6u);
}

}  // namespace
