// What the "SAM Base Calibration" dialog does: the status of both
// converters, the correction entered by hand, the reference source driven
// from its buttons and the automatic calibration of one converter. The
// dialog shows this and passes the user's actions on.
//
// Timers: 1 = the converters' actual results (AUTOUPDATE_INTERVAL_MS),
// 2 = the automatic calibration (500 ms, one state per tick).
#pragma once

#include <functional>
#include <string>

#include "calib/NestedCalls.h"
#include "calib/SamBaseCalib.h"
#include "ui/Ui.h"

struct ModuleRec;

// The editable fields of one converter.
struct SamAdcFields {
  std::string lowActual, lowWanted, highActual, highWanted, clipping;
};

// Opening: clears both records and asks both converters for their status.
// False (reported) when neither has base calibration support.
bool SamBaseCalib_Probe(const ModuleRec& module);

class SamBaseCalibPanel {
 public:
  explicit SamBaseCalibPanel(ModuleRec& module);
  ~SamBaseCalibPanel();

  // The dialog has opened: reference source off, the records of the
  // available converters read, timer 1 started.
  void initialise();
  // "Close", Cancel or the close box: timers stopped, reference source off.
  void close();

  // Called after a timer changed what is shown.
  std::function<void()> onChanged;
  // The calls the dialog and the timers make (see NestedCalls).
  NestedCalls& calls() { return calls_; }

  const SamAdcStatus& status(int adc) const { return SamBaseCalib_Status(adc); }
  SamAdcFields& fields(int adc) { return fields_[adc ? 1 : 0]; }
  // The automatic calibration's state text, shown with the converter it works on.
  std::string stateText(int adc) const;
  bool autoRunning() const { return auto_.running(); }

  // Correction fields, status boxes and clipping: only in debug mode.
  bool correctionEnabled(int adc) const;
  // Reference source buttons and "Auto Calibrate ADC n".
  bool calibratorEnabled(int adc) const;
  bool closeEnabled() const { return !auto_.running(); }

  // ---- buttons ----
  void validClicked(int adc, bool high);  // "Low Valid" / "High Valid"
  void enabledClicked(int adc);           // "Enabled"
  void sourceClicked(int adc, int n);     // "Calibrator:" Low (1), High (2), Hi-Z (3)
  void setPair(int adc, bool high);       // "Current correction:" Low / High
  void setClipping(int adc);
  void autoCalibrate(int adc);

  UiTimer& statusTimer() { return statusTimer_; }
  UiTimer& autoTimer() { return autoTimer_; }
  void statusTick();
  void autoTick();

 private:
  // The fields of a converter from its record.
  void show(int adc);

  ModuleRec& module_;
  SamAutoCalib auto_;
  SamAdcFields fields_[2];
  UiTimer statusTimer_;
  UiTimer autoTimer_;
  NestedCalls calls_;
  bool closed_ = false;
};
