// The simulator's Modbus RTU line, seen from a plain client on its
// pseudo-terminal: modules answer as slaves, only when asked, and each fault
// spoils the reply the way it says.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "SimServer.h"
#include "modbus/ModbusLine.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes WithCrc(Bytes f) {
  const uint16_t crc = SimModbus_Crc16(f.data(), f.size());
  f.push_back(uint8_t(crc & 0xFF));
  f.push_back(uint8_t(crc >> 8));
  return f;
}

// Identify request (0x80) to a slave.
Bytes Identify(uint8_t address) { return WithCrc({address, 0x68, 0x06, 0x80, 0x01, 0x80}); }

class ModbusLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SimPopulation p;
    p.busBitRates = {4};
    p.modules.push_back(SimModuleConfig::make(0, 3, 16, 4));
    p.modules.push_back(SimModuleConfig::make(0, 9, 32, 4));
    sim.setPopulation(p);
    ASSERT_TRUE(sim.start()) << sim.lastError();
    const std::string device = sim.startModbus(0);
    ASSERT_FALSE(device.empty()) << sim.lastError();
    fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ::tcgetattr(fd, &t);
    cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
  }
  void TearDown() override {
    if (fd >= 0) ::close(fd);
    sim.stop();
  }

  // Sends a request; returns the reply pieces as they were read, until the
  // line stays quiet for quietMs.
  std::vector<Bytes> ask(const Bytes& request, int quietMs = 60) {
    EXPECT_EQ(::write(fd, request.data(), request.size()), ssize_t(request.size()));
    std::vector<Bytes> pieces;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, pieces.empty() ? 500 : quietMs) > 0) {
      uint8_t b[64];
      const ssize_t n = ::read(fd, b, sizeof b);
      if (n <= 0) break;
      pieces.emplace_back(b, b + n);
    }
    return pieces;
  }
  static Bytes joined(const std::vector<Bytes>& pieces) {
    Bytes all;
    for (const Bytes& p : pieces) all.insert(all.end(), p.begin(), p.end());
    return all;
  }

  SimServer sim;
  int fd = -1;
};

TEST_F(ModbusLineTest, TheAskedSlaveAnswersAndNoOtherDoes) {
  const Bytes reply = joined(ask(Identify(3)));
  ASSERT_EQ(reply.size(), 13u);
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 4), (Bytes{0x03, 0x68, 0x08, 0x00}));
  EXPECT_EQ(reply, WithCrc(Bytes(reply.begin(), reply.end() - 2)));
  EXPECT_TRUE(ask(Identify(4), 20).empty()) << "nobody at address 4";
  // A request with a bad CRC is not a request.
  Bytes bad = Identify(3);
  bad.back() ^= 1;
  EXPECT_TRUE(ask(bad, 20).empty());
  EXPECT_EQ(sim.modbusStats().badRequests, 1);
  EXPECT_EQ(sim.modbusRequests().size(), 2u);
}

TEST_F(ModbusLineTest, EachFaultSpoilsTheNextReply) {
  const Bytes good = joined(ask(Identify(9)));
  ASSERT_EQ(good.size(), 13u);
  sim.modbusFaultNext(SimModbusFault::SwappedCrc);
  Bytes swapped = good;
  std::swap(swapped[11], swapped[12]);
  EXPECT_EQ(joined(ask(Identify(9))), swapped);

  sim.modbusFaultNext(SimModbusFault::WrongFunction);
  Bytes wrong = joined(ask(Identify(9)));
  EXPECT_EQ(wrong[1], 0x69);
  EXPECT_EQ(wrong, WithCrc(Bytes(wrong.begin(), wrong.end() - 2)));

  sim.modbusFaultNext(SimModbusFault::NineBytes);
  const Bytes nine = joined(ask(Identify(9)));
  ASSERT_EQ(nine.size(), 14u);
  EXPECT_EQ(nine[2], 9);

  sim.modbusFaultNext(SimModbusFault::TrailingGarbage);
  const Bytes garbage = joined(ask(Identify(9)));
  ASSERT_EQ(garbage.size(), 16u);
  EXPECT_EQ(Bytes(garbage.begin(), garbage.begin() + 13), good);

  sim.modbusFaultNext(SimModbusFault::Silence);
  EXPECT_TRUE(ask(Identify(9), 20).empty());

  sim.setModbusSplitGapMs(5);
  sim.modbusFaultNext(SimModbusFault::SplitBytes);
  const std::vector<Bytes> pieces = ask(Identify(9));
  EXPECT_EQ(pieces.size(), 13u) << "one byte at a time";
  EXPECT_EQ(joined(pieces), good);
  EXPECT_EQ(sim.modbusStats().faulted, 6);
}

TEST_F(ModbusLineTest, LineTimingFollowsTheBaudRateTheClientSet) {
  termios t{};
  ::tcgetattr(fd, &t);
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  t.c_cflag |= PARENB;  // 8E1 on a real line; a pseudo-terminal keeps 8N1
  ::tcsetattr(fd, TCSANOW, &t);
  sim.setModbusLineTiming(true);
  const Bytes request = Identify(3);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(::write(fd, request.data(), request.size()), ssize_t(request.size()));
  pollfd p{fd, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 500), 1);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  uint8_t reply[32];
  ::usleep(2000);
  EXPECT_EQ(::read(fd, reply, sizeof reply), 13) << "the reply comes whole";
  // 8 request and 13 reply characters of 10 bits at 9600 baud and the silent
  // interval after the request: 25.5 ms before the reply is through.
  EXPECT_GE(ms.count(), 25);
}

}  // namespace
