// Digital channel values and switches against simulated modules: the bytes
// written, what reads back, inputs that change and outputs a module's own
// program drives.
#include <gtest/gtest.h>

#include <set>

#include "io/DigitalChannels.h"
#include "io/SimIoFixture.h"
#include "io/SwitchState.h"

namespace {

class DigitalChannels : public SimIoTest {
 protected:
  SimModuleId addDio(int node, uint8_t state = 0x85) {
    return addModule(node, 16, [state](SimModuleConfig& c) {
      c.state = state;
      SimIo_AddChannels(c, Group(SimIoGroup::DigitalIn, 0x1E, {0x1E07}, 2, 0x6000));
      SimIo_AddChannels(c, Group(SimIoGroup::DigitalOut, 0x1F, {0x1E03}, 1, 0x6200));
    });
  }
};

TEST_F(DigitalChannels, OutputsHoldWhatWasWrittenLimitedToTheirBits) {
  SimModuleId id = addDio(2);
  const ChanInfo outs = channels(id, CHANINFO_DIGITAL_OUT);
  ASSERT_EQ(outs.channelCount, 1);
  ASSERT_EQ(DigitalChannels_Write(record(id), outs, 0, 0x0A), 0);
  uint32_t value = 0;
  ASSERT_EQ(DigitalChannels_Read(record(id), outs, 0, value), 1);
  EXPECT_EQ(value, 0x0Au);
  // Four bits (code 0x1E03): 0x3F is held at 15.
  ASSERT_EQ(DigitalChannels_Write(record(id), outs, 0, 0x3F), 0);
  ASSERT_EQ(DigitalChannels_Read(record(id), outs, 0, value), 1);  // the write has arrived before
  EXPECT_EQ(value, 15u);
  const std::vector<SimFrame> frames = framesTo(2);
  EXPECT_EQ(frames[frames.size() - 2], SimFrame(0x682, 0, {0x34, 0x62, 0x00, 0x01, 0x0F, 0x00, 0x00, 0x00}));
  EXPECT_EQ(DigitalChannels_Write(record(id), outs, 1, 1), -1);  // no such channel
}

TEST_F(DigitalChannels, InputsFollowTheirSignalOverTime) {
  SimModuleId id = addDio(3);
  sim.withModule(id, [](SimModule& m) {
    SimIoSignal s;
    s.group = SimIoGroup::DigitalIn;
    s.channel = 1;
    s.level = 0x81;
    s.periodMs = 1;
    SimIo_SetSignal(m, s);
  });
  const ChanInfo ins = channels(id, CHANINFO_DIGITAL_IN);
  // The pattern rotates every millisecond; a few reads see it move.
  std::set<uint32_t> seen;
  for (int i = 0; i < 200 && seen.size() < 2; ++i) {
    uint32_t value = 0;
    ASSERT_EQ(DigitalChannels_Read(record(id), ins, 1, value), 1);
    EXPECT_EQ(__builtin_popcount(value), 2) << value;  // 0x81 rotated: always two bits
    seen.insert(value);
  }
  EXPECT_GE(seen.size(), 2u);
}

TEST_F(DigitalChannels, OperationalModuleProgramDrivesItsOutputs) {
  SimModuleId id = addDio(4);
  sim.withModule(id, [](SimModule& m) {
    SimIoSignal s;
    s.group = SimIoGroup::DigitalOut;
    s.program = true;
    s.periodMs = 100000;  // one step in 100 s: a running light that stands still here
    SimIo_SetSignal(m, s);
  });
  const ChanInfo outs = channels(id, CHANINFO_DIGITAL_OUT);
  ASSERT_EQ(DigitalChannels_Write(record(id), outs, 0, 0x6), 0);
  uint32_t value = 0;
  ASSERT_EQ(DigitalChannels_Read(record(id), outs, 0, value), 1);
  EXPECT_EQ(value, 1u);  // the program's pattern, not what was written
  sim.withModule(id, [](SimModule& m) { m.setState(0x84); });  // Stopped: the program lets go
  ASSERT_EQ(DigitalChannels_Write(record(id), outs, 0, 0x6), 0);
  ASSERT_EQ(DigitalChannels_Read(record(id), outs, 0, value), 1);
  EXPECT_EQ(value, 6u);
}

TEST_F(DigitalChannels, SwitchReadShowsTheModulesSwitches) {
  SimModuleId id = addModule(5, 16, [](SimModuleConfig& c) {
    c.dipNodeSwitches = 0x3A;
    c.dipBaudSwitches = 0x06;
    c.serviceButton = true;
  });
  CanMsg reply;
  ASSERT_EQ(Switches_Read(record(id), reply), 1);
  const SwitchView v = Switches_Decode(reply, 'c');
  EXPECT_EQ(v.nodeText, "58");
  EXPECT_EQ(v.baudText, "500 k");
  EXPECT_EQ(v.buttonText, "1");
  EXPECT_EQ(framesTo(5).back(), SimFrame(0x685, 0, {0xB3}));
}

}  // namespace
