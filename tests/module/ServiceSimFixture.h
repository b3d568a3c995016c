// The service pages against the simulator: a population of their own, the
// module listed as a scan would list it, and a fresh program session.
#pragma once

#include <string>
#include <vector>

#include "core/Session.h"
#include "module/Bootloader.h"
#include "module/ModuleSimFixture.h"
#include "platform/Poll.h"

class ServiceSimTest : public ModuleSimTest {
 protected:
  // The pages send up to a hundred requests in a row: room for a late answer
  // on a loaded machine (a dropped reply then costs this much real time).
  void SetUp() override {
    ModuleSimTest::SetUp();
    clock.setPeerGraceMs(150);
  }

  // Serves the population, connects to its bus 0 and lists the module at node.
  ModuleRec* serve(const std::string& population, int node) {
    SimPopulation p;
    std::string error;
    EXPECT_TRUE(SimPopulation::parse(population, p, error)) << error;
    sim.setPopulation(p);
    startAndConnect();
    if (HasFatalFailure()) return nullptr;
    sim.clearTraffic();
    return listed(node);
  }
  // The bytes of every module protocol frame sent since the last clearTraffic().
  std::vector<std::vector<int>> sent() {
    std::vector<std::vector<int>> out;
    for (const SimFrame& f : framesToModules()) out.push_back(Bytes(f));
    return out;
  }
  // Bytes of the module's EEPROM.
  std::vector<int> eeprom(int node, uint32_t address, size_t count) {
    std::vector<uint8_t> bytes;
    sim.withModule(sim.findModule(0, node), [&](SimModule& m) { bytes = m.bootloader().readEeprom(address, count); });
    return std::vector<int>(bytes.begin(), bytes.end());
  }
};
