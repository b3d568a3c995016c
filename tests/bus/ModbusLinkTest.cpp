// The Modbus serial link on a pseudo-terminal: the test holds the terminal's
// other end and plays the modules, byte by byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "bus/BusTestSupport.h"
#include "bus/Interface.h"
#include "bus/ModbusFrame.h"
#include "bus/ModbusLink.h"
#include "core/Options.h"
#include "platform/Clock.h"
#include "platform/Poll.h"
#include "protocol/VornProt.h"
#include "support/TestEnvironment.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A reply frame from a slave: address, function, n, data, CRC low, CRC high.
Bytes Reply(uint8_t address, Bytes data, uint8_t function = 0x68) {
  Bytes f = {address, function, uint8_t(data.size())};
  f.insert(f.end(), data.begin(), data.end());
  const uint16_t crc = Modbus_Crc16(f.data(), f.size());
  f.push_back(uint8_t(crc & 0xFF));
  f.push_back(uint8_t(crc >> 8));
  return f;
}

class ModbusLinkTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    char name[128] = {};
    ASSERT_EQ(::openpty(&module_, &port_, name, nullptr, nullptr), 0);
    ::fcntl(module_, F_SETFL, ::fcntl(module_, F_GETFL) | O_NONBLOCK);
    device = name;
    Option_SetString("MODBUS_COMPORTNAME", device.c_str());
    Clock_Install(&clock);
  }
  void TearDown() override {
    CloseInterface();
    if (module_ >= 0) ::close(module_);
    ::close(port_);
    ScriptedUiTest::TearDown();
  }

  ModbusLink& link() { return *static_cast<ModbusLink*>(Interface_Link(kInterfaceModbus)); }
  void open() {
    ApplyLinkSettings();
    ASSERT_EQ(OpenInterface("Modbus (Serial)"), 0) << GetInterfaceError();
  }
  // What the program wrote since the last call.
  Bytes written() {
    Bytes out;
    uint8_t b[256];
    while (Poll_WaitReadable(module_, out.empty() ? 500 : 5) > 0) {
      const ssize_t n = ::read(module_, b, sizeof b);
      if (n <= 0) break;
      out.insert(out.end(), b, b + n);
    }
    return out;
  }
  void answer(const Bytes& bytes) {
    ASSERT_EQ(::write(module_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    Poll_WaitReadable(port_, 100);
  }
  // Plays the module for one request in a thread of its own: waits for the
  // request, then writes the reply.
  std::thread answerNextRequest(Bytes reply) {
    return std::thread([this, reply] {
      if (Poll_WaitReadable(module_, 2000) <= 0) return;
      written();
      [[maybe_unused]] ssize_t n = ::write(module_, reply.data(), reply.size());
    });
  }
  void hangUp() {
    ::close(module_);
    module_ = -1;
  }
  termios portSettings() {
    termios t{};
    ::tcgetattr(port_, &t);
    return t;
  }

  ManualClock clock{1000};
  std::string device;

 private:
  int module_ = -1;
  int port_ = -1;
};

TEST_F(ModbusLinkTest, CrcAndRequestFrame) {
  const uint8_t three[] = {0x01, 0x68, 0x00};
  EXPECT_EQ(Modbus_Crc16(three, 3), 0xC00F);  // sent as 0F C0
  open();
  // Node 5, one byte 0x85: the tag 06 80 whatever the base, the CRC low byte first.
  ASSERT_EQ(SendCanMsg(Frame(0x685, {0x85})), 0);
  EXPECT_EQ(written(), (Bytes{0x05, 0x68, 0x06, 0x80, 0x01, 0x85, 0xA0, 0xD4}));
  // Another base identifier moves the addresses, not the tag.
  Option_SetInt("VORN_PROT_BASE_ID", 0x700);
  ASSERT_EQ(SendCanMsg(Frame(0x701, {0x04})), 0);
  const Bytes frame = written();
  ASSERT_EQ(frame.size(), 8u);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 6), (Bytes{0x01, 0x68, 0x06, 0x80, 0x01, 0x04}));
}

TEST_F(ModbusLinkTest, RepliesAreTakenOrDropped) {
  const Bytes good = Reply(7, {0x05, 0x85, 1, 2, 3, 4, 5, 6});
  Bytes swapped = good;
  std::swap(swapped[11], swapped[12]);
  Bytes garbage = good;
  garbage.insert(garbage.end(), {0x07, 0x68, 0x01});
  struct Case {
    const char* what;
    Bytes bytes;
    bool delivered;
  } cases[] = {
      {"good", good, true},
      {"CRC bytes swapped", swapped, false},
      {"wrong function", Reply(7, {0x05, 0x85, 1, 2, 3, 4, 5, 6}, 0x69), false},
      {"bytes after the frame", garbage, true},
  };
  open();
  for (const Case& c : cases) {
    answer(c.bytes);
    EXPECT_EQ(PollReceive(), 0) << c.what;
    CanMsg msg;
    EXPECT_EQ(FetchReply(0x687, 5, msg), c.delivered ? 1 : 0) << c.what;
    if (c.delivered) {
      EXPECT_EQ(msg.len, 8u) << c.what;
      EXPECT_EQ(msg.data[7], 6u) << c.what;
    }
    // Whatever came, nothing is left half-read and no wait remains.
    EXPECT_EQ(Interface_StoredFrames(7), 0) << c.what;
    EXPECT_EQ(link().replyDeadlineMs(), 0) << c.what;
    answer(good);
    PollReceive();
    EXPECT_EQ(FetchReply(0x687, 5, msg), 1) << c.what << ": the next good reply";
  }
}

TEST_F(ModbusLinkTest, ARepliesBytesAreAssembledAndEachExtendsTheWait) {
  open();
  const Bytes reply = Reply(9, {0x05, 0x85, 0, 0, 0, 0, 0, 0});
  for (size_t i = 0; i + 1 < reply.size(); ++i) {
    answer({reply[i]});
    EXPECT_EQ(PollReceive(), 0);
    EXPECT_EQ(link().replyDeadlineMs(), clock.nowMs() + 50) << "byte " << i;
    clock.advance(3);
  }
  CanMsg msg;
  EXPECT_EQ(FetchReply(0x689, 5, msg), 0);
  answer({reply.back()});
  PollReceive();
  EXPECT_EQ(FetchReply(0x689, 5, msg), 1);
  EXPECT_EQ(msg.time, uint32_t(clock.nowMs()));

  // Nine data bytes announced: held until all fourteen bytes are in, then dropped.
  const Bytes nine = Reply(9, {0x05, 0x85, 1, 2, 3, 4, 5, 6, 7});
  answer(Bytes(nine.begin(), nine.begin() + 13));
  PollReceive();
  EXPECT_NE(link().replyDeadlineMs(), 0);
  answer({nine.back()});
  PollReceive();
  EXPECT_EQ(link().replyDeadlineMs(), 0);
}

// The second of two frames goes out the gap after the first has left the line.
TEST_F(ModbusLinkTest, GapAfterEachFrameByBaudRate) {
  struct Case {
    long baud;
    int gap;
    int lineMs;  // 8 characters of 10 bits (8N1)
  } cases[] = {{1200, 29, 67}, {9600, 3, 9}, {19200, 2, 5}, {57600, 2, 2}};
  Option_SetString("MODBUS_PROTOCOL", "8N1");
  for (const Case& c : cases) {
    EXPECT_EQ(ModbusLink::GapMs(c.baud), c.gap);
    Option_SetLong("MODBUS_BAUDRATE", int32_t(c.baud));
    CloseInterface();
    open();
    const termios t = portSettings();
    const speed_t speed = c.baud == 1200 ? B1200 : c.baud == 9600 ? B9600 : c.baud == 19200 ? B19200 : B57600;
    EXPECT_EQ(cfgetospeed(&t), speed);
    const int64_t first = clock.nowMs() + 100;
    clock.advance(first - clock.nowMs());
    ASSERT_EQ(SendCanMsg(Frame(0x685, {0x04})), 0);  // no reply asked: no reply wait
    EXPECT_EQ(link().replyDeadlineMs(), 0);
    ASSERT_EQ(SendCanMsg(Frame(0x685, {0x04})), 0);
    EXPECT_EQ(clock.nowMs() - first, c.lineMs + c.gap) << c.baud;
    written();
  }
}

TEST_F(ModbusLinkTest, ARequestWaitsForItsReplyOrFiftyMilliseconds) {
  Option_SetString("MODBUS_PROTOCOL", "8N1");
  Option_SetLong("MODBUS_BAUDRATE", 19200);
  open();
  const int64_t start = clock.nowMs();
  ASSERT_EQ(SendCanMsg(Frame(0x685, {0x85})), 0);
  EXPECT_EQ(link().replyDeadlineMs(), start + 5 + 2 + 50);
  ASSERT_EQ(SendCanMsg(Frame(0x686, {0x85})), 0);  // nobody answered node 5
  EXPECT_EQ(clock.nowMs(), start + 57);

  // A reply ends the wait: the next request needs only the gap after it.
  written();
  answer(Reply(6, {0x05, 1, 2, 3, 4, 5, 6, 7}));
  clock.advance(10);
  PollReceive();
  const int64_t replied = clock.nowMs();
  ASSERT_EQ(SendCanMsg(Frame(0x687, {0x85})), 0);
  EXPECT_EQ(clock.nowMs(), replied + 2);
}

TEST_F(ModbusLinkTest, ProtocolTextAndLineSettings) {
  Option_SetString("MODBUS_PROTOCOL", "7o2");
  open();
  EXPECT_STREQ(Modbus_GetProtocol(), "7O2");
  // A pseudo-terminal keeps 8 data bits without parity whatever it is told;
  // what it keeps shows the settings arrived.
  termios t = portSettings();
  EXPECT_TRUE(t.c_cflag & PARODD);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_EQ(link().lineTimeMs(192), 110) << "11 bits a character at 19200 baud";
  Modbus_SetProtocol("8N");  // not three characters: ignored
  EXPECT_STREQ(Modbus_GetProtocol(), "7O2");
  Modbus_SetBaudrate(57600);
  Modbus_SetPortName("COM3");
  EXPECT_STREQ(GetInterfaceDescription(), "COM3  57600  7O2");
  EXPECT_EQ(GetCanBitrate(), 57600);

  ui.expectMessage("Modbus ASCII not yet implemented", UiAnswer::Ok);
  Modbus_SetMode(1);
  EXPECT_EQ(Modbus_GetMode(), 0);
}

TEST_F(ModbusLinkTest, FailureTexts) {
  struct Case {
    const char* port;
    long baud;
    const char* protocol;
    std::string text;
  } cases[] = {
      {"/dev/no-such-port", 19200, "8E1", "Cannot open Serial Port /dev/no-such-port\n(Windows error #2)"},
      {nullptr, 12345, "8E1", "Cannot set Serial Port parameters\n(Windows error #22)"},
      {nullptr, 0, "8E1", "Cannot set Serial Port parameters\n(Windows error #22)"},
      {nullptr, 19200, "9E1", "Cannot set Serial Port parameters\n(Windows error #22)"},
  };
  for (const Case& c : cases) {
    Option_SetString("MODBUS_COMPORTNAME", c.port ? c.port : device.c_str());
    Option_SetLong("MODBUS_BAUDRATE", int32_t(c.baud));
    Option_SetString("MODBUS_PROTOCOL", c.protocol);
    ApplyLinkSettings();
    EXPECT_EQ(OpenInterface("Modbus (Serial)"), -1);
    EXPECT_EQ(GetInterfaceError(), c.text);
    EXPECT_EQ(GetInterfaceType(), kInterfaceNone);
  }
  EXPECT_EQ(Modbus_Open(), 1);  // the link's own result for a failed open
}

TEST_F(ModbusLinkTest, ALineThatClosesFailsReadsAndWrites) {
  open();
  hangUp();
  EXPECT_EQ(PollReceive(), -1);
  EXPECT_STREQ(GetInterfaceError(), "Windows ReadFile() error #5");
  EXPECT_EQ(SendCanMsg(Frame(0x685, {0x04})), -1);
  EXPECT_EQ(GetInterfaceError(), "Modbus error:\nSendMessage on " + device + " failed\n(Windows error #5)");
}

// A module the program gave a node above 127 stays reachable over Modbus; on a
// CAN bus the identifiers above base + 127 are other traffic.
TEST_F(ModbusLinkTest, NodesAbove127AreReachedOverModbusOnly) {
  Clock_Install(nullptr);  // the module answers from another thread, in real time
  open();
  EXPECT_EQ(Interface_NodeCount(), 256);
  CanMsg msg;
  EXPECT_EQ(VornProt_SendMessage(msg, 200, 1, 0x04), 0);
  EXPECT_EQ(written()[0], 200);
  std::thread module = answerNextRequest(Reply(200, {0x19, 1, 38, 2, 200, 0, 2, 200}));
  const int answered = VornProt_RequestMessage(msg, 200, 1, 0x99);
  module.join();
  ASSERT_EQ(answered, 1) << GetInterfaceError();
  EXPECT_EQ(msg.id, 0x680u + 200);
  EXPECT_EQ(msg.data[7], 200u);

  CloseInterface();
  ScriptedLink* can = ScriptedLink::InstallAs(kInterfaceLin);
  ASSERT_EQ(OpenInterface("LIN Adapter"), 0);
  EXPECT_EQ(Interface_NodeCount(), 128);
  can->incoming.push_back(Frame(0x680 + 200, {0x19}));
  PollReceive();
  EXPECT_EQ(Interface_StoredFrames(200), 0);
  Option_SetInt("ERRORS_IN_STATUSBAR", 1);
  EXPECT_EQ(VornProt_SendMessage(msg, 200, 1, 0x04), -1);
  EXPECT_EQ(ui.statusText(), " *** Error: Internal error: Invalid node id 200 in VornProt_SendMessage()");
}

}  // namespace
