// The factory page "Testo 701" of the settings dialog (TAB_SET_TESTO): the
// thermometer's port and probe, whether the analog input calibration uses it
// as its temperature reference, and a "Test" button. The dialog calls load()
// when the page is shown and store() when it is hidden.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;

class TestoSettingsTab : public QWidget {
  Q_OBJECT
 public:
  explicit TestoSettingsTab(QWidget* parent = nullptr);

  void load();
  void store();

 private:
  std::string portToStore() const;
  void test();

  QComboBox* port_;
  QComboBox* channel_;
  QCheckBox* useAsReference_;
  std::vector<std::string> ports_;
};
