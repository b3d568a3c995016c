// The sequence runner on its own: a scripted dialog records the buttons the
// runner presses and serves the readings a test sets; time is passed in, so
// settle times and time-outs cost nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "calib/CalibRunner.h"
#include "core/TextFormat.h"

namespace {

class ScriptedHost : public CalibRunnerHost {
 public:
  int channels = 2;
  std::vector<bool> active = std::vector<bool>(32, true);
  std::map<int, double> values;  // channel -> reading
  long updates = 0;
  std::vector<std::string> pressed;
  CalibRunner* runner = nullptr;
  bool outputFails = false;

  // A value update: every channel reads what `values` holds.
  void update() { ++updates; }

  int channelCount() const override { return channels; }
  bool rowActive(int c) const override { return active[size_t(c)]; }
  long valueUpdates() const override { return updates; }
  bool reading(int c, long after, double& v) const override {
    if (updates <= after || !values.count(c)) return false;
    v = values.at(c);
    return true;
  }
  void pressClearAll(int p) override { pressed.push_back(Text_Format("clrAll%d", p)); }
  void pressClearRow(int c, int p) override { pressed.push_back(Text_Format("clear%d_%d", p, c)); }
  void pressOutToAll() override {
    pressed.push_back("outAll");
    if (outputFails) runner->fail("Calibrator error:\nMetrahit 28c: Timeout, no response from MetraHit");
  }
  void pressOutToRow(int c) override { pressed.push_back(Text_Format("out%d", c)); }
  void pressSetAll(int p) override { pressed.push_back(Text_Format("setAll%d", p)); }
  void pressSetRow(int c, int p) override { pressed.push_back(Text_Format("set%d_%d", p, c)); }
  void pressOutputOff() override { pressed.push_back("hiZ"); }
};

CalibStep Step(int kind, double value, int select = CALIB_SELECT_ALL) {
  CalibStep s;
  s.line = 10;
  s.config = 1;
  s.kind = kind;
  s.value = value;
  s.chanSelectMode = select;
  s.settleTime = 1.0;
  s.timeout = 5.0;
  s.initialDeviation = 0.5;
  s.finalDeviation = 0.1;
  return s;
}

class CalibRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override { host.runner = &runner; }
  void steps(std::vector<CalibStep> list) {
    seq.stepCount = int(list.size());
    for (size_t i = 0; i < list.size(); ++i) seq.steps[i] = list[i];
    seq.currentStep = 1;
    runner.start();
  }
  // Ticks every 100 ms with a value update before each tick until the runner
  // reports something other than "continue"/"refresh" or `limit` ticks
  // passed; collects each distinct runner text.
  int runUntilDone(int limit = 2000) {
    for (int i = 0; i < limit; ++i) {
      host.update();
      const int result = runner.tick(seq, host, now);
      now += SEQ_TICK_MS;
      if (texts.empty() || texts.back() != runner.text()) texts.push_back(runner.text());
      if (result == SEQ_RESULT_ERROR || result == SEQ_RESULT_FINISHED) return result;
    }
    return 1000;
  }

  ScriptedHost host;
  CalibRunner runner;
  CalibSequence seq;
  int64_t now = 5000;
  std::vector<std::string> texts;
};

TEST_F(CalibRunnerTest, CheckStepOnlyOutputsAndSettlesInTheFinalWindow) {
  host.values = {{0, 5.05}, {1, 4.95}};
  steps({Step(CALIB_KIND_CHECK, 5)});
  EXPECT_EQ(runUntilDone(), SEQ_RESULT_FINISHED);
  EXPECT_EQ(host.pressed, (std::vector<std::string>{"outAll", "hiZ"}));
  EXPECT_EQ(texts.front(), "Init");
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Settle time delay for final deviation (0.9 s)"), texts.end());
  EXPECT_EQ(texts.back(), "Finished");
  EXPECT_FALSE(runner.running());
}

TEST_F(CalibRunnerTest, CalibrationStepClearsOutputsCalibratesAndChecks) {
  host.values = {{0, 0.3}, {1, -0.2}};
  steps({Step(CALIB_KIND_LOW, 0), Step(CALIB_KIND_HIGH, 10)});
  // Calibrating puts the readings where they belong.
  host.channels = 2;
  int result = 0;
  for (int i = 0; i < 400 && result != SEQ_RESULT_FINISHED; ++i) {
    host.update();
    result = runner.tick(seq, host, now);
    now += SEQ_TICK_MS;
    if (!host.pressed.empty() && host.pressed.back() == "setAll1") host.values = {{0, 0.0}, {1, 0.05}};
    if (!host.pressed.empty() && host.pressed.back() == "clrAll2") host.values = {{0, 9.7}, {1, 10.2}};
    if (!host.pressed.empty() && host.pressed.back() == "setAll2") host.values = {{0, 10.0}, {1, 9.95}};
    ASSERT_NE(result, SEQ_RESULT_ERROR) << runner.errorText();
  }
  EXPECT_EQ(result, SEQ_RESULT_FINISHED);
  EXPECT_EQ(host.pressed, (std::vector<std::string>{"clrAll1", "outAll", "setAll1", "clrAll2", "outAll",
                                                    "setAll2", "hiZ"}));
}

TEST_F(CalibRunnerTest, SingleStepRunsEachChannelInTurn) {
  host.channels = 4;
  host.values = {{0, 1.0}, {1, 1.0}, {2, 1.0}, {3, 1.0}};
  steps({Step(CALIB_KIND_LOW, 1, CALIB_SELECT_SINGLE)});
  EXPECT_EQ(runUntilDone(), SEQ_RESULT_FINISHED);
  EXPECT_EQ(host.pressed, (std::vector<std::string>{"clear1_0", "out0", "set1_0", "clear1_1", "out1", "set1_1",
                                                    "clear1_2", "out2", "set1_2", "clear1_3", "out3", "set1_3",
                                                    "hiZ"}));
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Next channel"), 3);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Disabling Calibrator Output"), 1);
}

TEST_F(CalibRunnerTest, ChannelsWithoutTheConfigurationAreLeftAlone) {
  // Channel 2 lacks the step's configuration: its old reading is far off,
  // yet neither an ALL nor a SINGLE step waits for it or touches it.
  host.channels = 3;
  host.active[2] = false;
  host.values = {{0, 1.0}, {1, 1.0}, {2, 0.0}};
  steps({Step(CALIB_KIND_CHECK, 1), Step(CALIB_KIND_HIGH, 1, CALIB_SELECT_SINGLE)});
  EXPECT_EQ(runUntilDone(), SEQ_RESULT_FINISHED);
  EXPECT_EQ(host.pressed, (std::vector<std::string>{"outAll", "clear2_0", "out0", "set2_0", "clear2_1", "out1",
                                                    "set2_1", "hiZ"}));
}

TEST_F(CalibRunnerTest, LeavingTheWindowRestartsTheSettleTimeButNotTheTimeout) {
  host.values = {{0, 10.0}, {1, 10.0}};
  CalibStep check = Step(CALIB_KIND_CHECK, 10);
  check.settleTime = 2.0;
  check.timeout = 3.0;
  steps({check});
  // Channel 1 jumps out every 1.5 s: settling never completes, the time-out does.
  int result = 0;
  int ticks = 0;
  while (result != SEQ_RESULT_ERROR && result != SEQ_RESULT_FINISHED && ticks < 200) {
    host.values[1] = (ticks % 15 == 14) ? 12.0 : 10.0;
    host.update();
    result = runner.tick(seq, host, now);
    now += SEQ_TICK_MS;
    ++ticks;
  }
  EXPECT_EQ(result, SEQ_RESULT_ERROR);
  EXPECT_EQ(runner.errorText(), "Timeout (channel 1),\nfinal deviation (10 +/- 0.1) not reached\n");
  // The wait began at 0.5 s, so the time-out is at 3.5 s; excursions at 1.4,
  // 2.9 and 4.4 s each restart the 2 s settle time. The one at 4.4 s is past
  // the time-out and ends the step (the error is reported one tick later).
  EXPECT_EQ(ticks, 46);
}

TEST_F(CalibRunnerTest, WindowTextsAndTimeoutNameTheFirstFailingChannel) {
  host.values = {{0, 0.2}, {1, 7.0}};
  steps({Step(CALIB_KIND_LOW, 0)});
  EXPECT_EQ(runUntilDone(), SEQ_RESULT_ERROR);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Channel 1 has not yet reached 0 +/- 0.5 (initial deviation)"),
            texts.end());
  EXPECT_EQ(runner.errorText(), "Timeout (channel 1),\ninitial deviation (0 +/- 0.5) not reached\n");
  EXPECT_EQ(host.pressed, (std::vector<std::string>{"clrAll1", "outAll"}));
}

TEST_F(CalibRunnerTest, StaleReadingsDoNotCount) {
  host.values = {{0, 5.0}, {1, 5.0}};
  steps({Step(CALIB_KIND_CHECK, 5)});
  // No value update after the wait began: nothing is fresh, so nothing settles.
  for (int i = 0; i < 5; ++i) runner.tick(seq, host, now += SEQ_TICK_MS);
  for (int i = 0; i < 20; ++i) runner.tick(seq, host, now += SEQ_TICK_MS);
  EXPECT_EQ(runner.text(), "Channel 0 has not yet reached 5 +/- 0.1 (final deviation)");
}

TEST_F(CalibRunnerTest, AnActionErrorEndsTheSequenceAtTheNextTick) {
  host.outputFails = true;
  host.values = {{0, 1.0}, {1, 1.0}};
  steps({Step(CALIB_KIND_CHECK, 1)});
  EXPECT_EQ(runUntilDone(), SEQ_RESULT_ERROR);
  EXPECT_EQ(runner.errorText(), "Calibrator error:\nMetrahit 28c: Timeout, no response from MetraHit");
  EXPECT_EQ(host.pressed, (std::vector<std::string>{"outAll"}));
  runner.start();
  runner.setState(42);
  EXPECT_EQ(runner.tick(seq, host, now), SEQ_RESULT_ERROR);
  EXPECT_EQ(runner.errorText(), "Internal error: unknown SeqState 42");
}

TEST_F(CalibRunnerTest, ProgressAndRunnerLine) {
  struct Case {
    int select, step, channel;
    int progress;
    const char* line;
  } cases[] = {
      {CALIB_SELECT_ALL, 1, 0, 1, "Cal. Step 1:  Init"},
      {CALIB_SELECT_ALL, 3, 0, 50, "Cal. Step 3:  Init"},
      {CALIB_SELECT_SINGLE, 2, 0, 25, "Cal. Step 2, Ch. 0:  Init"},
      {CALIB_SELECT_SINGLE, 4, 3, 93, "Cal. Step 4, Ch. 3:  Next channel"},
  };
  host.channels = 4;
  host.values = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
  for (const Case& c : cases) {
    CalibRunner r;
    seq.stepCount = 4;
    for (int i = 0; i < 4; ++i) seq.steps[size_t(i)] = Step(CALIB_KIND_CHECK, 0, c.select);
    seq.currentStep = c.step;
    r.start();
    r.tick(seq, host, now);  // Init
    for (int ch = 0; ch < c.channel; ++ch) {
      r.setState(SEQ_NEXT);
      r.tick(seq, host, now);
    }
    EXPECT_EQ(r.progress(seq, 4), c.progress) << c.line;
    EXPECT_EQ(r.line(seq), c.line);
  }
}

}  // namespace
