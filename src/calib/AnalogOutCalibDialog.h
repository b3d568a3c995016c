// "Analog Output Calibration" (DIALOG_ANALOGOUTCALIB), opened by the Analog
// Out page's "Factory Calibration...": one row per output channel, the
// configuration and display lists, "Set Output" to every channel of the
// chosen configuration, and the points set or cleared per channel or for
// all. Only one can be open; it is modal to its module dialog. What it does
// is in AnalogOutCalib.
#pragma once

#include <functional>
#include <memory>

#include "calib/AnalogCalibDialog.h"
#include "calib/AnalogOutCalib.h"

class AnalogCalibRowsWidget;
class AnalogTab;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class AnalogOutCalibDialog : public AnalogCalibDialog {
  Q_OBJECT
 public:
  // `page` is the Analog Out page that opened it: its channel record gets
  // the configurations in use back when the dialog closes.
  AnalogOutCalibDialog(AnalogTab* page, std::unique_ptr<AnalogOutCalib> calib);
  ~AnalogOutCalibDialog() override;

  AnalogOutCalib& calib() { return *calib_; }
  void render() override;

 protected:
  void endCalibration(bool restore) override;

 private:

  std::unique_ptr<AnalogOutCalib> calib_;
  AnalogCalibRowsWidget* rows_ = nullptr;
  QComboBox* configList_ = nullptr;
  QComboBox* valueModes_ = nullptr;
  QComboBox* calibModes_ = nullptr;
  QLineEdit* newValue_ = nullptr;
  QLineEdit* output_ = nullptr;
  QPushButton* setOutput_ = nullptr;
  QCheckBox* autoUpdate_ = nullptr;
  QPushButton* setAll_[2] = {};
};

// "Factory Calibration..." of the Analog Out page. nullptr when it cannot
// open (reported) or the user cancelled on the way.
QDialog* AnalogOutCalib_Open(AnalogTab* page);
// Asks an open dialog to close, as its close box does.
void AnalogOutCalib_Close();
AnalogOutCalibDialog* AnalogOutCalib_Instance();
