#include "module/SerialNumberDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/ErrorReport.h"

namespace {

QPushButton* Button(QWidget* parent, const char* text, const char* name) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

// Dialog units of the list columns to screen pixels, roughly.
int Pixels(int units) { return units * 3 / 2; }

const char* const kHelp =
    "The serial is a 32 bit unsigned\nnumber. Enter it in decimal\n(e.g. 987654) or in hex\n(e.g. 0x12345678). "
    "Auto Increment will increment the number after each module. The next number to be used is stored in the "
    "selected save file.";

}  // namespace

SerialNumberDialog::SerialNumberDialog(QWidget* owner) : QDialog(owner), timer_(new QTimer(this)) {
  setObjectName("DIALOG_SERIALNUMBER");
  setWindowTitle("Module Serial Number");
  timer_->setObjectName("programTimer");
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &SerialNumberDialog::step);

  list_ = new QTreeWidget(this);
  list_->setObjectName("snModuleList");
  list_->setRootIsDecorated(false);
  list_->setColumnCount(kSnColumnCount);
  list_->header()->setSectionsClickable(true);
  list_->setMinimumHeight(180);
  for (int c = 0; c < kSnColumnCount; ++c) list_->setColumnWidth(c, Pixels(SerialNumbers::columnWidth(c)));

  const char* kindNames[2] = {"user", "manuf"};
  const char* groupTitles[2] = {"New User Serial", "New Manufacturer Serial"};
  QGroupBox* groups[2];
  for (int k = 0; k < 2; ++k) {
    const QString n = kindNames[k];
    groups[k] = new QGroupBox(groupTitles[k], this);
    groups[k]->setObjectName(n + "Group");
    number_[k] = new QLineEdit(groups[k]);
    number_[k]->setObjectName(n + "Serial");
    apply_[k] = new QPushButton("Apply to selected modules...", groups[k]);
    apply_[k]->setObjectName(k == SERIAL_USER ? "applyUser" : "applyManuf");
    apply_[k]->setAutoDefault(false);
    autoIncrement_[k] = new QCheckBox("Auto Increment", groups[k]);
    autoIncrement_[k]->setObjectName(n + "AutoIncrement");
    auto* g = new QGridLayout(groups[k]);
    g->addWidget(number_[k], 0, 0);
    g->addWidget(apply_[k], 0, 1);
    g->addWidget(autoIncrement_[k], 1, 0);
    const SerialKind kind = SerialKind(k);
    connect(apply_[k], &QPushButton::clicked, this, [this, kind] { apply(kind); });
    controls_ << number_[k] << apply_[k] << autoIncrement_[k];
  }
  manufGroup_ = groups[SERIAL_MANUF];
  selectManufZero_ = Button(manufGroup_, "Select Manuf. Ser. = 0", "selectManufZero");
  static_cast<QGridLayout*>(manufGroup_->layout())->addWidget(selectManufZero_, 1, 1);

  auto* deselectAll = Button(this, "Deselect All", "deselectAll");
  auto* selectAll = Button(this, "Select All", "selectAll");
  auto* selectUserZero = Button(this, "Select User Ser. = 0", "selectUserZero");
  auto* chooseFile = Button(this, "Select save file for serial...", "chooseSaveFile");
  hexDisplay_ = new QCheckBox("Display serial in hex", this);
  hexDisplay_->setObjectName("hexDisplay");
  auto* close = Button(this, "Close", "closeButton");
  auto* help = new QLabel(kHelp, this);
  help->setObjectName("helpText");
  help->setWordWrap(true);
  help->setMaximumWidth(260);
  controls_ << selectManufZero_ << deselectAll << selectAll << selectUserZero << chooseFile << hexDisplay_ << close
            << list_;

  auto* selection = new QHBoxLayout;
  selection->addWidget(deselectAll);
  selection->addWidget(selectAll);
  selection->addWidget(selectUserZero);
  selection->addStretch(1);
  selection->addWidget(hexDisplay_);
  auto* serialsColumn = new QVBoxLayout;
  serialsColumn->addWidget(groups[SERIAL_USER]);
  serialsColumn->addWidget(manufGroup_);
  auto* helpColumn = new QVBoxLayout;
  helpColumn->addWidget(help);
  helpColumn->addStretch(1);
  helpColumn->addWidget(chooseFile);
  auto* lower = new QHBoxLayout;
  lower->addLayout(serialsColumn, 1);
  lower->addLayout(helpColumn);
  auto* closeRow = new QHBoxLayout;
  closeRow->addStretch(1);
  closeRow->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(selection);
  layout->addLayout(lower);
  layout->addLayout(closeRow);
  resize(Pixels(620), Pixels(340));

  connect(deselectAll, &QPushButton::clicked, this, [this] { run([this] { serials_.deselectAll(); }); });
  connect(selectAll, &QPushButton::clicked, this, [this] { run([this] { serials_.selectAll(); }); });
  connect(selectUserZero, &QPushButton::clicked, this,
          [this] { run([this] { serials_.selectZero(SERIAL_USER); }); });
  connect(selectManufZero_, &QPushButton::clicked, this,
          [this] { run([this] { serials_.selectZero(SERIAL_MANUF); }); });
  connect(chooseFile, &QPushButton::clicked, this, [this] { run([this] { serials_.chooseSaveFile(); }); });
  connect(hexDisplay_, &QCheckBox::clicked, this, [this] { run([this] { serials_.refresh(); }); });
  connect(close, &QPushButton::clicked, this, &SerialNumberDialog::closeDialog);
  connect(list_->header(), &QHeaderView::sectionClicked, this,
          [this](int column) { run([this, column] { serials_.sortBy(column); }); });
  // A ticked box selects its module at once; the serials not yet known are read.
  connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    const int row = list_->indexOfTopLevelItem(item);
    if (showing_ || column != kSnColSelect || row < 0 || row >= int(serials_.rows().size())) return;
    run([this] { serials_.refresh(); });  // the boxes are taken first
  });

  serials_.open();
  for (int k = 0; k < 2; ++k) number_[k]->setText(QString::fromStdString(serials_.number[k]));
  for (int k = 0; k < 2; ++k) autoIncrement_[k]->setChecked(serials_.autoIncrement[k]);
  hexDisplay_->setChecked(serials_.hexDisplay);
  showRows();
}

void SerialNumberDialog::takeControls() {
  for (int k = 0; k < 2; ++k) {
    serials_.number[k] = number_[k]->text().toStdString();
    serials_.autoIncrement[k] = autoIncrement_[k]->isChecked();
  }
  serials_.hexDisplay = hexDisplay_->isChecked();
  for (int r = 0; r < list_->topLevelItemCount() && r < int(serials_.rows().size()); ++r)
    serials_.setSelected(r, list_->topLevelItem(r)->checkState(kSnColSelect) == Qt::Checked);
}

template <class Action>
void SerialNumberDialog::run(Action action) {
  takeControls();
  // Reading the serials may report a failed request in a box.
  QPointer<SerialNumberDialog> alive(this);
  action();
  if (alive) showRows();
}

void SerialNumberDialog::showRows() {
  showing_ = true;
  const bool factory = FactoryMode();
  manufGroup_->setVisible(factory);
  const auto& rows = serials_.rows();
  while (list_->topLevelItemCount() > int(rows.size())) delete list_->takeTopLevelItem(list_->topLevelItemCount() - 1);
  while (list_->topLevelItemCount() < int(rows.size())) list_->addTopLevelItem(new QTreeWidgetItem);
  QStringList titles;
  for (int c = 0; c < kSnColumnCount; ++c) titles << QString::fromStdString(SerialNumbers::columnTitle(c));
  list_->setHeaderLabels(titles);
  for (int r = 0; r < int(rows.size()); ++r) {
    QTreeWidgetItem* item = list_->topLevelItem(r);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(kSnColSelect, serials_.selected(r) ? Qt::Checked : Qt::Unchecked);
    for (int c = kSnColNode; c < kSnColumnCount; ++c)
      item->setText(c, QString::fromStdString(serials_.cellText(r, c)));
  }
  for (int k = 0; k < 2; ++k) number_[k]->setText(QString::fromStdString(serials_.number[k]));
  const bool idle = !serials_.running();
  for (QWidget* w : controls_) w->setEnabled(idle);
  for (QPushButton* b : apply_) b->setEnabled(serials_.applyEnabled());
  showing_ = false;
}

void SerialNumberDialog::apply(SerialKind kind) {
  takeControls();
  QPointer<SerialNumberDialog> alive(this);
  const bool started = serials_.apply(kind);
  if (!alive) return;
  showRows();
  if (started) timer_->start(kSerialStepMs);
}

void SerialNumberDialog::step() {
  QPointer<SerialNumberDialog> alive(this);
  const bool more = serials_.step();  // the last step shows the summary in a box
  if (!alive) return;
  showRows();
  if (more) timer_->start(kSerialStepMs);
}

void SerialNumberDialog::closeDialog() {
  if (serials_.running()) return;
  takeControls();
  serials_.close();
  accept();
}

void SerialNumberDialog::reject() {
  if (serials_.running()) return;
  takeControls();
  serials_.close();
  QDialog::reject();
}

void SerialNumberDialog_Show(QWidget* owner) {
  QPointer<SerialNumberDialog> dialog = new SerialNumberDialog(owner);
  dialog->exec();
  delete dialog.data();
}
