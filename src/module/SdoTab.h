// The "SDOs" page of the module dialog (TAB_MOD_SDO), which also serves the
// "Vref Calib" tab (TAB_MOD_VREFCALIB): eight rows of the dialog's list of
// object entries with read, write, insert and delete per row, "Read All",
// "Write All", "Append", the value format and "Auto Update", under which the
// refresh timer reads the cyclic entries.
#pragma once

#include "module/SdoEntries.h"
#include "ui/ModuleTab.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QScrollBar;

class SdoTab : public ModuleTab {
  Q_OBJECT
 public:
  explicit SdoTab(QWidget* parent = nullptr);

  // The rows' fields as they are typed.
  SdoRowEdits edits() const;

 protected:
  void pageShown() override;
  void pageHidden() override;
  bool pollingWanted() const override;
  void poll() override;

 private:
  SdoList& list() const { return shared<SdoList>(); }
  // Runs a command on the list and shows the outcome (unless the page went
  // while a box was open).
  template <class Command>
  void run(Command command);
  void showList();
  void scroll(int action);

  struct Row {
    QCheckBox* cyclic;
    QLineEdit* name;
    QLineEdit* index;
    QLineEdit* sub;
    QLineEdit* type;
    QLineEdit* value;
    QPushButton* read;
    QPushButton* write;
    QPushButton* insert;
    QPushButton* remove;
  } rows_[kSdoRows];
  QComboBox* format_;
  QCheckBox* autoUpdate_;
  QScrollBar* scrollBar_;
  QFont fixedFont_;
};
