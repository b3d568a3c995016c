// The "LIN Bus" page of the module dialog (TAB_MOD_LINTEST): sends a LIN
// request to the module through the LIN master, shows the checked answer, and
// ("Start") repeats the exchange with counters. The exchange is advanced by a
// single-shot timer that is re-armed with the delay the exchange asks for.
#pragma once

#include "ui/ModuleTab.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

class LinTestTab : public ModuleTab {
  Q_OBJECT
 public:
  explicit LinTestTab(QWidget* parent = nullptr);

  // "Send Message".
  void send();
  // "Start" ticked or unticked.
  void setStart(bool ticked);
  // The exchange timer's tick: runs what is due and re-arms the timer.
  void step();
  QTimer* exchangeTimer() const { return exchangeTimer_; }

 protected:
  void pageShown() override;
  void pageHidden() override;

 private:
  void arm(int delayMs);
  void showView();

  QTimer* exchangeTimer_;
  QLineEdit* masterNode_;
  QPushButton* send_;
  QCheckBox* start_;
  QLineEdit* sent_;
  QLineEdit* ok_;
  QLineEdit* failed_;
  QLineEdit* slaveName_;
  QLineEdit* slaveNode_;
  QLineEdit* result_;
  QLabel* checkMark_;
  QLabel* crossMark_;
};
