// The population file: its statements, their defaults, the written form and
// the mistakes reported with their line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "population/Population.h"

namespace {

TEST(Population, DemoHasModulesAndChannelsOfEveryKindAndKeepsItsModules) {
  SimPopulation p = SimPopulation::demo();
  EXPECT_EQ(p.busBitRates, (std::vector<uint8_t>{4, 6}));
  bool lin = false, boot = false, big = false, fmt38 = false, legacy = false;
  bool group[4] = {}, program = false, changingInput = false, factoryPoints = false;
  for (const SimModuleConfig& m : p.modules) {
    lin |= m.type == 0x85;
    boot |= !(m.state & 0x80);
    big |= m.type > 255;
    fmt38 |= m.paramFormat == 38;
    legacy |= !m.extendedType;
    for (const SimObject& o : m.objects) {
      if (o.subindex != 0 || o.value == 0) continue;
      // Channel counts: analog in and out, digital in and out.
      const uint16_t counts[4] = {0x3000, 0x3001, 0x3004, 0x3005};
      for (int g = 0; g < 4; ++g) group[g] |= o.index == counts[g];
    }
    for (const SimIoSignal& s : m.io.ioSignals) {
      program |= s.program && (m.state & 0x0F) == 5;
      changingInput |= s.group == SimIoGroup::DigitalIn && s.periodMs > 0;
    }
    factoryPoints |= !m.io.calibration.empty();
  }
  EXPECT_TRUE(lin && boot && big && fmt38 && legacy);
  EXPECT_TRUE(group[0] && group[1] && group[2] && group[3]);
  EXPECT_TRUE(program && changingInput && factoryPoints);
  // The modules other tests rely on are where they were, and bus 0 holds no others.
  const struct {
    int bus, node;
    uint32_t type;
  } kept[] = {{0, 2, 16}, {0, 3, 32}, {0, 5, 48}, {0, 7, 17}, {0, 10, 272}, {0, 12, 99}, {0, 20, 133},
              {1, 2, 16}, {1, 4, 64}, {1, 9, 24}, {1, 33, 48}};
  for (const auto& k : kept) {
    bool found = false;
    for (const SimModuleConfig& m : p.modules) found |= m.bus == k.bus && m.node == k.node && m.type == k.type;
    EXPECT_TRUE(found) << k.bus << "/" << k.node;
  }
  EXPECT_EQ(std::count_if(p.modules.begin(), p.modules.end(), [](const SimModuleConfig& m) { return m.bus == 0; }), 7);
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
  // The demo, and the keys and statements of the service features.
  const std::string service =
      "module node=20 type=133\nlinslave node=5 type=51 fault=node delay=20\n"
      "module node=3 type=31 rtc=2030-02-03T04:05:06 serials=1/0x2 sms=2/0x10/15 memaccess=1\n"
      "smsentry 1 phone=\"12\" text=\"x\"\nmemory flash 0x400 pattern=64\nmemory eeprom 4 hex=A0B1\n";
  SimPopulation first;
  std::string error;
  ASSERT_TRUE(SimPopulation::parse(service, first, error)) << error;
  EXPECT_NE(first.format().find("rtc=2030-02-03T04:05:06 serials=1/0x2 sms=2/0x10/15 memaccess=1"), std::string::npos);
  for (const SimPopulation& p : {SimPopulation::demo(), first}) {
    SimPopulation again;
    ASSERT_TRUE(SimPopulation::parse(p.format(), again, error)) << error;
    EXPECT_EQ(again.format(), p.format());
    ASSERT_EQ(again.modules.size(), p.modules.size());
    for (size_t i = 0; i < p.modules.size(); ++i) {
      EXPECT_EQ(again.modules[i].node, p.modules[i].node);
      EXPECT_EQ(again.modules[i].objects.size(), p.modules[i].objects.size());
    }
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
      // channels, signals, calibration points and converters
      {"channels ai type=1 configs=0x0100 value=0x6401.1\n", "line 1: channels before any module"},
      {"module node=3 type=30\nchannels xx type=1\n", "line 2: expected: channels"},
      {"module node=3 type=30\nchannels ai type=1 value=0x6401.1\n", "line 2: channels need"},
      {"module node=3 type=30\nchannels ai type=1 configs=0x0100,zz value=0x6401.1\n", "line 2: configs must"},
      {"module node=3 type=30\nsignal ai 0 level=abc\n", "line 2: bad number"},
      {"module node=3 type=30\nsignal ai 0\nsignal ai 0\n", "line 3: signal given twice"},
      {"module node=3 type=30\ncalib 0 1.4 1 2 3\n", "line 2: expected: calib"},
      {"module node=3 type=30\ncalib 0 1.0 1 x 3 4\n", "line 2: bad point value"},
      {"module node=3 type=30\nsignal ao 0 noise=0.1\n", "line 2: noise= is for analog inputs only"},
      {"module node=3 type=30\nsamadc 0 inputs=1\n", "line 2: samadc needs a SAMC21 module"},
      {"module node=3 type=30 cpu=6\nsamadc 0 inputs=1\nsamadc 1 inputs=3\n", "line 3: an input belongs"},
      {"module node=3 type=30 cpu=6\nsamadc 0 pairs=1/2/3\n", "line 2: pairs must"},
      {"refsource\nrefsource bus=0\n", "line 2: only one reference source"},
      {"refsource bus=1\n", "line 1: bus 1 is not declared"},
      {"module node=3 type=30\nsignal di 0 level=1 from=metrahit\n", "line 2: from= wires analog inputs only"},
      {"module node=3 type=30\nsignal ai 0 from=\n", "line 2: from must name a source"},
      // the service features
      {"module node=3 type=31 rtc=2024-13-01\n", "line 1: rtc must be YYYY-MM-DD"},
      {"module node=3 type=31\nlinslave node=4 type=51\n", "line 2: linslave needs a LIN master (type 133)"},
      {"module node=20 type=133\nlinslave node=4\n", "line 2: a linslave needs node= and type="},
      {"module node=3 type=31\nsmsentry 0 phone=\"1\"\n", "line 2: smsentry needs sms= on the module line"},
      {"module node=3 type=31 sms=2/0/192\nsmsentry 2 text=\"x\"\n", "line 2: smsentry index must be below the SMS count"},
      {"module node=3 type=31\nmemory eeprom 0 hex=ABC\n", "line 2: hex= needs pairs of hexadecimal digits"},
      {"module node=3 type=31 serials=5\n", "line 1: serials must be <user>/<manufacturer>"},
  };
  for (const Case& c : cases) {
    SimPopulation p;
    std::string error;
    EXPECT_FALSE(SimPopulation::parse(c.text, p, error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave: " << error;
  }
}

}  // namespace
