// The "SMS" page of the module dialog (TAB_MOD_SMS): four rows of the module's
// table of outgoing text messages (entry number, phone number, text) with a
// scroll bar, reading and writing the table in the module and loading and
// saving it as an SMS file.
#pragma once

#include "module/SmsTable.h"
#include "ui/ModuleTab.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

class SmsTab : public ModuleTab {
  Q_OBJECT
 public:
  explicit SmsTab(QWidget* parent = nullptr);

  // The rows' fields as they are typed.
  SmsRowEdits edits() const;

 protected:
  void pageShown() override;
  void pageHidden() override;

 private:
  SmsState& sms() const { return shared<SmsState>(); }
  template <class Command>
  void run(Command command);
  void showTable();
  void scroll(int action);

  QLabel* numbers_[kSmsRows];
  QLineEdit* phones_[kSmsRows];
  QLineEdit* texts_[kSmsRows];
  QLabel* phoneHead_;
  QLabel* textHead_;
  QScrollBar* scrollBar_;
  QPushButton* buttons_[4];
};
