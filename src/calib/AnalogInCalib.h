// The analog input factory calibration ("Analog Input Calibration"): all
// input channels of a module side by side, a calibrator driven from the
// dialog or by the sequence runner, a reference thermometer, the analog
// trace file, and the SAM base calibration indicators. This is everything
// the dialog does; the dialog only shows it and passes the user's actions on.
//
// Timers: 1 = value update (AUTOUPDATE_INTERVAL_MS, while the module's
// auto-update flag is set), 2 = sequence runner (100 ms, one-shot, re-armed
// after each state), 6 = reference thermometer (TESTO_INTERVAL_MS).
#pragma once

#include <functional>
#include <string>

#include "calib/AnalogCalibChannels.h"
#include "calib/AnalogTrace.h"
#include "calib/CalibRunner.h"
#include "calib/CalibSequence.h"
#include "ui/Ui.h"

class AnalogInCalib : public AnalogCalibChannels, public CalibRunnerHost {
 public:
  AnalogInCalib(ModuleRec& module, const ChanInfo& channels);
  ~AnalogInCalib() override;

  // Before the dialog opens: reads the module type's sequence (silently),
  // offers to clear user points, and asks a SAMC21 module for the base
  // calibration status of its converters. False when the user cancelled.
  bool prepare();
  // When the dialog has opened: configuration list, refresh, one reading of
  // the thermometer when it is in use, and the timers.
  void initialise();
  // Closing: stops the timers and the runner; OK and Cancel (`restore`)
  // switch every channel back to its original configuration.
  void close(bool restore);

  // Everything but the rows, as the controls show it.
  struct Controls {
    bool running = false;
    std::string runText;  // "Run" or "Cont."
    bool runEnabled = false, stopEnabled = false;
    bool firstEnabled = false, prevEnabled = false, nextEnabled = false, lastEnabled = false;
    bool editEnabled = false, reloadEnabled = false;
    bool sequenceShown = false;  // calibrator name and step
    std::string calibratorName, stepText;
    int progress = 0;            // while running
    std::string runnerLine;      // while running
    bool newValueEditable = false;
    bool outToAllEnabled = false, hiZEnabled = false;
    bool refEnabled = false, refEditable = false;
    bool setAllEnabled[2] = {false, false};
    bool autoUpdate = false;
    bool traceActive = false;
    bool samShown = false;
    bool samGreen[2] = {false, false};
  };
  Controls controls() const;
  bool rowSetEnabled(int channel, int point) const;
  bool rowOutEnabled(int channel) const;

  // The "New Value:" and "Ref:" fields.
  const std::string& newValue() const { return newValue_; }
  void setNewValue(const std::string& text) { newValue_ = text; }
  const std::string& refText() const { return refText_; }
  void setRefText(const std::string& text) { refText_ = text; }
  double refTemperature() const { return refTemp_; }

  CalibSequence& sequence() { return sequence_; }
  CalibRunner& runner() { return runner_; }
  const AnalogTrace& trace() const { return trace_; }
  bool thermocouplePresent() const { return tcPresent_; }
  bool temperaturePresent() const { return tempPresent_; }

  // Rows, step and configuration again (after almost every action).
  void refresh() override;

  // ---- buttons ----
  void rowSet(int channel, int point);
  void rowClear(int channel, int point);
  void setAllPoints(int point);
  void clearAllPoints(int point);
  void outToRow(int channel);
  void outToAll();
  void outputOff();
  void chooseConfig(int entry);
  void setAutoUpdate(bool on);
  void toggleTrace();
  void editSequence();
  void reloadSequence();
  void firstStep();
  void previousStep();
  void nextStep();
  void lastStep();
  void run();
  void stop();

  // ---- timers (exposed for the tests' scripted backend) ----
  UiTimer& valueTimer() { return valueTimer_; }
  UiTimer& runnerTimer() { return runnerTimer_; }
  UiTimer& testoTimer() { return testoTimer_; }
  void valueTick();
  void runnerTick();
  void testoTick();

  // ---- the runner's view (CalibRunnerHost) ----
  int channelCount() const override { return AnalogCalibChannels::channelCount(); }
  bool rowActive(int channel) const override { return AnalogCalibChannels::rowActive(channel); }
  long valueUpdates() const override { return AnalogCalibChannels::valueUpdates(); }
  bool reading(int channel, long afterUpdates, double& value) const override;
  void pressClearAll(int point) override { clearAllPoints(point); }
  void pressClearRow(int channel, int point) override { rowClear(channel, point); }
  void pressOutToAll() override { outToAll(); }
  void pressOutToRow(int channel) override { outToRow(channel); }
  void pressSetAll(int point) override { setAllPoints(point); }
  void pressSetRow(int channel, int point) override { rowSet(channel, point); }
  void pressOutputOff() override { outputOff(); }

 private:
  const CalibStep* selectedStep() const;
  bool hasCalibrator() const;
  void readConfigFlags();
  void startTimers();
  void updateValues();
  bool readThermometer();
  void thermometerFailed();
  void output(int code);
  void selectStep(int step);
  std::string orderCode() const;
  AnalogTraceHeader traceHeader() const;
  void changed();

  CalibSequence sequence_;
  CalibRunner runner_;
  AnalogTrace trace_;
  std::string newValue_;
  std::string refText_;
  double refTemp_ = 0.0;
  bool tcPresent_ = false;
  bool tempPresent_ = false;
  bool samShown_ = false;
  UiTimer valueTimer_;
  UiTimer runnerTimer_;
  UiTimer testoTimer_;
};
