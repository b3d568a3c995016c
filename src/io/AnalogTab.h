// The Analog In and Analog Out pages of the module dialog (TAB_MOD_ANALOGIN,
// TAB_MOD_ANALOGOUT): one channel at a time, chosen in a channel list, with
// its configuration, its value and level bar and its two user calibration
// points. Analog In polls the value while the module's auto-update flag is
// set; Analog Out reads on demand and writes an entered output value.
#pragma once

#include "io/ChanInfo.h"
#include "ui/ModuleTab.h"

class CalibPointsWidget;
class QCheckBox;
class QDialog;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
struct ModuleRec;

// What both pages have.
class AnalogTab : public ModuleTab {
  Q_OBJECT
 public:
  AnalogTab(QWidget* parent, bool outputs);

  virtual void refresh() = 0;
  // Selects a channel as the channel list does.
  void selectChannel(int channel);

  CalibPointsWidget* calibPoints() const { return calib_; }

  // What "Factory Calibration..." opens (the calibration dialogs live above
  // this folder; the program hands them in): the dialog, whose finished()
  // the page waits for, or nullptr when none opened. Without an opener, or
  // outside factory mode, the button stays hidden.
  using FactoryCalibOpener = QDialog* (*)(AnalogTab* page);
  void setFactoryCalibOpener(FactoryCalibOpener opener) { opener_ = opener; }
  // "Factory Calibration...".
  virtual void openFactoryCalibration() = 0;

  // What the calibration dialogs work on: the dialog's module and the
  // channels this page read.
  ModuleRec* calibModule() const { return module(); }
  ChanInfo& calibChannels() const { return channels(); }

 protected:
  ChanInfo& channels() const { return shared<ChanInfo>(); }
  // Reads the channel description and fills the channel list.
  void loadChannels();
  // Everything cleared and disabled, as a refresh begins.
  void resetControls();
  // The user calibration rows of the selected channel, read from the module.
  void showCalibPoints(int code);
  void layOutPage(QGridLayout* grid);
  virtual void channelChosen() = 0;
  virtual void calibPointChanged(bool succeeded) = 0;
  // Runs the opener; factoryCalibrationDone() follows when the dialog has
  // closed (or at once when none opened).
  void runFactoryCalibration();
  virtual void factoryCalibrationDone() = 0;

  bool outputs_;
  QComboBox* channelList_;
  QLineEdit* configText_;
  QProgressBar* bar_;
  CalibPointsWidget* calib_;
  QCheckBox* autoUpdate_;
  QPushButton* factoryCalib_;
  FactoryCalibOpener opener_ = nullptr;
};

class AnalogInTab : public AnalogTab {
  Q_OBJECT
 public:
  explicit AnalogInTab(QWidget* parent = nullptr);

  void refresh() override;
  // One poll: reads and shows the value (only while auto-update is set).
  // 0 shown, -1 failed or nothing to show.
  int readValue();
  void openFactoryCalibration() override;

 protected:
  void pageShown() override;
  bool pollingWanted() const override;
  void poll() override { readValue(); }
  void channelChosen() override { refresh(); }
  void calibPointChanged(bool succeeded) override;
  void factoryCalibrationDone() override;

 private:
  QLineEdit* value_;
};

class AnalogOutTab : public AnalogTab {
  Q_OBJECT
 public:
  explicit AnalogOutTab(QWidget* parent = nullptr);

  void refresh() override;
  // Reads the output's value into the entry and the bar. -1 when the read failed.
  int readValue();
  // "Set": writes the entry's value, limited to the channel's range, and reads it back.
  void setValue();
  void openFactoryCalibration() override;

 protected:
  void pageShown() override;
  void channelChosen() override;
  void calibPointChanged(bool succeeded) override;
  void factoryCalibrationDone() override;

 private:
  QLabel* caption_;
  QLineEdit* entry_;
  QPushButton* set_;
};
