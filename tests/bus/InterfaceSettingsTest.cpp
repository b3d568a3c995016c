// The interface settings pages' rules: what they show from the options and
// links, what they store, and the Ping button's reports.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "bus/InterfaceSettings.h"
#include "bus/ModbusLink.h"
#include "bus/Ping.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "platform/IcmpSocket.h"
#include "support/TestEnvironment.h"

namespace {

const std::vector<std::string> kPorts = {"COM1", "COM2", "/dev/ttyUSB0"};

class InterfaceSettingsTest : public ScriptedUiTest {};

TEST_F(InterfaceSettingsTest, ModbusPageShowsTheStoredSettings) {
  struct Case {
    const char* port;
    int32_t baud;
    const char* protocol;
    int mode;
    int portIndex;
    std::string portText;
    int baudIndex, protocolIndex, modeIndex;
  } cases[] = {
      {"com2", 19200, "8e1", 0, 1, "COM2", 2, 1, 0},
      {"COM9", 38400, "7O2", 1, 0, "COM1", 0, 0, 1},  // unknown values: the first entries
      {"/dev/pts/7", 57600, "8O1", 5, -1, "/dev/pts/7", 3, 2, 1},  // a typed path stays
  };
  for (const Case& c : cases) {
    Option_SetString("MODBUS_COMPORTNAME", c.port);
    Option_SetLong("MODBUS_BAUDRATE", c.baud);
    Option_SetString("MODBUS_PROTOCOL", c.protocol);
    Option_SetInt("MODBUS_MODE", c.mode);
    const ModbusPageView v = ModbusPage_Show(kPorts);
    EXPECT_EQ(v.portIndex, c.portIndex) << c.port;
    EXPECT_EQ(v.portText, c.portText) << c.port;
    EXPECT_EQ(v.baudIndex, c.baudIndex) << c.baud;
    EXPECT_EQ(v.protocolIndex, c.protocolIndex) << c.protocol;
    EXPECT_EQ(v.modeIndex, c.modeIndex) << c.mode;
  }
  const ModbusPageView v = ModbusPage_Show(kPorts);
  EXPECT_EQ(v.bauds, (std::vector<std::string>{"1200", "9600", "19200", "57600"}));
  EXPECT_EQ(v.protocols, (std::vector<std::string>{"8-N-1", "8-E-1", "8-O-1"}));
  EXPECT_EQ(v.modes, (std::vector<std::string>{"RTU", "ASCII"}));
}

TEST_F(InterfaceSettingsTest, ModbusPageStoresOptionsAndHandsThemToTheLink) {
  struct Case {
    ModbusPageInput in;
    const char* port;
    int32_t baud;
    const char* protocol;
  } cases[] = {
      {{"COM2", 3, 2, 0}, "COM2", 57600, "8O1"},
      {{" /dev/pts/3 ", 1, 0, 0}, "/dev/pts/3", 9600, "8N1"},
      {{"", -1, 9, -1}, "COM1", 1200, "8N1"},  // nothing valid: the first entries
  };
  for (const Case& c : cases) {
    ModbusPage_Store(c.in, kPorts);
    EXPECT_STREQ(Option_GetString("MODBUS_COMPORTNAME"), c.port);
    EXPECT_EQ(Option_GetLong("MODBUS_BAUDRATE"), c.baud);
    EXPECT_STREQ(Option_GetString("MODBUS_PROTOCOL"), c.protocol);
    EXPECT_EQ(Option_GetInt("MODBUS_MODE"), 0);
    EXPECT_STREQ(Modbus_GetPortName(), c.port);
    EXPECT_EQ(Modbus_GetBaudrate(), c.baud);
    EXPECT_STREQ(Modbus_GetProtocol(), c.protocol);
  }
  // A stored 38400 shows as 1200 and is written back as 1200.
  Option_SetLong("MODBUS_BAUDRATE", 38400);
  const ModbusPageView v = ModbusPage_Show(kPorts);
  ModbusPage_Store({v.portText, v.baudIndex, v.protocolIndex, v.modeIndex}, kPorts);
  EXPECT_EQ(Option_GetLong("MODBUS_BAUDRATE"), 1200);
  // A name longer than the option takes is refused; the link keeps the stored one.
  ModbusPage_Store({"/dev/" + std::string(200, 'x'), 2, 1, 0}, kPorts);
  EXPECT_STREQ(Modbus_GetPortName(), "COM1");
  // An empty field with no ports at all keeps the port.
  ModbusPage_Store({"", 2, 1, 0}, {});
  EXPECT_STREQ(Option_GetString("MODBUS_COMPORTNAME"), "COM1");
}

TEST_F(InterfaceSettingsTest, EthernetPageStoresWhatTheLinkKeeps) {
  EthMaster_SetHostName("master.local");
  EthMaster_SetPort(1664);
  EthernetPageView v = EthernetPage_Show();
  EXPECT_EQ(v.host, "master.local");
  EXPECT_EQ(v.port, "1664");
  EXPECT_FALSE(v.openPlcDialog);
  struct Case {
    std::string host, port;
    std::string storedHost;
    int storedPort;
  } cases[] = {
      {"10.0.0.7", "1700", "10.0.0.7", 1700},
      {"10.0.0.8", "abc", "10.0.0.8", 1700},                  // no number: the port stays
      {"10.0.0.9", "99999999999999999999", "10.0.0.9", 1700},  // 20 digits: likewise
      {"10.0.0.9", "-5", "10.0.0.9", 1700},
      {"10.0.0.9", "70000", "10.0.0.9", 65535},
      {std::string(300, 'h'), "1664", std::string(255, 'h'), 1664},
  };
  for (const Case& c : cases) {
    EthernetPage_Store({c.host, c.port, true});
    EXPECT_EQ(Option_GetString("ETHERNET_HOSTNAME"), c.storedHost);
    EXPECT_EQ(Option_GetInt("ETHERNET_PORTNO"), c.storedPort) << c.port;
    EXPECT_EQ(EthMaster_GetPort(), c.storedPort);
    EXPECT_EQ(Option_GetInt("ETH_OPEN_STARTSTOPDIALOG"), 1);
  }
}

// A socket that answers or stays silent; counts how often it was opened.
struct ScriptedPingSocket : PingSocket {
  ScriptedPingSocket(int& opens, bool answers) : opens_(opens), answers_(answers) {}
  bool open() override { return ++opens_ > 0; }
  bool send(uint32_t, const uint8_t*, size_t) override { return true; }
  int waitReadable(int) override { return answers_ ? 1 : 0; }
  int receive(uint8_t*, size_t) override { return 8; }
  void close() override {}
  int lastErrno() const override { return 0; }
  int& opens_;
  bool answers_;
};

TEST_F(InterfaceSettingsTest, PingReportsItsOutcome) {
  int opens = 0;
  bool answers = true;
  Ping_SetSocketFactory([&] { return std::make_unique<ScriptedPingSocket>(opens, answers); });
  ui.expectMessage("Ping: No hostname", UiAnswer::Ok);
  EthernetPage_Ping("  ");
  EXPECT_EQ(opens, 0) << "nothing is sent without a host";

  ui.expectMessage("Ping successful:\n'127.0.0.1'", UiAnswer::Ok);
  EthernetPage_Ping("127.0.0.1");
  EXPECT_EQ(ui.messages().back().title, "Success");
  answers = false;
  ui.expectMessage("Ping failed:\nTimeout, cannot reach 'localhost' (127.0.0.1)", UiAnswer::Ok);
  EthernetPage_Ping("localhost");
  EXPECT_EQ(ui.messages().back().title, "KVXconfig Error");
  EXPECT_FALSE(ui.waitCursor());
}

}  // namespace
