#include "module/CanBusTab.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include "bus/Interface.h"
#include "module/CanBusParams.h"
#include "module/ModuleDialog.h"
#include "protocol/ModuleList.h"

CanBusTab::CanBusTab(QWidget* parent) : TabPage(parent), bus_(GetBusLetter()) {
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Node ID:", this), 0, 0);
  node_ = new QLineEdit(this);
  node_->setObjectName("nodeId");
  node_->setMaximumWidth(80);
  grid->addWidget(node_, 0, 1, Qt::AlignLeft);
  grid->addWidget(new QLabel("Baudrate:", this), 1, 0);
  baud_ = new QComboBox(this);
  baud_->setObjectName("baudrate");
  for (const std::string& name : BusParams_BaudNames(bus_)) baud_->addItem(QString::fromStdString(name));
  baud_->setCurrentIndex(-1);
  grid->addWidget(baud_, 1, 1, Qt::AlignLeft);

  dip_ = new QRadioButton("Read from DIP switches", this);
  dip_->setObjectName("sourceDip");
  eeprom_ = new QRadioButton("Read from EEPROM", this);
  eeprom_->setObjectName("sourceEeprom");
  sourceGroup_ = new QButtonGroup(this);
  sourceGroup_->addButton(dip_);
  sourceGroup_->addButton(eeprom_);
  grid->addWidget(dip_, 2, 0, 1, 2);
  grid->addWidget(eeprom_, 3, 0, 1, 2);

  write_ = new QPushButton("Write to EEPROM...", this);
  write_->setObjectName("writeEeprom");
  write_->setAutoDefault(false);
  clear_ = new QPushButton("Clear in EEPROM...", this);
  clear_->setObjectName("clearEeprom");
  clear_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(write_);
  buttons->addWidget(clear_);
  buttons->addStretch(1);
  grid->addLayout(buttons, 4, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(5, 1);

  // Only the user's choice asks the module; refresh sets the buttons silently.
  connect(dip_, &QRadioButton::clicked, this, [this] { sourceChosen(true); });
  connect(eeprom_, &QRadioButton::clicked, this, [this] { sourceChosen(false); });
  connect(write_, &QPushButton::clicked, this, [this] { if (write('s')) refresh(); });
  connect(clear_, &QPushButton::clicked, this, [this] { if (write('c')) refresh(); });
}

ModuleRec* CanBusTab::module() const {
  TabDialogData* data = TabDialog_DataOfPage(this);
  return data ? data->module : nullptr;
}

void CanBusTab::setSource(bool dip, bool none) {
  sourceGroup_->setExclusive(false);
  dip_->setChecked(!none && dip);
  eeprom_->setChecked(!none && !dip);
  sourceGroup_->setExclusive(true);
}

void CanBusTab::apply(const BusTabView& v) {
  node_->setText(QString::fromStdString(v.nodeText));
  baud_->setCurrentIndex(v.baudIndex < baud_->count() ? v.baudIndex : -1);
  setSource(v.dipSelected, v.nodeText.empty());
  dip_->setEnabled(v.dipEnabled);
  eeprom_->setEnabled(v.eepromEnabled);
  node_->setEnabled(v.fieldsEnabled);
  baud_->setEnabled(v.fieldsEnabled);
  write_->setEnabled(v.writeEnabled);
  clear_->setVisible(v.clearVisible);
  clear_->setEnabled(v.clearEnabled);
}

void CanBusTab::refresh() {
  apply(BusTab_EmptyView());
  ModuleRec* rec = module();
  if (!rec || !rec->typeInfo) return;
  BusParams params;
  QPointer<CanBusTab> alive(this);
  if (!BusParams_Read(*rec, params) || !alive) return;
  const BusTabView view = BusTab_ViewOf(params);
  format38_ = view.format38;
  apply(view);
}

void CanBusTab::sourceChosen(bool dip) {
  ModuleRec* rec = module();
  if (!rec || format38_) return;
  QPointer<CanBusTab> alive(this);
  const BusSourceView v = BusTab_SourceChosen(*rec, dip);
  if (!alive || !v.apply) return;
  if (v.haveValues) {
    node_->setText(QString::fromStdString(v.nodeText));
    baud_->setCurrentIndex(v.baudIndex < baud_->count() ? v.baudIndex : -1);
  }
  node_->setEnabled(v.fieldsEnabled);
  baud_->setEnabled(v.fieldsEnabled);
}

int CanBusTab::write(char action) {
  ModuleRec* rec = module();
  if (!rec) return 0;
  BusTabInputs in;
  in.nodeText = node_->text().toStdString();
  in.dipSelected = dip_->isChecked();
  in.baudText = baud_->currentText().toStdString();
  QPointer<CanBusTab> alive(this);
  const BusWriteResult result = BusTab_WriteParams(*rec, format38_, action, GetBusLetter(), in);
  // While a question or an error box was open the dialog may have been closed
  // (a scan that finds the module again re-creates it): the list still shows
  // the new node, the page itself is gone.
  if (!alive) {
    if (result.sent) {
      if (ModuleDialog* now = ModuleDialog_FromHandle(rec->dialog)) now->updateTitle();
      ModuleList_Rebuild();
    }
    return 0;
  }
  if (result.nodeTextChanged) node_->setText(QString::fromStdString(in.nodeText));
  if (result.sent) {
    if (ModuleDialog* dialog = ModuleDialog_OfPage(this)) dialog->updateTitle();
    ModuleList_Rebuild();
  }
  return result.refresh;
}
