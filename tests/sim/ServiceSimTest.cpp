// The simulator's side of the service pages, driven with made-up time on a
// simulated bus: the running clock, serial numbers, the SMS table in EEPROM,
// the LIN master with its slaves, and their population keywords.
#include <gtest/gtest.h>

#include <vector>

#include "core/SimNetwork.h"
#include "module/SimModule.h"
#include "population/Population.h"
#include "protocol/WireConstants.h"

namespace {

constexpr uint32_t kBase = 0x680;

class ServiceBus : public ::testing::Test {
 protected:
  void load(const std::string& text) {
    SimPopulation p;
    std::string error;
    ASSERT_TRUE(SimPopulation::parse(text, p, error)) << error;
    net.setPopulation(p);
    net.setListener([this](int, const SimFrame& f, int64_t, FrameOrigin origin) {
      if (origin == FrameOrigin::Module) heard.push_back(f);
    });
  }
  std::vector<SimFrame> ask(int node, std::initializer_list<uint8_t> data) {
    heard.clear();
    net.hostTransmit(0, SimFrame(kBase + uint32_t(node), 0, data), now);
    net.advance(now);
    return heard;
  }
  // Value byte 4 of an object read.
  int readByte(int node, uint16_t index, uint8_t sub) {
    auto r = ask(node, {0xB4, uint8_t(index >> 8), uint8_t(index), sub});
    return r.size() == 1 ? r[0].data[4] : -1;
  }
  std::vector<int> clock(int node) {
    std::vector<int> out;
    for (uint8_t sub = 1; sub <= 6; ++sub) out.push_back(readByte(node, 0x3099, sub));
    return out;
  }
  void passMs(int64_t ms) {
    now += ms * 1000;
    net.advance(now);
  }
  SimModule& at(int node) { return *net.module(net.findModule(0, node)); }

  SimNetwork net;
  std::vector<SimFrame> heard;
  int64_t now = 0;
};

TEST_F(ServiceBus, ClockRunsAcrossTheYearAndRestartsFromWrittenFields) {
  load("module node=3 type=31 rtc=2024-12-31T23:59:50\n");
  EXPECT_EQ(clock(3), (std::vector<int>{50, 59, 23, 31, 12, 24}));
  passMs(15000);
  EXPECT_EQ(clock(3), (std::vector<int>{5, 0, 0, 1, 1, 25}));
  ask(3, {0x74, 0x30, 0x99, 5, 6});  // month 6
  EXPECT_EQ(clock(3), (std::vector<int>{5, 0, 0, 1, 6, 25}));
  ask(3, {0x74, 0x30, 0x99, 5, 13});  // no valid date: the clock stands
  passMs(3000);
  EXPECT_EQ(clock(3), (std::vector<int>{5, 0, 0, 1, 13, 25}));
}

TEST_F(ServiceBus, SerialCommandWritesUserOrAuthorisedManufacturerSerial) {
  load("module node=4 type=51 serials=7/9\n");
  ask(4, {0x09, 0, 0, 0, 0x01, 0x02, 0x03, 0x04});
  uint8_t auth[3];
  Wire::VornSerialAuthorisation(51, 4, auth);
  ask(4, {0x09, auth[0], auth[1], auth[2], 0, 0, 0x10, 0x00});
  ask(4, {0x09, uint8_t(auth[0] ^ 1), auth[1], auth[2], 0, 0, 0, 0x55});  // wrong authorisation
  EXPECT_EQ(at(4).objects().find(0x2098, 0)->value, 0x01020304u);
  EXPECT_EQ(at(4).objects().find(0x2097, 0)->value, 0x1000u);
  EXPECT_EQ(at(4).rejectedWrites(), 1);
}

TEST_F(ServiceBus, SmsTableAnswersItsLayoutAndItsEntriesInTheFirmware) {
  load("module node=5 type=31 cpu=2 sms=16/0x100/192\nsmsentry 1 phone=\"+49 1\" text=\"Gr\xC3\xBC\xC3\x9F" "e\"\n");
  auto count = ask(5, {0xB4, 0x30, 0x08, 8});
  ASSERT_EQ(count.size(), 1u);
  EXPECT_EQ(count[0].data[4], 16);
  EXPECT_EQ(count[0].data[7], 1);  // memory type EEPROM
  EXPECT_EQ(readByte(5, 0x3008, 10), 192);
  ask(5, {0x1B, 1, 0, 0, 0, 0, 0x01, 0xC0 + 4});  // entry 1, phone field
  auto r = ask(5, {0xA1});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(std::vector<int>(r[0].data + 1, r[0].data + 8), (std::vector<int>{'+', '4', '9', ' ', '1', 0, 0}));
  ask(5, {0x1B, 1, 0, 0, 0, 0, 0x01, 0xC0 + 30});
  r = ask(5, {0xA1});
  EXPECT_EQ(std::vector<int>(r[0].data + 1, r[0].data + 6), (std::vector<int>{'G', 'r', 0xFC, 0xDF, 'e'}));  // Latin-1
}

TEST_F(ServiceBus, LinMasterPassesSoundRequestsToItsSlaveAndHandsOutTheAnswerInFours) {
  load("module node=20 type=133\nlinslave node=5 type=0x1A3\nlinslave node=6 type=51 fault=short\n");
  ASSERT_EQ(ask(20, {0xB8, 0x30, 0x80, 0xC0, 5, 0x91, 0x80}).size(), 1u);  // not prepared yet
  EXPECT_EQ(ask(20, {0xB8, 0, 0x80, 0})[0].data[1], 0x00);                // nothing came
  ask(20, {0x37, 0, 0x1C, 0, 0, 3});
  ask(20, {0xB8, 0x30, 0x80, 0xC0, 5, 0x91, 0x80});
  std::vector<int> lin;
  for (int poll = 0; poll < 4; ++poll) {
    const SimFrame f = ask(20, {0xB8, 0, 0x80, 0})[0];
    for (int i = 0; i < f.data[1] >> 4; ++i) lin.push_back(f.data[4 + i]);
  }
  // node, checksum 15 - ((5 + 8 + 1 + 0xA3 + 1) mod 16) = 13 in the high nibble, data
  EXPECT_EQ(lin, (std::vector<int>{5, 0xD0, 0, 1, 0xA3, 0, 0x01, 0, 0, 0}));

  ask(20, {0xB8, 0x30, 0x80, 0xC0, 5, 0x81, 0x80});  // wrong request checksum: no LIN answer
  EXPECT_EQ(ask(20, {0xB8, 0, 0x80, 0})[0].data[1], 0x00);
  ask(20, {0xB8, 0x30, 0x80, 0xC0, 6, 0x81, 0x80});  // 15 - ((6 + 1 + 128) mod 16) = 8
  EXPECT_EQ(ask(20, {0xB8, 0, 0x80, 0})[0].data[1], 0x40);
  EXPECT_EQ(ask(20, {0xB8, 0, 0x80, 0})[0].data[1], 0x20);  // six bytes only
}

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
