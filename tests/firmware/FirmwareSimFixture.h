// Firmware tab and multi-update tests: simulated modules of bus 0 behind the
// Ethernet master, listed as a scan would list them, and firmware HEX files
// that fit them.
#pragma once

#include <string>
#include <vector>

#include "firmware/FwUpload.h"
#include "firmware/HexImageBuilder.h"
#include "module/Bootloader.h"
#include "module/ModuleSimFixture.h"
#include "platform/Poll.h"
#include "protocol/WireConstants.h"

class FirmwareSimTest : public ModuleSimTest {
 protected:
  void SetUp() override {
    ModuleSimTest::SetUp();
    // Errors of the protocol layer (a module still rebooting) go to the status bar.
    Option_SetInt("ERRORS_IN_STATUSBAR", 1);
    Option_SetInt("WAIT_AFTER_MODULERESET_MS", 2000);  // manual clock: costs nothing
  }

  // A dsPIC30F module (code start 0x400) of the type, hardware 2.
  void addModule(int node, uint32_t type, uint8_t state) {
    SimModuleConfig c = SimModuleConfig::make(0, node, type);
    c.cpu = Wire::VORN_CPU_DSPIC30F;
    c.hwVersion = 2;
    c.state = state;
    c.firmwarePresent = state & 0x80;
    ASSERT_GE(sim.addModule(c), 0);
  }
  // A word-data firmware for those modules, software version 3.7.
  std::string firmwareFile(uint32_t type, const std::string& name = "fw.hex", int hardware = 2) {
    FwImageLayout layout;
    layout.address = 0x800;
    layout.codeBytes = 700;
    layout.wordData = true;
    layout.info.moduleType = int(type);
    layout.info.hardwareVersion = hardware;
    layout.info.softwareMajor = 3;
    layout.info.softwareMinor = 7;
    const std::string path = folder.file(name);
    EXPECT_TRUE(HexImageBuilder().addFirmware(layout).writeHexFile(path));
    return path;
  }
  // Runs module-side work: fn gets the module at node on bus 0.
  void onModule(int node, const std::function<void(SimModule&)>& fn) {
    ASSERT_TRUE(sim.withModule(sim.findModule(0, node), fn));
  }
  // Restart frames (node, target byte) in the order sent.
  std::vector<std::pair<int, int>> restarts() {
    std::vector<std::pair<int, int>> out;
    for (const SimFrame& f : framesToModules())
      if (f.len == 2 && f.data[0] == 0x01) out.emplace_back(int(f.id - 0x680), f.data[1]);
    return out;
  }

  TempFolder folder;
};
