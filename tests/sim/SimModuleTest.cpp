// Module behaviour on a simulated bus, driven with made-up time: requests in,
// the exact frames the modules put on the bus out.
#include <gtest/gtest.h>

#include <vector>

#include "core/SimNetwork.h"
#include "module/SimModule.h"
#include "population/Population.h"

namespace {

constexpr uint32_t kBase = 0x680;

class ModuleBus : public ::testing::Test {
 protected:
  void SetUp() override {
    SimPopulation p;
    p.busBitRates = {4, 6};
    net.setPopulation(p);
    net.setRebootTimeUs(5000);
    net.setListener([this](int bus, const SimFrame& f, int64_t, FrameOrigin origin) {
      if (origin == FrameOrigin::Module) heard.push_back(f);
      (void)bus;
    });
  }

  int add(int node, uint32_t type, int bus = 0) {
    SimModuleConfig c = SimModuleConfig::make(bus, node, type, net.busBitRateCode(bus));
    c.hwVersion = 2;
    c.bootMajor = 1;
    c.bootMinor = 2;
    c.fwMajor = 2;
    c.fwMinor = 5;
    return net.addModule(c);
  }

  // Sends one frame and returns everything the modules answer at once.
  std::vector<SimFrame> ask(uint32_t id, std::initializer_list<uint8_t> data, int bus = 0) {
    heard.clear();
    net.hostTransmit(bus, SimFrame(id, uint8_t(bus), data), now);
    net.advance(now);
    return heard;
  }

  void passMs(int ms) {
    now += int64_t(ms) * 1000;
    net.advance(now);
  }

  SimModule& mod(int id) { return *net.module(id); }

  SimNetwork net;
  std::vector<SimFrame> heard;
  int64_t now = 0;
};

SimFrame F(uint32_t id, std::initializer_list<uint8_t> data, uint8_t bus = 0) { return SimFrame(id, bus, data); }

TEST_F(ModuleBus, IdentifyRepliesWithStateTypeAndHardwareVersion) {
  add(5, 16);
  add(6, 0x110);  // a type above 255: high byte in byte 4, byte 5 zero
  EXPECT_EQ(ask(kBase + 5, {0x80}), std::vector<SimFrame>{F(kBase + 5, {0x00, 0x85, 0x10, 0x02, 0x00, 0x00, 0, 0})});
  EXPECT_EQ(ask(kBase + 6, {0x80}), std::vector<SimFrame>{F(kBase + 6, {0x00, 0x85, 0x10, 0x02, 0x01, 0x00, 0, 0})});
  EXPECT_TRUE(ask(kBase + 7, {0x80}).empty());  // nobody there
}

TEST_F(ModuleBus, OlderModuleMarksByteFourAsNotPartOfTheType) {
  SimModuleConfig c = SimModuleConfig::make(0, 9, 24);
  c.extendedType = false;
  net.addModule(c);
  auto r = ask(kBase + 9, {0x80});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].data[2], 24);
  EXPECT_NE(r[0].data[5], 0);
}

TEST_F(ModuleBus, FlashModeIdentifyIsAnsweredByEveryModuleOnItsOwnIdentifierLowestFirst) {
  for (int node : {9, 3, 100, 7, 4}) add(node, 16);
  add(3, 17, 1);  // another bus: not asked
  auto r = ask(kBase, {0x80});
  std::vector<uint32_t> ids;
  for (const SimFrame& f : r) {
    ids.push_back(f.id);
    EXPECT_EQ(f.data[0], 0x00);
    EXPECT_EQ(f.bus, 0);
  }
  EXPECT_EQ(ids, (std::vector<uint32_t>{kBase + 3, kBase + 4, kBase + 7, kBase + 9, kBase + 100}));
}

TEST_F(ModuleBus, ModuleInfoReportsVersionsProcessorAndFirmware) {
  add(5, 16);
  SimModuleConfig boot = SimModuleConfig::make(0, 7, 17);
  boot.state = 0x01;
  boot.firmwarePresent = false;
  boot.bootMajor = 1;
  boot.bootMinor = 1;
  net.addModule(boot);
  EXPECT_EQ(ask(kBase + 5, {0x85}), std::vector<SimFrame>{F(kBase + 5, {0x05, 0x85, 1, 2, 2, 5, 2, 1})});
  EXPECT_EQ(ask(kBase + 7, {0x85}), std::vector<SimFrame>{F(kBase + 7, {0x05, 0x01, 1, 1, 255, 255, 2, 0})});
}

TEST_F(ModuleBus, SearchIsAnsweredOnNodeZeroOnlyWhileTheButtonIsPressed) {
  int id = add(5, 16);
  add(6, 16);
  EXPECT_TRUE(ask(kBase, {0x82}).empty());
  mod(id).enterSearchMode();
  EXPECT_EQ(ask(kBase, {0x82}), std::vector<SimFrame>{F(kBase, {0x02, 0x82, 0x10, 0x02, 0, 0, 0, 0})});
  // The module found is addressed as node 0 from now on; the others ignore node 0.
  EXPECT_EQ(ask(kBase, {0x85}), std::vector<SimFrame>{F(kBase, {0x05, 0x82, 1, 2, 2, 5, 2, 1})});
  // It still answers on its own node, with its own identifier.
  EXPECT_EQ(ask(kBase + 5, {0x80}).at(0).id, kBase + 5);
  // A search sent to its own node is not a search.
  EXPECT_TRUE(ask(kBase + 5, {0x82}).empty());
}

TEST_F(ModuleBus, NodeAssignmentThroughNodeZeroEndsSearchMode) {
  int id = add(5, 16);
  mod(id).enterSearchMode();
  // read the parameters, then write node 42 from node 0, as the search dialog does
  auto params = ask(kBase, {0x99});
  ASSERT_EQ(params.size(), 1u);
  EXPECT_EQ(params[0].id, kBase);
  EXPECT_EQ(ask(kBase, {0x59, 0, 0, 0, 0, 0, params[0].data[6], 42}),
            std::vector<SimFrame>{F(kBase, {0xD9, 0, 0, 0, 0, 0, 4, 42})});
  EXPECT_FALSE(mod(id).searchMode());
  EXPECT_EQ(mod(id).node(), 42);
  EXPECT_TRUE(ask(kBase, {0x82}).empty());
  EXPECT_EQ(ask(kBase + 42, {0x80}).size(), 1u);
}

TEST_F(ModuleBus, BusParameterReplyShowsSourceFormatSwitchesAndEeprom) {
  SimModuleConfig c = SimModuleConfig::make(0, 5, 16);
  c.dipNodeSwitches = 0x12;
  c.dipBaudSwitches = 0x0C;  // only bits 0..2 are the index
  int classic = net.addModule(c);
  SimModuleConfig n = SimModuleConfig::make(0, 6, 48);
  n.paramFormat = 38;
  n.hasDipSwitches = false;
  net.addModule(n);
  EXPECT_EQ(ask(kBase + 5, {0x99}), std::vector<SimFrame>{F(kBase + 5, {0x19, 0, 0, 4, 0x12, 0, 4, 5})});
  EXPECT_EQ(ask(kBase + 6, {0x99}), std::vector<SimFrame>{F(kBase + 6, {0x19, 0, 38, 255, 255, 0, 4, 6})});

  // Switch to the DIP switches: acknowledged on the old node, then node 18.
  EXPECT_EQ(ask(kBase + 5, {0x59, 1, 0, 0, 0, 0, 4, 0x12}),
            std::vector<SimFrame>{F(kBase + 5, {0xD9, 1, 0, 0, 0, 0, 4, 0x12})});
  EXPECT_EQ(mod(classic).node(), 0x12);
  EXPECT_TRUE(ask(kBase + 5, {0x80}).empty());
  EXPECT_EQ(ask(kBase + 0x12, {0x99}).at(0).data[1], 1);
}

TEST_F(ModuleBus, EepromWriteMovesTheNodeAndClearingRestoresTheDeliveredNode) {
  SimModuleConfig n = SimModuleConfig::make(0, 6, 48);
  n.paramFormat = 38;
  n.hasDipSwitches = false;
  int id = net.addModule(n);
  ask(kBase + 6, {0x59, 0, 0, 0, 0, 0, 4, 30});
  EXPECT_EQ(mod(id).node(), 30);
  EXPECT_EQ(ask(kBase + 30, {0x99}), std::vector<SimFrame>{F(kBase + 30, {0x19, 0, 38, 255, 255, 0, 4, 30})});
  ask(kBase + 30, {0x59, 0, 0, 0, 0, 0, 255, 255});
  EXPECT_EQ(ask(kBase + 6, {0x99}), std::vector<SimFrame>{F(kBase + 6, {0x19, 0, 38, 255, 255, 0, 255, 255})});
  // Node 0 and nodes above 240 (the highest Modbus node) are refused; the
  // EEPROM keeps what it had.
  ask(kBase + 6, {0x59, 0, 0, 0, 0, 0, 4, 0});
  ask(kBase + 6, {0x59, 0, 0, 0, 0, 0, 4, 241});
  EXPECT_EQ(mod(id).node(), 6);
  ask(kBase + 6, {0x59, 0, 0, 0, 0, 0, 4, 240});
  EXPECT_EQ(mod(id).node(), 240);
}

TEST_F(ModuleBus, NewBitRateTakesEffectAtRestartAndAWrongOneTakesTheModuleOffTheBus) {
  int id = add(5, 16);
  ask(kBase + 5, {0x59, 0, 0, 0, 0, 0, 6, 5});  // 500 kbit/s on a 125 kbit/s bus
  EXPECT_EQ(ask(kBase + 5, {0x80}).size(), 1u);  // not yet
  ask(kBase + 5, {0x01, 0xFF});
  passMs(10);
  EXPECT_TRUE(ask(kBase + 5, {0x80}).empty());
  EXPECT_TRUE(mod(id).offBus(net.busBitRateCode(0)));
  net.setBusBitRateCode(0, 6);
  EXPECT_EQ(ask(kBase + 5, {0x80}).size(), 1u);
}

TEST_F(ModuleBus, RestartSilencesTheModuleForTheRebootTimeAndSelectsBootloaderOrFirmware) {
  int id = add(5, 16);
  EXPECT_TRUE(ask(kBase + 5, {0x01, 0x00}).empty());  // no answer to a restart
  passMs(4);
  EXPECT_TRUE(mod(id).rebooting());
  EXPECT_TRUE(ask(kBase + 5, {0x80}).empty());
  passMs(1);
  EXPECT_EQ(ask(kBase + 5, {0x80}).at(0).data[1], 0x01);  // Bootloader, no firmware running
  ask(kBase + 5, {0x01, 0xFF});
  passMs(5);
  EXPECT_EQ(ask(kBase + 5, {0x80}).at(0).data[1], 0x85);
  EXPECT_EQ(mod(id).restartCount(), 2);
  // Unknown restart targets are ignored.
  ask(kBase + 5, {0x01, 0x07});
  EXPECT_FALSE(mod(id).rebooting());
}

TEST_F(ModuleBus, ModuleWithoutFirmwareStaysInItsBootloader) {
  SimModuleConfig c = SimModuleConfig::make(0, 7, 17);
  c.state = 0x01;
  c.firmwarePresent = false;
  net.addModule(c);
  ask(kBase + 7, {0x01, 0xFF});
  passMs(5);
  EXPECT_EQ(ask(kBase + 7, {0x80}).at(0).data[1], 0x01);
}

TEST_F(ModuleBus, RestartInSearchModeKeepsSearchModeOnlyWhenAskedTo) {
  int id = add(5, 16);
  mod(id).enterSearchMode();
  ask(kBase, {0x01, 0x02});  // into the bootloader, staying in search mode
  passMs(5);
  EXPECT_TRUE(mod(id).searchMode());
  EXPECT_EQ(ask(kBase, {0x82}).at(0).data[1], 0x02);  // bootloader with state number 2
  ask(kBase, {0x01, 0x04});
  passMs(5);
  EXPECT_EQ(ask(kBase, {0x82}).at(0).data[1], 0x82);
  ask(kBase, {0x01, 0xFF});
  passMs(5);
  EXPECT_FALSE(mod(id).searchMode());
}

TEST_F(ModuleBus, DatesAreReadAndSetWithAcknowledgement) {
  SimModuleConfig c = SimModuleConfig::make(0, 5, 16);
  c.shippingDate = SimDate::make(2019, 5, 14, 9, 30, 0);
  net.addModule(c);
  EXPECT_EQ(ask(kBase + 5, {0xA5}), std::vector<SimFrame>{F(kBase + 5, {0x25, 20, 19, 5, 14, 9, 30, 0})});
  EXPECT_EQ(ask(kBase + 5, {0x65, 20, 26, 2, 28, 10, 11, 12}),
            std::vector<SimFrame>{F(kBase + 5, {0xE5, 20, 26, 2, 28, 10, 11, 12})});
  EXPECT_EQ(ask(kBase + 5, {0xA5}), std::vector<SimFrame>{F(kBase + 5, {0x25, 20, 26, 2, 28, 10, 11, 12})});
  EXPECT_EQ(ask(kBase + 5, {0xA6}), std::vector<SimFrame>{F(kBase + 5, {0x26, 0, 0, 0, 0, 0, 0, 0})});
  ask(kBase + 5, {0x66, 20, 24, 1, 2, 3, 4, 5});
  EXPECT_EQ(ask(kBase + 5, {0xA6}), std::vector<SimFrame>{F(kBase + 5, {0x26, 20, 24, 1, 2, 3, 4, 5})});
}

TEST_F(ModuleBus, SwitchReadAndLedFlash) {
  SimModuleConfig c = SimModuleConfig::make(0, 5, 16);
  c.dipNodeSwitches = 0x3A;
  c.dipBaudSwitches = 0x05;
  c.serviceButton = true;
  int id = net.addModule(c);
  EXPECT_EQ(ask(kBase + 5, {0xB3}), std::vector<SimFrame>{F(kBase + 5, {0x33, 0x05, 0x3A, 1, 0, 0, 0, 0})});
  EXPECT_TRUE(ask(kBase + 5, {0x04, 0, 0, 0, 0, 0, 10, 7}).empty());
  EXPECT_EQ(mod(id).ledFlashCount(), 1);
  EXPECT_EQ(mod(id).lastFlashCycles(), 7);
}

TEST_F(ModuleBus, ObjectReadRepliesWithStatusTypeAndValueLittleEndian) {
  int id = add(5, 16);
  mod(id).objects().set(SimObject{0x2000, 1, 0x1234, 6, true, 0});
  mod(id).objects().set(SimObject{0x3000, 0, 0x89ABCDEF, 7, false, 0});
  EXPECT_EQ(ask(kBase + 5, {0xB4, 0x20, 0x00, 0x01}),
            std::vector<SimFrame>{F(kBase + 5, {0x34, 0x01, 0, 6, 0x34, 0x12, 0, 0})});
  EXPECT_EQ(ask(kBase + 5, {0xB4, 0x30, 0x00, 0x00}),
            std::vector<SimFrame>{F(kBase + 5, {0x34, 0x00, 0, 7, 0xEF, 0xCD, 0xAB, 0x89})});
  // Unknown entries and requests too short to name one: status bit 7.
  EXPECT_EQ(ask(kBase + 5, {0xB4, 0x20, 0x00, 0x02}),
            std::vector<SimFrame>{F(kBase + 5, {0x34, 0x80, 0, 0, 0, 0, 0, 0})});
  EXPECT_EQ(ask(kBase + 5, {0xB4, 0x20}).at(0).data[1], 0x80);
}

TEST_F(ModuleBus, ObjectWritesAreAcknowledgedWithTheRequestLength) {
  int id = add(5, 16);
  mod(id).objects().set(SimObject{0x2000, 1, 0x1234, 7, true, 0});
  mod(id).objects().set(SimObject{0x2000, 2, 0x55, 5, false, 0});
  EXPECT_EQ(ask(kBase + 5, {0x74, 0x20, 0x00, 0x01, 0x78, 0x56, 0x34, 0x12}),
            std::vector<SimFrame>{F(kBase + 5, {0xF4, 0x20, 0x00, 0x01, 0x78, 0x56, 0x34, 0x12})});
  EXPECT_EQ(mod(id).objects().find(0x2000, 1)->value, 0x12345678u);
  // Five bytes: one value byte, the acknowledgement is five bytes long too.
  EXPECT_EQ(ask(kBase + 5, {0x74, 0x20, 0x00, 0x01, 0xAB}),
            std::vector<SimFrame>{F(kBase + 5, {0xF4, 0x20, 0x00, 0x01, 0xAB})});
  EXPECT_EQ(mod(id).objects().find(0x2000, 1)->value, 0xABu);
  // Without flags: stored, nothing answered.
  EXPECT_TRUE(ask(kBase + 5, {0x34, 0x20, 0x00, 0x01, 0x01, 0x02, 0x03, 0x04}).empty());
  EXPECT_EQ(mod(id).objects().find(0x2000, 1)->value, 0x04030201u);
  // Read-only and unknown entries keep their value (or stay absent), the write is still acknowledged.
  EXPECT_EQ(ask(kBase + 5, {0x74, 0x20, 0x00, 0x02, 0x99}).size(), 1u);
  ask(kBase + 5, {0x74, 0x20, 0x00, 0x07, 0x99});
  EXPECT_EQ(mod(id).objects().find(0x2000, 2)->value, 0x55u);
  EXPECT_EQ(mod(id).objects().find(0x2000, 7), nullptr);
  EXPECT_EQ(mod(id).rejectedWrites(), 2);
}

TEST_F(ModuleBus, BootloaderKnowsNoObjects) {
  SimModuleConfig c = SimModuleConfig::make(0, 7, 17);
  c.state = 0x01;
  c.objects.push_back(SimObject{0x2000, 1, 5, 5, true, 0});
  net.addModule(c);
  EXPECT_EQ(ask(kBase + 7, {0xB4, 0x20, 0x00, 0x01}).at(0).data[1], 0x80);
}

TEST_F(ModuleBus, AcknowledgementsRemoteFramesAndEmptyFramesAreNotRequests) {
  int id = add(5, 16);
  EXPECT_TRUE(ask(kBase + 5, {0xC0}).empty());  // looks like an acknowledgement of identify
  EXPECT_TRUE(ask(kBase + 5, {}).empty());
  heard.clear();
  net.hostTransmit(0, SimFrame(0x40000000u | (kBase + 5), 0, {0x80}), now);
  net.advance(now);
  EXPECT_TRUE(heard.empty());
  EXPECT_EQ(mod(id).requestCount(), 0);
}

TEST_F(ModuleBus, HandlerTableCanBeExtendedPerModule) {
  int id = add(5, 16);
  mod(id).setHandler(35, [](SimModule& m, const ModuleRequest& rq) {
    if (rq.wantsReply) m.reply(rq, {7});
  });
  EXPECT_EQ(ask(kBase + 5, {0xA3}), std::vector<SimFrame>{F(kBase + 5, {0x23, 7, 0, 0, 0, 0, 0, 0})});
  EXPECT_TRUE(ask(kBase + 5, {0xBE}).empty());  // no handler: silence
}

TEST_F(ModuleBus, ResponseDelayAndRemovedModules) {
  SimModuleConfig c = SimModuleConfig::make(0, 5, 16);
  c.responseDelayUs = 2000;
  int id = net.addModule(c);
  EXPECT_TRUE(ask(kBase + 5, {0x80}).empty());
  passMs(2);
  EXPECT_EQ(heard.size(), 1u);
  // A module removed while it reboots never comes back.
  ask(kBase + 5, {0x01, 0xFF});
  net.removeModule(id);
  passMs(10);
  EXPECT_EQ(net.module(id), nullptr);
}

}  // namespace
