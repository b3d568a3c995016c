// The "CAN Bus" page of the module dialog: shows whether the module takes its
// node id and bit rate from its DIP switches or its EEPROM, shows the values
// of that source, and writes new EEPROM values, switches back to the DIP
// switches or (newer modules) clears the EEPROM values.
#pragma once

#include "ui/TabDialog.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
struct BusTabView;
struct ModuleRec;

class CanBusTab : public TabPage {
  Q_OBJECT
 public:
  explicit CanBusTab(QWidget* parent = nullptr);

  // Reads the parameters and fills the controls.
  void refresh();
  // 's' = write (set), 'c' = clear. 1 when something was sent and the page
  // should refresh, 0 otherwise.
  int write(char action);
  // The module's parameter layout as last read: true for format 38.
  bool format38() const { return format38_; }

 protected:
  void pageShown() override { refresh(); }

 private:
  ModuleRec* module() const;
  void apply(const BusTabView& view);
  void sourceChosen(bool dip);
  void setSource(bool dip, bool none = false);

  QLineEdit* node_;
  QComboBox* baud_;
  QButtonGroup* sourceGroup_;
  QRadioButton* dip_;
  QRadioButton* eeprom_;
  QPushButton* write_;
  QPushButton* clear_;
  char bus_;
  bool format38_ = false;
};
