#include "module/ModuleInfoDialog.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QTreeWidget>

#include "core/ErrorReport.h"
#include "protocol/ModuleType.h"

namespace {
constexpr int kMargin = 10;
constexpr int kGap = 12;
}  // namespace

ModuleInfoDialog::ModuleInfoDialog(QWidget* owner) : QDialog(owner) {
  setObjectName("DIALOG_MODULEINFO");
  setWindowTitle("KVX 700 modules");
  list_ = new QTreeWidget(this);
  list_->setObjectName("moduleInfoList");
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSortingEnabled(false);
  list_->header()->setSectionsClickable(true);
  list_->header()->setStretchLastSection(false);
  list_->header()->setSortIndicatorShown(true);
  showType_ = new QCheckBox("Show module type", this);
  showType_->setObjectName("showModuleType");
  close_ = new QPushButton("Close", this);
  close_->setObjectName("closeButton");
  close_->setDefault(true);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  connect(list_->header(), &QHeaderView::sectionClicked, this, &ModuleInfoDialog::clickColumn);
  connect(showType_, &QCheckBox::toggled, this, [this] {
    // New columns: sorted by name again, in the direction chosen last.
    sort_.column = CatalogueColumn::Name;
    rebuild();
  });
  rebuild();
  resize(640, 420);
}

void ModuleInfoDialog::rebuild() {
  columns_ = Catalogue_Columns(showType_->isChecked(), FactoryMode());
  list_->clear();
  list_->setColumnCount(int(columns_.size()));
  QStringList titles;
  for (const CatalogueColumnDef& c : columns_) titles << c.title;
  list_->setHeaderLabels(titles);
  for (int i = 0; i < int(columns_.size()); ++i) list_->setColumnWidth(i, columns_[i].width);
  fillRows();
}

void ModuleInfoDialog::fillRows() {
  std::vector<const ModuleTypeInfo*> rows = Catalogue_Rows(FactoryMode());
  Catalogue_Sort(rows, sort_);
  list_->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(int(rows.size()));
  for (const ModuleTypeInfo* row : rows) {
    auto* item = new QTreeWidgetItem;
    for (int i = 0; i < int(columns_.size()); ++i)
      item->setText(i, QString::fromStdString(Catalogue_CellText(*row, columns_[i].column)));
    items << item;
  }
  list_->addTopLevelItems(items);
  // The header shows which column orders the list, and which way.
  for (int i = 0; i < int(columns_.size()); ++i)
    if (columns_[i].column == sort_.column)
      list_->header()->setSortIndicator(i, sort_.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void ModuleInfoDialog::clickColumn(int position) {
  if (position < 0 || position >= int(columns_.size())) return;
  sort_.click(columns_[position].column);
  fillRows();
}

void ModuleInfoDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  layoutControls();
}

void ModuleInfoDialog::layoutControls() {
  const QSize client = size();
  const QSize button = close_->sizeHint();
  const int listWidth = client.width() - 2 * kMargin;
  const int listHeight = client.height() - button.height() - 3 * kMargin;
  list_->setGeometry(kMargin, kMargin, listWidth, listHeight);
  const int below = kMargin + listHeight + kGap;
  close_->setGeometry(kMargin + listWidth - button.width(), below, button.width(), button.height());
  showType_->setGeometry(kMargin, below, showType_->sizeHint().width(), button.height());
}

void ModuleInfoDialog_Show(QWidget* owner) {
  ModuleInfoDialog dialog(owner);
  dialog.exec();
}
