// The population keywords of the simulator's service features: the running
// clock, serial numbers, the SMS table, the LIN master with its slaves and the
// memory contents. Their behaviour on the bus is driven end to end by the
// service pages' tests.
#include <gtest/gtest.h>

#include <vector>

#include "population/Population.h"

namespace {

TEST(ServicePopulation, KeysAndStatementsSurviveFormattingAndBadOnesAreRejected) {
  const std::string text =
      "module node=20 type=133\nlinslave node=5 type=51 fault=node delay=20\n"
      "module node=3 type=31 rtc=2030-02-03T04:05:06 serials=1/0x2 sms=2/0x10/15 memaccess=1\n"
      "smsentry 1 phone=\"12\" text=\"x\"\nmemory flash 0x400 pattern=64\nmemory eeprom 4 hex=A0B1\n";
  SimPopulation p, again;
  std::string error;
  ASSERT_TRUE(SimPopulation::parse(text, p, error)) << error;
  ASSERT_TRUE(SimPopulation::parse(p.format(), again, error)) << error;
  EXPECT_EQ(again.format(), p.format());
  EXPECT_NE(p.format().find("rtc=2030-02-03T04:05:06 serials=1/0x2 sms=2/0x10/15 memaccess=1"), std::string::npos);

  const struct {
    const char* text;
    const char* error;
  } bad[] = {
      {"module node=3 type=31 rtc=2024-13-01\n", "rtc must be"},
      {"module node=3 type=31\nlinslave node=4 type=51\n", "needs a LIN master"},
      {"module node=20 type=133\nlinslave node=4\n", "needs node= and type="},
      {"module node=3 type=31\nsmsentry 0 phone=\"1\"\n", "needs sms="},
      {"module node=3 type=31 sms=2/0/192\nsmsentry 2 text=\"x\"\n", "below the SMS count"},
      {"module node=3 type=31\nmemory eeprom 0 hex=ABC\n", "pairs of hexadecimal"},
      {"module node=3 type=31 serials=5\n", "serials must be"},
  };
  for (const auto& b : bad) {
    EXPECT_FALSE(SimPopulation::parse(b.text, p, error)) << b.text;
    EXPECT_NE(error.find(b.error), std::string::npos) << error;
  }
}

}  // namespace
