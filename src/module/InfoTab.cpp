#include "module/InfoTab.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "core/ErrorReport.h"
#include "module/InfoFields.h"

namespace {
void Show(QLineEdit* field, const std::string& text) { field->setText(QString::fromStdString(text)); }
}  // namespace

InfoTab::InfoTab(QWidget* parent) : TabPage(parent) {
  auto* grid = new QGridLayout(this);
  grid->setColumnStretch(1, 1);
  name_ = addField("Module Name:", "infoName", 0);
  compatible_ = addField("Compatible:", "infoCompatible", 1, &compatibleLabel_);
  description_ = addField("Description:", "infoDescription", 2);
  hardware_ = addField("Hardware Version:", "infoHardwareVersion", 3);
  bootloader_ = addField("Bootloader Version:", "infoBootloaderVersion", 4);
  firmware_ = addField("Firmware Version:", "infoFirmwareVersion", 5);
  status_ = addField("Current Status:", "infoStatus", 6);
  mode_ = addField("Current Mode:", "infoMode", 7);
  programming_ = addField("Programming Date:", "infoProgrammingDate", 8, &programmingLabel_);
  shipping_ = addField("Shipping Date:", "infoShippingDate", 9);
  setShipping_ = new QPushButton("Set Shipping Date...", this);
  setShipping_->setObjectName("setShippingDate");
  setShipping_->setAutoDefault(false);
  grid->addWidget(setShipping_, 10, 1, Qt::AlignLeft);
  grid->setRowStretch(11, 1);
  connect(setShipping_, &QPushButton::clicked, this, &InfoTab::setShippingDate);
}

QLineEdit* InfoTab::addField(const char* label, const char* name, int row, QLabel** labelOut) {
  auto* grid = static_cast<QGridLayout*>(layout());
  auto* caption = new QLabel(label, this);
  caption->setObjectName(QString(name) + "Label");
  auto* field = new QLineEdit(this);
  field->setObjectName(name);
  field->setReadOnly(true);
  field->setMinimumWidth(260);
  grid->addWidget(caption, row, 0);
  grid->addWidget(field, row, 1);
  if (labelOut) *labelOut = caption;
  return field;
}

ModuleRec* InfoTab::module() const {
  TabDialogData* data = TabDialog_DataOfPage(this);
  return data ? data->module : nullptr;
}

void InfoTab::refresh() {
  ModuleRec* rec = module();
  if (!rec) return;
  const bool factory = FactoryMode();
  // Everything empty first: a failed request leaves the rest of the page so.
  for (QLineEdit* f : {name_, compatible_, description_, hardware_, bootloader_, firmware_, status_,
                       mode_, programming_, shipping_})
    f->clear();
  setShipping_->setEnabled(false);
  setShipping_->setVisible(factory);
  programming_->setVisible(factory);
  programmingLabel_->setVisible(factory);

  // An error box during the requests lets the event loop run; the dialog may
  // close meanwhile.
  QPointer<InfoTab> alive(this);
  const InfoFields f = InfoFields_Read(*rec, factory);
  if (!alive) return;
  Show(name_, f.name);
  Show(description_, f.description);
  Show(compatible_, f.compatible);
  compatible_->setVisible(f.showCompatible);
  compatibleLabel_->setVisible(f.showCompatible);
  Show(hardware_, f.hardwareVersion);
  Show(status_, f.status);
  Show(mode_, f.mode);
  Show(bootloader_, f.bootloaderVersion);
  Show(firmware_, f.firmwareVersion);
  Show(programming_, f.programmingDate);
  Show(shipping_, f.shippingDate);
  setShipping_->setEnabled(f.enableSetShippingDate);
}

void InfoTab::setShippingDate() {
  ModuleRec* rec = module();
  QPointer<InfoTab> alive(this);
  if (rec && FactoryMode() && ShippingDate_SetModule(*rec) && alive) refresh();
}
