// The "RTC" page of the module dialog (TAB_MOD_RTC): the module's clock beside
// the PC clock, "Auto Update" of the module clock, and setting the module's
// clock from the PC clock or (factory mode) from a typed time and date. The
// refresh timer runs while the page is shown; each tick shows the PC clock
// and, with "Auto Update", reads the module's clock.
#pragma once

#include "ui/ModuleTab.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class RtcTab : public ModuleTab {
  Q_OBJECT
 public:
  explicit RtcTab(QWidget* parent = nullptr);

  // "Set Module Real Time Clock".
  void setModuleClock();

 protected:
  void pageShown() override;
  bool pollingWanted() const override { return module() != nullptr; }
  void poll() override;

 private:
  void choiceChanged(bool own);
  void setEditable(bool editable);

  QLineEdit* moduleTime_;
  QLineEdit* moduleDate_;
  QCheckBox* autoUpdate_;
  QRadioButton* pcClock_;
  QRadioButton* ownTime_;
  QLineEdit* time_;
  QLineEdit* date_;
  QPushButton* set_;
};
