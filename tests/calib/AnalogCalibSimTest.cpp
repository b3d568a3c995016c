// The analog input and output calibration against simulated modules: the
// configuration switching and its restoring, the configuration list limit,
// output values and output points, the trace file, and automatic
// calibrations from the shipped sequence against the simulated process
// calibrator wired to the module's inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>

#include "calib/AnalogInCalib.h"
#include "calib/AnalogOutCalib.h"
#include "calib/Calibrator.h"
#include "core/TextFormat.h"
#include "core/WideText.h"
#include "instruments/SimCalibrator.h"
#include "instruments/SimThermometer.h"
#include "module/IoChannels.h"
#include "support/CalibSimFixture.h"

namespace {

constexpr uint32_t kType = 32;  // "KVX 740-02"
constexpr int kNode = 3;

class AnalogCalibSim : public CalibSimTest {
 protected:
  void SetUp() override {
    CalibSimTest::SetUp();
    Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  }

  // Two voltage inputs (0..10 V, -10..10 V) and a current input, with
  // constant levels; `wire` wires the voltage inputs to the process calibrator
  // with offset and gain errors.
  SimModuleId addInputs(bool wire = false) {
    return addModule(kNode, kType, [&](SimModuleConfig& c) {
      SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100, 0x0101, 0x0102, 0x0103}, 2, 0x6401));
      SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 2, {0x0200}, 1, 0x6402));
      const double offsets[2] = {0.004, -0.003}, gains[2] = {0.003, -0.002}, levels[2] = {2.5, -1.25};
      for (int ch = 0; ch < 2; ++ch) {
        SimIoSignal s;
        s.channel = ch;
        s.level = levels[ch];
        if (wire) {
          s.offset = offsets[ch];
          s.gain = gains[ch];
          s.from = "metrahit";
        }
        c.io.ioSignals.push_back(s);
      }
    });
  }
  // The module's record as the module list keeps it (not SAMC21).
  ModuleRec& listed(SimModuleId id) {
    rec = record(id);
    rec.infoValid = 1;
    rec.info6 = 2;
    rec.autoUpdate = 1;
    return rec;
  }
  uint32_t object(SimModuleId id, uint16_t index, uint8_t sub) {
    uint32_t v = 0;
    sim.readObject(id, index, sub, v);
    return v;
  }
  std::vector<std::vector<int>> frames(int node) {
    std::vector<std::vector<int>> out;
    for (const SimFrame& f : framesTo(node)) out.emplace_back(f.data, f.data + f.len);
    return out;
  }

  ModuleRec rec;
  ChanInfo info;
};

// ---- configuration switching ----------------------------------------------------------------

TEST_F(AnalogCalibSim, AConfigurationIsSetAndReadBackPerChannelAndRestoredOnOkOrCancelOnly) {
  for (bool restore : {true, false}) {
    SCOPED_TRACE(restore);
    const SimModuleId id = addInputs();
    info = channels(id, CHANINFO_ANALOG_IN);
    AnalogInCalib calib(listed(id), info);
    calib.buildConfigList();
    ASSERT_EQ(calib.configCount(), 6);
    EXPECT_EQ(calib.configName(0), "(Original)");
    EXPECT_EQ(calib.configName(4), "Voltage, -10...+10 V");

    sim.clearTraffic();
    calib.chooseConfig(4);
    const auto sent = frames(kNode);
    ASSERT_EQ(sent.size(), 12u) << "the current input lacks the configuration: no exchange";
    EXPECT_EQ(sent[0], (std::vector<int>{0x74, 0x30, 0x10, 1, 3}));
    EXPECT_EQ(sent[1], (std::vector<int>{0xB4, 0x30, 0x10, 1}));
    EXPECT_EQ(sent[2], (std::vector<int>{0xB6, 0, 0x01, 3}));  // X1 of type 1, range 3
    EXPECT_EQ(sent[6], (std::vector<int>{0x74, 0x30, 0x10, 2, 3}));
    EXPECT_EQ(calib.row(0).configText, "Voltage, -10...+10 V");
    EXPECT_EQ(calib.row(2).configText, "(n/a)");
    EXPECT_EQ(object(id, 0x3010, 1), 3u);

    calib.close(restore);
    EXPECT_EQ(object(id, 0x3010, 1), restore ? 0u : 3u);
    EXPECT_EQ(object(id, 0x3010, 2), restore ? 0u : 3u);
    sim.removeModule(id);
  }
}

TEST_F(AnalogCalibSim, TheConfigurationListStopsAtSixteenEntries) {
  // 32 channels with 17 distinct configurations.
  const SimModuleId id = addModule(kNode, kType, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100, 0x0101, 0x0102, 0x0103, 0x0104, 0x0105, 0x0106,
                                                         0x0107, 0x0108, 0x0109}, 16, 0x6401));
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 2, {0x0200, 0x0201, 0x0202, 0x0203, 0x0204, 0x0205, 0x0206},
                               16, 0x6402));
  });
  info = channels(id, CHANINFO_ANALOG_IN);
  ASSERT_EQ(info.channelCount, 32);
  AnalogInCalib calib(listed(id), info);
  ui.expectMessage("Error: Too many configurations in list (> 16)", UiAnswer::Ok);
  calib.buildConfigList();
  EXPECT_EQ(calib.configCount(), 16);
  EXPECT_EQ(calib.configCode(15), 0x0204);
}

TEST_F(AnalogCalibSim, AStepSelectsItsConfigurationWithinTheList) {
  const SimModuleId id = addInputs();
  info = channels(id, CHANINFO_ANALOG_IN);
  AnalogInCalib calib(listed(id), info);
  calib.buildConfigList();
  struct Case {
    int config, entry;
  } cases[] = {{0, 1}, {2, 2}, {5, 5}, {99, 5}};
  for (const Case& c : cases) {
    CalibSequence& seq = calib.sequence();
    seq.stepCount = 1;
    seq.steps[0].config = c.config;
    seq.steps[0].value = 2.5;
    seq.currentStep = 1;
    calib.setCalibMode(1);
    calib.refresh();
    EXPECT_EQ(calib.selectedEntry(), c.entry) << c.config;
    EXPECT_EQ(calib.newValue(), "2.5");
    EXPECT_EQ(calib.calibMode(), 0);
  }
}

// The buttons of the input dialog that need no calibrator: a row's point
// cleared with the input's own channel byte, the step buttons kept within
// the sequence, an unreadable value refused, auto-update switching timer 1.
TEST_F(AnalogCalibSim, InputRowsStepsAndAutoUpdateByHand) {
  const SimModuleId id = addInputs();
  const uint32_t x = std::bit_cast<uint32_t>(2.0f);
  setPoints(id, 1, 1, 0, P(x, 0, x, 0));
  info = channels(id, CHANINFO_ANALOG_IN);
  AnalogInCalib calib(listed(id), info);
  calib.initialise();
  calib.rowClear(1, 2);
  SimCalibPoints kept;
  sim.withModule(id, [&](SimModule& m) { kept = m.config().io.calibration[SimCalibKey(1, 1, 0)]; });
  EXPECT_EQ(kept.values[0], x);
  EXPECT_EQ(kept.values[2], kNone) << "point 2 of input 1 cleared";

  calib.sequence().stepCount = 3;
  const struct {
    void (AnalogInCalib::*press)();
    int times, step;
  } steps[] = {{&AnalogInCalib::nextStep, 5, 3},     {&AnalogInCalib::previousStep, 1, 2},
               {&AnalogInCalib::previousStep, 4, 0}, {&AnalogInCalib::lastStep, 1, 3},
               {&AnalogInCalib::firstStep, 1, 0}};
  for (const auto& s : steps) {
    for (int i = 0; i < s.times; ++i) (calib.*s.press)();
    EXPECT_EQ(calib.sequence().currentStep, s.step);
  }

  calib.setNewValue("volts");
  ui.expectMessage("No calibration value specified", UiAnswer::Ok);
  calib.outToRow(0);
  EXPECT_EQ(ui.pendingExpectations(), 0u);

  EXPECT_TRUE(calib.valueTimer().active());
  calib.setAutoUpdate(false);
  EXPECT_FALSE(calib.valueTimer().active());
  EXPECT_EQ(rec.autoUpdate, 0);
  calib.setAutoUpdate(true);
  EXPECT_TRUE(calib.valueTimer().active());
  calib.close(false);
}

// ---- outputs ---------------------------------------------------------------------------

TEST_F(AnalogCalibSim, OutputsGetValuesAndPointsOnlyWhereTheConfigurationExists) {
  const SimModuleId id = addModule(kNode, kType, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogOut, 3, {0x0104, 0x010C}, 2, 0x6411));
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogOut, 4, {0x0206}, 1, 0x6412));
  });
  info = channels(id, CHANINFO_ANALOG_OUT);
  AnalogOutCalib calib(listed(id), info);
  calib.initialise();
  ASSERT_EQ(calib.configCount(), 4);

  calib.chooseConfig(2);  // 0x010C, u16 0..65535: channel 2 has no such configuration
  EXPECT_EQ(calib.row(2).configText, "(n/a)");
  EXPECT_TRUE(calib.controls().setOutputEnabled);
  sim.clearTraffic();
  calib.setOutputValue("70000");
  calib.setOutput();
  std::vector<std::vector<int>> writes;
  for (const auto& f : frames(kNode))
    if (f[0] == 0x34) writes.push_back(f);
  ASSERT_EQ(writes.size(), 2u) << "limited to the range, to channels 0 and 1 only";
  EXPECT_EQ(writes[0], (std::vector<int>{0x34, 0x64, 0x11, 1, 0xFF, 0xFF, 0, 0}));
  EXPECT_EQ(writes[1], (std::vector<int>{0x34, 0x64, 0x11, 2, 0xFF, 0xFF, 0, 0}));

  sim.clearTraffic();
  calib.setNewValue("1000");
  calib.setAllPoints(1);
  calib.clearAllPoints(2);
  std::vector<std::vector<int>> points;
  for (const auto& f : frames(kNode))
    if (f[0] == 0x76) points.push_back({f[1], f[2], f[3]});
  EXPECT_EQ(points, (std::vector<std::vector<int>>{{0x80, 0x81, 0x0C}, {0x81, 0x81, 0x0C},
                                                  {0x80, 0xE1, 0x0C}, {0x81, 0xE1, 0x0C}}));

  // Output channel 2 in its own configuration: its points go with channel byte 0x82.
  calib.chooseConfig(0);
  sim.clearTraffic();
  calib.setNewValue("500");
  calib.rowSet(2, 2);
  ASSERT_FALSE(frames(kNode).empty());
  EXPECT_EQ(frames(kNode)[0], (std::vector<int>{0x76, 0x82, 0xA2, 0x06, 0x00, 0x00, 0xFA, 0x43}));
  EXPECT_FALSE(calib.controls().setOutputEnabled) << "no output value with (Original)";
}

// Points of one output cleared, the rows of channels without the chosen
// configuration left alone, and output values only for a chosen one.
TEST_F(AnalogCalibSim, OutputPointsAreClearedPerChannelAndNotWhereTheConfigurationIsMissing) {
  const SimModuleId id = addModule(kNode, kType, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogOut, 3, {0x0104, 0x010C}, 2, 0x6411));
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogOut, 4, {0x0206}, 1, 0x6412));
  });
  // The module keeps the points as single floats.
  const uint32_t x1 = std::bit_cast<uint32_t>(100.0f), x2 = std::bit_cast<uint32_t>(60000.0f);
  for (uint8_t channel : {0x80, 0x81}) setPoints(id, channel, 1, 0x0C, P(x1, 0, x2, 0));
  info = channels(id, CHANINFO_ANALOG_OUT);
  AnalogOutCalib calib(listed(id), info);
  calib.initialise();
  calib.chooseCalibMode(1);
  calib.chooseConfig(2);  // 0x010C: not on channel 2
  EXPECT_EQ(calib.calibMode(), 0) << "a new configuration shows stored values";
  EXPECT_EQ(calib.row(1).points[1].x, "60000");
  calib.chooseCalibMode(1);
  EXPECT_EQ(calib.row(1).points[1].x, "0xEA60");

  sim.clearTraffic();
  calib.setNewValue("10");
  calib.rowClear(2, 1);
  calib.rowSet(2, 1);
  calib.setOutputValue("abc");
  calib.setOutput();
  for (const auto& f : frames(kNode)) {
    EXPECT_NE(f[0], 0x76) << "no point operation for an inactive row";
    EXPECT_NE(f[0], 0x34) << "no unreadable output value";
  }

  calib.rowClear(1, 2);
  SimCalibPoints kept[2];
  sim.withModule(id, [&](SimModule& m) {
    for (int ch = 0; ch < 2; ++ch) kept[ch] = m.config().io.calibration[SimCalibKey(uint8_t(0x80 + ch), 1, 0x0C)];
  });
  EXPECT_EQ(kept[0].values[2], x2) << "channel 0 untouched";
  EXPECT_EQ(kept[1].values[0], x1);
  EXPECT_EQ(kept[1].values[2], kNone);
  EXPECT_EQ(kept[1].values[3], kNone);
  EXPECT_EQ(calib.row(1).points[1].x, "-");

  calib.chooseConfig(0);
  sim.clearTraffic();
  calib.setOutputValue("100");
  calib.setOutput();
  for (const auto& f : frames(kNode)) EXPECT_NE(f[0], 0x34) << "no output value with (Original)";
}

// Timer 1 reads the outputs while auto-update is on; a failed read switches it off.
TEST_F(AnalogCalibSim, OutputValuesAreReadUntilAnExchangeFails) {
  const SimModuleId id = addModule(kNode, kType, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogOut, 3, {0x010C}, 2, 0x6411));
  });
  info = channels(id, CHANINFO_ANALOG_OUT);
  AnalogOutCalib calib(listed(id), info);
  int changed = 0;
  calib.onChanged = [&] { ++changed; };
  calib.initialise();
  EXPECT_TRUE(calib.valueTimer().active());
  calib.chooseConfig(1);
  calib.setOutputValue("1234");
  calib.setOutput();
  calib.valueTimer().tick();
  EXPECT_EQ(calib.row(1).valueText, "1234");
  EXPECT_TRUE(calib.valueTimer().active());

  calib.setAutoUpdate(false);
  EXPECT_FALSE(calib.valueTimer().active());
  EXPECT_FALSE(calib.controls().setOutputEnabled);
  EXPECT_TRUE(calib.controls().setAllEnabled);
  calib.setAutoUpdate(true);
  EXPECT_TRUE(calib.valueTimer().active());

  goSilentAfter(id, 0);
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  sim.clearTraffic();
  calib.valueTimer().tick();
  EXPECT_FALSE(calib.controls().autoUpdate);
  EXPECT_FALSE(calib.valueTimer().active());
  EXPECT_EQ(changed, 2);
  EXPECT_EQ(ui.pendingExpectations(), 0u);
  waitForFramesTo(kNode, 1);
  EXPECT_EQ(framesTo(kNode).size(), 1u) << "the first failed read ends the update";
  calib.close(false);
}

// An output measured by an input wired to it: the points set from what the
// input reads make the output put out what it is given.
TEST_F(AnalogCalibSim, AnOutputIsCalibratedAgainstWhatAnInputWiredToItMeasures) {
  const SimModuleId id = addModule(kNode, kType, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogOut, 3, {0x010C}, 1, 0x6411));
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x010C}, 1, 0x6401));
    SimIoSignal error;  // 1 % too much, 20 mV too little
    error.group = SimIoGroup::AnalogOut;
    error.gain = 0.01;
    error.offset = -0.002;
    SimIoSignal wired;
    wired.from = "ao:0:3:0";
    c.io.ioSignals = {error, wired};
  });
  const ChanInfo inputs = channels(id, CHANINFO_ANALOG_IN);
  info = channels(id, CHANINFO_ANALOG_OUT);
  AnalogInCalib meter(listed(id), inputs);
  meter.buildConfigList();
  meter.chooseConfig(0);
  AnalogOutCalib calib(rec, info);
  calib.initialise();
  calib.chooseConfig(1);
  auto measure = [&](int value) {
    calib.setOutputValue(std::to_string(value));
    calib.setOutput();
    EXPECT_TRUE(meter.readValues());
    return meter.readingOf(0);
  };
  EXPECT_GT(std::fabs(measure(30000) - 30000), 100) << "off before the calibration";
  for (int point : {1, 2}) {
    calib.setNewValue(Text_Format("%.1f", measure(point == 1 ? 10000 : 50000)));
    calib.rowSet(0, point);
  }
  for (int value : {10000, 30000, 50000}) EXPECT_NEAR(measure(value), value, 2) << value;
}

// ---- trace file -----------------------------------------------------------------------------

TEST_F(AnalogCalibSim, TraceFileHeaderLinesAndAppendModes) {
  TempFolder folder;
  const std::string path = folder.file("trace.dat");
  const SimModuleId id = addInputs();
  info = channels(id, CHANINFO_ANALOG_IN);
  listed(id);
  const std::string header =
      "# Trace of 3 analog input channels of KVX 740-02, CAN ID 3, started on 06 Dec 2026, 12:00:00\n"
      "# Time(sec)      Chan:0(V)      Chan:1(V)    Chan:2(off)\n\n";

  const std::string blanks12 = std::string(12, ' '), blanks10 = std::string(10, ' ');
  const std::string values = blanks12 + "2.5" + blanks10 + "-1.25\n";
  const std::string line0 = "       0.00" + values;
  const std::string line1 = "       1.50" + values;

  for (int append : {1, 0}) {
    SCOPED_TRACE(append);
    Option_SetInt("ANALOG_TRACE_APPEND_MODE", append);
    auto calib = std::make_unique<AnalogInCalib>(rec, info);
    calib->buildConfigList();
    calib->chooseConfig(4);
    clock.setLocal(ManualClock::defaultLocal());
    ui.expectSaveFile(path);
    calib->toggleTrace();
    EXPECT_TRUE(calib->trace().active());
    EXPECT_EQ(std::string(Option_GetText("RECENT_TRACEFILE")), path);
    calib->valueTick();
    clock.advance(1500);
    calib->valueTick();
    EXPECT_EQ(ReadWholeFile(path), header + line0 + line1);

    calib->toggleTrace();  // stopped: nothing more is written
    calib->valueTick();
    clock.setLocal(ManualClock::defaultLocal());
    if (!append) ui.expectSaveFile(path);
    calib->toggleTrace();
    calib->valueTick();
    EXPECT_EQ(ReadWholeFile(path), append ? header + line0 + line1 + line1 : header + line0);
  }
  AnalogInCalib calib(rec, info);
  ui.expectSaveFile("/nonexistent-folder/trace.dat");
  ui.expectMessage("Cannot write trace file '/nonexistent-folder/trace.dat'", UiAnswer::Ok);
  calib.toggleTrace();
  EXPECT_FALSE(calib.trace().active());
}

// ---- automatic calibration ----------------------------------------------------------------

// The demo population's two-channel analog input module (node 3, a SAMC21
// with two converters), its inputs wired to the process calibrator.
class AutomaticCalibration : public AnalogCalibSim {
 protected:
  void SetUp() override {
    AnalogCalibSim::SetUp();
    ASSERT_TRUE(metrahit->start()) << metrahit->device().error();
    Option_SetString("METRAHIT_COMPORTNAME", metrahit->devicePath().c_str());
    sim.connectAnalogSource("metrahit", metrahit);
    std::string samples = __FILE__;
    samples = samples.substr(0, samples.rfind("tests/calib/")) + "sim/calib-sequences";
    Option_SetWString("CALIB_SEQ_DIR1", Text_Widen(samples));
    sim.setPopulation(SimPopulation::demo());
    demo = sim.findModule(0, kNode);
    ASSERT_GE(demo, 0);
    info = channels(demo, CHANINFO_ANALOG_IN);
    ASSERT_EQ(info.channelCount, 2);
    listed(demo).info6 = 6;
  }
  void TearDown() override {
    sim.connectAnalogSource("metrahit", nullptr);
    AnalogCalibSim::TearDown();
  }

  // Runs the sequence as the dialog's timers would: a runner tick every
  // 100 ms, a value update every 250 ms. The number of runner ticks.
  int runSequence(AnalogInCalib& calib) {
    calib.run();
    int ticks = 0;
    int64_t lastUpdate = clock.nowMs();
    while (calib.runnerTimer().active() && ticks < 5000) {
      clock.advance(SEQ_TICK_MS);
      if (clock.nowMs() - lastUpdate >= 250) {
        calib.valueTick();
        ++updates;
        lastUpdate = clock.nowMs();
      }
      calib.runnerTick();
      ++ticks;
    }
    return ticks;
  }
  // How far each input is from `value` with the calibrator set to it, in list entry `entry`.
  std::vector<double> deviations(AnalogInCalib& calib, int entry, double value) {
    calib.chooseConfig(entry);
    EXPECT_EQ(Calibrator_SetOutput(CALIBRATOR_METRAHIT, 1, value), 1) << Calibrator_ErrorText(1);
    EXPECT_TRUE(calib.readValues());
    return {std::fabs(calib.readingOf(0) - value), std::fabs(calib.readingOf(1) - value)};
  }

  std::shared_ptr<SimCalibrator> metrahit = std::make_shared<SimCalibrator>(SimCalibratorModel::ProcessCalibrator);
  SimModuleId demo = -1;
  int updates = 0;
};

TEST_F(AutomaticCalibration, TheDemoModuleIsCalibratedFromItsShippedSequence) {
  AnalogInCalib calib(rec, info);
  ASSERT_TRUE(calib.prepare());
  calib.initialise();
  EXPECT_TRUE(calib.controls().samShown);
  const CalibSequence& seq = calib.sequence();
  ASSERT_EQ(seq.stepCount, 6);
  // Before: every input is further off than the final deviation at some calibration value.
  double before[2] = {0, 0};
  for (int i = 0; i < seq.stepCount; ++i) {
    const std::vector<double> d = deviations(calib, seq.steps[i].config, seq.steps[i].value);
    for (int ch = 0; ch < 2; ++ch) before[ch] = std::max(before[ch], d[ch] - seq.steps[i].finalDeviation);
  }
  EXPECT_GT(before[0], 0);
  EXPECT_GT(before[1], 0);
  calib.chooseConfig(0);

  TempFolder folder;
  const std::string path = folder.file("run.dat");
  ui.expectSaveFile(path);
  calib.toggleTrace();
  ui.expectMessage("Calibration sequence finished successfully", UiAnswer::Ok);
  const int ticks = runSequence(calib);
  EXPECT_EQ(ui.messages().back().title, "Success");
  EXPECT_FALSE(calib.runner().running());
  EXPECT_EQ(calib.sequence().currentStep, 0);
  // Six steps, each settling twice (or once for a check) for 2 s.
  EXPECT_LT(ticks, 6 * 2 * 20 + 6 * 12);

  // The trace: its header, then one line per value update.
  const std::string trace = ReadWholeFile(path);
  EXPECT_EQ(trace.rfind("# Trace of 2 analog input channels of KVX 740-02, CAN ID 3, started on ", 0), 0u);
  const size_t body = trace.find("\n\n");
  ASSERT_NE(body, std::string::npos);
  EXPECT_EQ(std::count(trace.begin() + long(body) + 2, trace.end(), '\n'), updates);

  for (int i = 0; i < seq.stepCount; ++i) {
    const CalibStep& step = seq.steps[i];
    for (double d : deviations(calib, step.config, step.value)) EXPECT_LE(d, step.finalDeviation) << step.line;
  }
}

TEST_F(AutomaticCalibration, ASilentCalibratorEndsTheSequenceNamingStepAndLine) {
  AnalogInCalib calib(rec, info);
  ASSERT_TRUE(calib.prepare());
  calib.initialise();
  SimInstrumentFaults silent;
  silent.silent = true;
  metrahit->device().setFaults(silent);
  ui.expectMessage(
      "Error in calibration sequence during step 1 (line 15):\n"
      "Calibrator error:\nMetrahit 28c: Timeout, no response from MetraHit",
      UiAnswer::Ok);
  runSequence(calib);
  EXPECT_FALSE(calib.runner().running());
  EXPECT_EQ(calib.sequence().currentStep, 1);
  EXPECT_EQ(ui.pendingExpectations(), 0u);
}

TEST_F(AutomaticCalibration, AThermocoupleOutputTakesTheThermometerAsReference) {
  // Probe 1 at 23.5 degrees C, at the terminals of the module's input.
  auto testo = std::make_shared<SimThermometer>();
  ASSERT_TRUE(testo->start()) << testo->device().error();
  metrahit->setThermometer(testo);
  Option_SetString("TESTO_COMPORTNAME", testo->devicePath().c_str());
  Option_SetInt("ANALOGCALIB_USE_TESTO", 1);
  sim.removeModule(demo);
  const SimModuleId id = addModule(kNode, kType, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 3, {0x0300}, 1, 0x6401));
    SimIoSignal s;
    s.from = "metrahit";
    c.io.ioSignals.push_back(s);
  });
  info = channels(id, CHANINFO_ANALOG_IN);
  AnalogInCalib calib(listed(id), info);
  ASSERT_TRUE(calib.prepare());
  calib.initialise();
  EXPECT_TRUE(calib.thermocouplePresent());
  EXPECT_EQ(calib.refText(), "23.5");

  calib.chooseConfig(1);
  calib.setNewValue("200");
  metrahit->device().clearCommands();
  calib.outToAll();
  const std::vector<std::string> heard = metrahit->device().commands();
  for (const char* command : {"SET:TEMP:COMP EXT", "SET:TEMP:EREF 0.235000E+2", "SOUR:TEMP:TC K::VAL 0.200000E+3"})
    EXPECT_NE(std::find(heard.begin(), heard.end(), command), heard.end()) << command;
  ASSERT_TRUE(calib.readValues());
  EXPECT_NEAR(calib.readingOf(0), 200.0, 1e-3) << "the reference given is the terminals' temperature";
  testo->setTemperature(1, 26.0);
  ASSERT_TRUE(calib.readValues());
  EXPECT_NEAR(calib.readingOf(0), 202.5, 1e-3) << "terminals warmer than the reference given";

  SimInstrumentFaults silent;
  silent.silent = true;
  testo->device().setFaults(silent);
  ui.expectMessage("TESTO 701 not available, disabled.\nTimeout, no response from Testo 701", UiAnswer::Ok);
  calib.testoTick();
  EXPECT_EQ(Option_GetInt("ANALOGCALIB_USE_TESTO"), 0);
  EXPECT_EQ(calib.refText(), "");
}

}  // namespace
