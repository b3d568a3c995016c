#include "firmware/FirmwareTab.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "firmware/FwFileWatch.h"
#include "firmware/FwUpload.h"
#include "firmware/UploadDialog.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"

namespace {

constexpr int kRows = 4;
const char* const kRowLabels[kRows] = {"Module Type:", "Hardware Version:", "Firmware Version:", "Code Start:"};
const char* const kRowNames[kRows] = {"Type", "Hardware", "Firmware", "CodeStart"};
// Type, hardware version and code start carry an agreement mark; the version does not.
const int kMarkOfRow[kRows] = {0, 1, -1, 2};

QLineEdit* ValueField(QWidget* parent, const QString& name) {
  auto* f = new QLineEdit(parent);
  f->setObjectName(name);
  f->setReadOnly(true);
  f->setMinimumWidth(150);
  return f;
}

QPushButton* Button(QWidget* parent, const char* text, const char* name) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

void SetMark(QLabel* label, FwMark mark) {
  label->setVisible(mark != FwMark::Hidden);
  label->setText(mark == FwMark::Agree ? QString::fromUtf8("\u2714") : QString::fromUtf8("\u2718"));
  label->setStyleSheet(mark == FwMark::Agree ? "color: #008000" : "color: #c00000");
  label->setProperty("agrees", mark == FwMark::Agree);
}

void SetColumn(QLineEdit* const fields[kRows], const FwTabColumn& c) {
  const std::string* texts[kRows] = {&c.type, &c.hardware, &c.firmware, &c.codeStart};
  for (int i = 0; i < kRows; ++i) fields[i]->setText(QString::fromStdString(*texts[i]));
}

}  // namespace

FirmwareTab::FirmwareTab(QWidget* parent) : TabPage(parent), timer_([this] { tick(); }) {
  auto* grid = new QGridLayout(this);
  moduleHeading_ = new QLabel("Module:", this);
  moduleHeading_->setObjectName("fwModuleHeading");
  fileHeading_ = new QLabel("Hex File:", this);
  fileHeading_->setObjectName("fwFileHeading");
  grid->addWidget(moduleHeading_, 0, 1);
  grid->addWidget(fileHeading_, 0, 3);
  for (int i = 0; i < kRows; ++i) {
    grid->addWidget(new QLabel(kRowLabels[i], this), i + 1, 0);
    moduleFields_[i] = ValueField(this, QString("fwModule") + kRowNames[i]);
    fileFields_[i] = ValueField(this, QString("fwFile") + kRowNames[i]);
    grid->addWidget(moduleFields_[i], i + 1, 1);
    grid->addWidget(fileFields_[i], i + 1, 3);
    if (kMarkOfRow[i] >= 0) {
      QLabel*& mark = marks_[kMarkOfRow[i]];
      mark = new QLabel(this);
      mark->setObjectName(QString("fwMark") + kRowNames[i]);
      mark->setAlignment(Qt::AlignCenter);
      mark->setMinimumWidth(20);
      grid->addWidget(mark, i + 1, 2);
    }
  }
  auto* fileRow = new QHBoxLayout;
  file_ = new QLineEdit(this);
  file_->setObjectName("fwFileName");
  browse_ = Button(this, "...", "fwBrowse");
  fileRow->addWidget(new QLabel("Hex File:", this));
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(browse_);
  grid->addLayout(fileRow, kRows + 1, 0, 1, 4);
  auto* buttons = new QHBoxLayout;
  restart_ = Button(this, "Restart into Bootloader...", "fwRestart");
  write_ = Button(this, "Write to KVX module...", "fwWrite");
  buttons->addWidget(restart_);
  buttons->addStretch(1);
  buttons->addWidget(write_);
  grid->addLayout(buttons, kRows + 2, 0, 1, 4);
  grid->setRowStretch(kRows + 3, 1);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);

  connect(browse_, &QPushButton::clicked, this, &FirmwareTab::chooseFile);
  connect(write_, &QPushButton::clicked, this, &FirmwareTab::writeToModule);
  connect(restart_, &QPushButton::clicked, this, &FirmwareTab::restart);
}

FirmwareTab::~FirmwareTab() { timer_.stop(); }

ModuleRec* FirmwareTab::module() const {
  TabDialogData* data = TabDialog_DataOfPage(this);
  return data ? data->module : nullptr;
}

std::string FirmwareTab::fileName() const { return file_->text().toStdString(); }

void FirmwareTab::storeFileName() { Option_SetText("RECENT_HEXFILE", fileName()); }

void FirmwareTab::pageShown() {
  file_->setText(QString::fromUtf8(Option_GetText("RECENT_HEXFILE")));
  refresh(false);
  FwFileWatch_Arm();
  timer_.start(1000);
}

void FirmwareTab::pageHidden() {
  timer_.stop();
  storeFileName();
}

void FirmwareTab::refresh(bool report) {
  ModuleRec* rec = module();
  if (!rec) return;
  show(FwTab_Read(*rec, fileName(), report));
}

void FirmwareTab::show(const FwTabFields& f) {
  moduleHeading_->setText(QString::fromStdString(f.moduleHeading));
  fileHeading_->setText(QString::fromStdString(f.fileHeading));
  SetColumn(moduleFields_, f.module);
  SetColumn(fileFields_, f.file);
  SetMark(marks_[0], f.typeMark);
  SetMark(marks_[1], f.hardwareMark);
  SetMark(marks_[2], f.codeMark);
  restart_->setText(QString::fromStdString(f.restartText));
  restart_->setEnabled(f.restartEnabled);
  write_->setEnabled(f.writeEnabled);
  file_->setEnabled(f.fileColumnEnabled);
  // "..." stays usable while the firmware runs: the file may be chosen before the restart.
  browse_->setEnabled(true);
  for (QLineEdit* field : fileFields_) field->setEnabled(f.fileColumnEnabled);
}

void FirmwareTab::chooseFile() {
  ModuleRec* rec = module();
  std::string initial = fileName();
  if (!initial.empty() && (initial.back() == '\\' || initial.back() == '/')) initial.pop_back();
  UiFileRequest request;
  const ModuleTypeInfo* row = rec ? ModuleType_Find(int(rec->type)) : nullptr;
  request.title = Ui_Format("Open Firmware Hex File for %s", row ? row->orderCode : "(unknown)");
  request.filter = "HEX files (*.hex)|*.hex|All files (*.*)|*.*";
  request.initialPath = initial;
  std::string chosen;
  if (!Ui_OpenFile(request, chosen)) return;
  file_->setText(QString::fromStdString(chosen));
  refresh(true);
  FwFileWatch_Arm();
  storeFileName();
}

void FirmwareTab::writeToModule() {
  ModuleRec* rec = module();
  if (!rec) return;
  if (FwUpload_Running()) {
    ShowErrorBox("Another upload is currently running,\nplease try again after that upload has finished.");
    return;
  }
  if (Ui_MessageBox("Upload hex file\ninto KVX module?", "Write Firmware", UiButtons::OkCancel, UiIcon::Question) !=
      UiAnswer::Ok)
    return;
  timer_.stop();
  UploadDialog_Run(this, *rec, fileName());
  refresh(true);
  FwFileWatch_Arm();
  timer_.start(1000);
}

void FirmwareTab::restart() {
  ModuleRec* rec = module();
  if (!rec || FwTab_Restart(*rec) != 1) return;
  timer_.stop();
  restart_->setEnabled(false);
  SetWaitCursor(1);
  Clock_SleepMs(Option_GetInt("WAIT_AFTER_MODULERESET_MS"));
  SetWaitCursor(0);
  rec->infoValid = 0;
  refresh(false);
  FwFileWatch_Arm();
  timer_.start(1000);
}

void FirmwareTab::tick() {
  timer_.stop();
  if (FwFileWatch_Check(fileName())) refresh(true);
  timer_.start(1000);
}

int FwTab_Restart(QWidget* page) {
  TabDialogData* data = TabDialog_DataOfPage(page);
  return data && data->module ? FwTab_Restart(*data->module) : 0;
}
