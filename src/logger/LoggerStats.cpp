#include "logger/LoggerStats.h"

LoggerStats::Tick LoggerStats::tick(int64_t nowMs, int bitRate) {
  Tick changed;
  long rate = 0;
  double load = 0.0;
  if (shownRate_ != kRateNone) {
    const int64_t elapsed = nowMs - periodStartMs_;
    if (elapsed <= 0) return changed;  // no time has passed: keep measuring
    rate = long(periodFrames_ * 1000 / elapsed);
    load = bitRate > 0 ? double(periodBits_) / bitRate * 100.0 / (double(elapsed) / 1000.0) : kLoadUnknown;
  }
  periodStartMs_ = nowMs;
  periodFrames_ = 0;
  periodBits_ = 0;
  changed.rateChanged = rate != shownRate_;
  changed.loadChanged = load != shownLoad_;
  shownRate_ = rate;
  shownLoad_ = load;
  return changed;
}

bool LoggerStats::turnActivity() {
  if (total_ == totalAtLastTurn_) return false;
  totalAtLastTurn_ = total_;
  activity_ = (activity_ + 1) % 4;
  return true;
}

const char* LoggerStats::activityText() const {
  static const char* const kSteps[4] = {"/", "--", "\\", "|"};
  return kSteps[activity_];
}
