#include "module/PeekMemWriteDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "module/PeekMemWriteData.h"

PeekMemWriteDialog::PeekMemWriteDialog(ModuleRec& module, QWidget* parent) : QDialog(parent), module_(module) {
  setObjectName("DIALOG_PEEKMEMWRITE");
  setWindowTitle("Write to memory");
  memType_ = new QComboBox(this);
  memType_->setObjectName("memType");
  for (int t = 0; t < kPeekMemTypeCount; ++t) memType_->addItem(PeekMem_TypeName(t));
  start_ = new QLineEdit(this);
  start_->setObjectName("startAddress");
  data_ = new QLineEdit(this);
  data_->setObjectName("data");
  data_->setMaxLength(1024);
  data_->setMinimumWidth(360);
  hint_ = new QLabel(this);
  hint_->setObjectName("hint");
  hint_->setTextFormat(Qt::PlainText);
  hint_->setWordWrap(true);
  hint_->setMinimumHeight(60);
  hint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  hint_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* writeButton = new QPushButton("Write Data", this);
  writeButton->setObjectName("writeData");
  writeButton->setAutoDefault(false);
  auto* close = new QPushButton("Close", this);
  close->setObjectName("closeButton");
  close->setAutoDefault(false);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Memory:", this), 0, 0);
  grid->addWidget(memType_, 0, 1, Qt::AlignLeft);
  grid->addWidget(new QLabel("Start address:", this), 1, 0);
  grid->addWidget(start_, 1, 1, Qt::AlignLeft);
  grid->addWidget(new QLabel("Data:", this), 2, 0);
  grid->addWidget(data_, 2, 1);
  grid->addWidget(hint_, 3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(writeButton);
  buttons->addStretch(1);
  buttons->addWidget(close);
  grid->addLayout(buttons, 4, 0, 1, 2);
  grid->setColumnStretch(1, 1);

  connect(writeButton, &QPushButton::clicked, this, &PeekMemWriteDialog::write);
  connect(close, &QPushButton::clicked, this, &PeekMemWriteDialog::reject);
  showFields(PeekWrite_Open());
}

PeekWriteFields PeekMemWriteDialog::fields() const {
  PeekWriteFields f;
  f.memType = memType_->currentIndex();
  f.start = start_->text().toStdString();
  f.data = data_->text().toStdString();
  f.hint = hint_->text().toStdString();
  return f;
}

void PeekMemWriteDialog::showFields(const PeekWriteFields& f) {
  memType_->setCurrentIndex(f.memType);
  start_->setText(QString::fromStdString(f.start));
  data_->setText(QString::fromStdString(f.data));
  hint_->setText(QString::fromStdString(f.hint));
}

void PeekMemWriteDialog::write() {
  PeekWriteFields f = fields();
  QPointer<PeekMemWriteDialog> alive(this);
  PeekWrite_Write(module_, f);
  if (alive) showFields(f);
}

void PeekMemWriteDialog::reject() {
  PeekWrite_Close(fields());
  QDialog::reject();
}

void PeekMemWriteDialog_Show(ModuleRec& module, QWidget* parent) {
  // Deleted with its parent when the module dialog goes while it is open.
  QPointer<PeekMemWriteDialog> dialog = new PeekMemWriteDialog(module, parent);
  dialog->exec();
  delete dialog.data();
}
