// What closes the calibration loop in the simulator, driven with made-up
// time: the reference source on node 124 as an SDO server, inputs wired to
// one or several sources (population keyword from=), and noise. The converters' base calibration command is
// driven end to end by the SAM base calibration tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/SimNetwork.h"
#include "instruments/SimReferenceSource.h"
#include "module/IoBuilder.h"
#include "module/IoChannels.h"
#include "module/SamAdc.h"
#include "module/SimModule.h"
#include "population/Population.h"
#include "support/SimChannels.h"

namespace {

constexpr uint32_t kBase = 0x680;
constexpr int kNode = 3;

// A source whose output the test switches.
struct TestSource : SimAnalogSource {
  bool on = false;
  double value = 0;
  bool level(double& v) const override {
    v = value;
    return on;
  }
};

class SamClosedLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    SimPopulation p;
    p.refSource.present = true;
    net.setPopulation(p);
    net.setListener([this](int, const SimFrame& f, int64_t, FrameOrigin origin) {
      if (origin != FrameOrigin::Adapter) heard.push_back(f);
    });
  }
  // A SAMC21 module: two inputs 0..10 V (float) / -10..10 V, input 0 wired to `wire`.
  int addSam(const std::string& wire) {
    SimModuleConfig c = SimModuleConfig::make(0, kNode, 32);
    c.cpu = 6;
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100, 0x0103}, 2, 0x6401));
    SimIoSignal s;
    s.level = 5;
    s.from = wire;
    c.io.ioSignals.push_back(s);
    return net.addModule(c);
  }
  std::vector<SimFrame> send(uint32_t id, std::initializer_list<uint8_t> data) {
    heard.clear();
    net.inject(0, SimFrame(id, 0, data), now, FrameOrigin::Adapter);
    net.advance(now);
    return heard;
  }
  void source(int n) { send(0x67C, {0x2F, 0x00, 0x32, 0x00, uint8_t(0x80 + n), 0, 0, 0}); }
  double reported(int id, int channel) { return SimIo_ReportedInput(*net.module(id), channel, now); }

  SimNetwork net;
  std::vector<SimFrame> heard;
  int64_t now = 0;
};

TEST_F(SamClosedLoop, TheReferenceSourceAnswersLikeAnSdoServer) {
  const struct {
    std::vector<uint8_t> request;
    std::vector<uint8_t> answer;  // empty: none
    int output;
  } cases[] = {
      {{0x2F, 0x00, 0x32, 0x00, 0x82, 0, 0, 0}, {0x60, 0x00, 0x32, 0x00, 0, 0, 0, 0}, 2},
      {{0x40, 0x00, 0x32, 0x00, 0, 0, 0, 0}, {0x4F, 0x00, 0x32, 0x00, 0x82, 0, 0, 0}, 2},
      {{0x2F, 0x01, 0x32, 0x00, 0x81, 0, 0, 0}, {0x80, 0x01, 0x32, 0x00, 0x00, 0x00, 0x02, 0x06}, 2},
      {{0x2F, 0x00, 0x32, 0x01, 0x81, 0, 0, 0}, {0x80, 0x00, 0x32, 0x01, 0x11, 0x00, 0x09, 0x06}, 2},
      {{0x2F, 0x00, 0x32, 0x00, 0x84, 0, 0, 0}, {0x80, 0x00, 0x32, 0x00, 0x30, 0x00, 0x09, 0x06}, 2},
      {{0x23, 0x00, 0x32, 0x00, 0x81, 0, 0, 0}, {0x80, 0x00, 0x32, 0x00, 0x10, 0x00, 0x07, 0x06}, 2},
      {{0xE0, 0x00, 0x32, 0x00, 0, 0, 0, 0}, {0x80, 0x00, 0x32, 0x00, 0x01, 0x00, 0x04, 0x05}, 2},
      {{0x2F, 0x00, 0x32, 0x00, 0x83}, {}, 2},  // too short for an SDO request
      {{0x2F, 0x00, 0x32, 0x00, 0x81, 0, 0, 0}, {0x60, 0x00, 0x32, 0x00, 0, 0, 0, 0}, 1},
  };
  EXPECT_EQ(net.referenceSource()->output(), SimReferenceSource::NotConnected);
  for (const auto& c : cases) {
    SimFrame request;
    request.id = 0x67C;
    for (uint8_t b : c.request) request.data[request.len++] = b;
    heard.clear();
    net.inject(0, request, now, FrameOrigin::Adapter);
    net.advance(now);
    SCOPED_TRACE(int(c.request[0]));
    if (c.answer.empty()) {
      EXPECT_TRUE(heard.empty());
    } else {
      ASSERT_EQ(heard.size(), 1u);
      EXPECT_EQ(heard[0].id, 0x5FCu);
      EXPECT_EQ(std::vector<uint8_t>(heard[0].data, heard[0].data + heard[0].len), c.answer);
    }
    EXPECT_EQ(net.referenceSource()->output(), c.output);
  }
  EXPECT_TRUE(send(0x67D, {0x2F, 0x00, 0x32, 0x00, 0x83, 0, 0, 0}).empty()) << "another node's request";
}

TEST_F(SamClosedLoop, WiredSourcesDriveInTheirOrderAndOpenInputsReadZero) {
  auto meter = std::make_shared<TestSource>();
  net.setAnalogSource("meter", meter);
  const int id = addSam("refsource,meter");
  EXPECT_DOUBLE_EQ(reported(id, 0), 5.0) << "the source has never been told anything: own level";
  meter->on = true;
  meter->value = 7.25;
  EXPECT_DOUBLE_EQ(reported(id, 0), 7.25);
  source(1);
  EXPECT_DOUBLE_EQ(reported(id, 0), 1.0) << "the first source in the list that drives";
  source(3);
  EXPECT_DOUBLE_EQ(reported(id, 0), 7.25) << "high impedance drives nothing";
  meter->on = false;
  EXPECT_DOUBLE_EQ(reported(id, 0), 0.0) << "nothing drives: the source leaves the input open";
  net.setAnalogSource("meter", nullptr);
}

TEST(SimWiredInputs, MeasureTheSourceWhileItDrivesThem) {
  SimPopulation p;
  std::string error;
  ASSERT_TRUE(SimPopulation::parse("module node=3 type=30\n"
                                   "channels ai type=1 configs=0x0100 count=2 value=0x6401.1\n"
                                   "signal ai 0 level=2.5 swing=1 period=1000 gain=0.01 from=MetraHit\n"
                                   "signal ai 1 level=4\n",
                                   p, error))
      << error;
  EXPECT_NE(p.format().find("gain=0.01 from=metrahit\n"), std::string::npos) << p.format();
  SimNetwork net;
  net.setPopulation(p);
  const SimModule& m = *net.module(net.moduleIds().front());
  const int64_t quarter = 250000;  // the swing's top
  EXPECT_DOUBLE_EQ(SimIo_MeasuredInput(m, 0, quarter), 3.5 * 1.01);  // nothing connected

  auto source = std::make_shared<TestSource>();
  net.setAnalogSource("metrahit", source);
  EXPECT_DOUBLE_EQ(SimIo_MeasuredInput(m, 0, quarter), 3.5 * 1.01);  // connected, output off
  source->on = true;
  source->value = 7.0;
  EXPECT_DOUBLE_EQ(SimIo_MeasuredInput(m, 0, quarter), 7.0 * 1.01);  // no swing, the gain error stays
  EXPECT_DOUBLE_EQ(SimIo_MeasuredInput(m, 1, quarter), 4.0);          // not wired
  net.setAnalogSource("metrahit", nullptr);
  EXPECT_DOUBLE_EQ(SimIo_MeasuredInput(m, 0, quarter), 3.5 * 1.01);
}

TEST_F(SamClosedLoop, NoiseIsSmallAndRepeatsItself) {
  SimNetwork other;
  other.setPopulation(SimPopulation{});
  std::vector<double> values[2];
  for (SimNetwork* n : {&net, &other}) {
    SimModuleConfig c = SimModuleConfig::make(0, kNode, 30);
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100}, 1, 0x6401));
    SimIoSignal s;
    s.level = 5;
    s.noise = 0.001;  // 10 mV of 10 V
    c.io.ioSignals.push_back(s);
    const int id = n->addModule(c);
    for (int64_t t = 0; t < 1'000'000; t += 5'000)
      values[n == &other].push_back(SimIo_ReportedInput(*n->module(id), 0, t));
  }
  EXPECT_EQ(values[0], values[1]) << "the same population gives the same noise";
  const auto [low, high] = std::minmax_element(values[0].begin(), values[0].end());
  EXPECT_GE(*low, 4.99);
  EXPECT_LE(*high, 5.01);
  EXPECT_GT(*high - *low, 0.01) << "it does move";
  EXPECT_EQ(values[0][0], values[0][1]) << "one value per 10 ms";
}

}  // namespace
