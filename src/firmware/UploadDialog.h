// The single-module upload dialog ("Uploading Firmware"): a progress bar, a
// progress text and Cancel over an FwUploadRun. Modal; it closes itself when
// the upload ends.
#pragma once

#include <QDialog>
#include <string>

#include "firmware/FwUploadRun.h"

class QLabel;
class QProgressBar;
class QPushButton;
struct ModuleRec;

class UploadDialog : public QDialog {
  Q_OBJECT
 public:
  UploadDialog(QWidget* owner, ModuleRec& rec, std::string fileName);
  ~UploadDialog() override;

  // Starts the upload; false when another upload runs (the dialog is then
  // closed at once and must not be shown).
  bool start();
  // 1 uploaded, -1 failed, 0 cancelled or not started.
  int uploadResult() const { return run_.result(); }
  FwUploadRun& run() { return run_; }

 protected:
  void reject() override;  // Cancel, Escape and the close box

 private:
  void showProgress();

  ModuleRec& rec_;
  std::string fileName_;
  FwUploadRun run_;
  QProgressBar* bar_;
  QLabel* progress_;
  QPushButton* cancel_;
};

// Runs the dialog for rec and the file (what "Write to KVX module..." does):
// 1 uploaded, -1 failed (shown), 0 cancelled or another upload runs.
int UploadDialog_Run(QWidget* owner, ModuleRec& rec, const std::string& fileName);
