// Module behaviour on a simulated bus, driven with made-up time: requests in,
// the frames the modules put on the bus out. Search, node assignment and the
// restart into bootloader and back are driven end to end by the program's tests.
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

  int add(int node, uint32_t type) { return net.addModule(SimModuleConfig::make(0, node, type, net.busBitRateCode(0))); }

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

TEST_F(ModuleBus, OlderModuleMarksByteFourAsNotPartOfTheType) {
  SimModuleConfig c = SimModuleConfig::make(0, 9, 24);
  c.extendedType = false;
  net.addModule(c);
  auto r = ask(kBase + 9, {0x80});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].data[2], 24);
  EXPECT_NE(r[0].data[5], 0);
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
