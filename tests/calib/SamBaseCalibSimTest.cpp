// The SAM base calibration of the demo's SAMC21 module over the "PCAN USB"
// interface: the carried adapter library on the simulator's raw CAN port,
// the reference source on node 124 of the same bus.
#include <gtest/gtest.h>

#include "calib/SamBaseCalib.h"
#include "calib/SamBaseCalibPanel.h"
#include "support/CalibSimFixture.h"
#include "support/PcanSim.h"

namespace {

class SamBaseCalibSim : public CalibSimTest {
 protected:
  void SetUp() override {
    CalibSimTest::SetUp();
    clock.setPeerGraceMs(2000);  // every module here answers: room for a loaded machine
  }
};

TEST_F(SamBaseCalibSim, TheDemoModulesConvertersAreCalibratedThroughTheAdapter) {
  Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  sim.setPopulation(SimPopulation::demo());
  const SimModuleId id = sim.findModule(0, 3);
  ASSERT_GE(id, 0);
  // Both inputs in their 0..10 V configuration, as the question asks.
  sim.withModule(id, [](SimModule& m) {
    for (uint8_t sub : {1, 2}) m.objects().find(0x3010, sub)->value = 0;
  });
  PcanSim adapter(sim, 0);
  ASSERT_TRUE(adapter.open()) << GetInterfaceError();
  sim.clearTraffic();
  ModuleRec rec = record(id);
  rec.infoValid = 1;
  rec.info6 = 6;

  ASSERT_TRUE(SamBaseCalib_Probe(rec));
  SamBaseCalibPanel panel(rec);
  panel.initialise();
  for (int adc : {0, 1}) {
    SCOPED_TRACE(adc);
    ui.expectMessage("Connect the VAR Eriz Ivirizaruz and\nconfigure analog inputs to 0-10 V range.", UiAnswer::Ok);
    panel.autoCalibrate(adc);
    for (int i = 0; i < 40 && panel.autoRunning(); ++i) panel.autoTick();
    EXPECT_EQ(panel.stateText(adc), "Auto calibration finished successfully.");
    EXPECT_EQ(panel.status(adc).status, 7);
  }
  EXPECT_EQ(ui.pendingExpectations(), 0u);
  EXPECT_GE(sim.referenceSourceRequests(), 7) << "off at the start, then low, high and off per converter";
  EXPECT_TRUE(sim.receivedFrames().empty()) << "nothing went through the master";

  // The corrected converters give the wanted digits at both points, and 0
  // with the source at high impedance.
  for (int n : {SAMBASE_SOURCE_LOW, SAMBASE_SOURCE_HIGH, SAMBASE_SOURCE_OFF}) {
    ASSERT_EQ(SamBaseCalib_SendCalibrator(n), 1);
    for (int adc : {0, 1}) {
      ASSERT_EQ(SamBaseCalib_Read(rec, adc, SAMBASE_STATUS), 1);
      const SamAdcStatus& r = panel.status(adc);
      const int wanted = n == SAMBASE_SOURCE_LOW ? r.lowReferenceDigits : n == SAMBASE_SOURCE_HIGH ? r.highReferenceDigits : 0;
      EXPECT_NEAR(r.actualResult, wanted, 2) << "ADC " << adc << ", source " << n;
    }
  }
  EXPECT_EQ(sim.referenceSourceOutput(), SAMBASE_SOURCE_OFF);
}

}  // namespace
