// The simulated modules' I/O: the channel builder, inputs without a signal, the
// calibration point command, and the population statements that describe
// them. Driven with made-up time; the digital channels are driven end to end by
// the I/O tests.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/SimNetwork.h"
#include "module/IoBuilder.h"
#include "module/IoChannels.h"
#include "module/SimChanCodes.h"
#include "module/SimModule.h"
#include "population/Population.h"
#include "support/SimChannels.h"

namespace {

constexpr uint32_t kBase = 0x680;

class SimIo : public ::testing::Test {
 protected:
  void SetUp() override {
    net.setPopulation(SimPopulation{});
    net.setListener([this](int, const SimFrame& f, int64_t, FrameOrigin origin) {
      if (origin == FrameOrigin::Module) heard.push_back(f);
    });
  }
  int add(const SimModuleConfig& c) { return net.addModule(c); }
  std::vector<SimFrame> ask(int node, std::initializer_list<uint8_t> data) {
    heard.clear();
    net.hostTransmit(0, SimFrame(kBase + uint32_t(node), 0, data), now);
    net.advance(now);
    return heard;
  }
  // The four value bytes of an object read, or ~0 when nothing answered.
  uint32_t readObject(int node, uint16_t index, uint8_t sub) {
    auto r = ask(node, {0xB4, uint8_t(index >> 8), uint8_t(index), sub});
    if (r.size() != 1) return ~0u;
    const uint8_t* d = r[0].data;
    return uint32_t(d[4]) | uint32_t(d[5]) << 8 | uint32_t(d[6]) << 16 | uint32_t(d[7]) << 24;
  }
  SimModule& mod(int id) { return *net.module(id); }

  SimNetwork net;
  std::vector<SimFrame> heard;
  int64_t now = 0;
};

TEST_F(SimIo, BuilderRefusesGroupsThatDoNotFit) {
  // (The descriptors themselves are read end to end by the channel information tests.)
  SimModuleConfig c = SimModuleConfig::make(0, 3, 30);
  ASSERT_TRUE(SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100, 0x0104}, 2, 0x6401, 1)));
  const size_t objects = c.objects.size();
  std::string why;
  EXPECT_FALSE(SimIo_AddChannels(c, Group(SimIoGroup::DigitalIn, 300, {0x1E00}, 1, 0x6000), &why));
  EXPECT_FALSE(SimIo_AddChannels(c, Group(SimIoGroup::DigitalIn, 0x1E, {0x1E00}, 256, 0x6000), &why));
  // Another group of type 1 must list the same configurations.
  EXPECT_FALSE(SimIo_AddChannels(c, Group(SimIoGroup::AnalogOut, 1, {0x010C}, 1, 0x6411), &why));
  EXPECT_EQ(why, "the type entry lists other configurations");
  EXPECT_EQ(c.objects.size(), objects);
  EXPECT_TRUE(SimIo_AddChannels(c, Group(SimIoGroup::AnalogOut, 1, {0x0100, 0x0104}, 1, 0x6411)));
  const int id = add(c);
  SimChannelInfo ch;
  ASSERT_TRUE(SimIo_Channel(mod(id), SimIoGroup::AnalogIn, 1, ch));
  EXPECT_EQ(ch.code, 0x0104);
  EXPECT_FALSE(SimIo_Channel(mod(id), SimIoGroup::AnalogIn, 2, ch));
}

TEST_F(SimIo, AnInputWithoutSignalKeepsItsObjectValueAndTakesOneSetFromOutside) {
  SimModuleConfig cfg = SimModuleConfig::make(0, 3, 30);
  SimChannelGroup g = Group(SimIoGroup::AnalogIn, 1, {0x0103}, 1, 0x6401);
  g.initialValue = Bits(-1.25f);
  SimIo_AddChannels(cfg, g);
  const int id = add(cfg);
  EXPECT_EQ(readObject(3, 0x6401, 1), Bits(-1.25f));
  SimIo_SetPoints(mod(id), 0, 1, 3, [] {
    SimCalibPoints p;
    p.values[0] = Bits(0);
    p.values[1] = Bits(0.25f);
    return p;
  }());
  EXPECT_EQ(readObject(3, 0x6401, 1), Bits(-1.0f));
  EXPECT_EQ(readObject(3, 0x6401, 1), Bits(-1.0f));  // corrected once, not again on every read
  mod(id).objects().find(0x6401, 1)->value = Bits(3.0f);
  EXPECT_EQ(readObject(3, 0x6401, 1), Bits(3.25f));
}

TEST_F(SimIo, TheBootloaderAnswersNoCalibrationRequest) {
  SimModuleConfig cfg = SimModuleConfig::make(0, 6, 30);
  cfg.state = 0x01;
  SimIo_AddChannels(cfg, Group(SimIoGroup::AnalogIn, 1, {0x0100}, 1, 0x6401));
  add(cfg);
  EXPECT_TRUE(ask(6, {0xB6, 0x00, 0x01, 0x00}).empty());
}

TEST(SimIoPopulation, StatementsBuildChannelsAndRoundTrip) {
  const char* text =
      "refsource bus=0 low=0.5 high=9.5\n"
      "module node=3 type=30 cpu=6\n"
      "channels ai type=1 configs=0x0100,0x0104 count=2 value=0x6401.1 config=1 aligned=1\n"
      "channels ao type=2 configs=0x0202 count=1 value=0x6411.1 initial=2048\n"
      "channels do type=0x1F configs=0x1E07 count=1 value=0x6200.1 noalign\n"
      "signal ai 1 level=2.5 swing=0.25 period=4000 offset=0.001 gain=-0.002 noise=0.0002 from=refsource,ao:0:4:0\n"
      "signal do 0 program period=250\n"
      "calib 0 1.4 100 -2 - -\n"
      "calib 129 31.0 1.5 0.25 3 0.5\n"
      "samadc 1 inputs=0x2 mode=current ref=2/18 offset=-3 gain=0.01 status=7 pairs=400/410/3700/3686 clip=2\n";
  SimPopulation p;
  std::string error;
  ASSERT_TRUE(SimPopulation::parse(text, p, error)) << error;
  const SimModuleConfig& m = p.modules.at(0);
  ASSERT_EQ(m.io.ioSignals.size(), 2u);
  EXPECT_EQ(m.io.ioSignals[0].swing, 0.25);
  EXPECT_TRUE(m.io.ioSignals[1].program);
  ASSERT_EQ(m.io.calibration.size(), 2u);
  EXPECT_EQ(m.io.calibration.at(SimCalibKey(0, 1, 4)).values[2], 0xFFFFFFFFu);
  EXPECT_EQ(m.io.calibration.at(SimCalibKey(129, 31, 0)).values[3], Bits(0.5f));
  ASSERT_EQ(m.io.samAdcs.size(), 1u);
  EXPECT_TRUE(m.io.samAdcs[0].current);
  EXPECT_EQ(m.io.samAdcs[0].highWanted, 3686);
  EXPECT_EQ(p.refSource.node, 124);
  EXPECT_EQ(p.refSource.low, 0.5);

  SimPopulation again;
  ASSERT_TRUE(SimPopulation::parse(p.format(), again, error)) << error << "\n" << p.format();
  EXPECT_EQ(again.format(), p.format());
  EXPECT_EQ(again.modules[0].objects.size(), m.objects.size());
  EXPECT_EQ(again.modules[0].io.calibration, m.io.calibration);
}

TEST(SimChanCodes, TheSimulatorsTableCoversEveryKind) {
  SimCodeInfo info;
  for (uint16_t code : {0x0100, 0x0113, 0x020E, 0x0305, 0x0405, 0x0506, 0x0608, 0x0701, 0x0802, 0x0907, 0x0A02,
                        0x0B03, 0x0C02, 0x0D05, 0x0E00, 0x0F00, 0x1005, 0x1103, 0x1202, 0x1301, 0x1400, 0x1E0F}) {
    EXPECT_TRUE(SimChanCode_Find(code, info)) << std::hex << code;
  }
  for (uint16_t code : {0x0114, 0x020F, 0x0000, 0x1500, 0x1E10, 0xFFFF}) {
    EXPECT_FALSE(SimChanCode_Find(code, info)) << std::hex << code;
  }
  ASSERT_TRUE(SimChanCode_Find(0x1E03, info));
  EXPECT_EQ(info.rawMax, 15);
  EXPECT_EQ(info.shift, 4);
}

}  // namespace

// The population file with channels of every kind: it loads, and its analog
// inputs cover every measurement kind (1..20), with digital channels of
// kind 30 and analog outputs beside them.
TEST(SimIoPopulation, EveryKindFileCoversEveryKind) {
  SimPopulation p;
  std::string error;
  // The file sits in the source tree, two folders above this one.
  std::string path = __FILE__;
  path = path.substr(0, path.rfind("tests/sim/")) + "sim/population/io-every-kind.txt";
  ASSERT_TRUE(SimPopulation::load(path, p, error)) << error;
  std::set<int> kinds;
  bool outputs = false, digital = false;
  for (const SimModuleConfig& m : p.modules) {
    for (const SimObject& o : m.objects) {
      // Configuration codes live in the type entries 0x3100 + t.
      if (o.index > 0x3100 && o.index < 0x3200 && o.subindex > 0) kinds.insert(int(o.value >> 8) & 0xFF);
      if (o.index == 0x3001 && o.subindex == 0 && o.value > 0) outputs = true;
      if (o.index == 0x3004 && o.subindex == 0 && o.value > 0) digital = true;
    }
  }
  for (int kind = 1; kind <= 20; ++kind) EXPECT_TRUE(kinds.count(kind)) << kind;
  EXPECT_TRUE(kinds.count(30));
  EXPECT_TRUE(outputs && digital);
}
