// Uploads against the simulator: a simulated module behind the Ethernet
// master, the program connected to it, HEX files written by the image
// builder, and the frames the program put on the module's identifier.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "firmware/FwUpload.h"
#include "firmware/HexImageBuilder.h"
#include "module/Bootloader.h"
#include "module/SimModule.h"
#include "support/SimConnectedTest.h"

class UploadTest : public SimConnectedTest {
 protected:
  static constexpr int kNode = 21;
  static constexpr uint32_t kId = 0x680 + kNode;

  void SetUp() override {
    SimConnectedTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(startAndConnect());
    rec.node = kNode;
    rec.bus = 'c';
  }

  // A module of the processor type in its bootloader, at kNode.
  SimModuleId addModule(uint8_t cpu) {
    SimModuleConfig c = SimModuleConfig::make(0, kNode, 0x110);
    c.cpu = cpu;
    c.state = 0x01;
    module = sim.addModule(c);
    return module;
  }
  void onModule(const std::function<void(SimModule&)>& fn) { sim.withModule(module, fn); }
  void onBoot(const std::function<void(Bootloader&)>& fn) {
    sim.withModule(module, [&](SimModule& m) { fn(m.bootloader()); });
  }
  std::vector<uint8_t> flash(uint32_t address, size_t count) {
    std::vector<uint8_t> out;
    onBoot([&](Bootloader& b) { out = b.readFlash(address, count); });
    return out;
  }
  SimModuleConfig moduleConfig() {
    SimModuleConfig c;
    onModule([&](SimModule& m) { c = m.config(); });
    return c;
  }

  std::string writeHex(const HexImageBuilder& image, const std::string& name = "fw.hex") {
    std::string path = home.file(name);
    EXPECT_TRUE(image.writeHexFile(path));
    return path;
  }

  // The whole upload, step by step: the engine's final result.
  int upload(const std::string& file, int maxSteps = 100000) {
    FwUpload_Step(rec, file.c_str());
    for (int i = 0; i < maxSteps; ++i) {
      int r = FwUpload_Step(rec);
      if (r != 0) return r;
    }
    return 0;
  }

  // Module protocol frames the program sent to the module, in order.
  std::vector<SimFrame> sentToModule() {
    std::vector<SimFrame> out;
    for (const SimTimedFrame& f : sim.receivedFrames())
      if (f.frame.id == kId) out.push_back(f.frame);
    return out;
  }
  static std::vector<uint8_t> commandBytes(const std::vector<SimFrame>& frames) {
    std::vector<uint8_t> out;
    for (const SimFrame& f : frames) out.push_back(f.data[0]);
    return out;
  }
  static uint32_t startAddress(const SimFrame& f) {
    return uint32_t(f.data[4]) << 24 | uint32_t(f.data[5]) << 16 | uint32_t(f.data[6]) << 8 | f.data[7];
  }

  SimModuleId module = -1;
  ModuleRec rec;
};
