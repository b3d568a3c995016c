// The CAN Bus page's Modbus node limits on a module reached over the
// simulator's Modbus RTU line: 240 is taken and the module stays reachable
// there, 241 is refused before anything is sent.
#include <gtest/gtest.h>
#include <unistd.h>

#include "module/CanBusParams.h"
#include "module/ModuleSimFixture.h"
#include "protocol/VornProt.h"

namespace {

class ModbusBusTabTest : public ModuleSimTest {
 protected:
  void SetUp() override {
    ModuleSimTest::SetUp();
    sim.setPopulation(SimPopulation::demo());
  }
  // The format-38 room controller on node 5, listed as a Modbus module.
  ModuleRec* listedModule() {
    EXPECT_EQ(ModuleList_Add(5, 'm', 48, 3, 0x85, false), 0);
    return recordOfNode(5);
  }
  static BusTabInputs typed(const char* node) {
    BusTabInputs in;
    in.nodeText = node;
    in.baudText = "19200";
    return in;
  }
};

TEST_F(ModbusBusTabTest, Node240IsTakenAndStaysReachable241IsRefused) {
  ASSERT_NO_FATAL_FAILURE(startAndConnectModbus());
  ModuleRec* rec = listedModule();
  BusParams before;
  ASSERT_EQ(BusParams_Read(*rec, before), 1);
  EXPECT_TRUE(BusTab_ViewOf(before).format38);

  BusTabInputs in = typed("240");
  ui.expectMessage("Set EEPROM Modbus bus parameters of module to\nNode ID = 240  (F0h),\nBaudrate = 19200?",
                   UiAnswer::Ok);
  ASSERT_TRUE(BusTab_WriteParams(*rec, true, 's', 'm', in).sent);
  EXPECT_EQ(rec->node, 240);
  EXPECT_EQ(sim.moduleNode(sim.findModule(0, 240)), 240);

  // The page's refresh, a request and a one-way command all reach node 240.
  BusParams after;
  ASSERT_EQ(BusParams_Read(*rec, after), 1) << GetInterfaceError();
  EXPECT_EQ(after.eepromNode, 240);
  CanMsg msg;
  EXPECT_EQ(VornProt_SendMessage(msg, 240, 8, 0x04, {0, 0, 0, 0, 0, 10, 3}), 0);
  // The simulator runs in its own thread: the flash shows a moment later.
  int flashes = 0;
  for (int i = 0; i < 200 && flashes == 0; ++i) {
    sim.withModule(sim.findModule(0, 240), [&](SimModule& m) { flashes = m.ledFlashCount(); });
    if (flashes == 0) ::usleep(1000);
  }
  EXPECT_EQ(flashes, 1);

  // 241 and 0 are refused before anything goes out.
  const size_t sent = sim.modbusRequests().size();
  for (const char* bad : {"241", "0", "0xF1"}) {
    in = typed(bad);
    ui.expectMessage("Error: Node-ID outside range 01h...F0h (1...240).", UiAnswer::Ok);
    EXPECT_FALSE(BusTab_WriteParams(*rec, true, 's', 'm', in).sent) << bad;
  }
  EXPECT_EQ(sim.modbusRequests().size(), sent);
  EXPECT_EQ(rec->node, 240);
}

}  // namespace
