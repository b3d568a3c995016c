// The "Info" page of the module dialog: identity, versions, state and dates
// of the module, read each time the page is shown; in factory mode also the
// programming date and "Set Shipping Date...".
#pragma once

#include "ui/TabDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
struct ModuleRec;

class InfoTab : public TabPage {
  Q_OBJECT
 public:
  explicit InfoTab(QWidget* parent = nullptr);

  void refresh();
  void setShippingDate();

 protected:
  void pageShown() override { refresh(); }

 private:
  ModuleRec* module() const;
  QLineEdit* addField(const char* label, const char* name, int row, QLabel** labelOut = nullptr);

  QLineEdit* name_;
  QLabel* compatibleLabel_;
  QLineEdit* compatible_;
  QLineEdit* description_;
  QLineEdit* hardware_;
  QLineEdit* bootloader_;
  QLineEdit* firmware_;
  QLineEdit* status_;
  QLineEdit* mode_;
  QLabel* programmingLabel_;
  QLineEdit* programming_;
  QLineEdit* shipping_;
  QPushButton* setShipping_;
};
