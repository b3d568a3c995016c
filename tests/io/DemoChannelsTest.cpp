// The demo population's channels as the program sees them: every analog
// input decodes, with the program's own channel type table, to what the
// simulated module measures (the two sides' tables agree), and analog
// outputs read back what was written.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "bus/EthMaster.h"
#include "io/ChanInfo.h"
#include "io/ChanTypeTable.h"
#include "io/ObjectAccess.h"
#include "io/SimIoFixture.h"

namespace {

class DemoChannels : public SimIoTest {
 protected:
  void SetUp() override {
    SimIoTest::SetUp();
    sim.setPopulation(SimPopulation::demo());
    // Connecting again learns the demo's two buses; then bus 1 can be chosen.
    CloseInterface();
    ASSERT_EQ(OpenInterface("KVX Master (Ethernet)"), 0) << GetInterfaceError();
    EthMaster_SetCanBusNo(1);
    ASSERT_EQ(EthMaster_GetCanBusNo(), 1);
  }
  double readValue(SimModuleId id, const ChanInfo& info, int channel, int code) {
    CanMsg reply;
    const ChanEntry& ch = info.channels[channel];
    EXPECT_EQ(ObjectAccess_Read(record(id).node, int(ch.valueIndex), int(ch.valueSubindex), reply), 1);
    ChanValueBytes bytes = ObjectAccess_ValueBytes(reply);
    double v = 0;
    EXPECT_EQ(ChanType_ConvertValue('g', v, code, bytes, ch.aligned), 0) << std::hex << code;
    return v;
  }
  // Input channel c reads, through the program's channel type table, as what
  // the module measures: floats carry the physical value, integers their raw
  // range (a measurement beyond it is held at its end).
  void expectInputReadsAsMeasured(SimModuleId id, const ChanInfo& info, int c) {
    const int code = ChanInfo_ActiveCode(info, c);
    const ChanTypeConfig* config = ChanTypeTable_FindConfig(code);
    ASSERT_NE(config, nullptr) << std::hex << code;
    const double value = readValue(id, info, c, code);
    double measured = 0;
    sim.withModule(id, [&](SimModule& m) { measured = SimIo_ReportedInput(m, c, m.host()->nowUs()); });
    const bool isFloat = config->encoding == ChanEncoding::Float32;
    const double span = isFloat ? config->physMax - config->physMin : config->rawMax - config->rawMin;
    const double held = isFloat ? measured : std::clamp(measured, config->rawMin, config->rawMax);
    EXPECT_NEAR(value, held, span * 0.005 + 1.0 / config->divisor);
  }
};

TEST_F(DemoChannels, AnalogInputsDecodeToWhatTheModulesMeasure) {
  int checked = 0;
  for (int node : {4, 33, 40, 41, 43}) {
    const SimModuleId id = sim.findModule(1, node);
    ASSERT_GE(id, 0) << node;
    const ChanInfo info = channels(id, CHANINFO_ANALOG_IN);
    for (int c = 0; c < info.channelCount; ++c) {
      SCOPED_TRACE(testing::Message() << "node " << node << " channel " << c);
      ASSERT_NO_FATAL_FAILURE(expectInputReadsAsMeasured(id, info, c));
      ++checked;
    }
  }
  EXPECT_GE(checked, 14);
}

TEST_F(DemoChannels, AnalogOutputsReadBackWhatTheProgramWrote) {
  for (int node : {4, 40, 43}) {
    const SimModuleId id = sim.findModule(1, node);
    const ChanInfo info = channels(id, CHANINFO_ANALOG_OUT);
    ASSERT_GT(info.channelCount, 0) << node;
    for (int c = 0; c < info.channelCount; ++c) {
      const ChanEntry& ch = info.channels[c];
      const int code = ChanInfo_ActiveCode(info, c);
      double minimum = 0, maximum = 0;
      ChanType_GetInfo(code, false, nullptr, nullptr, &minimum, &maximum);
      double value = code >> 8 == 16 ? 7.25 : std::min(maximum, 3000.0);
      const double wanted = value;
      ChanValueBytes bytes{};
      ASSERT_EQ(ChanType_ConvertValue('s', value, code, bytes, ch.aligned), 0);
      ASSERT_EQ(ObjectAccess_Write(record(id).node, int(ch.valueIndex), int(ch.valueSubindex), bytes), 0);
      EXPECT_DOUBLE_EQ(readValue(id, info, c, code), wanted) << "node " << node << " channel " << c;
    }
  }
}

// The modules the demo shows first (bus 0) change their inputs over time, so
// that their pages show live values.
TEST_F(DemoChannels, TheFirstBusHasLiveInputs) {
  for (int node : {2, 3, 5}) {
    const SimModuleId id = sim.findModule(0, node);
    ASSERT_GE(id, 0) << node;
    sim.withModule(id, [&](SimModule& m) {
      if (SimIo_ChannelCount(m, SimIoGroup::DigitalIn) > 0) {
        EXPECT_NE(SimIo_DigitalInput(m, 0, 0), SimIo_DigitalInput(m, 0, 2000000)) << node;
      }
      if (SimIo_ChannelCount(m, SimIoGroup::AnalogIn) > 0) {
        EXPECT_NE(SimIo_ReportedInput(m, 0, 0), SimIo_ReportedInput(m, 0, 1500000)) << node;
      }
    });
  }
}

// The population with every kind of channel: every analog input decodes with
// the program's table to what the simulated module measures.
class EveryKindChannels : public DemoChannels {
 protected:
  void SetUp() override {
    SimIoTest::SetUp();
    SimPopulation p;
    std::string error;
    std::string path = __FILE__;
    path = path.substr(0, path.rfind("tests/io/")) + "sim/population/io-every-kind.txt";
    ASSERT_TRUE(SimPopulation::load(path, p, error)) << error;
    sim.setPopulation(p);
    CloseInterface();
    ASSERT_EQ(OpenInterface("KVX Master (Ethernet)"), 0) << GetInterfaceError();
  }
};

TEST_F(EveryKindChannels, EveryAnalogInputDecodesToWhatItMeasures) {
  std::set<int> kinds;
  for (int node : {1, 2, 3}) {
    const SimModuleId id = sim.findModule(0, node);
    ASSERT_GE(id, 0) << node;
    const ChanInfo info = channels(id, CHANINFO_ANALOG_IN);
    ASSERT_GT(info.channelCount, 0) << node;
    for (int c = 0; c < info.channelCount; ++c) {
      SCOPED_TRACE(testing::Message() << "node " << node << " channel " << c);
      ASSERT_NO_FATAL_FAILURE(expectInputReadsAsMeasured(id, info, c));
      kinds.insert(ChanInfo_ActiveCode(info, c) >> 8);
    }
  }
  EXPECT_EQ(kinds.size(), 20u);
}

}  // namespace
