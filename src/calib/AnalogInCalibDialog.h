// "Analog Input Calibration" (DIALOG_ANALOGINCALIB), opened by the Analog In
// page's "Factory Calibration...": one row per input channel, the
// configuration and display lists, calibrator buttons, the calibration
// sequence with its runner, the trace file and the SAM base calibration
// indicators. Only one can be open; it is modal to its module dialog and the
// main window. What it does is in AnalogInCalib; this is its face.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>

#include "calib/AnalogCalibDialog.h"
#include "calib/AnalogInCalib.h"

class AnalogCalibRowsWidget;
class AnalogTab;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class AnalogInCalibDialog : public AnalogCalibDialog {
  Q_OBJECT
 public:
  // `page` is the Analog In page that opened it: its channel record gets the
  // configurations in use back when the dialog closes.
  AnalogInCalibDialog(AnalogTab* page, std::unique_ptr<AnalogInCalib> calib, QWidget* moduleDialog);
  ~AnalogInCalibDialog() override;

  AnalogInCalib& calib() { return *calib_; }
  QWidget* moduleDialog() const { return moduleDialog_; }
  void render() override;

 protected:
  void endCalibration(bool restore) override;

 private:
  void build();
  QPushButton* button(const QString& text, const char* name, void (AnalogInCalib::*action)());
  void openSettings();

  std::unique_ptr<AnalogInCalib> calib_;
  QPointer<QWidget> moduleDialog_;

  AnalogCalibRowsWidget* rows_ = nullptr;
  QComboBox* configList_ = nullptr;
  QComboBox* valueModes_ = nullptr;
  QComboBox* calibModes_ = nullptr;
  QLineEdit* newValue_ = nullptr;
  QLabel* refLabel_ = nullptr;
  QLineEdit* ref_ = nullptr;
  QLabel* refUnit_ = nullptr;
  QCheckBox* autoUpdate_ = nullptr;
  QCheckBox* trace_ = nullptr;
  QPushButton* setAll_[2] = {};
  QPushButton* clrAll_[2] = {};
  QPushButton* outToAll_ = nullptr;
  QPushButton* hiZ_ = nullptr;
  QLabel* calibratorName_ = nullptr;
  QLabel* stepText_ = nullptr;
  QPushButton* first_ = nullptr;
  QPushButton* prev_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* last_ = nullptr;
  QPushButton* edit_ = nullptr;
  QPushButton* reload_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* stop_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* runnerLine_ = nullptr;
  QLabel* samLabel_ = nullptr;
  QLabel* sam_[2] = {};
  QPushButton* samEdit_ = nullptr;
};

// "Factory Calibration..." of the Analog In page: opens the dialog for the
// page's module (or brings it to the front when it is open for the same
// module dialog). nullptr when it cannot open (reported) or the user
// cancelled on the way.
QDialog* AnalogInCalib_Open(AnalogTab* page);
// Closes the open dialog as its close box does.
void AnalogInCalib_Close();
// The same, only when the open dialog belongs to that module dialog.
void AnalogInCalib_CloseFor(QWidget* moduleDialog);
AnalogInCalibDialog* AnalogInCalib_Instance();

// What "Settings..." opens: the settings dialog at a page (the calibrator
// page is index 4); the program installs it.
void AnalogInCalib_SetSettingsOpener(std::function<void(QWidget* parent, int page)> opener);
constexpr int kSettingsCalibratorPage = 4;
