// Ping: the echo request's bytes and counters, every result text through a
// socket that answers as told, and a real ping of the loopback address.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bus/Ping.h"
#include "platform/Clock.h"
#include "platform/IcmpSocket.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A socket that never reaches the network: it records what is sent and
// answers the wait and the receive as told.
struct SeamSocket : PingSocket {
  struct Script {
    bool opens = true;
    int wait = 1;     // 1 answer, 0 time-out, -1 the wait fails
    int receive = 8;  // bytes received, -1 failure
    std::vector<Bytes> sent;
    std::vector<uint32_t> to;
    int waitedMs = 0;
  };
  explicit SeamSocket(Script& s) : script(s) {}
  bool open() override { return script.opens; }
  bool send(uint32_t address, const uint8_t* bytes, size_t count) override {
    script.sent.emplace_back(bytes, bytes + count);
    script.to.push_back(address);
    return true;
  }
  int waitReadable(int timeoutMs) override {
    script.waitedMs = timeoutMs;
    return script.wait;
  }
  int receive(uint8_t*, size_t) override { return script.receive; }
  void close() override {}
  int lastErrno() const override { return 0; }
  Script& script;
};

class PingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ping_SetSocketFactory([this] { return std::make_unique<SeamSocket>(script); });
  }
  SeamSocket::Script script;
};

TEST_F(PingTest, ResultTexts) {
  struct Case {
    const char* host;
    bool opens;
    int wait;
    int receive;
    int result;
    const char* text;
  } cases[] = {
      {"127.0.0.1", true, 1, 8, 1, "'127.0.0.1'"},
      {"localhost", true, 1, 8, 1, "'localhost' (127.0.0.1)"},
      {"127.0.0.1", true, 0, 8, 0, "Timeout, cannot reach '127.0.0.1'"},
      {"localhost", true, 1, -1, 0, "No response from 'localhost' (127.0.0.1)"},
      {"127.0.0.1", true, -1, 8, 0, "select()"},
      {"no-such-host.invalid", true, 1, 8, 0, "Host not found (can't resolve 'no-such-host.invalid')"},
      {"127.0.0.1", false, 1, 8, 0, "Can't create ICMP socket"},
  };
  for (const Case& c : cases) {
    script.opens = c.opens;
    script.wait = c.wait;
    script.receive = c.receive;
    EXPECT_EQ(Ping_Host(c.host, 1), c.result) << c.text;
    EXPECT_STREQ(Ping_ResultText(), c.text);
  }
  EXPECT_EQ(script.waitedMs, 5000);
}

TEST_F(PingTest, RequestBytesAndCounters) {
  ManualClock clock(0x01020304);
  Clock_Install(&clock);
  ASSERT_EQ(Ping_Host("127.0.0.1", 2), 1);
  ASSERT_EQ(Ping_Host("127.0.0.1", 1), 1);
  ASSERT_EQ(script.sent.size(), 3u);
  EXPECT_EQ(script.to[0], 0x0100007Fu);  // 127.0.0.1 in network order
  for (size_t i = 0; i < script.sent.size(); ++i) {
    const Bytes& r = script.sent[i];
    ASSERT_EQ(r.size(), 45u);
    EXPECT_EQ(r[0], 8);
    EXPECT_EQ(r[1], 0);
    const uint8_t counter = uint8_t(i + 1);
    EXPECT_EQ(Bytes(r.begin() + 4, r.begin() + 13),
              (Bytes{counter, 0, counter, 0, 0, 0x04, 0x03, 0x02, 0x01}));
    for (int k = 0; k < 32; ++k) EXPECT_EQ(r[13 + k], 0x20 + k);
    // The checksum makes the one's complement sum of all words (the odd last
    // byte padded with zero) come to 0xFFFF.
    uint32_t sum = 0;
    for (size_t k = 0; k < 44; k += 2) sum += uint32_t(r[k]) | uint32_t(r[k + 1]) << 8;
    sum += r[44];
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    EXPECT_EQ(sum, 0xFFFFu) << "request " << i;
  }
}

// The real thing, to the loopback address only.
TEST(PingLoopback, TheLoopbackAddressAnswers) {
  IcmpSocket probe;
  if (!probe.open()) GTEST_SKIP() << "this system allows no ICMP socket to this user";
  probe.close();
  EXPECT_EQ(Ping_Host("127.0.0.1", 2), 1) << Ping_ResultText();
  EXPECT_STREQ(Ping_ResultText(), "'127.0.0.1'");
}

}  // namespace
