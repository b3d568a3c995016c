#include "module/SdoTab.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
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

QLineEdit* Edit(QWidget* parent, const QString& name, int width, int maxChars) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setMinimumWidth(width);
  edit->setMaxLength(maxChars);
  return edit;
}

QPushButton* SmallButton(QWidget* parent, const char* text, const QString& name) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  b->setFixedWidth(34);
  return b;
}

// Sets a field's text only when it differs, so that a field being typed in
// keeps its cursor when the timer shows the rows again.
void Show(QLineEdit* field, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (field->text() != shown) field->setText(shown);
}

}  // namespace

SdoTab::SdoTab(QWidget* parent) : ModuleTab(parent) {
  setObjectName("TAB_MOD_SDO");
  fixedFont_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixedFont_.setPointSize(8);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(4);
  grid->addWidget(new QLabel("Name:", this), 0, 1);
  grid->addWidget(new QLabel("Idx:", this), 0, 2);
  grid->addWidget(new QLabel("Sub:", this), 0, 3);
  grid->addWidget(new QLabel("Type:", this), 0, 4);
  format_ = new QComboBox(this);
  format_->setObjectName("format");
  for (int f = SDO_FORMAT_DEC; f <= SDO_FORMAT_ASCII; ++f) format_->addItem(SdoFormat_Name(f));
  auto* valueHead = new QHBoxLayout;
  valueHead->addWidget(new QLabel("Value:", this));
  valueHead->addWidget(format_, 1);
  grid->addLayout(valueHead, 0, 5);

  for (int r = 0; r < kSdoRows; ++r) {
    const QString n = QString::number(r);
    Row& row = rows_[r];
    row.cyclic = new QCheckBox(this);
    row.cyclic->setObjectName("cyclic" + n);
    row.name = Edit(this, "name" + n, 130, kSdoNameChars);
    row.index = Edit(this, "index" + n, 60, kSdoIndexChars);
    row.sub = Edit(this, "sub" + n, 44, kSdoSubChars);
    row.type = Edit(this, "type" + n, 70, 16);
    row.type->setReadOnly(true);
    row.value = Edit(this, "value" + n, 120, kSdoValueChars);
    row.read = SmallButton(this, "R", "read" + n);
    row.write = SmallButton(this, "W", "write" + n);
    row.insert = SmallButton(this, "Ins", "insert" + n);
    row.remove = SmallButton(this, "Del", "delete" + n);
    const int line = r + 1;
    grid->addWidget(row.cyclic, line, 0);
    grid->addWidget(row.name, line, 1);
    grid->addWidget(row.index, line, 2);
    grid->addWidget(row.sub, line, 3);
    grid->addWidget(row.type, line, 4);
    grid->addWidget(row.value, line, 5);
    grid->addWidget(row.read, line, 6);
    grid->addWidget(row.write, line, 7);
    grid->addWidget(row.insert, line, 8);
    grid->addWidget(row.remove, line, 9);

    connect(row.read, &QPushButton::clicked, this, [this, r] {
      run([this, r](ModuleRec& m, SdoList& l, const SdoRowEdits& e) { SdoTab_ReadRow(m, l, e, r); });
    });
    connect(row.write, &QPushButton::clicked, this, [this, r] {
      run([this, r](ModuleRec& m, SdoList& l, const SdoRowEdits& e) { SdoTab_WriteRow(m, l, e, r); });
    });
    connect(row.insert, &QPushButton::clicked, this, [this, r] {
      run([r](ModuleRec&, SdoList& l, const SdoRowEdits& e) { SdoTab_Insert(l, e, r); });
    });
    connect(row.remove, &QPushButton::clicked, this, [this, r] {
      run([r](ModuleRec&, SdoList& l, const SdoRowEdits& e) { SdoTab_Delete(l, e, r); });
    });
    // A ticked box is a cyclic entry at once.
    connect(row.cyclic, &QCheckBox::clicked, this, [this] {
      run([](ModuleRec&, SdoList& l, const SdoRowEdits& e) { SdoTab_TakeRows(l, e); });
    });
  }
  scrollBar_ = new QScrollBar(Qt::Vertical, this);
  scrollBar_->setObjectName("scrollBar");
  grid->addWidget(scrollBar_, 1, 10, kSdoRows, 1);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(5, 2);

  autoUpdate_ = new QCheckBox("Auto Update", this);
  autoUpdate_->setObjectName("autoUpdate");
  auto* readAll = new QPushButton("Read All", this);
  readAll->setObjectName("readAll");
  readAll->setAutoDefault(false);
  auto* writeAll = new QPushButton("Write All", this);
  writeAll->setObjectName("writeAll");
  writeAll->setAutoDefault(false);
  auto* append = new QPushButton("Append", this);
  append->setObjectName("append");
  append->setAutoDefault(false);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(autoUpdate_);
  bottom->addStretch(1);
  bottom->addWidget(readAll);
  bottom->addWidget(writeAll);
  bottom->addWidget(append);

  auto* page = new QVBoxLayout(this);
  page->addLayout(grid);
  page->addStretch(1);
  page->addLayout(bottom);

  connect(readAll, &QPushButton::clicked, this, [this] {
    run([](ModuleRec& m, SdoList& l, const SdoRowEdits& e) { SdoTab_ReadAll(m, l, e); });
  });
  connect(writeAll, &QPushButton::clicked, this, [this] {
    run([](ModuleRec& m, SdoList& l, const SdoRowEdits& e) { SdoTab_WriteAll(m, l, e); });
  });
  connect(append, &QPushButton::clicked, this, [this] {
    run([](ModuleRec&, SdoList& l, const SdoRowEdits& e) { SdoTab_Append(l, e); });
  });
  connect(format_, &QComboBox::activated, this, [this](int index) {
    const std::string name = format_->itemText(index).toStdString();
    run([&name](ModuleRec& m, SdoList& l, const SdoRowEdits& e) { SdoTab_SetFormat(m, l, e, name); });
  });
  connect(autoUpdate_, &QCheckBox::clicked, this, [this](bool ticked) {
    run([ticked](ModuleRec& m, SdoList& l, const SdoRowEdits& e) {
      SdoTab_TakeRows(l, e);
      SdoTab_SetAutoUpdate(m, ticked);
    });
    updatePolling();
  });
  connect(scrollBar_, &QScrollBar::actionTriggered, this, &SdoTab::scroll);
}

SdoRowEdits SdoTab::edits() const {
  SdoRowEdits e;
  for (int r = 0; r < kSdoRows; ++r) {
    const Row& row = rows_[r];
    e.rows[r].cyclic = row.cyclic->isChecked();
    e.rows[r].name = row.name->text().toStdString();
    e.rows[r].index = row.index->text().toStdString();
    e.rows[r].subindex = row.sub->text().toStdString();
    e.rows[r].value = row.value->text().toStdString();
  }
  return e;
}

template <class Command>
void SdoTab::run(Command command) {
  ModuleRec* rec = module();
  if (!rec) return;
  // A failed exchange is reported in a box; the dialog may close meanwhile.
  QPointer<SdoTab> alive(this);
  command(*rec, list(), edits());
  if (alive) showList();
}

void SdoTab::showList() {
  ModuleRec* rec = module();
  if (!rec) return;
  const SdoView v = SdoTab_View(*rec, list());
  {
    const QSignalBlocker quiet(format_);
    format_->setCurrentIndex(v.format);
  }
  autoUpdate_->setChecked(v.autoUpdate);
  {
    // The thumb covers the visible rows; its highest position shows the last eight.
    const QSignalBlocker quiet(scrollBar_);
    scrollBar_->setRange(0, std::max(0, v.scrollMax - v.scrollPage + 1));
    scrollBar_->setPageStep(std::max(1, v.scrollPage));
    scrollBar_->setValue(v.scrollPos);
  }
  scrollBar_->setVisible(v.scrollVisible);
  for (int r = 0; r < kSdoRows; ++r) {
    const SdoView::Row& shown = v.rows[r];
    Row& row = rows_[r];
    for (QWidget* w : {static_cast<QWidget*>(row.cyclic), static_cast<QWidget*>(row.name),
                       static_cast<QWidget*>(row.index), static_cast<QWidget*>(row.sub),
                       static_cast<QWidget*>(row.type), static_cast<QWidget*>(row.value),
                       static_cast<QWidget*>(row.read), static_cast<QWidget*>(row.write),
                       static_cast<QWidget*>(row.insert), static_cast<QWidget*>(row.remove)})
      w->setVisible(shown.visible);
    if (!shown.visible) continue;
    row.cyclic->setChecked(shown.cyclic);
    Show(row.name, shown.name);
    Show(row.index, shown.index);
    Show(row.sub, shown.subindex);
    Show(row.type, shown.type);
    Show(row.value, shown.value);
    row.value->setReadOnly(shown.valueReadOnly);
    row.value->setFont(v.fixedFont ? fixedFont_ : font());
    row.read->setEnabled(shown.readEnabled);
    row.write->setEnabled(shown.writeEnabled);
  }
}

void SdoTab::scroll(int action) {
  SdoScroll how;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: how = SdoScroll::LineUp; break;
    case QAbstractSlider::SliderSingleStepAdd: how = SdoScroll::LineDown; break;
    case QAbstractSlider::SliderPageStepSub: how = SdoScroll::PageUp; break;
    case QAbstractSlider::SliderPageStepAdd: how = SdoScroll::PageDown; break;
    case QAbstractSlider::SliderMove: how = SdoScroll::Thumb; break;
    default: return;
  }
  const int thumb = scrollBar_->sliderPosition();
  run([how, thumb](ModuleRec&, SdoList& l, const SdoRowEdits& e) { SdoTab_Scroll(l, e, how, thumb); });
  // The slider takes the position the list keeps, not the one of the action.
  scrollBar_->setSliderPosition(list().top);
}

void SdoTab::pageShown() {
  ModuleRec* rec = module();
  if (!rec) return;
  QPointer<SdoTab> alive(this);
  SdoTab_Shown(*rec, list());
  if (!alive) return;
  showList();
  updatePolling();
}

void SdoTab::pageHidden() {
  ModuleTab::pageHidden();
  if (ModuleRec* rec = module()) SdoTab_Hidden(*rec, list(), edits());
}

bool SdoTab::pollingWanted() const {
  const ModuleRec* rec = module();
  return rec && rec->autoUpdate;
}

void SdoTab::poll() {
  run([](ModuleRec& m, SdoList& l, const SdoRowEdits& e) { SdoTab_Tick(m, l, e); });
}
