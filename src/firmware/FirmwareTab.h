// The "Firmware Update" page of the module dialog: the module's firmware
// identity beside that of a HEX file with agreement marks, the restart into
// bootloader or firmware, and "Write to KVX module..." that runs the upload.
// A one-second timer refreshes the page when the file has changed and settled.
#pragma once

#include <string>

#include "firmware/FwTabFields.h"
#include "ui/TabDialog.h"
#include "ui/Ui.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;
struct ModuleRec;

class FirmwareTab : public TabPage {
  Q_OBJECT
 public:
  explicit FirmwareTab(QWidget* parent = nullptr);
  ~FirmwareTab() override;

  // Fills the page from the module and the file (report: HEX read errors are shown).
  void refresh(bool report);
  void chooseFile();
  void writeToModule();
  void restart();
  // One tick of the one-second timer.
  void tick();

  std::string fileName() const;
  UiTimer& timer() { return timer_; }

 protected:
  void pageShown() override;
  void pageHidden() override;

 private:
  ModuleRec* module() const;
  void show(const FwTabFields& f);
  void storeFileName();

  QLabel* moduleHeading_;
  QLabel* fileHeading_;
  QLineEdit* moduleFields_[4];
  QLineEdit* fileFields_[4];
  QLabel* marks_[3];
  QLineEdit* file_;
  QPushButton* browse_;
  QPushButton* write_;
  QPushButton* restart_;
  UiTimer timer_;
};

// Shows a restart's result: the wait after the restart, then a fresh page.
int FwTab_Restart(QWidget* page);
