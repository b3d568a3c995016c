#include "calib/CalibratorSettingsTab.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "calib/Calibrator.h"
#include "calib/InstrumentSettings.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "platform/SerialPort.h"

CalibratorSettingsTab::CalibratorSettingsTab(QWidget* parent) : TabPage(parent) {
  setObjectName("TAB_SET_CALIBRATOR");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(makeDevice(CALIBRATOR_METRAHIT, "MetraHit 28c", "metrahit"));
  layout->addWidget(makeDevice(CALIBRATOR_VORNBOX, "Vorn Box", "vornbox"));

  auto* dirs = new QGroupBox("Calibration Sequence Directories", this);
  auto* form = new QFormLayout(dirs);
  for (int n = 0; n < 3; ++n) {
    dirs_[n] = new QLineEdit(dirs);
    dirs_[n]->setObjectName(QString("seqDir%1").arg(n + 1));
    form->addRow(QString("%1.").arg(n + 1), dirs_[n]);
  }
  layout->addWidget(dirs);
  layout->addStretch();
}

QWidget* CalibratorSettingsTab::makeDevice(int calibrator, const QString& title, const QString& name) {
  auto* group = new QGroupBox(title, this);
  auto* row = new QHBoxLayout(group);
  Device& d = devices_[calibrator];
  d.port = new QComboBox(group);
  d.port->setObjectName(name + "Port");
  d.port->setEditable(true);  // a device path that is not listed can be typed
  d.port->setMinimumContentsLength(12);
  d.address = new QComboBox(group);
  d.address->setObjectName(name + "Address");
  for (const std::string& a : InstrumentSettings_AddressChoices()) d.address->addItem(QString::fromStdString(a));
  auto* test = new QPushButton("Test", group);
  test->setObjectName(name + "Test");
  connect(test, &QPushButton::clicked, this, [this, calibrator] { this->test(calibrator); });
  row->addWidget(new QLabel("Com Port:", group));
  row->addWidget(d.port, 1);
  row->addWidget(new QLabel("Address:", group));
  row->addWidget(d.address);
  row->addWidget(test);
  return group;
}

void CalibratorSettingsTab::loadDevice(int calibrator) {
  Device& d = devices_[calibrator];
  const std::string stored = Option_GetString(InstrumentSettings_PortOption(calibrator));
  d.ports = InstrumentSettings_PortChoices(SerialPort_ListPorts(), stored);
  d.port->clear();
  for (const std::string& p : d.ports) d.port->addItem(QString::fromStdString(p));
  d.port->setCurrentIndex(InstrumentSettings_PortIndex(d.ports, stored));
  d.address->setCurrentIndex(
      InstrumentSettings_AddressIndex(Option_GetInt(InstrumentSettings_AddressOption(calibrator))));
}

void CalibratorSettingsTab::load() {
  loadDevice(CALIBRATOR_METRAHIT);
  loadDevice(CALIBRATOR_VORNBOX);
  for (int n = 0; n < 3; ++n) {
    const std::string option = Text_Format("CALIB_SEQ_DIR%d", n + 1);
    dirs_[n]->setText(QString::fromStdWString(Option_GetWString(option.c_str())));
  }
}

std::string CalibratorSettingsTab::portToStore(int calibrator) const {
  const Device& d = devices_[calibrator];
  return InstrumentSettings_PortToStore(d.port->currentText().toStdString(), d.ports);
}

int CalibratorSettingsTab::addressToStore(int calibrator) const {
  return InstrumentSettings_AddressToStore(devices_[calibrator].address->currentIndex());
}

void CalibratorSettingsTab::store() {
  for (int calibrator : {CALIBRATOR_METRAHIT, CALIBRATOR_VORNBOX}) {
    const std::string port = portToStore(calibrator);
    if (!port.empty()) Option_SetString(InstrumentSettings_PortOption(calibrator), port.c_str());
    Option_SetInt(InstrumentSettings_AddressOption(calibrator), addressToStore(calibrator));
  }
  for (int n = 0; n < 3; ++n) {
    const std::string option = Text_Format("CALIB_SEQ_DIR%d", n + 1);
    Option_SetWString(option.c_str(), dirs_[n]->text().toStdWString());
  }
}

void CalibratorSettingsTab::test(int calibrator) {
  InstrumentSettings_TestCalibrator(calibrator, portToStore(calibrator), addressToStore(calibrator));
}
