// "Module Status": a modal overview of every listed module with its node id,
// name, state and firmware and bootloader versions; "Read Status" asks every
// module again.
#pragma once

#include <QDialog>
#include <vector>

struct ModuleRec;
class QTreeWidget;
class QPushButton;

class StatusDialog : public QDialog {
  Q_OBJECT
 public:
  explicit StatusDialog(QWidget* owner);

  QTreeWidget* list() const { return list_; }
  // A click on a column header: the current column again reverses the
  // direction, another column starts ascending.
  void sortBy(int column);
  // Asks every module, in display order, for its state and (where not known
  // yet) its module info, rewriting its row as it goes.
  void readStatus();

 private:
  void fillRows();
  void writeRow(int row);

  QTreeWidget* list_;
  QPushButton* read_;
  QPushButton* close_;
  std::vector<ModuleRec*> rows_;  // display order
  int sortColumn_ = 0;
  bool ascending_ = true;
};

// Modal.
void StatusDialog_Open(QWidget* owner);
