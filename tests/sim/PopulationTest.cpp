#include <gtest/gtest.h>

#include <cstring>

#include "population/Population.h"

namespace {

TEST(Population, DemoHasTwoBusesAndModulesOfManyKinds) {
  SimPopulation p = SimPopulation::demo();
  EXPECT_EQ(p.busBitRates, (std::vector<uint8_t>{4, 6}));
  EXPECT_GE(p.modules.size(), 10u);
  bool lin = false, boot = false, big = false, fmt38 = false, legacy = false, bus1 = false;
  for (const SimModuleConfig& m : p.modules) {
    lin |= m.type == 0x85;
    boot |= !(m.state & 0x80);
    big |= m.type > 255;
    fmt38 |= m.paramFormat == 38;
    legacy |= !m.extendedType;
    bus1 |= m.bus == 1;
  }
  EXPECT_TRUE(lin && boot && big && fmt38 && legacy && bus1);
}

TEST(Population, ModuleLineWithDefaultsFollowsItsBus) {
  SimPopulation p;
  std::string error;
  ASSERT_TRUE(SimPopulation::parse("module bus=1 node=7 type=0x20\nbus 1 500k\n", p, error)) << error;
  ASSERT_EQ(p.busBitRates, (std::vector<uint8_t>{4, 6}));  // bus 0 not named: 125k
  const SimModuleConfig& m = p.modules.at(0);
  EXPECT_EQ(m.type, 0x20u);
  EXPECT_EQ(m.state, 0x85);
  EXPECT_TRUE(m.hasDipSwitches);
  EXPECT_EQ(m.dipNodeSwitches, 7);
  EXPECT_EQ(m.dipBaudSwitches, 6);
  EXPECT_EQ(m.eepromNode, 7);
  EXPECT_EQ(m.eepromBaud, 6);
  EXPECT_FALSE(m.useDip);
}

TEST(Population, EveryModuleKeyAndObjectsAreRead) {
  const char* text =
      "base 0x600  # another base\n"
      "plc 3\n"
      "bus 0 code=7\n"
      "bus 0 rate=7\n";
  SimPopulation p;
  std::string error;
  EXPECT_FALSE(SimPopulation::parse(text, p, error));
  EXPECT_EQ(error, "line 3: bad bit rate 'code=7'");

  text =
      "base 0x600\n"
      "plc 3\n"
      "bus 0 1000k\n"
      "module node=9 type=300 hw=4 state=0x01 boot=2.3 fw=none cpu=6 format=38 dip=none eeprom=none "
      "shipped=2021-03-04T10:20:30 programmed=2020-01-02 button=1 delay=1.5 legacyid name=\"a # b\"\n"
      "object 0x2000.1 int16 rw -2\n"
      "object 0x2000.2 real32 ro 2.5 status=0x06\n"
      "object 0x2000.3 string ro \"AB\"\n";
  ASSERT_TRUE(SimPopulation::parse(text, p, error)) << error;
  EXPECT_EQ(p.baseId, 0x600u);
  EXPECT_EQ(p.plcRunState, 3);
  const SimModuleConfig& m = p.modules.at(0);
  EXPECT_EQ(m.hwVersion, 4);
  EXPECT_EQ(m.state, 0x01);
  EXPECT_EQ(m.bootMinor, 3);
  EXPECT_FALSE(m.firmwarePresent);
  EXPECT_EQ(m.fwMajor, 255);
  EXPECT_FALSE(m.hasDipSwitches);
  EXPECT_EQ(m.eepromNode, 255);
  EXPECT_EQ(m.shippingDate, SimDate::make(2021, 3, 4, 10, 20, 30));
  EXPECT_EQ(m.programmingDate, SimDate::make(2020, 1, 2));
  EXPECT_TRUE(m.serviceButton);
  EXPECT_EQ(m.responseDelayUs, 1500);
  EXPECT_FALSE(m.extendedType);
  EXPECT_EQ(m.label, "a # b");
  ASSERT_EQ(m.objects.size(), 3u);
  EXPECT_EQ(m.objects[0].value, 0xFFFEu);  // masked to the type's 16 bits
  EXPECT_TRUE(m.objects[0].writable);
  float f = 0;
  std::memcpy(&f, &m.objects[1].value, 4);
  EXPECT_EQ(f, 2.5f);
  EXPECT_EQ(m.objects[1].statusBits, 0x06);
  EXPECT_EQ(m.objects[2].value, 0x4241u);
}

TEST(Population, FormatReadsBackToTheSamePopulation) {
  SimPopulation demo = SimPopulation::demo();
  SimPopulation again;
  std::string error;
  ASSERT_TRUE(SimPopulation::parse(demo.format(), again, error)) << error;
  EXPECT_EQ(again.format(), demo.format());
  ASSERT_EQ(again.modules.size(), demo.modules.size());
  for (size_t i = 0; i < demo.modules.size(); ++i) {
    EXPECT_EQ(again.modules[i].node, demo.modules[i].node);
    EXPECT_EQ(again.modules[i].objects.size(), demo.modules[i].objects.size());
  }
}

TEST(Population, MistakesAreReportedWithTheirLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"bus 8 125k\n", "line 1: bus index must be 0..7"},
      {"bus 0 125k\nbus 0 250k\n", "line 2: bus 0 given twice"},
      {"\nmodule node=0 type=1\n", "line 2: node must be 1..127"},
      {"module node=5\n", "line 1: a module needs node= and type="},
      {"module node=5 type=1 bus=1\n", "line 1: bus 1 is not declared"},
      {"module node=5 type=1\nmodule node=5 type=2\n", "line 2: two modules on bus 0 node 5"},
      {"module node=5 type=1 colour=red\n", "line 1: unknown module key 'colour'"},
      {"module node=5 type=1 fw=2\n", "line 1: fw must be <major>.<minor> or none"},
      {"object 0x2000.1 uint8 1\n", "line 1: object before any module"},
      {"module node=5 type=1\nobject 0x2000 uint8 1\n", "line 2: bad object address '0x2000'"},
      {"module node=5 type=1\nobject 0x2000.1 uint8 rw\n", "line 2: object without a value"},
      {"module node=5 type=1\nobject 0x2000.1 uint8\n", "line 2: expected: object <index>.<sub> <type> [rw|ro] <value> [status=<bits>]"},
      {"module node=5 type=1 name=\"open\n", "line 1: unterminated quotation"},
      {"modul node=5\n", "line 1: unknown statement 'modul'"},
      {"module node=5 type=1 format=38 source=dip\n", "line 1: source=dip needs DIP switches"},
  };
  for (const Case& c : cases) {
    SimPopulation p;
    std::string error;
    EXPECT_FALSE(SimPopulation::parse(c.text, p, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(Population, MissingFileIsReported) {
  SimPopulation p;
  std::string error;
  EXPECT_FALSE(SimPopulation::load("/nonexistent/kvxsim.pop", p, error));
  EXPECT_EQ(error, "cannot read '/nonexistent/kvxsim.pop'");
}

}  // namespace
