// The Switches page of the module dialog (TAB_MOD_DIPSWITCHES): the module's
// node-id switches, bit-rate switches and service button as four bit rows
// laid out from the module type's switch layout, read on a timer while the
// module's auto-update flag is set. The rows only show; clicks change nothing.
#pragma once

#include "io/BitWidget.h"
#include "io/SwitchState.h"
#include "module/TabDialog.h"

class QCheckBox;
class QLineEdit;
class QTimer;
struct ModuleRec;

class SwitchesTab : public TabPage {
  Q_OBJECT
 public:
  explicit SwitchesTab(QWidget* parent = nullptr);

  // Reads the switches and shows them. False when the read failed (the
  // auto-update flag is then cleared and the rows greyed).
  bool read();

  BitWidget& row(int k) { return rows_[k]; }
  QTimer* timer() const { return timer_; }
  // One timer tick: stop, read, start again while polling goes on.
  void tick();

 protected:
  void pageShown() override;
  void pageHidden() override;

 private:
  ModuleRec* module() const;
  void showState();
  void startOrStopTimer();

  BitWidget rows_[SWITCH_ROWS];
  QLineEdit* nodeId_;
  QLineEdit* baudrate_;
  QLineEdit* serviceButton_;
  QCheckBox* autoUpdate_;
  QTimer* timer_;
};
