// The "Multi Update" dialog: four file rows ("...", "Clr", module name,
// version, "Select"), the module list with check boxes and a result column,
// the selection buttons, "Stop on Module Failure", "Retries per Module",
// "Start Update", "Stop", a status line and a progress bar over a MultiUpdate.
// Slots 5 to 32 are not shown: they come only from RECENT_HEXFILE_LIST and
// take part in the matching; the four rows do not scroll.
#pragma once

#include <QDialog>

#include "firmware/MultiUpdate.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTreeWidget;

class MultiUpdateDialog : public QDialog {
  Q_OBJECT
 public:
  explicit MultiUpdateDialog(QWidget* owner = nullptr);
  ~MultiUpdateDialog() override;

  MultiUpdate& update() { return update_; }
  void chooseFile(int slot);
  void clearSlot(int slot);
  void startUpdate();
  void closeDialog();  // "Close"

 protected:
  void reject() override;  // Escape and the close box: a run ends without its message

 private:
  void buildSlotRows(class QGridLayout* grid);
  void takeCheckBoxes();
  void refresh();
  void showSlots();
  void enableControls();

  MultiUpdate update_;
  QLineEdit* slotNames_[kMultiUpdateShownSlots];
  QLabel* slotModules_[kMultiUpdateShownSlots];
  QLabel* slotVersions_[kMultiUpdateShownSlots];
  QPushButton* slotButtons_[kMultiUpdateShownSlots][3];  // "...", "Clr", "Select"
  QTreeWidget* list_;
  QPushButton* selectAll_;
  QPushButton* deselectAll_;
  QPushButton* selectAvailable_;
  QCheckBox* stopOnError_;
  QSpinBox* retries_;
  QPushButton* start_;
  QPushButton* stop_;
  QPushButton* close_;
  QLabel* status_;
  QProgressBar* progress_;
  bool refreshing_ = false;
};

// Runs the dialog (the Module menu's "Multi Update...").
void MultiUpdateDialog_Show(QWidget* owner);
