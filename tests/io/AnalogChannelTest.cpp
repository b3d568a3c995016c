// The analog pages' channel logic against simulated modules: value texts,
// level bars, the output caption and the bytes an entered output value sends.
#include <gtest/gtest.h>

#include "io/AnalogChannel.h"
#include "io/SimIoFixture.h"

namespace {

class AnalogChannel : public SimIoTest {
 protected:
  SimModuleId addModuleWith(int node, SimChannelGroup g) {
    return addModule(node, 30, [&](SimModuleConfig& c) { SimIo_AddChannels(c, g); });
  }
  // The last object write the program sent to a node.
  SimFrame lastWrite(int node) {
    SimFrame last;
    for (const SimFrame& f : framesTo(node)) {
      if (f.data[0] == 0x34) last = f;
    }
    return last;
  }
};

TEST_F(AnalogChannel, InputValuesShowInPhysicalUnitsWithTheirBar) {
  SimChannelGroup volts = Group(SimIoGroup::AnalogIn, 1, {0x0100}, 1, 0x6401);
  volts.initialValue = Bits(2.5f);
  SimModuleId id = addModuleWith(3, volts);
  ChanInfo info = channels(id, CHANINFO_ANALOG_IN);
  EXPECT_EQ(AnalogChannel_ConfigText(info, 0), "Voltage, 0...10 V");
  AnalogReading r;
  ASSERT_EQ(AnalogIn_ReadValue(record(id), info, 0, r), 1);
  EXPECT_EQ(r.text, "2.5 ");  // no unit for voltage and current
  EXPECT_EQ(r.bar, 25);

  SimChannelGroup temp = Group(SimIoGroup::AnalogIn, 11, {0x0B00}, 1, 0x6401);
  temp.initialValue = 0x03E8;
  id = addModuleWith(4, temp);
  info = channels(id, CHANINFO_ANALOG_IN);
  ASSERT_EQ(AnalogIn_ReadValue(record(id), info, 0, r), 1);
  EXPECT_EQ(r.text, "100 \xC2\xB0" "C");
  EXPECT_EQ(r.bar, 75);
}

TEST_F(AnalogChannel, AChannelSwitchedOffShowsOffAndNoValue) {
  SimModuleId id = addModuleWith(5, Group(SimIoGroup::AnalogIn, 1, {0x0100}, 1, 0x6401, 99));
  const ChanInfo info = channels(id, CHANINFO_ANALOG_IN);
  EXPECT_EQ(AnalogChannel_ConfigText(info, 0), "(off)");
  const size_t before = framesTo(5).size();
  AnalogReading r{"old", 40};
  EXPECT_EQ(AnalogIn_ReadValue(record(id), info, 0, r), -1);
  EXPECT_EQ(r.text, "");
  EXPECT_EQ(r.bar, 0);
  // The value is still asked for, so that a silent module ends the polling.
  EXPECT_EQ(framesTo(5).size(), before + 1);
}

TEST_F(AnalogChannel, OutputEntriesAreLimitedEncodedAndReadBack) {
  SimChannelGroup out = Group(SimIoGroup::AnalogOut, 1, {0x0104}, 1, 0x6411);
  out.aligned = true;
  SimModuleId id = addModuleWith(6, out);
  const ChanInfo info = channels(id, CHANINFO_ANALOG_OUT);
  EXPECT_EQ(AnalogOut_Caption("Set Output Value", info, 0), "Set Output Value (0...4095):");

  ASSERT_EQ(AnalogOut_SetValue(record(id), info, 0, "5000"), 0);
  AnalogReading r;
  ASSERT_EQ(AnalogOut_ReadValue(record(id), info, 0, false, r), 1);
  EXPECT_EQ(lastWrite(6), SimFrame(0x686, 0, {0x34, 0x64, 0x11, 0x01, 0xF0, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(r.text, "4095");
  EXPECT_EQ(r.bar, 100);

  ASSERT_EQ(AnalogOut_SetValue(record(id), info, 0, "0x1F"), 0);
  ASSERT_EQ(AnalogOut_ReadValue(record(id), info, 0, AnalogOut_IsHexEntry("0x1F"), r), 1);
  EXPECT_EQ(r.text, "0x1F");
  EXPECT_EQ(lastWrite(6).data[4], 0xF0);  // 31 << 4
  EXPECT_EQ(lastWrite(6).data[5], 0x01);

  const size_t before = framesTo(6).size();
  for (const char* notAValue : {"volts", "0xZZ", "0x1FFFFFFFF", "inf", "-inf", "1e999", "nan"})
    EXPECT_EQ(AnalogOut_SetValue(record(id), info, 0, notAValue), -1) << notAValue;
  EXPECT_EQ(framesTo(6).size(), before);
  ASSERT_EQ(AnalogOut_SetValue(record(id), info, 0, "-3"), 0);  // limited to the minimum
  ASSERT_EQ(AnalogOut_ReadValue(record(id), info, 0, false, r), 1);
  EXPECT_EQ(r.text, "0");

  // An i8 channel (0x0904) is never encoded: nothing is written.
  const SimModuleId i8 = addModuleWith(7, Group(SimIoGroup::AnalogOut, 9, {0x0904}, 1, 0x6411));
  EXPECT_EQ(AnalogOut_SetValue(record(i8), channels(i8, CHANINFO_ANALOG_OUT), 0, "5"), -1);
  EXPECT_EQ(lastWrite(7).data[0], 0u);
}

TEST(AnalogBar, TruncatedAndLimited) {
  EXPECT_EQ(AnalogChannel_Bar(2.5, 0, 10), 25);
  EXPECT_EQ(AnalogChannel_Bar(2.599, 0, 10), 25);
  EXPECT_EQ(AnalogChannel_Bar(-1, 0, 10), 0);
  EXPECT_EQ(AnalogChannel_Bar(11, 0, 10), 100);
  EXPECT_EQ(AnalogChannel_Bar(100, -50, 150), 75);
  EXPECT_EQ(AnalogChannel_Bar(5, 3, 3), 0);
}

}  // namespace
