// "SAM Base Calibration" (DIALOG_SAMBASECALIB), reached from the "Edit..."
// button of the analog input calibration: both converters of a SAMC21
// module side by side with their inputs, actual result, wanted behaviour,
// correction pairs, status and zero offset clipping, the reference source
// buttons and the automatic calibration. One at a time; what it does is in
// SamBaseCalibPanel.
#pragma once

#include <QDialog>
#include <memory>

#include "calib/SamBaseCalibPanel.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct ModuleRec;

class SamBaseCalibDialog : public QDialog {
  Q_OBJECT
 public:
  SamBaseCalibDialog(QWidget* parent, ModuleRec& module);
  ~SamBaseCalibDialog() override;

  SamBaseCalibPanel& panel() { return *panel_; }
  ModuleRec* module() const { return module_; }
  void render();

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Converter {
    QLabel* name;
    QLabel* inputs;
    QLabel* actual;
    QLabel* wanted[2];
    QLineEdit* pairActual[2];
    QLineEdit* pairWanted[2];
    QPushButton* setPair[2];
    QCheckBox* valid[2];
    QCheckBox* enabled;
    QLineEdit* clipping;
    QPushButton* setClipping;
    QPushButton* source[3];
    QPushButton* autoCalib;
    QLabel* state;
  };
  QWidget* buildConverter(int adc);
  void act(const std::function<void()>& action);
  void finish();

  std::unique_ptr<SamBaseCalibPanel> panel_;
  ModuleRec* module_;
  Converter adc_[2];
  QPushButton* close_ = nullptr;
  bool finished_ = false;
};

// Opens the dialog for a module (or brings the open one for the same module
// to the front). nullptr when it cannot open (reported).
QDialog* SamBaseCalib_Open(QWidget* parent, ModuleRec* module);
// Asks an open dialog to close.
void SamBaseCalib_Close();
SamBaseCalibDialog* SamBaseCalib_Instance();
