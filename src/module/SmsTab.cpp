#include "module/SmsTab.h"

#include <algorithm>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "protocol/ModuleList.h"

namespace {

enum { kLoad, kSave, kRead, kWrite };

}  // namespace

SmsTab::SmsTab(QWidget* parent) : ModuleTab(parent) {
  setObjectName("TAB_MOD_SMS");
  auto* grid = new QGridLayout;
  phoneHead_ = new QLabel("Phone number", this);
  textHead_ = new QLabel("Outgoing SMS text (max. 160 chars)", this);
  grid->addWidget(phoneHead_, 0, 1);
  grid->addWidget(textHead_, 0, 2);
  for (int r = 0; r < kSmsRows; ++r) {
    const QString n = QString::number(r);
    numbers_[r] = new QLabel(this);
    numbers_[r]->setObjectName("smsNumber" + n);
    numbers_[r]->setMinimumWidth(20);
    numbers_[r]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    phones_[r] = new QLineEdit(this);
    phones_[r]->setObjectName("smsPhone" + n);
    phones_[r]->setMinimumWidth(130);
    texts_[r] = new QLineEdit(this);
    texts_[r]->setObjectName("smsText" + n);
    texts_[r]->setMinimumWidth(300);
    grid->addWidget(numbers_[r], r + 1, 0);
    grid->addWidget(phones_[r], r + 1, 1);
    grid->addWidget(texts_[r], r + 1, 2);
  }
  scrollBar_ = new QScrollBar(Qt::Vertical, this);
  scrollBar_->setObjectName("scrollBar");
  grid->addWidget(scrollBar_, 1, 3, kSmsRows, 1);
  grid->setColumnStretch(2, 1);

  const struct {
    const char* text;
    const char* name;
  } buttons[4] = {{"Load from file", "loadFile"},
                  {"Save to file", "saveFile"},
                  {"Read from module", "readModule"},
                  {"Write to module", "writeModule"}};
  auto* bottom = new QHBoxLayout;
  for (int b = 0; b < 4; ++b) {
    buttons_[b] = new QPushButton(buttons[b].text, this);
    buttons_[b]->setObjectName(buttons[b].name);
    buttons_[b]->setAutoDefault(false);
    bottom->addWidget(buttons_[b]);
    if (b == kSave) bottom->addStretch(1);
  }
  auto* page = new QVBoxLayout(this);
  page->addLayout(grid);
  page->addStretch(1);
  page->addLayout(bottom);

  connect(buttons_[kLoad], &QPushButton::clicked, this, [this] {
    run([](ModuleRec&, SmsState& s, const SmsRowEdits&) { SmsFile_Load(s); });
  });
  connect(buttons_[kSave], &QPushButton::clicked, this, [this] {
    run([](ModuleRec&, SmsState& s, const SmsRowEdits& e) { SmsFile_Save(s, e); });
  });
  connect(buttons_[kRead], &QPushButton::clicked, this, [this] {
    run([](ModuleRec& m, SmsState& s, const SmsRowEdits&) { SmsTab_ReadAll(m, s); });
  });
  connect(buttons_[kWrite], &QPushButton::clicked, this, [this] {
    run([](ModuleRec& m, SmsState& s, const SmsRowEdits& e) { SmsTab_WriteAll(m, s, e); });
  });
  connect(scrollBar_, &QScrollBar::actionTriggered, this, &SmsTab::scroll);
}

SmsRowEdits SmsTab::edits() const {
  SmsRowEdits e;
  for (int r = 0; r < kSmsRows; ++r) {
    e.phone[r] = phones_[r]->text().toStdString();
    e.text[r] = texts_[r]->text().toStdString();
  }
  return e;
}

template <class Command>
void SmsTab::run(Command command) {
  ModuleRec* rec = module();
  if (!rec) return;
  // Failures and questions come in boxes; the dialog may close meanwhile.
  QPointer<SmsTab> alive(this);
  command(*rec, sms(), edits());
  if (alive) showTable();
}

void SmsTab::showTable() {
  const SmsView v = SmsTab_Show(sms());
  {
    const QSignalBlocker quiet(scrollBar_);
    scrollBar_->setRange(0, std::max(0, v.scrollMax - v.scrollPage + 1));
    scrollBar_->setPageStep(std::max(1, v.scrollPage));
    scrollBar_->setValue(v.scrollPos);
  }
  scrollBar_->setVisible(v.buttonsVisible);
  phoneHead_->setVisible(v.buttonsVisible);
  textHead_->setVisible(v.buttonsVisible);
  for (QPushButton* b : buttons_) b->setVisible(v.buttonsVisible);
  for (int r = 0; r < kSmsRows; ++r) {
    const SmsView::Row& row = v.rows[r];
    numbers_[r]->setVisible(row.visible);
    phones_[r]->setVisible(row.visible);
    texts_[r]->setVisible(row.visible);
    numbers_[r]->setText(QString::fromStdString(row.number));
    phones_[r]->setText(QString::fromStdString(row.phone));
    texts_[r]->setText(QString::fromStdString(row.text));
  }
}

void SmsTab::scroll(int action) {
  SmsScroll how;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: how = SmsScroll::LineUp; break;
    case QAbstractSlider::SliderSingleStepAdd: how = SmsScroll::LineDown; break;
    case QAbstractSlider::SliderPageStepSub: how = SmsScroll::PageUp; break;
    case QAbstractSlider::SliderPageStepAdd: how = SmsScroll::PageDown; break;
    case QAbstractSlider::SliderMove: how = SmsScroll::Thumb; break;
    default: return;
  }
  const int thumb = scrollBar_->sliderPosition();
  run([how, thumb](ModuleRec&, SmsState& s, const SmsRowEdits& e) { SmsTab_Scroll(s, e, how, thumb); });
  // The slider takes the position the table keeps, not the one of the action.
  scrollBar_->setSliderPosition(sms().first);
}

void SmsTab::pageShown() {
  ModuleRec* rec = module();
  if (!rec) return;
  QPointer<SmsTab> alive(this);
  SmsTab_Shown(*rec, sms());
  if (alive) showTable();
}

void SmsTab::pageHidden() {
  ModuleTab::pageHidden();
  SmsTab_TakeEdits(sms(), edits());
}
