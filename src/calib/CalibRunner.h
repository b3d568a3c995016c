// The sequence runner of the analog input calibration: a small state machine
// that works through the steps of a calibration sequence one state per tick
// of a 100 ms one-shot timer. It does its work by performing the same actions
// as the dialog's buttons ("Clr all 1 (L)", "Out to All", "Set all 2 (H)",
// ...), which the dialog offers through CalibRunnerHost.
//
// A calibration step clears the old point, sets the calibrator, waits until
// the readings have stayed inside the wide initial window for the settle
// time, calibrates the point, then waits until they have stayed inside the
// narrow final window for the settle time; a check step only does the last
// part.
#pragma once

#include <cstdint>
#include <string>

#include "calib/CalibSequence.h"

// Runner states; the numbers are the states' own.
enum SeqState {
  SEQ_INIT = 0,
  SEQ_CLEAR_TEXT = 9,
  SEQ_CLEAR = 10,
  SEQ_OUTPUT_TEXT = 14,
  SEQ_OUTPUT = 15,
  SEQ_START_WAIT = 20,
  SEQ_WAIT = 25,
  SEQ_CALIB_TEXT = 30,
  SEQ_CALIBRATE = 35,
  SEQ_NEXT = 50,
  SEQ_OFF = 60,
  SEQ_ERROR = 90,
  SEQ_IDLE = 99,
};

// What one tick asks of the dialog afterwards.
enum {
  SEQ_RESULT_ERROR = -1,     // report the error text, refresh, stop
  SEQ_RESULT_CONTINUE = 0,   // tick again in 100 ms
  SEQ_RESULT_REFRESH = 1,    // refresh, then tick again in 100 ms
  SEQ_RESULT_FINISHED = 99,  // report success, deselect the step, refresh, stop
};

// Tick period of the runner.
constexpr int SEQ_TICK_MS = 100;

// The dialog as the runner sees it. point is 1 (Low) or 2 (High).
class CalibRunnerHost {
 public:
  virtual ~CalibRunnerHost() = default;
  virtual int channelCount() const = 0;
  // Whether the channel's row is active (it has the step's configuration).
  virtual bool rowActive(int channel) const = 0;
  // Number of value updates done so far.
  virtual long valueUpdates() const = 0;
  // The channel's latest reading, when it was taken by a value update after
  // the first `afterUpdates` ones; false when there is none that fresh.
  virtual bool reading(int channel, long afterUpdates, double& value) const = 0;

  // The buttons the runner presses.
  virtual void pressClearAll(int point) = 0;            // "Clr all 1 (L)", "Clr all 2 (H)"
  virtual void pressClearRow(int channel, int point) = 0;  // a row's "Clear"
  virtual void pressOutToAll() = 0;                     // "Out to All"
  virtual void pressOutToRow(int channel) = 0;          // "Out to Ch %d"
  virtual void pressSetAll(int point) = 0;              // "Set all 1 (L)", "Set all 2 (H)"
  virtual void pressSetRow(int channel, int point) = 0; // a row's "Set"
  virtual void pressOutputOff() = 0;                    // "Hi-Z (Off)"
};

class CalibRunner {
 public:
  // Runs one state. `sequence.currentStep` is the selected step (1-based).
  int tick(CalibSequence& sequence, CalibRunnerHost& host, int64_t nowMs);

  // "Run": from Init with the error flag cleared.
  void start();
  // "Stop", auto-update off, reload, closing: back to idle.
  void stop() { state_ = SEQ_IDLE; }
  bool running() const { return state_ != SEQ_IDLE; }

  // An action failed: the next tick ends the sequence with this text.
  void fail(const std::string& text);
  bool failed() const { return error_; }
  const std::string& errorText() const { return errorText_; }
  const std::string& text() const { return text_; }
  int state() const { return state_; }
  void setState(int state) { state_ = state; }
  int channel() const { return channel_; }

  // The share of the sequence done, in percent, at least 1.
  int progress(const CalibSequence& sequence, int channels) const;
  // "Cal. Step %d, Ch. %d:  %s" (SINGLE) or "Cal. Step %d:  %s".
  std::string line(const CalibSequence& sequence) const;

 private:
  int runState(CalibSequence& sequence, CalibRunnerHost& host, int64_t nowMs);
  void windowCheck(const CalibStep& step, CalibRunnerHost& host, int64_t nowMs);
  int next(CalibSequence& sequence, CalibRunnerHost& host);

  int state_ = SEQ_IDLE;
  bool error_ = false;
  std::string text_;
  std::string errorText_;
  int channel_ = 0;
  bool finalPhase_ = false;
  int64_t deadline_ = 0;
  int64_t settleEnd_ = 0;
  long waitFrom_ = 0;  // value updates done when the wait started
};
