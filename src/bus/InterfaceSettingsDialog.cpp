#include "bus/InterfaceSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "bus/InterfaceSettings.h"
#include "platform/SerialPort.h"
#include "ui/QtSingleInstance.h"

namespace {

QString qt(const std::string& text) { return QString::fromUtf8(text.c_str()); }
std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

QComboBox* comboWith(QWidget* parent, const char* name, const std::vector<std::string>& items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  for (const std::string& item : items) box->addItem(qt(item));
  return box;
}

class PcanPage : public TabPage {
 public:
  explicit PcanPage(QWidget* parent) : TabPage(parent) {
    auto* form = new QFormLayout(this);
    const PcanPageView v = PcanPage_Show();
    rates_ = comboWith(this, "canBaudrate", v.rates);
    form->addRow("CAN Baudrate:", rates_);
    if (v.showLibrary) {
      library_ = new QLabel(this);
      library_->setObjectName("pcanLibrary");
      library_->setTextInteractionFlags(Qt::TextSelectableByMouse);
      form->addRow("PCAN USB library:", library_);
    }
  }

 protected:
  void pageShown() override {
    const PcanPageView v = PcanPage_Show();
    rates_->setCurrentIndex(v.selected);
    if (library_) library_->setText(qt(v.library));
  }
  void pageHidden() override { PcanPage_Store(utf8(rates_->currentText())); }

 private:
  QComboBox* rates_;
  QLabel* library_ = nullptr;
};

class EthernetPage : public TabPage {
 public:
  explicit EthernetPage(QWidget* parent) : TabPage(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    host_ = new QLineEdit(this);
    host_->setObjectName("hostName");
    host_->setMaxLength(255);  // what the link keeps
    port_ = new QLineEdit(this);
    port_->setObjectName("port");
    port_->setReadOnly(true);
    auto* ping = new QPushButton("Ping", this);
    ping->setObjectName("pingButton");
    ping->setAutoDefault(false);
    form->addRow("Name or IP address:", host_);
    form->addRow("Port:", port_);
    layout->addLayout(form);
    layout->addWidget(ping, 0, Qt::AlignLeft);
    plc_ = new QCheckBox("Automatically open PLC start/stop dialog", this);
    plc_->setObjectName("openPlcDialog");
    layout->addWidget(plc_);
    layout->addStretch(1);
    connect(ping, &QPushButton::clicked, this, [this] { EthernetPage_Ping(utf8(host_->text())); });
  }

 protected:
  void pageShown() override {
    const EthernetPageView v = EthernetPage_Show();
    host_->setText(qt(v.host));
    port_->setText(qt(v.port));
    plc_->setChecked(v.openPlcDialog);
  }
  void pageHidden() override {
    EthernetPageView v;
    v.host = utf8(host_->text());
    v.port = utf8(port_->text());
    v.openPlcDialog = plc_->isChecked();
    EthernetPage_Store(v);
  }

 private:
  QLineEdit* host_;
  QLineEdit* port_;
  QCheckBox* plc_;
};

class ModbusPage : public TabPage {
 public:
  explicit ModbusPage(QWidget* parent) : TabPage(parent), ports_(SerialPort_ListPorts()) {
    auto* form = new QFormLayout(this);
    const ModbusPageView v = ModbusPage_Show(ports_);
    port_ = comboWith(this, "modbusPort", v.ports);
    port_->setEditable(true);  // also a typed device path (/dev/ttyUSB0, a simulator's line)
    port_->setInsertPolicy(QComboBox::NoInsert);
    baud_ = comboWith(this, "modbusBaudrate", v.bauds);
    protocol_ = comboWith(this, "modbusProtocol", v.protocols);
    mode_ = comboWith(this, "modbusMode", v.modes);
    mode_->setEnabled(false);
    form->addRow("Port:", port_);
    form->addRow("Baudrate:", baud_);
    form->addRow("Protocol:", protocol_);
    form->addRow("Mode:", mode_);
  }

 protected:
  void pageShown() override {
    const ModbusPageView v = ModbusPage_Show(ports_);
    port_->setCurrentIndex(v.portIndex);
    port_->setEditText(qt(v.portText));
    baud_->setCurrentIndex(v.baudIndex);
    protocol_->setCurrentIndex(v.protocolIndex);
    mode_->setCurrentIndex(v.modeIndex);
  }
  void pageHidden() override {
    ModbusPageInput in;
    in.portText = utf8(port_->currentText());
    in.baudIndex = baud_->currentIndex();
    in.protocolIndex = protocol_->currentIndex();
    in.modeIndex = mode_->currentIndex();
    ModbusPage_Store(in, ports_);
  }

 private:
  std::vector<std::string> ports_;
  QComboBox* port_;
  QComboBox* baud_;
  QComboBox* protocol_;
  QComboBox* mode_;
};

}  // namespace

InterfaceSettingsDialog::InterfaceSettingsDialog(QWidget* parent, int page)
    : PagedSettingsDialog(parent, "DIALOG_INTERFACESETTINGS", "Interface Settings", "Ok") {
  addPage(InterfaceSettings_PageLabel(TAB_INTERF_PCANUSB), InterfaceSettings_PageName(TAB_INTERF_PCANUSB),
          [](QWidget* p) { return new PcanPage(p); });
  addPage(InterfaceSettings_PageLabel(TAB_INTERF_ETHERNET), InterfaceSettings_PageName(TAB_INTERF_ETHERNET),
          [](QWidget* p) { return new EthernetPage(p); });
  addPage(InterfaceSettings_PageLabel(TAB_INTERF_MODBUS), InterfaceSettings_PageName(TAB_INTERF_MODBUS),
          [](QWidget* p) { return new ModbusPage(p); });
  selectPage(InterfaceSettings_OpeningPage(page));
  rememberPageWith(InterfaceSettings_RememberPage);
}

void InterfaceSettingsDialog_Open(QWidget* parent, int page) {
  if (InterfaceSettingsDialog* open = InterfaceSettingsDialog_Instance()) {
    if (page >= 0) open->selectPage(page);
    open->raise();
    open->activateWindow();
    return;
  }
  InterfaceSettingsDialog dialog(parent, page);
  Session_Part<SingleInstanceSlot<InterfaceSettingsDialog>>().window = &dialog;
  dialog.exec();
}

InterfaceSettingsDialog* InterfaceSettingsDialog_Instance() {
  return SingleInstance_Find<InterfaceSettingsDialog>();
}
