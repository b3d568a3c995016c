// The logger's traffic measurement: frames and bus bits per measurement
// period, giving messages per second and the bus load in percent of the bit
// rate, and the activity indicator that turns while frames arrive.
#pragma once

#include <cstdint>

class LoggerStats {
 public:
  static constexpr long kRateNone = -1;
  static constexpr double kLoadNone = -1.0;
  static constexpr double kLoadUnknown = -2.0;  // the interface does not know its bit rate

  // A frame with len data bytes: len x 8 + 47 bits on the bus.
  void count(uint32_t len) {
    ++total_;
    ++periodFrames_;
    periodBits_ += int64_t(len > 8 ? 8 : len) * 8 + 47;
  }
  int64_t total() const { return total_; }

  // The shown values go back to "none": the next tick opens a new period.
  void forgetShown() {
    shownRate_ = kRateNone;
    shownLoad_ = kLoadNone;
  }

  // The 1 s tick. The first tick after forgetShown only opens a period and
  // shows 0 and 0; later ones measure the period since and open the next.
  // bitRate 0 (unknown) gives the load kLoadUnknown. Returns which values changed.
  struct Tick {
    bool rateChanged = false;
    bool loadChanged = false;
  };
  Tick tick(int64_t nowMs, int bitRate);
  long shownRate() const { return shownRate_; }
  double shownLoad() const { return shownLoad_; }

  // The 100 ms tick of the activity indicator: it moves on when frames
  // arrived since the last call. Returns true when it moved.
  bool turnActivity();
  // "/", "--", "\" or "|".
  const char* activityText() const;

 private:
  int64_t total_ = 0;
  int64_t periodFrames_ = 0;
  int64_t periodBits_ = 0;
  int64_t periodStartMs_ = 0;
  long shownRate_ = kRateNone;
  double shownLoad_ = kLoadNone;
  int64_t totalAtLastTurn_ = 0;
  int activity_ = 3;  // the first turn shows the first step
};
