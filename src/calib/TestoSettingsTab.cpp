#include "calib/TestoSettingsTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "calib/InstrumentSettings.h"
#include "core/Options.h"
#include "platform/SerialPort.h"

TestoSettingsTab::TestoSettingsTab(QWidget* parent) : TabPage(parent) {
  setObjectName("TAB_SET_TESTO");
  port_ = new QComboBox(this);
  port_->setObjectName("testoPort");
  port_->setEditable(true);  // a device path that is not listed can be typed
  port_->setMinimumContentsLength(12);
  channel_ = new QComboBox(this);
  channel_->setObjectName("testoChannel");
  channel_->addItems({"1", "2"});
  useAsReference_ = new QCheckBox("Use as Temp Reference in", this);
  useAsReference_->setObjectName("testoUseAsReference");
  auto* test = new QPushButton("Test", this);
  test->setObjectName("testoTest");
  connect(test, &QPushButton::clicked, this, [this] { this->test(); });

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Com Port:", this), 0, 0);
  grid->addWidget(port_, 0, 1);
  grid->addWidget(new QLabel("Channel:", this), 1, 0);
  grid->addWidget(channel_, 1, 1);
  grid->addWidget(useAsReference_, 2, 0, 1, 2);
  grid->addWidget(new QLabel("Analog Calibration Dialog", this), 3, 0, 1, 2);
  grid->addWidget(test, 4, 0);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addStretch();
}

void TestoSettingsTab::load() {
  const std::string stored = Option_GetString("TESTO_COMPORTNAME");
  ports_ = InstrumentSettings_PortChoices(SerialPort_ListPorts(), stored);
  port_->clear();
  for (const std::string& p : ports_) port_->addItem(QString::fromStdString(p));
  port_->setCurrentIndex(InstrumentSettings_PortIndex(ports_, stored));
  channel_->setCurrentIndex(InstrumentSettings_ChannelIndex(Option_GetInt("TESTO_CHAN")));
  useAsReference_->setChecked(Option_GetInt("ANALOGCALIB_USE_TESTO") != 0);
}

std::string TestoSettingsTab::portToStore() const {
  return InstrumentSettings_PortToStore(port_->currentText().toStdString(), ports_);
}

void TestoSettingsTab::store() {
  const std::string port = portToStore();
  if (!port.empty()) Option_SetString("TESTO_COMPORTNAME", port.c_str());
  Option_SetInt("TESTO_CHAN", InstrumentSettings_ChannelToStore(channel_->currentIndex()));
  Option_SetInt("ANALOGCALIB_USE_TESTO", useAsReference_->isChecked() ? 1 : 0);
}

void TestoSettingsTab::test() {
  InstrumentSettings_TestTesto(portToStore(), InstrumentSettings_ChannelToStore(channel_->currentIndex()));
}
