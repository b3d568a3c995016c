// The rules of the instrument settings pages and their "Test" buttons
// against the simulated instruments.
#include <string>
#include <vector>

#include "calib/InstrumentFixture.h"
#include "calib/InstrumentSettings.h"

namespace {

using Names = std::vector<std::string>;

TEST(InstrumentSettingsRules, PortsAddressesAndProbes) {
  const Names existing = {"COM1", "COM3", "/dev/ttyUSB0"};
  const struct {
    std::string stored;
    Names choices;
    int index;
  } ports[] = {
      {"com3", existing, 1},                                               // any case
      {"/dev/pts/7", {"COM1", "COM3", "/dev/ttyUSB0", "/dev/pts/7"}, 3},  // kept selectable
      {"", existing, 0},
  };
  for (const auto& p : ports) {
    EXPECT_EQ(InstrumentSettings_PortChoices(existing, p.stored), p.choices) << p.stored;
    EXPECT_EQ(InstrumentSettings_PortIndex(p.choices, p.stored), p.index) << p.stored;
  }
  EXPECT_EQ(InstrumentSettings_PortToStore("  /dev/pts/9 ", existing), "/dev/pts/9");
  EXPECT_EQ(InstrumentSettings_PortToStore("", existing), "COM1");
  EXPECT_EQ(InstrumentSettings_PortToStore(" ", {}), "");

  const Names addresses = InstrumentSettings_AddressChoices();
  ASSERT_EQ(addresses.size(), 16u);
  EXPECT_EQ(addresses[14], "14");
  EXPECT_EQ(addresses[15], "15 (Broadcast)");
  const struct {
    int value, expected;
  } addressIndex[] = {{-3, 0}, {0, 0}, {9, 9}, {15, 15}, {40, 15}},
    addressStore[] = {{-1, 15}, {0, 0}, {14, 14}, {15, 15}, {16, 15}},
    channelIndex[] = {{1, 0}, {2, 1}, {0, 0}, {3, 0}},
    channelStore[] = {{0, 1}, {1, 2}, {-1, 1}, {5, 1}};
  for (const auto& c : addressIndex) EXPECT_EQ(InstrumentSettings_AddressIndex(c.value), c.expected) << c.value;
  for (const auto& c : addressStore) EXPECT_EQ(InstrumentSettings_AddressToStore(c.value), c.expected) << c.value;
  for (const auto& c : channelIndex) EXPECT_EQ(InstrumentSettings_ChannelIndex(c.value), c.expected) << c.value;
  for (const auto& c : channelStore) EXPECT_EQ(InstrumentSettings_ChannelToStore(c.value), c.expected) << c.value;
}

class InstrumentSettingsTest : public InstrumentTest {};

TEST_F(InstrumentSettingsTest, CalibratorTestStoresThePortAndTellsTheResult) {
  const std::string port = vornbox.devicePath();
  ui.expectMessage("", UiAnswer::Ok);
  InstrumentSettings_TestCalibrator(2, port, 15);
  EXPECT_EQ(ui.messages().back().text, "Test successful\nCom Port " + port + ", Address 15");
  EXPECT_EQ(ui.messages().back().title, "Success");
  EXPECT_EQ(Option_GetString("VORNBOX1_COMPORTNAME"), port);
  EXPECT_EQ(heard(vornbox.device(), 1), (Names{"ADDR 15"}));

  ui.expectMessage("", UiAnswer::Ok);
  expectSilence(true);
  InstrumentSettings_TestCalibrator(2, port, 7);  // the box answers on address 1 only
  EXPECT_EQ(ui.messages().back().text, "Test failed, cannot reach Vorn Box\nCom Port " + port +
                                           ", Address 7\nVorn Box: Timeout, no response from Vorn Box");
  EXPECT_EQ(Option_GetInt("VORNBOX1_ADDR"), 7);
  // The wait cursor was shown around each exchange.
  int cursorOn = 0;
  for (const std::string& call : ui.calls()) cursorOn += call == "cursor|1";
  EXPECT_EQ(cursorOn, 2);
  EXPECT_FALSE(ui.waitCursor());
}

TEST_F(InstrumentSettingsTest, ThermometerTestTellsSensorNoSensorAndNoAnswer) {
  const std::string port = testo.devicePath();
  testo.setTemperature(2, 30.0);
  ui.expectMessage("", UiAnswer::Ok);
  InstrumentSettings_TestTesto(port, 2);
  EXPECT_EQ(ui.messages().back().text, "Test successful\nCom Port " + port + "\nChannel 2");
  EXPECT_EQ(Option_GetInt("TESTO_CHAN"), 2);
  EXPECT_EQ(Option_GetString("TESTO_COMPORTNAME"), port);

  testo.setTemperature(1, std::nullopt);
  ui.expectMessage("", UiAnswer::Ok);
  InstrumentSettings_TestTesto(port, 1);
  EXPECT_EQ(ui.messages().back().text, "Com Port " + port + ": ok\nChannel 1: No Sensor connected");
  EXPECT_EQ(ui.messages().back().title, "No Sensor");
  EXPECT_EQ(ui.messages().back().icon, UiIcon::Warning);

  SimInstrumentFaults silent;
  silent.silent = true;
  faults(testo.device(), silent);
  expectSilence(true);
  ui.expectMessage("", UiAnswer::Ok);
  InstrumentSettings_TestTesto(port, 1);
  EXPECT_EQ(ui.messages().back().text, "Test failed, cannot reach TESTO 701\nCom Port " + port +
                                           "\nTimeout, no response from Testo 701\nThe command was: 'J1'");
}

}  // namespace
