// The "Peek Memory" page of the module dialog (TAB_MOD_PEEKMEM): a hex dump of
// the module's program flash or data EEPROM, optionally saved to a file, and
// "Write..." for the "Write to memory" dialog. A dump is read one request per
// turn of the event loop from a timer, with a progress bar and "Cancel", so
// the window stays usable however long the range is.
#pragma once

#include <cstdint>

#include "module/PeekMem.h"
#include "ui/ModuleTab.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

class PeekMemTab : public ModuleTab {
  Q_OBJECT
 public:
  explicit PeekMemTab(QWidget* parent = nullptr);
  ~PeekMemTab() override;

  // "Read": starts a dump (the timer then reads it request by request).
  void read();
  // One request of the running dump (the dump timer's tick).
  void stepDump();
  // "Cancel": the running dump ends at its next step.
  void cancel();
  // "Write...": the modal "Write to memory" dialog.
  void openWriteDialog();

  const PeekDump& dump() const { return dump_; }
  QTimer* dumpTimer() const { return dumpTimer_; }

 protected:
  void pageShown() override;
  void pageHidden() override;

 private:
  PeekFields fields() const;
  void showFields(const PeekFields& fields);
  void showDump(const std::string& text);
  void showDumpGrowth();
  void showProgress();
  void enableControls();

  PeekDump dump_;
  QTimer* dumpTimer_;
  int64_t lastShownMs_ = 0;
  size_t shownChars_ = 0;  // of dump_.text() in the dump box
  bool readEnabled_ = false;
  QComboBox* memType_;
  QLineEdit* start_;
  QLineEdit* length_;
  QCheckBox* toFile_;
  QPushButton* read_;
  QPushButton* cancel_;
  QPushButton* write_;
  QLabel* cpu_;
  QProgressBar* progress_;
  QPlainTextEdit* dumpBox_;
};
