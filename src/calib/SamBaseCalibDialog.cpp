#include "calib/SamBaseCalibDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "calib/AnalogCalibDialog.h"
#include "core/ErrorReport.h"
#include "core/TextFormat.h"
#include "ui/QtSingleInstance.h"

namespace {

QString QStr(const std::string& text) { return QString::fromStdString(text); }

void SetText(QLineEdit* field, const std::string& text) {
  if (field->text() != QStr(text)) field->setText(QStr(text));
}

QPushButton* Button(const QString& text, const QString& name, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

QLineEdit* Field(const QString& name, QWidget* parent) {
  auto* f = new QLineEdit(parent);
  f->setObjectName(name);
  f->setFixedWidth(70);
  return f;
}

}  // namespace

SamBaseCalibDialog::SamBaseCalibDialog(QWidget* parent, ModuleRec& module)
    : QDialog(parent), panel_(std::make_unique<SamBaseCalibPanel>(module)), module_(&module) {
  setObjectName("DIALOG_SAMBASECALIB");
  setWindowTitle("SAM Base Calibration");
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  auto* converters = new QHBoxLayout;
  converters->addWidget(buildConverter(0));
  converters->addWidget(buildConverter(1));
  layout->addLayout(converters);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  close_ = Button("Close", "closeButton", this);
  connect(close_, &QPushButton::clicked, this, &SamBaseCalibDialog::reject);
  bottom->addWidget(close_);
  layout->addLayout(bottom);

  panel_->onChanged = [this] { render(); };
  panel_->initialise();
  render();
}

SamBaseCalibDialog::~SamBaseCalibDialog() {
  finish();
  panel_->onChanged = nullptr;
}

QWidget* SamBaseCalibDialog::buildConverter(int adc) {
  Converter& c = adc_[adc];
  auto* group = new QGroupBox(QString("ADC %1").arg(adc), this);
  auto* grid = new QGridLayout(group);
  const QString n = QString::number(adc);
  c.name = new QLabel(adc == 0 ? " ADC 0 " : " ADC 1 ", group);
  c.name->setObjectName("adcLabel" + n);
  c.inputs = new QLabel(group);
  c.inputs->setObjectName("inputs" + n);
  c.actual = new QLabel(group);
  c.actual->setObjectName("actual" + n);
  grid->addWidget(c.name, 0, 0);
  grid->addWidget(new QLabel("Input(s):", group), 1, 0);
  grid->addWidget(c.inputs, 1, 1, 1, 3);
  grid->addWidget(new QLabel("Actual ADC result:", group), 2, 0);
  grid->addWidget(c.actual, 2, 1);
  grid->addWidget(new QLabel("Wanted behaviour", group), 3, 0);
  grid->addWidget(new QLabel("Current correction", group), 3, 2);
  const char* side[2] = {"Low", "High"};
  for (int p = 0; p < 2; ++p) {
    const QString s = side[p];
    c.wanted[p] = new QLabel(group);
    c.wanted[p]->setObjectName("wanted" + s + n);
    c.pairActual[p] = Field(QString(p ? "highActual" : "lowActual") + n, group);
    c.pairWanted[p] = Field(QString(p ? "highWanted" : "lowWanted") + n, group);
    c.setPair[p] = Button(s, "setPair" + s + n, group);
    grid->addWidget(new QLabel(s + ":", group), 4 + p, 0);
    grid->addWidget(c.wanted[p], 4 + p, 1);
    grid->addWidget(c.pairActual[p], 4 + p, 2);
    grid->addWidget(c.pairWanted[p], 4 + p, 3);
    grid->addWidget(c.setPair[p], 4 + p, 4);
    c.valid[p] = new QCheckBox(s + " Valid", group);
    c.valid[p]->setObjectName(QString(p ? "highValid" : "lowValid") + n);
    connect(c.setPair[p], &QPushButton::clicked, this, [this, adc, p] { act([=, this] { panel_->setPair(adc, p == 1); }); });
    connect(c.valid[p], &QCheckBox::clicked, this, [this, adc, p] { act([=, this] { panel_->validClicked(adc, p == 1); }); });
  }
  c.enabled = new QCheckBox("Enabled", group);
  c.enabled->setObjectName("enabled" + n);
  connect(c.enabled, &QCheckBox::clicked, this, [this, adc] { act([=, this] { panel_->enabledClicked(adc); }); });
  auto* status = new QHBoxLayout;
  status->addWidget(c.valid[0]);
  status->addWidget(c.valid[1]);
  status->addWidget(c.enabled);
  grid->addLayout(status, 6, 0, 1, 5);
  c.clipping = Field("clipping" + n, group);
  c.setClipping = Button("Set", "setClipping" + n, group);
  connect(c.setClipping, &QPushButton::clicked, this, [this, adc] { act([=, this] { panel_->setClipping(adc); }); });
  grid->addWidget(new QLabel("Zero Offset Clipping:", group), 7, 0);
  grid->addWidget(c.clipping, 7, 2);
  grid->addWidget(c.setClipping, 7, 4);
  auto* source = new QHBoxLayout;
  source->addWidget(new QLabel("Calibrator:", group));
  const char* sourceText[3] = {"Low", "High", "Hi-Z"};
  const char* sourceName[3] = {"sourceLow", "sourceHigh", "sourceOff"};
  for (int i = 0; i < 3; ++i) {
    c.source[i] = Button(sourceText[i], sourceName[i] + n, group);
    source->addWidget(c.source[i]);
    connect(c.source[i], &QPushButton::clicked, this, [this, adc, i] { act([=, this] { panel_->sourceClicked(adc, i + 1); }); });
  }
  grid->addLayout(source, 8, 0, 1, 5);
  c.autoCalib = Button(QString("Auto Calibrate ADC %1").arg(adc), "autoCalib" + n, group);
  connect(c.autoCalib, &QPushButton::clicked, this, [this, adc] { act([=, this] { panel_->autoCalibrate(adc); }); });
  c.state = new QLabel(group);
  c.state->setObjectName("state" + n);
  grid->addWidget(c.autoCalib, 9, 0, 1, 2);
  grid->addWidget(c.state, 9, 2, 1, 3);

  for (int p = 0; p < 2; ++p) {
    connect(c.pairActual[p], &QLineEdit::textEdited, this, [this, adc, p](const QString& t) {
      (p ? panel_->fields(adc).highActual : panel_->fields(adc).lowActual) = t.toStdString();
    });
    connect(c.pairWanted[p], &QLineEdit::textEdited, this, [this, adc, p](const QString& t) {
      (p ? panel_->fields(adc).highWanted : panel_->fields(adc).lowWanted) = t.toStdString();
    });
  }
  connect(c.clipping, &QLineEdit::textEdited, this,
          [this, adc](const QString& t) { panel_->fields(adc).clipping = t.toStdString(); });
  return group;
}

void SamBaseCalibDialog::act(const std::function<void()>& action) {
  NestedCalls::Scope call(panel_->calls());
  action();
  if (!finished_) render();
}

void SamBaseCalibDialog::render() {
  for (int adc = 0; adc < 2; ++adc) {
    Converter& c = adc_[adc];
    const SamAdcStatus& r = panel_->status(adc);
    SamAdcFields& f = panel_->fields(adc);
    const bool green = r.status == SAMBASE_ALL_SET;
    c.name->setStyleSheet(green ? "background-color: #20c020; color: white;"
                                : "background-color: #d02020; color: white;");
    c.name->setProperty("green", green);
    c.inputs->setText(QStr(SamBaseCalib_InputsText(r)));
    c.actual->setText(QString::number(r.actualResult));
    for (int p = 0; p < 2; ++p) {
      c.wanted[p]->setText(QStr(Text_Format("%s  %d", SamBaseCalib_ReferenceText(r, p == 1).c_str(),
                                            p ? r.highReferenceDigits : r.lowReferenceDigits)));
      SetText(c.pairActual[p], p ? f.highActual : f.lowActual);
      SetText(c.pairWanted[p], p ? f.highWanted : f.lowWanted);
    }
    SetText(c.clipping, f.clipping);
    c.valid[0]->setChecked(r.status & SAMBASE_LOW_VALID);
    c.valid[1]->setChecked(r.status & SAMBASE_HIGH_VALID);
    c.enabled->setChecked(r.status & SAMBASE_ENABLED);
    c.state->setText(QStr(panel_->stateText(adc)));
    const bool correction = panel_->correctionEnabled(adc);
    for (int p = 0; p < 2; ++p) {
      c.pairActual[p]->setEnabled(correction);
      c.pairWanted[p]->setEnabled(correction);
      c.setPair[p]->setEnabled(correction);
      c.valid[p]->setEnabled(correction);
    }
    c.enabled->setEnabled(correction);
    c.clipping->setEnabled(correction);
    c.setClipping->setEnabled(correction);
    const bool calibrator = panel_->calibratorEnabled(adc);
    for (QPushButton* b : c.source) b->setEnabled(calibrator);
    c.autoCalib->setEnabled(calibrator);
  }
  close_->setEnabled(panel_->closeEnabled());
}

void SamBaseCalibDialog::finish() {
  if (finished_) return;
  finished_ = true;
  panel_->close();
  if (SingleInstance_Find<SamBaseCalibDialog>() == this) SingleInstance_Release<SamBaseCalibDialog>();
  CalibDialog_GoWhenIdle(this, panel_->calls());
}

void SamBaseCalibDialog::reject() {
  finish();
  QDialog::reject();
}

void SamBaseCalibDialog::closeEvent(QCloseEvent* event) {
  finish();
  QDialog::closeEvent(event);
}

QDialog* SamBaseCalib_Open(QWidget* parent, ModuleRec* module) {
  if (!module) return nullptr;
  if (SamBaseCalibDialog* open = SingleInstance_Find<SamBaseCalibDialog>()) {
    if (open->module() == module) {
      open->raise();
      open->activateWindow();
      return open;
    }
    ShowErrorBox("SAM Base Calibration dialog already in use,\nclose it first.");
    return nullptr;
  }
  if (!SamBaseCalib_Probe(*module)) return nullptr;
  return SingleInstance_Show<SamBaseCalibDialog>([&] { return new SamBaseCalibDialog(parent, *module); });
}

void SamBaseCalib_Close() {
  if (SamBaseCalibDialog* open = SingleInstance_Find<SamBaseCalibDialog>()) open->close();
}

SamBaseCalibDialog* SamBaseCalib_Instance() { return SingleInstance_Find<SamBaseCalibDialog>(); }
