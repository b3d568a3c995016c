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

TEST_F(ModuleBus, OlderModuleMarksByteFourAsNotPartOfTheType) {
  SimModuleConfig c = SimModuleConfig::make(0, 9, 24);
  c.extendedType = false;
  net.addModule(c);
  auto r = ask(kBase + 9, {0x80});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].data[2], 24);
  EXPECT_NE(r[0].data[5], 0);
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
