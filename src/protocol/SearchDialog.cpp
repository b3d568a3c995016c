#include "protocol/SearchDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SearchDialog::SearchDialog(QWidget* owner) : QDialog(owner), run_(*this) {
  setObjectName("DIALOG_SEARCH");
  setWindowTitle("Search a Module");
  auto* outer = new QVBoxLayout(this);

  instruction_ = new QLabel(
      "Press the front button of the module which you want to find\n(for at least 1 second)...",
      this);
  instruction_->setObjectName("searchInstruction");
  outer->addWidget(instruction_);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Found:", this), 0, 0);
  found_ = new QLabel(this);
  found_->setObjectName("searchFound");
  found_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  grid->addWidget(found_, 0, 1, 1, 2);
  autoAssign_ = new QCheckBox("Auto-assign Node ID, next:", this);
  autoAssign_->setObjectName("searchAutoAssign");
  grid->addWidget(autoAssign_, 1, 0);
  nextNode_ = new QLineEdit(this);
  nextNode_->setObjectName("searchNextNode");
  nextNode_->setMaxLength(12);
  nextNode_->setMaximumWidth(fontMetrics().horizontalAdvance("0x0000") + 16);
  grid->addWidget(nextNode_, 1, 1);
  grid->addWidget(new QLabel("(2...127)", this), 1, 2);
  grid->setColumnStretch(2, 1);
  outer->addLayout(grid);

  auto* buttons = new QHBoxLayout;
  configure_ = new QPushButton("Configure...", this);
  configure_->setObjectName("searchConfigure");
  close_ = new QPushButton("Close", this);
  close_->setObjectName("searchClose");
  close_->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(configure_);
  buttons->addWidget(close_);
  outer->addLayout(buttons);

  connect(autoAssign_, &QCheckBox::toggled, nextNode_, &QWidget::setEnabled);
  connect(configure_, &QPushButton::clicked, this, &SearchDialog::configure);
  connect(close_, &QPushButton::clicked, this, &SearchDialog::reject);

  run_.begin();
}

SearchDialog::~SearchDialog() { run_.timer().stop(); }

void SearchDialog::reject() {
  run_.close();
  QDialog::reject();
}

void SearchDialog::configure() {
  run_.configure();
  accept();
}

void SearchDialog::showFound(const std::string& name) { found_->setText(QString::fromStdString(name)); }

void SearchDialog::bringToFront() {
  raise();
  activateWindow();
}

bool SearchDialog::autoAssign() const { return autoAssign_->isChecked(); }

void SearchDialog::setAutoAssign(bool on) { autoAssign_->setChecked(on); }

std::string SearchDialog::nextNodeText() const { return nextNode_->text().toStdString(); }

void SearchDialog::setNextNodeText(const std::string& text) {
  nextNode_->setText(QString::fromStdString(text));
}

void SearchDialog::setNextNodeEnabled(bool on) { nextNode_->setEnabled(on); }

void SearchDialog::setAutoAssignEnabled(bool on) { autoAssign_->setEnabled(on); }

void SearchDialog::setConfigureEnabled(bool on) { configure_->setEnabled(on); }

void SearchDialog::setInstructionEnabled(bool on) { instruction_->setEnabled(on); }

void SearchDialog_Open(QWidget* owner) {
  SearchDialog dialog(owner);
  dialog.exec();
}
