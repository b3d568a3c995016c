#include "protocol/StatusDialog.h"

#include <algorithm>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/ErrorReport.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleStatus.h"

namespace {

// The legend beside the list: state numbers and what they mean.
QWidget* makeLegend(QWidget* parent) {
  auto* legend = new QWidget(parent);
  legend->setObjectName("statusLegend");
  auto* grid = new QGridLayout(legend);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(new QLabel("Status:", legend), 0, 0, 1, 2);
  const char* pairs[][2] = {{"0", "Invalid NodeID"},     {"1", "Bootloader"},
                            {"2", "Duplicate NodeID"},   {"3", "PreOperational"},
                            {"3", "Illegal Start"},      {"3 (i)", "PreOperational (i)"},
                            {"4 (i)", "Stopped (i)"},    {"5 (i)", "Operational (i)"}};
  int row = 1;
  for (const auto& pair : pairs) {
    grid->addWidget(new QLabel(pair[0], legend), row, 0);
    grid->addWidget(new QLabel(pair[1], legend), row, 1);
    ++row;
  }
  grid->addWidget(new QLabel("(i) = Initialized by\n       KVX master", legend), row, 0, 1, 2);
  return legend;
}

}  // namespace

StatusDialog::StatusDialog(QWidget* owner) : QDialog(owner) {
  setObjectName("DIALOG_MODULESTATUS");
  setWindowTitle("Module Status");
  auto* outer = new QHBoxLayout(this);

  list_ = new QTreeWidget(this);
  list_->setObjectName("statusList");
  list_->setRootIsDecorated(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setColumnCount(kStatusColumnCount);
  QStringList titles;
  for (int c = 0; c < kStatusColumnCount; ++c)
    titles << QString::fromStdString(ModuleStatus_ColumnTitle(c));
  list_->setHeaderLabels(titles);
  // The widths, or wider where the title and the sort mark need more.
  for (int c = 0; c < kStatusColumnCount; ++c)
    list_->setColumnWidth(c, std::max(ModuleStatus_ColumnWidth(c),
                                      fontMetrics().horizontalAdvance(titles[c]) + 24));
  list_->header()->setSectionsClickable(true);
  list_->header()->setSortIndicatorShown(true);
  outer->addWidget(list_, 1);

  auto* side = new QVBoxLayout;
  side->addWidget(makeLegend(this));
  side->addStretch(1);
  read_ = new QPushButton("Read Status", this);
  read_->setObjectName("readStatus");
  close_ = new QPushButton("Close", this);
  close_->setObjectName("statusClose");
  close_->setDefault(true);
  side->addWidget(read_);
  side->addWidget(close_);
  outer->addLayout(side);

  connect(list_->header(), &QHeaderView::sectionClicked, this, &StatusDialog::sortBy);
  connect(read_, &QPushButton::clicked, this, &StatusDialog::readStatus);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);

  fillRows();
  resize(sizeHint().expandedTo(QSize(620, 300)));
  setMinimumSize(size());  // never smaller than it opened
}

void StatusDialog::fillRows() {
  rows_.clear();
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
    rows_.push_back(rec);
  sortColumn_ = 0;
  ascending_ = true;
  ModuleStatus_Sort(rows_, sortColumn_, ascending_);
  list_->clear();
  for (size_t i = 0; i < rows_.size(); ++i) {
    new QTreeWidgetItem(list_);
    writeRow(int(i));
  }
  list_->header()->setSortIndicator(sortColumn_, Qt::AscendingOrder);
}

void StatusDialog::writeRow(int row) {
  QTreeWidgetItem* item = list_->topLevelItem(row);
  if (!item) return;
  for (int c = 0; c < kStatusColumnCount; ++c)
    item->setText(c, QString::fromStdString(ModuleStatus_CellText(*rows_[size_t(row)], c)));
}

void StatusDialog::sortBy(int column) {
  if (column < 0 || column >= kStatusColumnCount) return;
  ascending_ = column == sortColumn_ ? !ascending_ : true;
  sortColumn_ = column;
  ModuleRec* selected = nullptr;
  const int current = list_->indexOfTopLevelItem(list_->currentItem());
  if (current >= 0) selected = rows_[size_t(current)];
  ModuleStatus_Sort(rows_, sortColumn_, ascending_);
  for (size_t i = 0; i < rows_.size(); ++i) {
    writeRow(int(i));
    if (rows_[i] == selected) list_->setCurrentItem(list_->topLevelItem(int(i)));
  }
  list_->header()->setSortIndicator(sortColumn_,
                                    ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void StatusDialog::readStatus() {
  SetWaitCursor(1);
  for (size_t i = 0; i < rows_.size(); ++i) {
    ModuleRec& rec = *rows_[i];
    QTreeWidgetItem* item = list_->topLevelItem(int(i));
    item->setText(kStatusColNode, QString::fromStdString(ModuleStatus_NodeText(rec)));
    ModuleStatus_ReadState(rec);
    item->setText(kStatusColState, QString::fromStdString(ModuleStatus_StateText(rec)));
    if (!rec.infoValid) ModuleStatus_ReadInfo(rec);
    item->setText(kStatusColFirmware, QString::fromStdString(ModuleStatus_FirmwareText(rec)));
    item->setText(kStatusColBootloader, QString::fromStdString(ModuleStatus_BootloaderText(rec)));
  }
  SetWaitCursor(0);
}

void StatusDialog_Open(QWidget* owner) {
  StatusDialog dialog(owner);
  dialog.exec();
}
