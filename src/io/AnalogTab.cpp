#include "io/AnalogTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "io/CalibPoints.h"
#include "core/ErrorReport.h"
#include "io/AnalogChannel.h"
#include "io/CalibPointsWidget.h"
#include "io/ChanInfo.h"
#include "protocol/ModuleList.h"

namespace {

// The Analog Out value caption before a channel's unit is put into it.
const char* const kValueCaption = "Set Output Value";

}  // namespace

// ---- both pages -------------------------------------------------------------------

AnalogTab::AnalogTab(QWidget* parent, bool outputs) : ModuleTab(parent), outputs_(outputs) {
  setObjectName(outputs ? "TAB_MOD_ANALOGOUT" : "TAB_MOD_ANALOGIN");
  channelList_ = new QComboBox(this);
  channelList_->setObjectName("channelList");
  channelList_->setMinimumWidth(60);
  configText_ = new QLineEdit(this);
  configText_->setObjectName("configText");
  configText_->setReadOnly(true);
  bar_ = new QProgressBar(this);
  bar_->setObjectName("levelBar");
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  calib_ = new CalibPointsWidget(this);
  autoUpdate_ = new QCheckBox("Auto Update", this);
  autoUpdate_->setObjectName("autoUpdate");
  factoryCalib_ = new QPushButton("Factory Calibration...", this);
  factoryCalib_->setObjectName("factoryCalib");
  factoryCalib_->setAutoDefault(false);
  factoryCalib_->hide();  // shown by the refresh in factory mode

  connect(channelList_, &QComboBox::activated, this, [this](int index) { selectChannel(index); });
  connect(calib_, &CalibPointsWidget::pointChanged, this,
          [this](bool succeeded) { calibPointChanged(succeeded); });
  connect(factoryCalib_, &QPushButton::clicked, this, [this] { openFactoryCalibration(); });
}

void AnalogTab::runFactoryCalibration() {
  QDialog* dialog = opener_ ? opener_(this) : nullptr;
  if (!dialog) {
    // Nothing opened (refused, or the user cancelled on the way): the page
    // comes back as it was rather than staying without auto-update.
    factoryCalibrationDone();
    return;
  }
  connect(dialog, &QDialog::finished, this, &AnalogTab::factoryCalibrationDone, Qt::UniqueConnection);
}

void AnalogTab::selectChannel(int channel) {
  ChanInfo& info = channels();
  if (channel < 0 || channel >= info.channelCount) return;
  info.currentChannel = channel;
  if (channelList_->currentIndex() != channel) channelList_->setCurrentIndex(channel);
  channelChosen();
}

void AnalogTab::loadChannels() {
  ChanInfo& info = channels();
  info.channelCount = 0;
  info.currentChannel = 0;
  if (ModuleRec* m = module()) {
    ChanInfo_GetChannelInfo(*m, info, outputs_ ? CHANINFO_ANALOG_OUT : CHANINFO_ANALOG_IN);
  }
  channelList_->clear();
  for (int c = 0; c < info.channelCount; ++c) channelList_->addItem(QString::number(c));
  channelList_->setCurrentIndex(info.channelCount > 0 ? info.currentChannel : -1);
}

void AnalogTab::resetControls() {
  factoryCalib_->setVisible(FactoryMode() && opener_);
  configText_->clear();
  bar_->setValue(0);
  calib_->clearTexts();
  channelList_->setEnabled(false);
  calib_->setRowsEnabled(false);
  factoryCalib_->setEnabled(false);
  autoUpdate_->setEnabled(false);
  autoUpdate_->setChecked(false);
}

// Below the page's own grid: the calibration points, then auto-update and
// the factory calibration button.
void AnalogTab::layOutPage(QGridLayout* grid) {
  grid->setColumnStretch(1, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(autoUpdate_);
  bottom->addStretch(1);
  bottom->addWidget(factoryCalib_);
  auto* page = new QVBoxLayout(this);
  page->addLayout(grid);
  page->addSpacing(8);
  page->addWidget(calib_);
  page->addStretch(1);
  page->addLayout(bottom);
}

void AnalogTab::showCalibPoints(int code) {
  const ChanInfo& info = channels();
  const int channelByte = info.currentChannel + (outputs_ ? CALIB_OUTPUT_CHANNEL : 0);
  calib_->setChannel(module(), channelByte, code);
  calib_->showPoints();
}

// ---- Analog In ----------------------------------------------------------------------

AnalogInTab::AnalogInTab(QWidget* parent) : AnalogTab(parent, false) {
  value_ = new QLineEdit(this);
  value_->setObjectName("valueText");
  value_->setReadOnly(true);
  connect(autoUpdate_, &QCheckBox::clicked, this, [this](bool checked) {
    if (ModuleRec* m = module()) m->autoUpdate = checked ? 1 : 0;
    refresh();
    updatePolling();
  });

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Channel:", this), 0, 0);
  grid->addWidget(channelList_, 0, 1, Qt::AlignLeft);
  grid->addWidget(new QLabel("Configuration:", this), 1, 0);
  grid->addWidget(configText_, 1, 1);
  grid->addWidget(new QLabel("Value:", this), 2, 0);
  grid->addWidget(value_, 2, 1);
  grid->addWidget(bar_, 3, 1);
  layOutPage(grid);
}

void AnalogInTab::pageShown() {
  loadChannels();
  refresh();
  updatePolling();
}

bool AnalogInTab::pollingWanted() const {
  const ModuleRec* m = module();
  return m && m->autoUpdate && channels().channelCount > 0;
}

void AnalogInTab::refresh() {
  resetControls();
  value_->clear();
  const ChanInfo& info = channels();
  if (info.channelCount == 0) return;
  const ModuleRec* m = module();
  channelList_->setEnabled(true);
  calib_->setRowsEnabled(true);
  factoryCalib_->setEnabled(true);
  autoUpdate_->setEnabled(true);
  autoUpdate_->setChecked(m && m->autoUpdate);
  const int c = info.currentChannel;
  configText_->setText(QString::fromStdString(AnalogChannel_ConfigText(info, c)));
  showCalibPoints(ChanInfo_ActiveCode(info, c));
}

int AnalogInTab::readValue() {
  ModuleRec* m = module();
  if (!m || !m->autoUpdate || channels().channelCount == 0) return -1;
  AnalogReading reading;
  const int result = AnalogIn_ReadValue(*m, channels(), channels().currentChannel, reading);
  if (result == 0) {
    m->autoUpdate = 0;
    autoUpdate_->setChecked(false);
    return -1;
  }
  value_->setText(QString::fromStdString(reading.text));
  bar_->setValue(reading.bar);
  return result == 1 ? 0 : -1;
}

void AnalogInTab::calibPointChanged(bool succeeded) {
  if (succeeded) refresh();
}

void AnalogInTab::openFactoryCalibration() {
  timer()->stop();
  refresh();
  autoUpdate_->setEnabled(false);
  autoUpdate_->setChecked(false);
  runFactoryCalibration();
}

void AnalogInTab::factoryCalibrationDone() {
  if (dialogClosing()) return;  // the module went away with the dialog
  refresh();
  updatePolling();
}

// ---- Analog Out ---------------------------------------------------------------------

AnalogOutTab::AnalogOutTab(QWidget* parent) : AnalogTab(parent, true) {
  caption_ = new QLabel(kValueCaption, this);
  caption_->setObjectName("valueCaption");
  entry_ = new QLineEdit(this);
  entry_->setObjectName("outputEntry");
  set_ = new QPushButton("Set", this);
  set_->setObjectName("setOutput");
  set_->setAutoDefault(false);
  connect(set_, &QPushButton::clicked, this, &AnalogOutTab::setValue);
  connect(entry_, &QLineEdit::returnPressed, this, &AnalogOutTab::setValue);
  autoUpdate_->setEnabled(false);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Channel:", this), 0, 0);
  grid->addWidget(channelList_, 0, 1, 1, 2, Qt::AlignLeft);
  grid->addWidget(new QLabel("Configuration:", this), 1, 0);
  grid->addWidget(configText_, 1, 1, 1, 2);
  grid->addWidget(caption_, 2, 0, 1, 3);
  grid->addWidget(entry_, 3, 1);
  grid->addWidget(set_, 3, 2);
  grid->addWidget(bar_, 4, 1, 1, 2);
  layOutPage(grid);
}

void AnalogOutTab::pageShown() {
  loadChannels();
  refresh();
  readValue();
}

void AnalogOutTab::refresh() {
  resetControls();
  entry_->clear();
  caption_->setText(kValueCaption);
  entry_->setEnabled(false);
  set_->setEnabled(false);
  const ChanInfo& info = channels();
  if (info.channelCount == 0) return;
  channelList_->setEnabled(true);
  calib_->setRowsEnabled(true);
  factoryCalib_->setEnabled(true);
  entry_->setEnabled(true);
  set_->setEnabled(true);
  const int c = info.currentChannel;
  const int code = ChanInfo_ActiveCode(info, c);
  std::string name;
  ChanType_GetInfo(code, false, &name);
  configText_->setText(QString::fromStdString(name));
  caption_->setText(QString::fromStdString(AnalogOut_Caption(kValueCaption, info, c)));
  showCalibPoints(code);
}

int AnalogOutTab::readValue() {
  ModuleRec* m = module();
  if (!m || channels().channelCount == 0) return -1;
  AnalogReading reading;
  const bool hex = AnalogOut_IsHexEntry(entry_->text().toStdString());
  if (!AnalogOut_ReadValue(*m, channels(), channels().currentChannel, hex, reading)) return -1;
  entry_->setText(QString::fromStdString(reading.text));
  bar_->setValue(reading.bar);
  return 0;
}

void AnalogOutTab::setValue() {
  ModuleRec* m = module();
  if (!m || channels().channelCount == 0) return;
  const std::string entry = entry_->text().toStdString();
  double ignored = 0;
  if (!AnalogOut_ParseEntry(entry, ignored)) return;  // not a number: nothing is sent
  AnalogOut_SetValue(*m, channels(), channels().currentChannel, entry);
  readValue();
}

void AnalogOutTab::channelChosen() {
  refresh();
  readValue();
}

void AnalogOutTab::calibPointChanged(bool) {
  refresh();
  readValue();
}

void AnalogOutTab::openFactoryCalibration() {
  refresh();
  autoUpdate_->setEnabled(false);
  autoUpdate_->setChecked(false);
  runFactoryCalibration();
}

void AnalogOutTab::factoryCalibrationDone() {
  if (dialogClosing()) return;  // the module went away with the dialog
  refresh();
  readValue();
}
