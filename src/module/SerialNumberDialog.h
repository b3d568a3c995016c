// The "Module Serial Number" dialog (Module menu "Serial Number..."): the
// listed modules with their serial numbers, the selection buttons, the new
// user serial and (factory mode) manufacturer serial with "Auto Increment",
// and programming of the selected modules, one step per tick of a 50 ms timer.
#pragma once

#include <QDialog>

#include "module/SerialNumbers.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;

class SerialNumberDialog : public QDialog {
  Q_OBJECT
 public:
  explicit SerialNumberDialog(QWidget* owner = nullptr);

  SerialNumbers& serials() { return serials_; }
  QTimer* programTimer() const { return timer_; }
  // "Apply to selected modules..." of a kind.
  void apply(SerialKind kind);
  // One programming step (the timer's tick).
  void step();
  // "Close": stores the options and the file, closes.
  void closeDialog();

 protected:
  // Escape and the close box close as "Close" does; not while programming runs.
  void reject() override;

 private:
  // The controls into the serials' fields and the modules' selections.
  void takeControls();
  // Runs an action after taking the controls and shows the outcome.
  template <class Action>
  void run(Action action);
  void showRows();

  SerialNumbers serials_;
  QTimer* timer_;
  QTreeWidget* list_;
  QLineEdit* number_[2];
  QCheckBox* autoIncrement_[2];
  QPushButton* apply_[2];
  QGroupBox* manufGroup_;
  QPushButton* selectManufZero_;
  QCheckBox* hexDisplay_;
  QList<QWidget*> controls_;  // everything that is disabled while programming runs
  bool showing_ = false;
};

// Runs the dialog modally (the Module menu's "Serial Number...").
void SerialNumberDialog_Show(QWidget* owner);
