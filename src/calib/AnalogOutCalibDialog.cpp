#include "calib/AnalogOutCalibDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "calib/AnalogCalibRowsWidget.h"
#include "core/ErrorReport.h"
#include "io/AnalogTab.h"
#include "module/ModuleTabs.h"
#include "ui/QtSingleInstance.h"

namespace {

QString QStr(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

AnalogOutCalibDialog::AnalogOutCalibDialog(AnalogTab* page, std::unique_ptr<AnalogOutCalib> calib)
    : AnalogCalibDialog(page, *calib), calib_(std::move(calib)) {
  setObjectName("DIALOG_ANALOGOUTCALIB");
  setWindowTitle(QStr(ModuleDialog_MakeTitle(calib_->module(), ",  Analog Output Factory Calibration")));

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
  output_ = new QLineEdit(this);
  output_->setObjectName("outputValue");
  setOutput_ = button("Set", "setOutput", [this] { calib_->setOutput(); });
  autoUpdate_ = new QCheckBox("Auto Update", this);
  autoUpdate_->setObjectName("autoUpdate");

  auto* top = new QGridLayout;
  top->addWidget(new QLabel("Configuration:", this), 0, 0);
  top->addWidget(configList_, 0, 1);
  top->addWidget(new QLabel("Display:", this), 0, 2);
  top->addWidget(valueModes_, 0, 3);
  top->addWidget(new QLabel("Display:", this), 0, 4);
  top->addWidget(calibModes_, 0, 5);
  top->addWidget(new QLabel("New Value:", this), 1, 0);
  top->addWidget(newValue_, 1, 1);
  top->addWidget(new QLabel("Set Output", this), 1, 2);
  top->addWidget(output_, 1, 3);
  top->addWidget(setOutput_, 1, 4);
  top->addWidget(autoUpdate_, 1, 5);

  auto* points = new QHBoxLayout;
  for (int p = 0; p < 2; ++p) {
    setAll_[p] = button(p ? "Set all 2 (H)" : "Set all 1 (L)", p ? "setAll2" : "setAll1",
                        [this, p] { calib_->setAllPoints(p + 1); });
    points->addWidget(setAll_[p]);
  }
  for (int p = 0; p < 2; ++p) {
    points->addWidget(button(p ? "Clr all 2 (H)" : "Clr all 1 (L)", p ? "clrAll2" : "clrAll1",
                             [this, p] { calib_->clearAllPoints(p + 1); }));
  }
  points->addStretch(1);
  points->addWidget(button("Clear...", "clearFactory", [this] { calib_->clearFactoryPoints(); }));
  points->addWidget(button("Save...", "saveFile", [this] { calib_->saveFile(); }));
  points->addWidget(button("Load...", "loadFile", [this] { calib_->loadFile(); }));

  rows_ = new AnalogCalibRowsWidget(calib_->channelCount(), false, this);
  QScrollArea* scroll = rowsArea(rows_);
  auto* bottom = new QHBoxLayout;
  addOkCancel(bottom);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(points);
  layout->addWidget(scroll, 1);
  layout->addLayout(bottom);

  connect(rows_, &AnalogCalibRowsWidget::setClicked, this,
          [this](int c, int p) { act([this, c, p] { calib_->rowSet(c, p); }); });
  connect(rows_, &AnalogCalibRowsWidget::clearClicked, this,
          [this](int c, int p) { act([this, c, p] { calib_->rowClear(c, p); }); });
  connect(configList_, &QComboBox::activated, this, [this](int i) { act([this, i] { calib_->chooseConfig(i); }); });
  connect(valueModes_, &QComboBox::activated, this, [this](int i) { act([this, i] { calib_->chooseValueMode(i); }); });
  connect(calibModes_, &QComboBox::activated, this, [this](int i) { act([this, i] { calib_->chooseCalibMode(i); }); });
  connect(newValue_, &QLineEdit::textEdited, this, [this](const QString& t) { calib_->setNewValue(t.toStdString()); });
  connect(output_, &QLineEdit::textEdited, this, [this](const QString& t) { calib_->setOutputValue(t.toStdString()); });
  connect(output_, &QLineEdit::returnPressed, setOutput_, &QPushButton::click);
  connect(autoUpdate_, &QCheckBox::clicked, this, [this](bool on) { act([this, on] { calib_->setAutoUpdate(on); }); });

  startCalibration([this] { calib_->initialise(); }, configList_);
}

AnalogOutCalibDialog::~AnalogOutCalibDialog() {
  finishWithoutPage();
}

void AnalogOutCalibDialog::render() {
  const AnalogOutCalib::Controls c = calib_->controls();
  {
    const QSignalBlocker block(configList_);
    configList_->setCurrentIndex(calib_->selectedEntry());
  }
  const std::vector<std::string> modes = calib_->displayChoices();
  fillList(valueModes_, modes, calib_->valueMode());
  fillList(calibModes_, modes, calib_->calibMode());
  setText(newValue_, calib_->newValue());
  newValue_->setEnabled(c.newValueEnabled);
  setText(output_, calib_->outputValue());
  output_->setEnabled(c.setOutputEnabled);
  setOutput_->setEnabled(c.setOutputEnabled);
  autoUpdate_->setChecked(c.autoUpdate);
  for (QPushButton* b : setAll_) b->setEnabled(c.setAllEnabled);
  rows_->render(
      *calib_, [this](int, int) { return calib_->selectedEntry() != 0; }, [](int) { return false; });
}

void AnalogOutCalibDialog::endCalibration(bool restore) {
  calib_->close(restore);
  if (SingleInstance_Find<AnalogOutCalibDialog>() == this) SingleInstance_Release<AnalogOutCalibDialog>();
}

QDialog* AnalogOutCalib_Open(AnalogTab* page) {
  if (!page) return nullptr;
  if (SingleInstance_Find<AnalogOutCalibDialog>()) {
    ShowErrorBox("Analog Output Calibration dialog already in use,\nclose it first.");
    return nullptr;
  }
  ModuleRec* module = page->calibModule();
  ChanInfo& channels = page->calibChannels();
  if (!module || channels.channelCount <= 0) {
    ShowErrorBox("No analog output channels found on this module.");
    return nullptr;
  }
  auto calib = std::make_unique<AnalogOutCalib>(*module, channels);
  if (!calib->prepare()) return nullptr;
  return SingleInstance_Show<AnalogOutCalibDialog>(
      [&] { return new AnalogOutCalibDialog(page, std::move(calib)); });
}

void AnalogOutCalib_Close() {
  if (AnalogOutCalibDialog* open = SingleInstance_Find<AnalogOutCalibDialog>()) open->close();
}

AnalogOutCalibDialog* AnalogOutCalib_Instance() { return SingleInstance_Find<AnalogOutCalibDialog>(); }
