// The simulated thermometer's readings beyond what the driver tests see.
#include <gtest/gtest.h>

#include <string>

#include "instruments/SimThermometer.h"

namespace {

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
