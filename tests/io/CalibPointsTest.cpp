// Calibration point operations against simulated modules: the requests on
// the wire, the questions asked, and the points the module ends up with.
#include <gtest/gtest.h>

#include "io/CalibPoints.h"
#include "support/CalibSimFixture.h"

namespace {

class CalibPoints : public CalibSimTest {
 protected:
  // Type 14: three analog inputs (two voltage channels with two
  // configurations, one Pt100) and one analog output.
  SimModuleId addAnalog(int node) {
    return addModule(node, 14, [](SimModuleConfig& c) {
      SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100, 0x0104}, 2, 0x6401));
      SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 5, {0x0501}, 1, 0x6402));
      SimIo_AddChannels(c, Group(SimIoGroup::AnalogOut, 2, {0x0202}, 1, 0x6411));
      SimIoSignal s;
      s.level = 2.5;
      c.io.ioSignals.push_back(s);  // channel 0 sees 2.5 V
    });
  }
  SimCalibPoints points(SimModuleId id, uint8_t channelByte, uint8_t type, uint8_t range) {
    SimCalibPoints p;
    sim.withModule(id, [&](SimModule& m) { p = SimIo_Points(m, channelByte, type, range); });
    return p;
  }
  double reported(SimModuleId id, int channel) {
    double v = 0;
    sim.withModule(id, [&](SimModule& m) { v = SimIo_ReportedInput(m, channel, 0); });
    return v;
  }
};

TEST_F(CalibPoints, ShowPointReadsXAndYAndShowsTheReferenceValue) {
  SimModuleId id = addAnalog(3);
  setPoints(id, 0, 1, 4, P(Bits(100), Bits(-2)));
  CalibPointTexts texts;
  ASSERT_EQ(CalibData_ShowPoint(record(id), 1, true, 0, 0x0104, 0, texts), 0);
  EXPECT_EQ(texts.x, "100");
  EXPECT_EQ(texts.y, "98");
  EXPECT_EQ(calibFrames(3), (std::vector<SimFrame>{SimFrame(0x683, 0, {0xB6, 0x00, 0x01, 0x04}),
                                                    SimFrame(0x683, 0, {0xB6, 0x00, 0x21, 0x04})}));
  // Point 2 is empty; the hexadecimal display of point 1.
  ASSERT_EQ(CalibData_ShowPoint(record(id), 2, true, 0, 0x0104, 0, texts), 0);
  EXPECT_EQ(texts.x, "-");
  EXPECT_EQ(texts.y, "-");
  ASSERT_EQ(CalibData_ShowPoint(record(id), 1, true, 0, 0x0104, 1, texts), 0);
  EXPECT_EQ(texts.y, "0x62");

  // The user set of an output channel: type 31, the range byte as given.
  setPoints(id, 0x80, 31, 0, P(Bits(20.0f), Bits(1e-40f)));
  ASSERT_EQ(CalibData_ShowPoint(record(id), 1, false, 0x80, 0x0501, 0, texts), 0);
  EXPECT_EQ(texts.x, "20.00 \xC2\xB0" "C");
  EXPECT_EQ(texts.y, "20.00 \xC2\xB0" "C");  // a correction of 1e-40 counts as 0
  EXPECT_EQ(calibFrames(3).back(), SimFrame(0x683, 0, {0xB6, 0x80, 0x3F, 0x01}));
}

TEST_F(CalibPoints, ShowPointKeepsTheFieldsAReadDidNotReach) {
  SimModuleId id = addAnalog(4);
  setPoints(id, 0, 1, 0, P(Bits(7), Bits(1)));
  answerShortAfter(id, 1);  // X is answered, Y is not
  CalibPointTexts texts{"old x", "old y"};
  EXPECT_EQ(CalibData_ShowPoint(record(id), 1, true, 0, 0x0100, 0, texts), -1);
  EXPECT_EQ(texts.x, "7");
  EXPECT_EQ(texts.y, "old y");
  EXPECT_EQ(CalibData_ShowPoint(record(id), 3, true, 0, 0x0100, 0, texts), -1);
}

TEST_F(CalibPoints, CalibrateTakesThePresentRawValueAndTheModuleAppliesThePoint) {
  SimModuleId id = addAnalog(5);
  EXPECT_DOUBLE_EQ(reported(id, 0), 2.5);
  ASSERT_EQ(CalibData_CalibratePoint(record(id), 1, true, 0, 0x0100, 2.6), 1);
  const SimFrame sent = calibFrames(5).back();
  EXPECT_EQ(sent.len, 8);
  EXPECT_EQ(sent.data[0], 0x76);
  EXPECT_EQ(sent.data[2], 0x81);  // calibrate point 1 of type 1
  EXPECT_EQ(sent.data[3], 0x00);
  const SimCalibPoints p = points(id, 0, 1, 0);
  EXPECT_FLOAT_EQ(Float(p.values[0]), 2.5f);
  EXPECT_NEAR(Float(p.values[1]), 0.1f, 1e-6);
  EXPECT_NEAR(reported(id, 0), 2.6, 1e-6);

  // The user set on top: its X is the value after the factory correction.
  ASSERT_EQ(CalibData_CalibratePoint(record(id), 2, false, 0, 0, 2.65), 1);
  EXPECT_EQ(calibFrames(5).back().data[2], 0xBF);
  EXPECT_NEAR(Float(points(id, 0, 31, 0).values[2]), 2.6f, 1e-6);
  EXPECT_NEAR(reported(id, 0), 2.65, 1e-6);

  EXPECT_EQ(CalibData_CalibratePoint(record(id), 0, true, 0, 0x0100, 1.0), 0);  // no such point
}

TEST_F(CalibPoints, ClearSendsZeroInAnEightByteRequest) {
  SimModuleId id = addAnalog(6);
  setPoints(id, 0x80, 2, 2, P(Bits(1), Bits(2), Bits(3), Bits(4)));
  ASSERT_EQ(CalibData_ClearPoint(record(id), 2, true, 0x80, 0x0202), 1);
  EXPECT_EQ(calibFrames(6).back(), SimFrame(0x686, 0, {0x76, 0x80, 0xE2, 0x02, 0, 0, 0, 0}));
  EXPECT_EQ(points(id, 0x80, 2, 2), P(Bits(1), Bits(2)));
  EXPECT_EQ(CalibData_ClearPoint(record(id), 3, true, 0x80, 0x0202), 0);
  EXPECT_EQ(calibFrames(6).size(), 1u);
  sim.removeModule(id);
  EXPECT_EQ(CalibData_ClearPoint(record(id), 1, false, 0, 0), 0);  // no acknowledgement
}

TEST_F(CalibPoints, UserPointsFoundAreClearedOnYes) {
  SimModuleId id = addAnalog(7);
  setPoints(id, 0, 31, 0, P(Bits(1), Bits(0.5f)));
  setPoints(id, 2, 31, 0, P(kNone, kNone, Bits(9), Bits(1)));  // found by its point 2
  const ChanInfo ins = channels(id, CHANINFO_ANALOG_IN);
  ui.expectMessage("User calibration point(s) found for 2 input channel(s).\nClear all user calibration points\n"
                   "(required for factory calibration)?",
                   UiAnswer::Yes);
  sim.clearTraffic();
  EXPECT_EQ(CalibData_CheckUserPoints(record(id), ins, false), 0);
  EXPECT_EQ(ui.messages().back().title, "Clear User Calibration Points");
  EXPECT_EQ(ui.messages().back().buttons, UiButtons::YesNoCancel);
  EXPECT_EQ(points(id, 0, 31, 0), SimCalibPoints{});
  EXPECT_EQ(points(id, 2, 31, 0), SimCalibPoints{});
  const std::vector<SimFrame> f = calibFrames(7);
  // Reads: channel 0 point 1; channel 1 both; channel 2 both. Then two clears each.
  ASSERT_EQ(f.size(), 5u + 4u);
  EXPECT_EQ(f[0], SimFrame(0x687, 0, {0xB6, 0x00, 0x1F, 0x00}));
  EXPECT_EQ(f[2], SimFrame(0x687, 0, {0xB6, 0x01, 0x5F, 0x00}));
  EXPECT_EQ(f[5], SimFrame(0x687, 0, {0x76, 0x00, 0xDF, 0x00}));
  EXPECT_EQ(f[6], SimFrame(0x687, 0, {0x76, 0x00, 0xFF, 0x00}));
  EXPECT_EQ(f[8], SimFrame(0x687, 0, {0x76, 0x02, 0xFF, 0x00}));
}

TEST_F(CalibPoints, UserPointsKeptOnNoAndCancelStops) {
  SimModuleId id = addAnalog(8);
  setPoints(id, 0x80, 31, 0, P(Bits(1), Bits(1)));
  const ChanInfo outs = channels(id, CHANINFO_ANALOG_OUT);
  ui.expectMessage("found for 1 output channel(s)", UiAnswer::No);
  EXPECT_EQ(CalibData_CheckUserPoints(record(id), outs, true), 0);
  ui.expectMessage("found for 1 output channel(s)", UiAnswer::Cancel);
  EXPECT_EQ(CalibData_CheckUserPoints(record(id), outs, true), -1);
  EXPECT_EQ(points(id, 0x80, 31, 0), P(Bits(1), Bits(1)));
  // Without user points nothing is asked.
  const ChanInfo ins = channels(id, CHANINFO_ANALOG_IN);
  EXPECT_EQ(CalibData_CheckUserPoints(record(id), ins, false), 0);
}

TEST_F(CalibPoints, AFailedReadEndsTheSearchButChannelsFoundCount) {
  SimModuleId id = addAnalog(9);
  setPoints(id, 0, 31, 0, P(Bits(1), Bits(1)));
  setPoints(id, 2, 31, 0, P(Bits(1), Bits(1)));
  const ChanInfo ins = channels(id, CHANINFO_ANALOG_IN);
  answerShortAfter(id, 2);  // channel 0, then channel 1's first read; the second fails
  ui.expectMessage("found for 1 input channel(s)", UiAnswer::No);
  EXPECT_EQ(CalibData_CheckUserPoints(record(id), ins, false), 0);
}

TEST_F(CalibPoints, ClearingAllFactoryPointsAsksThenClearsEveryConfiguration) {
  SimModuleId id = addAnalog(10);
  setPoints(id, 1, 1, 4, P(Bits(1), Bits(1)));
  setPoints(id, 2, 5, 1, P(Bits(1), Bits(1), Bits(2), Bits(2)));
  const ChanInfo ins = channels(id, CHANINFO_ANALOG_IN);
  ui.expectMessage("Clear all factory calibration points\nfor all channels and all configurations?", UiAnswer::No);
  sim.clearTraffic();
  EXPECT_EQ(CalibData_ClearFactoryPoints(record(id), ins, false), -1);
  EXPECT_TRUE(calibFrames(10).empty());

  ui.expectMessage("Clear all factory calibration points", UiAnswer::Yes);
  ui.clearRecord();
  EXPECT_EQ(CalibData_ClearFactoryPoints(record(id), ins, false), 0);
  EXPECT_EQ(points(id, 1, 1, 4), SimCalibPoints{});
  EXPECT_EQ(points(id, 2, 5, 1), SimCalibPoints{});
  const std::vector<SimFrame> f = calibFrames(10);
  ASSERT_EQ(f.size(), 2u * 5);  // channels 0 and 1 with two configurations, channel 2 with one
  EXPECT_EQ(f[2], SimFrame(0x68A, 0, {0x76, 0x00, 0xC1, 0x04}));
  EXPECT_EQ(f[3], SimFrame(0x68A, 0, {0x76, 0x00, 0xE1, 0x04}));
  EXPECT_EQ(f[9], SimFrame(0x68A, 0, {0x76, 0x02, 0xE5, 0x01}));
  EXPECT_EQ(ui.messages().back().title, "Clear All Factory Calibration Points");
  EXPECT_FALSE(ui.waitCursor());
}

TEST_F(CalibPoints, AFailedFactoryClearIsReported) {
  SimModuleId id = addAnalog(11);
  const ChanInfo ins = channels(id, CHANINFO_ANALOG_IN);
  answerShortAfter(id, 3);
  ui.expectMessage("Clear all factory calibration points", UiAnswer::Yes);
  ui.expectMessage("Could not clear all factory calibration points", UiAnswer::Ok);
  sim.clearTraffic();
  EXPECT_EQ(CalibData_ClearFactoryPoints(record(id), ins, false), 0);
  EXPECT_EQ(calibFrames(11).size(), 4u);  // the fourth had no answer; nothing after it
  EXPECT_FALSE(ui.waitCursor());
}

}  // namespace
