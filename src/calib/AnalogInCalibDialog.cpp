#include "calib/AnalogInCalibDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "calib/AnalogCalibRowsWidget.h"
#include "calib/SamBaseCalibDialog.h"
#include "core/ErrorReport.h"
#include "core/Session.h"
#include "io/AnalogTab.h"
#include "module/ModuleTabs.h"
#include "protocol/ModuleList.h"
#include "ui/QtSingleInstance.h"
#include "ui/TabDialog.h"

namespace {

struct AnalogInCalibSettings {
  std::function<void(QWidget*, int)> open;
};

QString QStr(const std::string& text) { return QString::fromStdString(text); }

constexpr const char* kGreen = "background-color: #20c020; color: white;";
constexpr const char* kRed = "background-color: #d02020; color: white;";

}  // namespace

AnalogInCalibDialog::AnalogInCalibDialog(AnalogTab* page, std::unique_ptr<AnalogInCalib> calib,
                                         QWidget* moduleDialog)
    : AnalogCalibDialog(page, *calib), calib_(std::move(calib)), moduleDialog_(moduleDialog) {
  setObjectName("DIALOG_ANALOGINCALIB");
  setWindowTitle(QStr(ModuleDialog_MakeTitle(calib_->module(), ",  Analog Input Factory Calibration")));
  build();
  startCalibration([this] { calib_->initialise(); }, configList_);
}

AnalogInCalibDialog::~AnalogInCalibDialog() {
  finishWithoutPage();
}

QPushButton* AnalogInCalibDialog::button(const QString& text, const char* name,
                                         void (AnalogInCalib::*action)()) {
  if (!action) return AnalogCalibDialog::button(text, name, nullptr);
  return AnalogCalibDialog::button(text, name, [this, action] { (calib_.get()->*action)(); });
}

void AnalogInCalibDialog::build() {
  auto* top = new QGridLayout;
  configList_ = new QComboBox(this);
  configList_->setObjectName("configList");
  configList_->setMinimumContentsLength(22);
  valueModes_ = new QComboBox(this);
  valueModes_->setObjectName("displayValues");
  valueModes_->setMinimumContentsLength(10);
  calibModes_ = new QComboBox(this);
  calibModes_->setObjectName("displayCalib");
  calibModes_->setMinimumContentsLength(10);
  newValue_ = new QLineEdit(this);
  newValue_->setObjectName("newValue");
  refLabel_ = new QLabel("Ref:", this);
  refLabel_->setObjectName("refLabel");
  ref_ = new QLineEdit(this);
  ref_->setObjectName("refValue");
  ref_->setFixedWidth(60);
  refUnit_ = new QLabel("\u00B0C", this);
  autoUpdate_ = new QCheckBox("Auto Update", this);
  autoUpdate_->setObjectName("autoUpdate");
  trace_ = new QCheckBox("Save trace to file...", this);
  trace_->setObjectName("traceFile");
  top->addWidget(new QLabel("Configuration:", this), 0, 0);
  top->addWidget(configList_, 0, 1);
  top->addWidget(new QLabel("Display:", this), 0, 2);
  top->addWidget(valueModes_, 0, 3);
  top->addWidget(new QLabel("Display:", this), 0, 4);
  top->addWidget(calibModes_, 0, 5);
  top->addWidget(new QLabel("New Value:", this), 1, 0);
  top->addWidget(newValue_, 1, 1);
  auto* refRow = new QHBoxLayout;
  refRow->addWidget(refLabel_);
  refRow->addWidget(ref_);
  refRow->addWidget(refUnit_);
  refRow->addStretch(1);
  top->addLayout(refRow, 1, 2, 1, 2);
  top->addWidget(autoUpdate_, 1, 4);
  top->addWidget(trace_, 1, 5);

  auto* points = new QHBoxLayout;
  setAll_[0] = button("Set all 1 (L)", "setAll1", nullptr);
  setAll_[1] = button("Set all 2 (H)", "setAll2", nullptr);
  clrAll_[0] = button("Clr all 1 (L)", "clrAll1", nullptr);
  clrAll_[1] = button("Clr all 2 (H)", "clrAll2", nullptr);
  for (int p = 0; p < 2; ++p) {
    connect(setAll_[p], &QPushButton::clicked, this, [this, p] { act([this, p] { calib_->setAllPoints(p + 1); }); });
    connect(clrAll_[p], &QPushButton::clicked, this, [this, p] { act([this, p] { calib_->clearAllPoints(p + 1); }); });
  }
  outToAll_ = button("Out to All", "outToAll", &AnalogInCalib::outToAll);
  hiZ_ = button("Hi-Z (Off)", "hiZ", &AnalogInCalib::outputOff);
  for (QWidget* w : {setAll_[0], setAll_[1], clrAll_[0], clrAll_[1], outToAll_, hiZ_}) points->addWidget(w);
  points->addStretch(1);
  points->addWidget(button("Clear...", "clearFactory", &AnalogInCalib::clearFactoryPoints));
  points->addWidget(button("Save...", "saveFile", &AnalogInCalib::saveFile));
  points->addWidget(button("Load...", "loadFile", &AnalogInCalib::loadFile));

  auto* sequence = new QGroupBox("Calibration Sequence", this);
  sequence->setObjectName("sequenceGroup");
  auto* seq = new QHBoxLayout(sequence);
  calibratorName_ = new QLabel(this);
  calibratorName_->setObjectName("calibratorName");
  stepText_ = new QLabel(this);
  stepText_->setObjectName("stepText");
  first_ = button("|<", "firstStep", &AnalogInCalib::firstStep);
  prev_ = button("<", "prevStep", &AnalogInCalib::previousStep);
  next_ = button(">", "nextStep", &AnalogInCalib::nextStep);
  last_ = button(">|", "lastStep", &AnalogInCalib::lastStep);
  edit_ = button("Edit", "editSequence", &AnalogInCalib::editSequence);
  reload_ = button("Reload", "reloadSequence", &AnalogInCalib::reloadSequence);
  run_ = button("Run", "runSequence", &AnalogInCalib::run);
  stop_ = button("Stop", "stopSequence", &AnalogInCalib::stop);
  auto* settings = button("Settings...", "settings", nullptr);
  connect(settings, &QPushButton::clicked, this, &AnalogInCalibDialog::openSettings);
  progress_ = new QProgressBar(this);
  progress_->setObjectName("sequenceProgress");
  progress_->setRange(0, 100);
  runnerLine_ = new QLabel(this);
  runnerLine_->setObjectName("runnerLine");
  runnerLine_->setMinimumWidth(320);
  seq->addWidget(calibratorName_);
  seq->addWidget(stepText_);
  for (QWidget* w : {first_, prev_, next_, last_}) {
    static_cast<QPushButton*>(w)->setFixedWidth(32);
    seq->addWidget(w);
  }
  for (QWidget* w : {edit_, reload_, run_, stop_, settings}) seq->addWidget(w);
  seq->addWidget(progress_);
  seq->addWidget(runnerLine_, 1);

  auto* bottom = new QHBoxLayout;
  samLabel_ = new QLabel("SAM Base Calibration:", this);
  samLabel_->setObjectName("samLabel");
  bottom->addWidget(samLabel_);
  for (int adc = 0; adc < 2; ++adc) {
    sam_[adc] = new QLabel(adc == 0 ? " ADC 0 " : " ADC 1 ", this);
    sam_[adc]->setObjectName(QString("samAdc%1").arg(adc));
    bottom->addWidget(sam_[adc]);
  }
  samEdit_ = button("Edit...", "samEdit", nullptr);
  connect(samEdit_, &QPushButton::clicked, this, [this] {
    SamBaseCalib_Open(this, &calib_->module());
    render();
  });
  bottom->addWidget(samEdit_);
  addOkCancel(bottom);

  rows_ = new AnalogCalibRowsWidget(calib_->channelCount(), true, this);
  QScrollArea* scroll = rowsArea(rows_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(points);
  layout->addWidget(scroll, 1);
  layout->addWidget(sequence);
  layout->addLayout(bottom);

  connect(rows_, &AnalogCalibRowsWidget::setClicked, this,
          [this](int c, int p) { act([this, c, p] { calib_->rowSet(c, p); }); });
  connect(rows_, &AnalogCalibRowsWidget::clearClicked, this,
          [this](int c, int p) { act([this, c, p] { calib_->rowClear(c, p); }); });
  connect(rows_, &AnalogCalibRowsWidget::outClicked, this, [this](int c) { act([this, c] { calib_->outToRow(c); }); });
  connect(configList_, &QComboBox::activated, this, [this](int i) { act([this, i] { calib_->chooseConfig(i); }); });
  connect(valueModes_, &QComboBox::activated, this, [this](int i) { act([this, i] { calib_->chooseValueMode(i); }); });
  connect(calibModes_, &QComboBox::activated, this, [this](int i) { act([this, i] { calib_->chooseCalibMode(i); }); });
  connect(newValue_, &QLineEdit::textEdited, this, [this](const QString& t) { calib_->setNewValue(t.toStdString()); });
  connect(ref_, &QLineEdit::textEdited, this, [this](const QString& t) { calib_->setRefText(t.toStdString()); });
  connect(autoUpdate_, &QCheckBox::clicked, this, [this](bool on) { act([this, on] { calib_->setAutoUpdate(on); }); });
  connect(trace_, &QCheckBox::clicked, this, [this] { act([this] { calib_->toggleTrace(); }); });
}

void AnalogInCalibDialog::render() {
  const AnalogInCalib::Controls c = calib_->controls();
  {
    const QSignalBlocker block(configList_);
    configList_->setCurrentIndex(calib_->selectedEntry());
  }
  const std::vector<std::string> modes = calib_->displayChoices();
  fillList(valueModes_, modes, calib_->valueMode());
  fillList(calibModes_, modes, calib_->calibMode());
  setText(newValue_, calib_->newValue());
  newValue_->setEnabled(c.newValueEditable);
  setText(ref_, calib_->refText());
  for (QWidget* w : {static_cast<QWidget*>(refLabel_), static_cast<QWidget*>(ref_), static_cast<QWidget*>(refUnit_)})
    w->setEnabled(c.refEnabled);
  ref_->setReadOnly(!c.refEditable);
  autoUpdate_->setChecked(c.autoUpdate);
  trace_->setChecked(c.traceActive);
  for (int p = 0; p < 2; ++p) setAll_[p]->setEnabled(c.setAllEnabled[p]);
  outToAll_->setEnabled(c.outToAllEnabled);
  hiZ_->setEnabled(c.hiZEnabled);

  calibratorName_->setVisible(c.sequenceShown);
  stepText_->setVisible(c.sequenceShown);
  calibratorName_->setText(QStr(c.calibratorName));
  stepText_->setText(QStr(c.stepText));
  first_->setEnabled(c.firstEnabled);
  prev_->setEnabled(c.prevEnabled);
  next_->setEnabled(c.nextEnabled);
  last_->setEnabled(c.lastEnabled);
  edit_->setEnabled(c.editEnabled);
  reload_->setEnabled(c.reloadEnabled);
  run_->setText(QStr(c.runText));
  run_->setEnabled(c.runEnabled);
  stop_->setEnabled(c.stopEnabled);
  progress_->setVisible(c.running);
  progress_->setValue(c.progress);
  runnerLine_->setText(QStr(c.runnerLine));

  samLabel_->setVisible(c.samShown);
  samEdit_->setVisible(c.samShown);
  for (int adc = 0; adc < 2; ++adc) {
    sam_[adc]->setVisible(c.samShown);
    sam_[adc]->setStyleSheet(c.samGreen[adc] ? kGreen : kRed);
    sam_[adc]->setProperty("green", c.samGreen[adc]);
  }
  rows_->render(
      *calib_, [this](int ch, int p) { return calib_->rowSetEnabled(ch, p); },
      [this](int ch) { return calib_->rowOutEnabled(ch); });
}

void AnalogInCalibDialog::openSettings() {
  std::function<void(QWidget*, int)>& opener = Session_Part<AnalogInCalibSettings>().open;
  if (opener) opener(this, kSettingsCalibratorPage);
  render();
}

void AnalogInCalibDialog::endCalibration(bool restore) {
  SamBaseCalib_Close();
  calib_->close(restore);
  if (SingleInstance_Find<AnalogInCalibDialog>() == this) SingleInstance_Release<AnalogInCalibDialog>();
}

// ---- opening and closing -----------------------------------------------------------

QDialog* AnalogInCalib_Open(AnalogTab* page) {
  if (!page) return nullptr;
  QWidget* moduleDialog = TabDialog_DialogOfPage(page);
  if (AnalogInCalibDialog* open = SingleInstance_Find<AnalogInCalibDialog>()) {
    if (open->moduleDialog() == moduleDialog) {
      open->raise();
      open->activateWindow();
      return open;
    }
    ShowErrorBox("Analog Input Calibration dialog already in use,\nclose it first.");
    return nullptr;
  }
  ModuleRec* module = page->calibModule();
  ChanInfo& channels = page->calibChannels();
  if (!module || channels.channelCount <= 0) {
    ShowErrorBox("No analog input channels found on this module.");
    return nullptr;
  }
  auto calib = std::make_unique<AnalogInCalib>(*module, channels);
  if (!calib->prepare()) return nullptr;
  return SingleInstance_Show<AnalogInCalibDialog>(
      [&] { return new AnalogInCalibDialog(page, std::move(calib), moduleDialog); });
}

AnalogInCalibDialog* AnalogInCalib_Instance() { return SingleInstance_Find<AnalogInCalibDialog>(); }

void AnalogInCalib_Close() {
  if (AnalogInCalibDialog* open = AnalogInCalib_Instance()) open->close();
}

void AnalogInCalib_CloseFor(QWidget* moduleDialog) {
  AnalogInCalibDialog* open = AnalogInCalib_Instance();
  if (open && open->moduleDialog() == moduleDialog) open->close();
}

void AnalogInCalib_SetSettingsOpener(std::function<void(QWidget*, int)> opener) {
  Session_Part<AnalogInCalibSettings>().open = std::move(opener);
}
