#include "firmware/MultiUpdateDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/Options.h"
#include "core/WideText.h"

namespace {

QPushButton* Button(QWidget* parent, const char* text, const QString& name) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

// Dialog pixels to screen pixels, roughly as a dialog unit of the system font.
int DialogPixels(int units) { return units * 3 / 2; }

}  // namespace

MultiUpdateDialog::MultiUpdateDialog(QWidget* owner) : QDialog(owner) {
  setObjectName("DIALOG_MULTIUPDATE");
  setWindowTitle("Multi Update");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  buildSlotRows(grid);
  layout->addLayout(grid);

  list_ = new QTreeWidget(this);
  list_->setObjectName("muModuleList");
  list_->setRootIsDecorated(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setColumnCount(kMuColumnCount);
  QStringList titles;
  for (int c = 0; c < kMuColumnCount; ++c) titles << QString::fromStdString(MultiUpdate::columnTitle(c));
  list_->setHeaderLabels(titles);
  for (int c = 0; c < kMuColumnCount; ++c) list_->setColumnWidth(c, DialogPixels(MultiUpdate::columnWidth(c)));
  list_->header()->setSectionsClickable(true);
  list_->setMinimumHeight(200);
  layout->addWidget(list_, 1);

  auto* selectRow = new QHBoxLayout;
  selectAll_ = Button(this, "Select All", "muSelectAll");
  deselectAll_ = Button(this, "Deselect All", "muDeselectAll");
  selectAvailable_ = Button(this, "Select Available", "muSelectAvailable");
  stopOnError_ = new QCheckBox("Stop on Module Failure", this);
  stopOnError_->setObjectName("muStopOnError");
  retries_ = new QSpinBox(this);
  retries_->setObjectName("muRetries");
  retries_->setRange(0, 99);
  for (QWidget* w : {static_cast<QWidget*>(selectAll_), static_cast<QWidget*>(deselectAll_),
                     static_cast<QWidget*>(selectAvailable_)})
    selectRow->addWidget(w);
  selectRow->addStretch(1);
  selectRow->addWidget(stopOnError_);
  selectRow->addWidget(new QLabel("Retries per Module", this));
  selectRow->addWidget(retries_);
  layout->addLayout(selectRow);

  status_ = new QLabel(this);
  status_->setObjectName("muStatus");
  progress_ = new QProgressBar(this);
  progress_->setObjectName("muProgress");
  progress_->setRange(0, 100);
  layout->addWidget(status_);
  layout->addWidget(progress_);
  auto* buttons = new QHBoxLayout;
  start_ = Button(this, "Start Update", "muStart");
  stop_ = Button(this, "Stop", "muStop");
  close_ = Button(this, "Close", "muClose");
  buttons->addWidget(start_);
  buttons->addWidget(stop_);
  buttons->addStretch(1);
  buttons->addWidget(close_);
  layout->addLayout(buttons);
  resize(DialogPixels(560), DialogPixels(330));

  connect(selectAll_, &QPushButton::clicked, this, [this] { takeCheckBoxes(); update_.selectAll(); });
  connect(deselectAll_, &QPushButton::clicked, this, [this] { takeCheckBoxes(); update_.deselectAll(); });
  connect(selectAvailable_, &QPushButton::clicked, this, [this] { takeCheckBoxes(); update_.selectAvailable(); });
  connect(start_, &QPushButton::clicked, this, &MultiUpdateDialog::startUpdate);
  connect(stop_, &QPushButton::clicked, this, [this] { update_.stop(); });
  connect(close_, &QPushButton::clicked, this, &MultiUpdateDialog::closeDialog);
  // A ticked box is a selected module at once.
  connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    const int row = list_->indexOfTopLevelItem(item);
    if (!refreshing_ && column == 0 && row >= 0 && row < int(update_.rows().size()))
      update_.setSelected(row, item->checkState(0) == Qt::Checked);
  });
  connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
    takeCheckBoxes();
    update_.sortBy(column);
  });

  update_.onChanged([this] { refresh(); });
  update_.onCurrentRow([this](int row) {
    if (QTreeWidgetItem* item = list_->topLevelItem(row)) list_->scrollToItem(item);
  });
  update_.open();
  stopOnError_->setChecked(Option_GetInt("MULTI_UPDATE_STOP_ON_ERROR") != 0);
  retries_->setValue(Option_GetInt("MULTI_UPDATE_RETRIES"));
  refresh();
}

MultiUpdateDialog::~MultiUpdateDialog() { update_.abort(); }

void MultiUpdateDialog::buildSlotRows(QGridLayout* grid) {
  for (int i = 0; i < kMultiUpdateShownSlots; ++i) {
    const QString n = QString::number(i + 1);
    slotNames_[i] = new QLineEdit(this);
    slotNames_[i]->setObjectName("muFile" + n);
    slotNames_[i]->setReadOnly(true);
    slotNames_[i]->setMinimumWidth(300);
    slotButtons_[i][0] = Button(this, "...", "muChoose" + n);
    slotButtons_[i][1] = Button(this, "Clr", "muClear" + n);
    slotModules_[i] = new QLabel(this);
    slotModules_[i]->setObjectName("muModule" + n);
    slotModules_[i]->setMinimumWidth(90);
    slotVersions_[i] = new QLabel(this);
    slotVersions_[i]->setObjectName("muVersion" + n);
    slotVersions_[i]->setMinimumWidth(40);
    slotButtons_[i][2] = Button(this, "Select", "muSelect" + n);
    grid->addWidget(slotNames_[i], i, 0);
    grid->addWidget(slotButtons_[i][0], i, 1);
    grid->addWidget(slotButtons_[i][1], i, 2);
    grid->addWidget(slotModules_[i], i, 3);
    grid->addWidget(slotVersions_[i], i, 4);
    grid->addWidget(slotButtons_[i][2], i, 5);
    connect(slotButtons_[i][0], &QPushButton::clicked, this, [this, i] { chooseFile(i); });
    connect(slotButtons_[i][1], &QPushButton::clicked, this, [this, i] { clearSlot(i); });
    connect(slotButtons_[i][2], &QPushButton::clicked, this, [this, i] {
      takeCheckBoxes();
      update_.selectSlot(i);
    });
  }
  grid->setColumnStretch(0, 1);
}

void MultiUpdateDialog::chooseFile(int slot) {
  std::string initial = Text_Narrow(update_.slot(slot).name);
  if (!initial.empty() && (initial.back() == '\\' || initial.back() == '/')) initial.pop_back();
  UiFileRequest request;
  request.title = "Open Firmware Hex File";
  request.filter = "HEX files (*.hex)|*.hex|All files (*.*)|*.*";
  request.initialPath = initial;
  std::string chosen;
  if (!Ui_OpenFile(request, chosen)) return;
  update_.setSlot(slot, Text_Widen(chosen));
  refresh();
}

void MultiUpdateDialog::clearSlot(int slot) {
  update_.setSlot(slot, std::wstring());
  refresh();
}

void MultiUpdateDialog::takeCheckBoxes() {
  for (int i = 0; i < list_->topLevelItemCount() && i < int(update_.rows().size()); ++i)
    update_.setSelected(i, list_->topLevelItem(i)->checkState(0) == Qt::Checked);
}

void MultiUpdateDialog::startUpdate() {
  takeCheckBoxes();
  update_.start(stopOnError_->isChecked(), retries_->value());
  refresh();
}

void MultiUpdateDialog::closeDialog() {
  update_.close(stopOnError_->isChecked(), retries_->value());
  accept();
}

void MultiUpdateDialog::reject() {
  update_.abort();
  QDialog::reject();
}

void MultiUpdateDialog::showSlots() {
  for (int i = 0; i < kMultiUpdateShownSlots; ++i) {
    const MultiUpdateSlot& s = update_.slot(i);
    slotNames_[i]->setText(QString::fromStdWString(s.name));
    slotModules_[i]->setText(QString::fromStdString(update_.slotModuleName(i)));
    slotVersions_[i]->setText(QString::fromStdString(s.softwareVersion));
  }
}

void MultiUpdateDialog::refresh() {
  if (refreshing_) return;
  refreshing_ = true;
  showSlots();
  const auto& rows = update_.rows();
  while (list_->topLevelItemCount() > int(rows.size())) delete list_->takeTopLevelItem(list_->topLevelItemCount() - 1);
  while (list_->topLevelItemCount() < int(rows.size())) list_->addTopLevelItem(new QTreeWidgetItem);
  for (int r = 0; r < int(rows.size()); ++r) {
    QTreeWidgetItem* item = list_->topLevelItem(r);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, update_.selected(r) ? Qt::Checked : Qt::Unchecked);
    for (int c = 1; c < kMuColumnCount; ++c) item->setText(c, QString::fromStdString(update_.cellText(r, c)));
  }
  list_->headerItem()->setText(kMuColNode, QString::fromStdString(MultiUpdate::columnTitle(kMuColNode)));
  status_->setText(QString::fromStdString(update_.statusLine()));
  progress_->setValue(update_.progress());
  enableControls();
  refreshing_ = false;
}

void MultiUpdateDialog::enableControls() {
  const bool idle = !update_.running();
  for (int i = 0; i < kMultiUpdateShownSlots; ++i) {
    const bool named = !update_.slot(i).name.empty();
    slotButtons_[i][0]->setEnabled(idle);
    slotButtons_[i][1]->setEnabled(idle && named);
    slotButtons_[i][2]->setEnabled(idle && named);
  }
  for (QWidget* w : {static_cast<QWidget*>(selectAll_), static_cast<QWidget*>(deselectAll_),
                     static_cast<QWidget*>(selectAvailable_), static_cast<QWidget*>(stopOnError_),
                     static_cast<QWidget*>(retries_), static_cast<QWidget*>(close_)})
    w->setEnabled(idle);
  start_->setEnabled(idle && !update_.rows().empty());
  stop_->setEnabled(!idle);
  list_->setEnabled(idle);
}

void MultiUpdateDialog_Show(QWidget* owner) {
  MultiUpdateDialog dialog(owner);
  dialog.exec();
}
