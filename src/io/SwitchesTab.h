// The Switches page of the module dialog (TAB_MOD_DIPSWITCHES): the module's
// node-id switches, bit-rate switches and service button as four bit rows
// laid out from the module type's switch layout, read on a timer while the
// module's auto-update flag is set. The rows only show; clicks change nothing.
#pragma once

#include "io/BitWidget.h"
#include "io/SwitchState.h"
#include "ui/ModuleTab.h"

class QCheckBox;
class QLineEdit;
struct ModuleRec;

class SwitchesTab : public ModuleTab {
  Q_OBJECT
 public:
  explicit SwitchesTab(QWidget* parent = nullptr);

  // Reads the switches and shows them. False when the read failed (the
  // auto-update flag is then cleared and the rows greyed).
  bool read();

  BitWidget& row(int k) { return rows_[k]; }

 protected:
  void pageShown() override;
  bool pollingWanted() const override;
  void poll() override;

 private:
  void showState();

  BitWidget rows_[SWITCH_ROWS];
  QLineEdit* nodeId_;
  QLineEdit* baudrate_;
  QLineEdit* serviceButton_;
  QCheckBox* autoUpdate_;
};
