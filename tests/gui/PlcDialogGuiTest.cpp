#include <QLabel>
#include <QPushButton>

#include "protocol/PlcDialog.h"
#include "support/SimConnectedTest.h"

namespace {

class PlcDialogTest : public SimConnectedTest {
 protected:
  void SetUp() override {
    SimConnectedTest::SetUp();
    sim.setPopulation(SimPopulation::demo());
    ASSERT_NO_FATAL_FAILURE(startAndConnect());
  }
  void TearDown() override {
    PlcDialog_Close();
    SimConnectedTest::TearDown();
  }
  PlcDialog* open() {
    PlcDialog_Open(nullptr);
    return PlcDialog_Instance();
  }
  QString status(PlcDialog* d) { return d->findChild<QLabel*>("plcStatus")->text(); }
  QPushButton* button(PlcDialog* d, const char* name) { return d->findChild<QPushButton*>(name); }
};

TEST_F(PlcDialogTest, OpensEmptyThenPollsAndShowsTheRunState) {
  PlcDialog* d = open();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->windowTitle(), "PLC Start/Stop");
  EXPECT_EQ(status(d), "");
  EXPECT_FALSE(button(d, "startPlc")->isEnabled());
  EXPECT_FALSE(button(d, "stopPlc")->isEnabled());
  EXPECT_EQ(ui.armedPeriod(&d->pollTimer()), 1000);
  ui.fire(&d->pollTimer());
  EXPECT_EQ(status(d), "Stop");  // the demo master's PLC is stopped
  EXPECT_TRUE(button(d, "startPlc")->isEnabled());
  EXPECT_FALSE(button(d, "stopPlc")->isEnabled());
  EXPECT_EQ(ui.armedPeriod(&d->pollTimer()), 3300);
  EXPECT_EQ(open(), d);  // a second open activates the same dialog
}

TEST_F(PlcDialogTest, StartAndStopCommandTheMasterAndShowTheNewState) {
  PlcDialog* d = open();
  ui.fire(&d->pollTimer());
  button(d, "startPlc")->click();
  EXPECT_EQ(sim.plcRunState(), 0);
  EXPECT_EQ(status(d), "Run");
  EXPECT_FALSE(button(d, "startPlc")->isEnabled());
  EXPECT_TRUE(button(d, "stopPlc")->isEnabled());
  button(d, "stopPlc")->click();
  EXPECT_EQ(sim.plcRunState(), 1);
  EXPECT_EQ(status(d), "Stop");
}

TEST_F(PlcDialogTest, DebugAndUnknownStatesDisableBothButtons) {
  PlcDialog* d = open();
  const struct {
    int state;
    const char* text;
  } cases[] = {{2, "Stop (Debug)"}, {3, "Run (Debug)"}, {4, "Run (Debug)"}, {7, "? (#7)"}};
  for (const auto& c : cases) {
    sim.setPlcRunState(uint8_t(c.state));
    d->refresh();
    EXPECT_EQ(status(d), c.text);
    EXPECT_EQ(button(d, "startPlc")->isEnabled(), c.state == 2) << c.state;
    EXPECT_FALSE(button(d, "stopPlc")->isEnabled()) << c.state;
  }
}

TEST_F(PlcDialogTest, AMasterThatStopsAnsweringEndsThePolling) {
  PlcDialog* d = open();
  sim.setSilentMaster(true);
  ui.fire(&d->pollTimer());
  EXPECT_EQ(status(d), "? (unknown)");
  EXPECT_FALSE(ui.isArmed(&d->pollTimer()));
  EXPECT_FALSE(button(d, "startPlc")->isEnabled());
}

TEST_F(PlcDialogTest, OpensOnlyWhileTheMasterAnswered) {
  CloseInterface();
  sim.setSilentMaster(true);
  ASSERT_EQ(OpenInterface("KVX Master (Ethernet)"), 0);  // a plain bridge still opens
  EXPECT_EQ(open(), nullptr);
}

TEST_F(PlcDialogTest, ConnectingOpensTheDialogWhenTheOptionAsksForIt) {
  PlcDialog_InstallLinkHooks(nullptr);
  CloseInterface();
  EXPECT_EQ(PlcDialog_Instance(), nullptr);
  Option_SetInt("ETH_OPEN_STARTSTOPDIALOG", 1);
  ASSERT_EQ(OpenInterface("KVX Master (Ethernet)"), 0);
  EXPECT_NE(PlcDialog_Instance(), nullptr);
  CloseInterface();  // closing the link closes the dialog
  EXPECT_EQ(PlcDialog_Instance(), nullptr);
}

}  // namespace
