#include "module/LinTestTab.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "module/LinTest.h"
#include "protocol/ModuleList.h"

namespace {

QLineEdit* ReadOnly(QWidget* parent, const char* name, int width) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setReadOnly(true);
  field->setMinimumWidth(width);
  return field;
}

QLabel* Mark(QWidget* parent, const char* name, const QString& glyph, const char* colour) {
  auto* mark = new QLabel(glyph, parent);
  mark->setObjectName(name);
  mark->setStyleSheet(QString("font-size: 20pt; font-weight: bold; color: %1;").arg(colour));
  mark->hide();
  return mark;
}

void Show(QLineEdit* field, const std::string& text) { field->setText(QString::fromStdString(text)); }

}  // namespace

LinTestTab::LinTestTab(QWidget* parent) : ModuleTab(parent), exchangeTimer_(new QTimer(this)) {
  setObjectName("TAB_MOD_LINTEST");
  exchangeTimer_->setObjectName("exchangeTimer");
  exchangeTimer_->setSingleShot(true);
  connect(exchangeTimer_, &QTimer::timeout, this, &LinTestTab::step);

  auto* master = new QGroupBox("LIN master", this);
  master->setObjectName("masterGroup");
  auto* masterGrid = new QGridLayout(master);
  masterNode_ = ReadOnly(master, "masterNode", 60);
  send_ = new QPushButton("Send Message", master);
  send_->setObjectName("sendMessage");
  send_->setAutoDefault(false);
  masterGrid->addWidget(new QLabel("Node ID:", master), 0, 0);
  masterGrid->addWidget(masterNode_, 0, 1);
  masterGrid->addWidget(send_, 1, 0, 1, 2);

  auto* loop = new QGroupBox("Send message continously", this);
  loop->setObjectName("continuousGroup");
  auto* loopGrid = new QGridLayout(loop);
  start_ = new QCheckBox("Start", loop);
  start_->setObjectName("start");
  sent_ = ReadOnly(loop, "sentCount", 60);
  ok_ = ReadOnly(loop, "okCount", 60);
  failed_ = ReadOnly(loop, "failedCount", 60);
  loopGrid->addWidget(start_, 0, 0, 1, 2);
  loopGrid->addWidget(new QLabel("Sent:", loop), 1, 0);
  loopGrid->addWidget(sent_, 1, 1);
  loopGrid->addWidget(new QLabel("Ok:", loop), 2, 0);
  loopGrid->addWidget(ok_, 2, 1);
  loopGrid->addWidget(new QLabel("Failed:", loop), 3, 0);
  loopGrid->addWidget(failed_, 3, 1);

  auto* answer = new QGroupBox("LIN slave answer", this);
  answer->setObjectName("answerGroup");
  auto* answerGrid = new QGridLayout(answer);
  slaveName_ = ReadOnly(answer, "slaveName", 160);
  slaveNode_ = ReadOnly(answer, "slaveNode", 60);
  result_ = ReadOnly(answer, "result", 80);
  checkMark_ = Mark(answer, "checkMark", QString(QChar(0x2714)), "#1a8f1a");
  crossMark_ = Mark(answer, "crossMark", QString(QChar(0x2718)), "#c01818");
  answerGrid->addWidget(new QLabel("Module Name:", answer), 0, 0);
  answerGrid->addWidget(slaveName_, 0, 1);
  answerGrid->addWidget(new QLabel("Node ID:", answer), 1, 0);
  answerGrid->addWidget(slaveNode_, 1, 1, Qt::AlignLeft);
  answerGrid->addWidget(new QLabel("Result:", answer), 2, 0);
  answerGrid->addWidget(result_, 2, 1, Qt::AlignLeft);
  auto* marks = new QHBoxLayout;
  marks->addWidget(checkMark_);
  marks->addWidget(crossMark_);
  answerGrid->addLayout(marks, 0, 2, 3, 1);
  answerGrid->setColumnStretch(1, 1);

  auto* top = new QHBoxLayout;
  top->addWidget(master, 1);
  top->addWidget(loop, 1);
  auto* page = new QVBoxLayout(this);
  page->addLayout(top);
  page->addWidget(answer);
  page->addStretch(1);

  connect(send_, &QPushButton::clicked, this, &LinTestTab::send);
  connect(start_, &QCheckBox::clicked, this, &LinTestTab::setStart);
}

void LinTestTab::arm(int delayMs) {
  if (delayMs < 0)
    exchangeTimer_->stop();
  else
    exchangeTimer_->start(delayMs);
}

void LinTestTab::showView() {
  const LinView v = LinTab_View();
  Show(masterNode_, v.masterNode);
  start_->setChecked(v.startTicked);
  sent_->setText(QString::number(v.sent));
  ok_->setText(QString::number(v.ok));
  failed_->setText(QString::number(v.failed));
  Show(slaveName_, v.moduleName);
  Show(slaveNode_, v.nodeId);
  Show(result_, v.result);
  checkMark_->setVisible(v.mark == LinMark::Check);
  crossMark_->setVisible(v.mark == LinMark::Cross);
  send_->setEnabled(v.sendEnabled);
}

void LinTestTab::pageShown() {
  if (ModuleRec* rec = module()) LinTab_Shown(*rec);
  showView();
}

void LinTestTab::pageHidden() {
  ModuleTab::pageHidden();
  exchangeTimer_->stop();
  LinTab_Hidden();
}

void LinTestTab::send() {
  ModuleRec* rec = module();
  if (!rec) return;
  QPointer<LinTestTab> alive(this);
  LinTab_Send(*rec);
  if (!alive) return;
  showView();
  arm(0);
}

void LinTestTab::setStart(bool ticked) {
  ModuleRec* rec = module();
  if (!rec) return;
  LinTab_SetStart(*rec, ticked);
  showView();
  arm(0);  // the first exchange is sent from the timer, like every following one
}

void LinTestTab::step() {
  // A failed check is reported in a box; the dialog may close meanwhile.
  QPointer<LinTestTab> alive(this);
  const int delay = LinTab_Step();
  if (!alive) return;
  showView();
  arm(delay);
}
