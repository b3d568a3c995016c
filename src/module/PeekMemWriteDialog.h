// The "Write to memory" dialog (DIALOG_PEEKMEMWRITE) of the "Peek Memory" page:
// memory type, start address and a list of bytes ("Data:") written into the
// module's data EEPROM; the hint line shows the data forms and, after
// "Write Data", the result. The fields are kept for the next opening.
#pragma once

#include <QDialog>

#include "module/PeekMem.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct ModuleRec;

class PeekMemWriteDialog : public QDialog {
  Q_OBJECT
 public:
  PeekMemWriteDialog(ModuleRec& module, QWidget* parent = nullptr);

  // "Write Data".
  void write();
  // "Close" (also Escape and the close box): keeps the fields.
  void reject() override;

 private:
  PeekWriteFields fields() const;
  void showFields(const PeekWriteFields& fields);

  ModuleRec& module_;
  QComboBox* memType_;
  QLineEdit* start_;
  QLineEdit* data_;
  QLabel* hint_;
};

// Runs the dialog modally for the module.
void PeekMemWriteDialog_Show(ModuleRec& module, QWidget* parent);
