// The bus master's PLC start/stop dialog (one at a time, modeless).
#pragma once

#include <QDialog>

#include "ui/Ui.h"

class QLabel;
class QPushButton;

class PlcDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PlcDialog(QWidget* owner);
  ~PlcDialog() override;

  // Queries the master and shows its run state; returns the state.
  int refresh();
  UiTimer& pollTimer() { return poll_; }

 private:
  void poll();
  void command(bool run);

  QLabel* status_;
  QPushButton* start_;
  QPushButton* stop_;
  UiTimer poll_;
};

// Opens the dialog when the master answered its connection query; activates an
// open one; otherwise does nothing.
void PlcDialog_Open(QWidget* owner);
void PlcDialog_Close();
PlcDialog* PlcDialog_Instance();
// Lets the Ethernet link open (with this owner) and close the dialog without
// knowing the GUI.
void PlcDialog_InstallLinkHooks(QWidget* owner);
