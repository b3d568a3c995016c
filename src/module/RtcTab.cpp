#include "module/RtcTab.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include "module/RtcClock.h"
#include "protocol/ModuleList.h"

namespace {

QLineEdit* Field(QWidget* parent, const char* name) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setMinimumWidth(110);
  return field;
}

void Show(QLineEdit* field, const std::string& text) { field->setText(QString::fromStdString(text)); }

}  // namespace

RtcTab::RtcTab(QWidget* parent) : ModuleTab(parent) {
  setObjectName("TAB_MOD_RTC");
  auto* left = new QGroupBox("Module Real Time Clock", this);
  left->setObjectName("moduleClockGroup");
  auto* leftGrid = new QGridLayout(left);
  moduleTime_ = Field(left, "moduleTime");
  moduleDate_ = Field(left, "moduleDate");
  moduleTime_->setReadOnly(true);
  moduleDate_->setReadOnly(true);
  autoUpdate_ = new QCheckBox("Auto Update", left);
  autoUpdate_->setObjectName("autoUpdate");
  leftGrid->addWidget(new QLabel("Time:", left), 0, 0);
  leftGrid->addWidget(moduleTime_, 0, 1);
  leftGrid->addWidget(new QLabel("Date:", left), 1, 0);
  leftGrid->addWidget(moduleDate_, 1, 1);
  leftGrid->addWidget(autoUpdate_, 2, 0, 1, 2);
  leftGrid->setRowStretch(3, 1);

  auto* right = new QGroupBox(this);
  right->setObjectName("setClockGroup");
  auto* rightGrid = new QGridLayout(right);
  pcClock_ = new QRadioButton("PC clock", right);
  pcClock_->setObjectName("choicePcClock");
  ownTime_ = new QRadioButton("Enter own time and date", right);
  ownTime_->setObjectName("choiceOwnTime");
  auto* choice = new QButtonGroup(this);
  choice->addButton(pcClock_);
  choice->addButton(ownTime_);
  time_ = Field(right, "pcTime");
  date_ = Field(right, "pcDate");
  set_ = new QPushButton("Set Module Real Time Clock", right);
  set_->setObjectName("setModuleClock");
  set_->setAutoDefault(false);
  rightGrid->addWidget(pcClock_, 0, 0, 1, 2);
  rightGrid->addWidget(ownTime_, 1, 0, 1, 2);
  rightGrid->addWidget(new QLabel("Time:", right), 2, 0);
  rightGrid->addWidget(time_, 2, 1);
  rightGrid->addWidget(new QLabel("Date:", right), 3, 0);
  rightGrid->addWidget(date_, 3, 1);
  rightGrid->addWidget(set_, 4, 0, 1, 2);
  rightGrid->setRowStretch(5, 1);

  auto* page = new QHBoxLayout(this);
  page->addWidget(left, 1);
  page->addWidget(right, 1);

  connect(autoUpdate_, &QCheckBox::clicked, this, [this](bool ticked) {
    if (ModuleRec* rec = module()) rec->autoUpdate = ticked ? 1 : 0;
  });
  connect(pcClock_, &QRadioButton::clicked, this, [this] { choiceChanged(false); });
  connect(ownTime_, &QRadioButton::clicked, this, [this] { choiceChanged(true); });
  connect(set_, &QPushButton::clicked, this, &RtcTab::setModuleClock);
}

void RtcTab::setEditable(bool editable) {
  time_->setReadOnly(!editable);
  date_->setReadOnly(!editable);
}

void RtcTab::pageShown() {
  ModuleRec* rec = module();
  if (!rec) return;
  const RtcShownView v = RtcTab_Shown(*rec);
  ownTime_->setVisible(v.ownChoiceVisible);
  (v.ownTime ? ownTime_ : pcClock_)->setChecked(true);
  autoUpdate_->setChecked(v.autoUpdate);
  setEditable(v.fieldsEditable);
  // The first tick at once, so that the clocks do not start out empty.
  tick();
}

void RtcTab::poll() {
  ModuleRec* rec = module();
  if (!rec) return;
  // A failed read is reported in a box; the dialog may close meanwhile.
  QPointer<RtcTab> alive(this);
  const RtcTickView v = RtcTab_Tick(*rec);
  if (!alive) return;
  if (v.showPc) {
    Show(time_, v.pc.time);
    Show(date_, v.pc.date);
  }
  Show(moduleTime_, v.moduleTime);
  Show(moduleDate_, v.moduleDate);
  autoUpdate_->setChecked(v.autoUpdate);
}

void RtcTab::choiceChanged(bool own) {
  const RtcChoiceView v = RtcTab_ChoiceChanged(own);
  if (v.fill) {
    Show(time_, v.pc.time);
    Show(date_, v.pc.date);
  }
  setEditable(v.fieldsEditable);
}

void RtcTab::setModuleClock() {
  if (ModuleRec* rec = module())
    RtcTab_SetModule(*rec, time_->text().toStdString(), date_->text().toStdString());
}
