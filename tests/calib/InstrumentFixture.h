// The three simulated instruments on pseudo-terminals, with the options
// pointing the program at them, a fresh session and a manual clock (a silent
// instrument then costs a few ms of real time instead of its time-out).
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
#include "support/TestEnvironment.h"

class InstrumentTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    Option_ResetForTest();
    DebugLog_ResetForTest();
    Clock_Install(&clock);
    ASSERT_TRUE(metrahit.start()) << metrahit.device().error();
    ASSERT_TRUE(vornbox.start()) << vornbox.device().error();
    ASSERT_TRUE(testo.start()) << testo.device().error();
    Option_SetString("METRAHIT_COMPORTNAME", metrahit.devicePath().c_str());
    Option_SetString("VORNBOX1_COMPORTNAME", vornbox.devicePath().c_str());
  }
  void TearDown() override {
    Clock_Install(nullptr);
    DebugLog_ResetForTest();
    Option_ResetForTest();
    ScriptedUiTest::TearDown();
  }
  void faults(SimSerialDevice& device, const SimInstrumentFaults& f) { device.setFaults(f); }
  // The commands an instrument heard since the last call.
  static std::vector<std::string> heard(SimSerialDevice& device) {
    std::vector<std::string> c = device.commands();
    device.clearCommands();
    return c;
  }

  Session session;
  ManualClock clock;
  SimCalibrator metrahit{SimCalibratorModel::ProcessCalibrator};
  SimCalibrator vornbox{SimCalibratorModel::CalibratorBox};
  SimThermometer testo;
};
