#include "calib/CalibRunner.h"

#include <algorithm>

#include "core/TextFormat.h"

namespace {

const char* PhaseWord(bool finalPhase) { return finalPhase ? "final" : "initial"; }

// The point a step works on: 1 for Low, 2 for High, 0 for a check.
int PointOf(const CalibStep& step) {
  return step.kind == CALIB_KIND_LOW ? 1 : step.kind == CALIB_KIND_HIGH ? 2 : 0;
}

bool Single(const CalibStep& step) { return step.chanSelectMode == CALIB_SELECT_SINGLE; }

int64_t Ms(double seconds) { return int64_t(seconds * 1000.0); }

}  // namespace

void CalibRunner::start() {
  state_ = SEQ_INIT;
  error_ = false;
}

void CalibRunner::fail(const std::string& text) {
  errorText_ = text;
  error_ = true;
}

int CalibRunner::tick(CalibSequence& sequence, CalibRunnerHost& host, int64_t nowMs) {
  if (state_ != SEQ_INIT && error_) state_ = SEQ_ERROR;
  return runState(sequence, host, nowMs);
}

int CalibRunner::runState(CalibSequence& sequence, CalibRunnerHost& host, int64_t nowMs) {
  const bool needsStep = state_ != SEQ_ERROR && state_ != SEQ_IDLE;
  const int stepIndex = sequence.currentStep - 1;
  if (needsStep && (stepIndex < 0 || stepIndex >= sequence.stepCount ||
                    stepIndex >= CALIB_SEQ_MAX_STEPS)) {
    errorText_ = "No calibration step selected";
    state_ = SEQ_IDLE;
    return SEQ_RESULT_ERROR;
  }
  const CalibStep& step = needsStep ? sequence.steps[size_t(stepIndex)] : CalibStep{};
  const int point = PointOf(step);

  switch (state_) {
    case SEQ_INIT:
      text_ = "Init";
      channel_ = 0;
      finalPhase_ = false;
      error_ = false;
      state_ = SEQ_CLEAR_TEXT;
      return SEQ_RESULT_REFRESH;

    case SEQ_CLEAR_TEXT:
      if (step.kind == CALIB_KIND_LOW) text_ = "Clearing old calibration (Low)";
      if (step.kind == CALIB_KIND_HIGH) text_ = "Clearing old calibration (High)";
      state_ = SEQ_CLEAR;
      return SEQ_RESULT_CONTINUE;

    case SEQ_CLEAR:
      // A channel that lacks the step's configuration has nothing to
      // calibrate: one-by-one steps pass it over.
      if (Single(step) && !host.rowActive(channel_)) {
        state_ = SEQ_NEXT;
        return SEQ_RESULT_CONTINUE;
      }
      if (point != 0) {
        if (Single(step))
          host.pressClearRow(channel_, point);
        else
          host.pressClearAll(point);
      }
      state_ = SEQ_OUTPUT_TEXT;
      return SEQ_RESULT_CONTINUE;

    case SEQ_OUTPUT_TEXT:
      text_ = "Setting Calibrator Output";
      state_ = SEQ_OUTPUT;
      return SEQ_RESULT_CONTINUE;

    case SEQ_OUTPUT:
      if (Single(step))
        host.pressOutToRow(channel_);
      else
        host.pressOutToAll();
      finalPhase_ = point == 0;
      state_ = SEQ_START_WAIT;
      return SEQ_RESULT_CONTINUE;

    case SEQ_START_WAIT:
      deadline_ = nowMs + Ms(step.timeout);
      settleEnd_ = nowMs + Ms(step.settleTime);
      waitFrom_ = host.valueUpdates();
      state_ = SEQ_WAIT;
      return SEQ_RESULT_CONTINUE;

    case SEQ_WAIT:
      windowCheck(step, host, nowMs);
      return SEQ_RESULT_CONTINUE;

    case SEQ_CALIB_TEXT:
      text_ = point == 1 ? "Calibration (Low)" : "Calibration (High)";
      state_ = SEQ_CALIBRATE;
      return SEQ_RESULT_CONTINUE;

    case SEQ_CALIBRATE:
      if (Single(step))
        host.pressSetRow(channel_, point);
      else
        host.pressSetAll(point);
      finalPhase_ = true;
      state_ = SEQ_START_WAIT;
      return SEQ_RESULT_CONTINUE;

    case SEQ_NEXT:
      return next(sequence, host);

    case SEQ_OFF:
      text_ = "Finished";
      host.pressOutputOff();
      state_ = SEQ_IDLE;
      return SEQ_RESULT_CONTINUE;

    case SEQ_ERROR:
      state_ = SEQ_IDLE;
      return SEQ_RESULT_ERROR;

    case SEQ_IDLE:
      return SEQ_RESULT_FINISHED;

    default:
      errorText_ = Text_Format("Internal error: unknown SeqState %d", state_);
      state_ = SEQ_IDLE;
      return SEQ_RESULT_ERROR;
  }
}

void CalibRunner::windowCheck(const CalibStep& step, CalibRunnerHost& host, int64_t nowMs) {
  const double deviation = finalPhase_ ? step.finalDeviation : step.initialDeviation;
  const double low = step.value - deviation;
  const double high = step.value + deviation;
  // Only channels that measure the step's configuration count, and only with
  // a reading taken since the wait began: a channel of another configuration
  // (or one read before the calibrator was set) says nothing about this step.
  int failing = -1;
  const int first = Single(step) ? channel_ : 0;
  const int last = Single(step) ? channel_ : host.channelCount() - 1;
  for (int c = first; c <= last && failing < 0; ++c) {
    if (!host.rowActive(c)) continue;
    double value = 0;
    if (!host.reading(c, waitFrom_, value) || !(value >= low && value <= high)) failing = c;
  }

  if (failing < 0) {
    if (nowMs >= settleEnd_) {
      state_ = finalPhase_ ? SEQ_NEXT : SEQ_CALIB_TEXT;
    } else {
      text_ = Text_Format("Settle time delay for %s deviation (%.1f s)", PhaseWord(finalPhase_),
                          double(settleEnd_ - nowMs) / 1000.0);
    }
    return;
  }
  text_ = Text_Format("Channel %d has not yet reached %g +/- %g (%s deviation)", failing, step.value,
                      deviation, PhaseWord(finalPhase_));
  if (nowMs <= deadline_) {
    settleEnd_ = nowMs + Ms(step.settleTime);  // settling starts again
  } else {
    errorText_ = Text_Format("Timeout (channel %d),\n%s deviation (%g +/- %g) not reached\n", failing,
                             PhaseWord(finalPhase_), step.value, deviation);
    state_ = SEQ_ERROR;
  }
}

int CalibRunner::next(CalibSequence& sequence, CalibRunnerHost& host) {
  const CalibStep& step = sequence.steps[size_t(sequence.currentStep - 1)];
  if (Single(step) && channel_ < host.channelCount() - 1) {
    ++channel_;
    text_ = "Next channel";
    state_ = SEQ_CLEAR;
    return SEQ_RESULT_REFRESH;
  }
  channel_ = 0;
  if (sequence.currentStep >= sequence.stepCount) {
    text_ = "Disabling Calibrator Output";
    state_ = SEQ_OFF;
  } else {
    ++sequence.currentStep;
    text_ = "Next step";
    state_ = SEQ_CLEAR;
  }
  return SEQ_RESULT_REFRESH;
}

int CalibRunner::progress(const CalibSequence& sequence, int channels) const {
  const int steps = sequence.stepCount;
  const int step = sequence.currentStep;
  if (steps <= 0 || step <= 0) return 1;
  const CalibStep& s = sequence.steps[size_t(std::min(step, int(CALIB_SEQ_MAX_STEPS)) - 1)];
  int done = 0;
  if (Single(s) && channels > 0) {
    done = ((step - 1) * channels + channel_) * 100 / (steps * channels);
  } else {
    done = (step - 1) * 100 / steps;
  }
  return std::max(done, 1);
}

std::string CalibRunner::line(const CalibSequence& sequence) const {
  const int step = sequence.currentStep;
  if (step >= 1 && step <= sequence.stepCount && step <= CALIB_SEQ_MAX_STEPS &&
      Single(sequence.steps[size_t(step - 1)])) {
    return Text_Format("Cal. Step %d, Ch. %d:  %s", step, channel_, text_.c_str());
  }
  return Text_Format("Cal. Step %d:  %s", step, text_.c_str());
}
