// The factory page "Testo 701" of the settings dialog (TAB_SET_TESTO): the
// thermometer's port and probe, whether the analog input calibration uses it
// as its temperature reference, and a "Test" button. The dialog calls load()
// when the page is shown and store() when it is hidden.
#pragma once

#include "ui/TabDialog.h"
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;

class TestoSettingsTab : public TabPage {
  Q_OBJECT
 public:
  explicit TestoSettingsTab(QWidget* parent = nullptr);

  void load();
  void store();

 protected:
  void pageShown() override { load(); }
  void pageHidden() override { store(); }

 private:
  std::string portToStore() const;
  void test();

  QComboBox* port_;
  QComboBox* channel_;
  QCheckBox* useAsReference_;
  std::vector<std::string> ports_;
};
