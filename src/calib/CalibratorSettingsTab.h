// The factory page "Calibrator" of the settings dialog (TAB_SET_CALIBRATOR):
// port and address of the process calibrator and of the calibrator box, each
// with a "Test" button, and the three folders of calibration sequence files.
// The page loads its controls from the options when shown and writes them
// back when hidden; the dialog calls load() and store().
#pragma once

#include "ui/TabDialog.h"
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

class CalibratorSettingsTab : public TabPage {
  Q_OBJECT
 public:
  explicit CalibratorSettingsTab(QWidget* parent = nullptr);

  void load();
  void store();

 protected:
  void pageShown() override { load(); }
  void pageHidden() override { store(); }

 private:
  struct Device {
    QComboBox* port = nullptr;
    QComboBox* address = nullptr;
    std::vector<std::string> ports;  // the entries of port
  };
  QWidget* makeDevice(int calibrator, const QString& title, const QString& name);
  void loadDevice(int calibrator);
  std::string portToStore(int calibrator) const;
  int addressToStore(int calibrator) const;
  void test(int calibrator);

  Device devices_[3];  // by calibrator number 1, 2
  QLineEdit* dirs_[3] = {};
};
