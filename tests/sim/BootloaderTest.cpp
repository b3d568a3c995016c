// The simulated bootloader on a bus driven with made-up time: block transfers
// in and out of flash and EEPROM, the transfer count and sum, the error codes,
// the firmware status with the identity from the info table. The faults are
// driven by the upload tests.
#include <gtest/gtest.h>

#include <vector>

#include "core/SimNetwork.h"
#include "firmware/HexImageBuilder.h"
#include "module/Bootloader.h"
#include "module/SimModule.h"
#include "population/Population.h"
#include "protocol/WireConstants.h"

namespace {

constexpr uint32_t kBase = 0x680;
constexpr int kNode = 12;
constexpr uint32_t kId = kBase + kNode;

class BootBus : public ::testing::Test {
 protected:
  void SetUp() override {
    net.setPopulation(SimPopulation{});
    net.setRebootTimeUs(5000);
    net.setListener([this](int, const SimFrame& f, int64_t, FrameOrigin origin) {
      if (origin == FrameOrigin::Module) heard.push_back(f);
    });
  }

  // A module of that processor type, running its bootloader.
  SimModule& add(uint8_t cpu) {
    SimModuleConfig c = SimModuleConfig::make(0, kNode, 0x110);
    c.cpu = cpu;
    c.state = Wire::VORN_STATE_BOOTLOADER;
    id = net.addModule(c);
    return *net.module(id);
  }
  SimModule& mod() { return *net.module(id); }
  Bootloader& boot() { return mod().bootloader(); }

  std::vector<SimFrame> ask(std::initializer_list<uint8_t> data) {
    heard.clear();
    net.hostTransmit(0, SimFrame(kId, 0, data), now);
    net.advance(now);
    return heard;
  }
  // The one reply to a request; an empty frame when none came.
  SimFrame one(std::initializer_list<uint8_t> data) {
    auto r = ask(data);
    return r.size() == 1 ? r[0] : SimFrame{};
  }
  void start(uint32_t address, uint8_t memory = 0, uint8_t command = 0x5B) {
    one({command, memory, 0, 0, uint8_t(address >> 24), uint8_t(address >> 16), uint8_t(address >> 8),
         uint8_t(address)});
  }
  void write7(const uint8_t* b, uint8_t command = 0x61) { ask({command, b[0], b[1], b[2], b[3], b[4], b[5], b[6]}); }
  // End of block with n bytes; returns the status reply.
  SimFrame endBlock(const uint8_t* b, int n) {
    uint8_t d[6] = {};
    for (int i = 0; i < n; ++i) d[i] = b[i];
    return one({0xA2, uint8_t(n), d[0], d[1], d[2], d[3], d[4], d[5]});
  }
  SimFrame status() { return one({0xA3}); }
  // Writes bytes as the upload does: seven per frame up to the block's end, then the rest.
  SimFrame writeBlock(const std::vector<uint8_t>& bytes) {
    size_t i = 0;
    for (; i + 7 <= bytes.size(); i += 7) write7(&bytes[i]);
    return endBlock(bytes.data() + i, int(bytes.size() - i));
  }
  static uint8_t Error(const SimFrame& f) { return f.data[1]; }
  void passMs(int ms) {
    now += int64_t(ms) * 1000;
    net.advance(now);
  }

  SimNetwork net;
  std::vector<SimFrame> heard;
  int64_t now = 0;
  int id = -1;
};

std::vector<uint8_t> Counting(size_t n, int from = 1) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(from + i);
  return v;
}

TEST_F(BootBus, ShortBlockKeepsTheBytesBehindItsData) {
  add(Wire::VORN_CPU_PIC18F);
  boot().loadFlash(0x80, std::vector<uint8_t>(64, 0x55));
  start(0x80);
  SimFrame end = writeBlock(Counting(10));
  EXPECT_EQ(Error(end), 0);
  std::vector<uint8_t> expect = Counting(10);
  expect.resize(64, 0x55);
  EXPECT_EQ(boot().readFlash(0x80, 64), expect);
}

TEST_F(BootBus, BadWritesAreReportedWithTheirErrorCodes) {
  const uint8_t seven[7] = {1, 2, 3, 4, 5, 6, 7};
  struct Case {
    const char* what;
    uint8_t cpu;
    uint32_t address;
    int frames;     // seven-byte frames before the end of block
    int lastBytes;  // bytes in the end-of-block frame
    uint8_t error;
  };
  const Case cases[] = {
      {"not on a block boundary", Wire::VORN_CPU_SAMC21, 0x1010, 1, 0, Wire::VORN_BOOT_ERR_ALIGNMENT},
      {"below the firmware start", Wire::VORN_CPU_DSPIC33F, 0, 1, 0, Wire::VORN_BOOT_ERR_CODE_START},
      {"more than a flash block", Wire::VORN_CPU_PIC18F, 0, 10, 0, Wire::VORN_BOOT_ERR_BUFFER_OVERFLOW},
      {"end of block without data", Wire::VORN_CPU_PIC18F, 0, 0, 0, Wire::VORN_BOOT_ERR_BUFFER_EMPTY},
      {"past the end of flash", Wire::VORN_CPU_PIC18F, 0x20000, 1, 0, Wire::VORN_BOOT_ERR_ADDRESS_OVERFLOW},
      {"beyond the flash", Wire::VORN_CPU_SAMC21, 0x50000, 0, 1, Wire::VORN_BOOT_ERR_ADDRESS_OVERFLOW},
      {"too many last bytes", Wire::VORN_CPU_PIC18F, 0, 0, 7, Wire::VORN_BOOT_ERR_PARAMETER},
  };
  for (const Case& c : cases) {
    add(c.cpu);
    start(c.address);
    for (int i = 0; i < c.frames; ++i) write7(seven);
    SimFrame end = c.lastBytes <= 6 ? endBlock(seven, c.lastBytes) : one({0xA2, 7, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(Error(end), c.error) << c.what;
    EXPECT_EQ(boot().blocksProgrammed(), 0) << c.what;
    net.removeModule(id);
  }
}

TEST_F(BootBus, DataAfterAShortBlockWouldLeaveAGap) {
  add(Wire::VORN_CPU_PIC18F);
  const uint8_t seven[7] = {1, 2, 3, 4, 5, 6, 7};
  start(0);
  write7(seven);
  EXPECT_EQ(Error(endBlock(seven, 2)), 0);  // a 9-byte block, programmed
  write7(seven);
  EXPECT_EQ(Error(status()), Wire::VORN_BOOT_ERR_ADDRESS_GAP);
  start(0x40);  // a new transfer starts clean
  EXPECT_EQ(Error(status()), 0);
}

TEST_F(BootBus, FirmwareAnswersBlockTransfersOnlyWhenBuiltWithMemoryAccess) {
  SimModule& m = add(Wire::VORN_CPU_PIC18F);
  m.setState(0x85);
  EXPECT_TRUE(ask({0xA3}).empty());
  EXPECT_TRUE(ask({0x45, 0, 0, 0, 0, 0, 0, 0}).empty());
  boot().memoryAccessInFirmware = true;
  EXPECT_EQ(ask({0xA3}).size(), 1u);
  // The code start is known to both.
  boot().setCodeStart(0x12345);
  EXPECT_EQ(one({0xA4, 0}), SimFrame(kId, 0, {0x24, 0, 0, 0, 0x00, 0x01, 0x23, 0x45}));
}

TEST_F(BootBus, InvalidFirmwareKeepsTheModuleInItsBootloader) {
  add(Wire::VORN_CPU_SAMC21);
  ask({0x45, 0, 0, 0, 0, 0, 0, 0});
  ask({0x01, 255});
  passMs(10);
  EXPECT_FALSE(mod().firmwareRunning());
  EXPECT_EQ(one({0x85}).data[4], 255);
  // The key command belongs to the dsPIC bootloaders only.
  const uint8_t* k = Wire::VORN_BOOT_KEY;
  EXPECT_EQ(one({0xAC, k[0], k[1], k[2], k[3]}).data[1], Wire::VORN_BOOT_ERR_PARAMETER);
}

}  // namespace
