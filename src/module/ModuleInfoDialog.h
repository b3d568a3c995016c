// The module catalogue viewer ("KVX 700 Modules..." in the Help menu): every
// module type with its order code and description, sortable by column.
#pragma once

#include <QDialog>
#include <vector>

#include "module/ModuleCatalogueView.h"

class QCheckBox;
class QPushButton;
class QTreeWidget;

class ModuleInfoDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ModuleInfoDialog(QWidget* owner = nullptr);

  QTreeWidget* list() const { return list_; }
  // Sorts by the column at this position, as a click on its header does.
  void clickColumn(int position);
  const CatalogueSort& sort() const { return sort_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void rebuild();
  void fillRows();
  void layoutControls();

  QTreeWidget* list_;
  QCheckBox* showType_;
  QPushButton* close_;
  std::vector<CatalogueColumnDef> columns_;
  CatalogueSort sort_;
};

// Shows the viewer modally.
void ModuleInfoDialog_Show(QWidget* owner);
