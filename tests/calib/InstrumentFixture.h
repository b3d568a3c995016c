// The three simulated instruments on pseudo-terminals, with the options
// pointing the program at them and a fresh session. Answers are waited for on
// the real clock (they come at once, however loaded the machine); where an
// instrument is expected to stay silent, expectSilence() puts in a manual
// clock, so that its time-out costs a few ms of real time.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/DebugLog.h"
#include "core/Options.h"
#include "core/Session.h"
#include "instruments/SimCalibrator.h"
#include "instruments/SimThermometer.h"
#include "platform/Clock.h"
#include "platform/Poll.h"
#include "support/TestEnvironment.h"

class InstrumentTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    ASSERT_TRUE(metrahit.start()) << metrahit.device().error();
    ASSERT_TRUE(vornbox.start()) << vornbox.device().error();
    ASSERT_TRUE(testo.start()) << testo.device().error();
    Option_SetString("METRAHIT_COMPORTNAME", metrahit.devicePath().c_str());
    Option_SetString("VORNBOX1_COMPORTNAME", vornbox.devicePath().c_str());
  }
  void TearDown() override {
    expectSilence(false);
    ScriptedUiTest::TearDown();
  }
  void expectSilence(bool on) {
    clock.setPeerGraceMs(5);  // the instrument is meant to stay silent
    Clock_Install(on ? &clock : nullptr);
  }
  void faults(SimSerialDevice& device, const SimInstrumentFaults& f) { device.setFaults(f); }
  // The commands an instrument heard since the last call, after waiting for
  // `expected` of them (a silent instrument may still be taking the last one
  // when the program has given up on it).
  static std::vector<std::string> heard(SimSerialDevice& device, size_t expected = 0) {
    device.waitForCommands(expected, 2000);
    std::vector<std::string> c = device.commands();
    device.clearCommands();
    return c;
  }

  ManualClock clock;
  SimCalibrator metrahit{SimCalibratorModel::ProcessCalibrator};
  SimCalibrator vornbox{SimCalibratorModel::CalibratorBox};
  SimThermometer testo;
};
