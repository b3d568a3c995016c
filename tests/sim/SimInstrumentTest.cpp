// The simulated instruments beyond what the driver tests see: a calibrator's
// output wired to module inputs (population keyword from=) and the
// thermometer's readings.
#include <gtest/gtest.h>

#include <string>

#include "core/SimNetwork.h"
#include "instruments/SimThermometer.h"
#include "module/AnalogSource.h"
#include "module/IoChannels.h"
#include "module/SimModule.h"
#include "population/Population.h"

namespace {

class FakeSource : public SimAnalogSource {
 public:
  bool level(double& value) const override {
    value = value_;
    return on_;
  }
  bool on_ = false;
  double value_ = 0;
};

TEST(SimInstruments, WiredInputsMeasureTheSourceWhileItDrivesThem) {
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

  auto source = std::make_shared<FakeSource>();
  net.setAnalogSource("metrahit", source);
  EXPECT_DOUBLE_EQ(SimIo_MeasuredInput(m, 0, quarter), 3.5 * 1.01);  // connected, output off
  source->on_ = true;
  source->value_ = 7.0;
  EXPECT_DOUBLE_EQ(SimIo_MeasuredInput(m, 0, quarter), 7.0 * 1.01);  // no swing, the gain error stays
  EXPECT_DOUBLE_EQ(SimIo_MeasuredInput(m, 1, quarter), 4.0);          // not wired
  net.setAnalogSource("metrahit", nullptr);
  EXPECT_DOUBLE_EQ(SimIo_MeasuredInput(m, 0, quarter), 3.5 * 1.01);
}

TEST(SimInstruments, ThermometerReadingsHaveNineCharacters) {
  const struct {
    int probe;
    double celsius;
    const char* text;
  } cases[] = {
      {1, 23.5, "B+023.50C"}, {2, -5.25, "C-005.25C"}, {1, -100.25, "B-100.25C"},
      {1, 1234.5, "B+1234.5C"}, {2, 12345.6, "C+012346C"}, {1, 0.0, "B+000.00C"},
  };
  for (const auto& c : cases) EXPECT_EQ(SimThermometer_Reading(c.probe, c.celsius), c.text) << c.celsius;
}

}  // namespace
