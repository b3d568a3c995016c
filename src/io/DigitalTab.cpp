#include "io/DigitalTab.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "core/ErrorReport.h"
#include "io/ChanInfo.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProtCommands.h"

namespace {

// Layout of the page (pixels): the bit rows start at kRowLeft, one row every
// kRowStep, each button kBit square.
constexpr int kBit = 20;
constexpr int kRowLeft = 48;
constexpr int kRowTop = 16;
constexpr int kRowStep = 34;
constexpr int kRowsRight = kRowLeft + 16 * (kBit + BITROW_GAP);

}  // namespace

DigitalTab::DigitalTab(QWidget* parent, bool outputs) : ModuleTab(parent), outputs_(outputs) {
  setObjectName(outputs ? "TAB_MOD_DIGITALOUT" : "TAB_MOD_DIGITALIN");
  setMinimumSize(kRowsRight + 40, kRowTop + DIGITAL_ROWS * kRowStep + 100);
  for (int k = 0; k < DIGITAL_ROWS; ++k) {
    const int top = kRowTop + k * kRowStep;
    rowLabels_[k] = new QLabel(this);
    rowLabels_[k]->setObjectName(QString("rowLabel%1").arg(k));
    rowLabels_[k]->setGeometry(8, top, kRowLeft - 14, kBit);
    rowLabels_[k]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    rowLabels_[k]->hide();
    auto* placeholder = new QWidget(this);
    placeholder->setObjectName(QString("bitRow%1").arg(k));
    placeholder->setGeometry(kRowLeft, top, kBit, kBit);
    rows_[k].setParent(this);
    rows_[k].create(this, placeholder, BITROW_MODE_MASK, 16);
    rows_[k].setLabelFormat("%d");
    connect(&rows_[k], &BitWidget::buttonClicked, this, &DigitalTab::bitClicked);
  }
  scrollBar_ = new QScrollBar(Qt::Vertical, this);
  scrollBar_->setObjectName("scrollBar");
  scrollBar_->setGeometry(kRowsRight + 8, kRowTop, 17, 3 * kRowStep + kBit);
  scrollBar_->hide();
  connect(scrollBar_, &QScrollBar::actionTriggered, this, [this](int action) {
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: scroll(DigitalScroll::LineUp); break;
      case QAbstractSlider::SliderSingleStepAdd: scroll(DigitalScroll::LineDown); break;
      case QAbstractSlider::SliderPageStepSub: scroll(DigitalScroll::PageUp); break;
      case QAbstractSlider::SliderPageStepAdd: scroll(DigitalScroll::PageDown); break;
      case QAbstractSlider::SliderMove: scroll(DigitalScroll::Thumb, scrollBar_->sliderPosition()); break;
      default: break;
    }
  });

  const int below = kRowTop + DIGITAL_ROWS * kRowStep + 4;
  autoUpdate_ = new QCheckBox("Auto Update", this);
  autoUpdate_->setObjectName("autoUpdate");
  autoUpdate_->setGeometry(8, below, 140, 22);
  connect(autoUpdate_, &QCheckBox::clicked, this, &DigitalTab::autoUpdateClicked);

  if (outputs_) {
    patternGroup_ = new QGroupBox("Bit Pattern", this);
    patternGroup_->setObjectName("patternGroup");
    patternGroup_->setGeometry(8, below + 30, 330, 56);
    auto makeButton = [this](const char* text, const char* name, int left, int width) {
      auto* b = new QPushButton(text, this);
      b->setObjectName(name);
      b->setAutoDefault(false);
      b->setGeometry(left, patternGroup_->y() + 22, width, 26);
      return b;
    };
    rotateLabel_ = new QLabel("Rotate", this);
    rotateLabel_->setObjectName("rotateLabel");
    rotateLabel_->setGeometry(20, patternGroup_->y() + 22, 50, 26);
    rotateLeft_ = makeButton("<", "rotateLeft", 72, 32);
    rotateRight_ = makeButton(">", "rotateRight", 108, 32);
    clear_ = makeButton("Clear", "clear", 160, 76);
    invert_ = makeButton("Invert", "invert", 244, 76);
    connect(rotateLeft_, &QPushButton::clicked, this, [this] { rotate(true); });
    connect(rotateRight_, &QPushButton::clicked, this, [this] { rotate(false); });
    connect(clear_, &QPushButton::clicked, this, &DigitalTab::clearOutputs);
    connect(invert_, &QPushButton::clicked, this, &DigitalTab::invertOutputs);
  }
}

int DigitalTab::firstChannel() const { return channels().currentChannel; }

bool DigitalTab::moduleOperational() const {
  const ModuleRec* m = module();
  return m && (m->state & VORN_STATE_MASK) == VORN_STATE_OPERATIONAL;
}

// In state 5 with auto-update set the outputs belong to the module's own
// program: the page only watches them.
bool DigitalTab::outputsOwnedByProgram() const {
  const ModuleRec* m = module();
  return outputs_ && moduleOperational() && m->autoUpdate;
}

void DigitalTab::setOutputButtonsEnabled(bool enabled) {
  for (QPushButton* b : {clear_, invert_, rotateLeft_, rotateRight_})
    if (b) b->setEnabled(enabled);
}

void DigitalTab::pageShown() {
  ChanInfo& info = channels();
  info.channelCount = 0;
  info.currentChannel = 0;
  for (BitWidget& row : rows_) row.setVisible(0);
  for (QLabel* label : rowLabels_) label->hide();
  scrollBar_->hide();
  if (outputs_) {
    const bool factory = FactoryMode();
    for (QWidget* w : std::initializer_list<QWidget*>{patternGroup_, rotateLabel_, rotateLeft_,
                                                      rotateRight_, clear_, invert_})
      w->setVisible(factory);
  }
  ModuleRec* m = module();
  if (!m) return;
  ChanInfo_GetChannelInfo(*m, info, outputs_ ? CHANINFO_DIGITAL_OUT : CHANINFO_DIGITAL_IN);
  if (info.channelCount == 0) {
    autoUpdate_->setEnabled(false);
    setOutputButtonsEnabled(false);
    ShowError(outputs_ ? "No digital outputs in module" : "No digital inputs in module");
    return;
  }
  refresh();
  if (outputs_) read();
  updatePolling();
}

bool DigitalTab::pollingWanted() const {
  const ModuleRec* m = module();
  return m && m->autoUpdate && channels().channelCount > 0 && (!outputs_ || moduleOperational());
}

void DigitalTab::refresh() {
  const ChanInfo& info = channels();
  const int count = info.channelCount;
  const int first = info.currentChannel;
  if (DigitalChannels_NeedsScrollBar(count)) {
    const QSignalBlocker quiet(scrollBar_);
    scrollBar_->setRange(0, DigitalChannels_ScrollMax(count));
    scrollBar_->setPageStep(1);
    scrollBar_->setValue(first);
    scrollBar_->show();
  }
  for (int k = 0; k < DIGITAL_ROWS; ++k) {
    const int c = first + k;
    if (c >= count) continue;
    if (count > 1) {
      rowLabels_[k]->setText(QString::number(c + 1));
      rowLabels_[k]->show();
    }
    // A channel of another kind than Digital I/O shows no bits.
    rows_[k].setVisible(DigitalChannels_BitsOfCode(ChanInfo_ActiveCode(info, c)));
  }
  const ModuleRec* m = module();
  const bool flag = m && m->autoUpdate;
  if (!outputs_) {
    autoUpdate_->setEnabled(count > 0);
    autoUpdate_->setChecked(flag);
    for (BitWidget& row : rows_) row.setFlags(flag ? 0 : BITROW_FLAG_DISABLED);
  } else if (outputsOwnedByProgram()) {
    setOutputButtonsEnabled(false);
    autoUpdate_->setEnabled(true);
    autoUpdate_->setChecked(true);
    for (BitWidget& row : rows_) row.setFlags(BITROW_FLAG_READONLY);
  } else {
    setOutputButtonsEnabled(true);
    autoUpdate_->setEnabled(moduleOperational());
    autoUpdate_->setChecked(false);
    for (BitWidget& row : rows_) row.setFlags(0);
  }
  for (BitWidget& row : rows_) row.redraw();
}

bool DigitalTab::read() {
  ModuleRec* m = module();
  const ChanInfo& info = channels();
  if (!m || info.channelCount == 0) return true;
  if (!outputs_ && !m->autoUpdate) return true;
  // Rows that read well look as refresh set them (read-only while the
  // module's program drives the outputs).
  const uint32_t goodFlags = outputsOwnedByProgram() ? BITROW_FLAG_READONLY : 0;
  for (int k = 0; k < DIGITAL_ROWS; ++k) {
    const int c = info.currentChannel + k;
    if (c >= info.channelCount) break;
    uint32_t value = 0;
    if (!DigitalChannels_Read(*m, info, c, value)) {
      m->autoUpdate = 0;
      autoUpdate_->setChecked(false);
      rows_[k].setFlags(BITROW_FLAG_DISABLED);
      return false;
    }
    rows_[k].setFlags(goodFlags);
    rows_[k].setValue(value);
  }
  return true;
}

void DigitalTab::write() {
  ModuleRec* m = module();
  const ChanInfo& info = channels();
  if (!m) return;
  // Writes are not answered; a failed one does not keep the others back.
  for (int k = 0; k < DIGITAL_ROWS; ++k) {
    const int c = info.currentChannel + k;
    if (c >= info.channelCount) break;
    DigitalChannels_Write(*m, info, c, rows_[k].value());
  }
}

void DigitalTab::writeAndRead() {
  write();
  read();
}

void DigitalTab::poll() {
  if (!read()) refresh();
}

void DigitalTab::autoUpdateClicked(bool checked) {
  if (ModuleRec* m = module()) m->autoUpdate = checked ? 1 : 0;
  refresh();
  updatePolling();
}

void DigitalTab::scroll(DigitalScroll action, int thumb) {
  ChanInfo& info = channels();
  info.currentChannel = DigitalChannels_Scroll(info.currentChannel, action, thumb, info.channelCount);
  scrollBar_->setSliderPosition(info.currentChannel);
  refresh();
  // The rows now stand for other channels: show their values at once, so
  // that a click on an output row never sends the bits of the channel shown
  // there before.
  read();
}

void DigitalTab::bitClicked(QAbstractButton* button) {
  if (!outputs_) return;  // inputs are shown, not set
  for (BitWidget& row : rows_) {
    if (row.click(button)) {
      writeAndRead();
      return;
    }
  }
}

void DigitalTab::clearOutputs() {
  for (BitWidget& row : rows_) row.setValue(0);
  writeAndRead();
}

void DigitalTab::invertOutputs() {
  for (BitWidget& row : rows_) row.setValue(BitRow_Invert(row.value(), row.visible()));
  writeAndRead();
}

void DigitalTab::rotate(bool towardsBit0) {
  for (BitWidget& row : rows_) {
    const int n = row.visible();
    row.setValue(towardsBit0 ? BitRow_RotateTowardsBit0(row.value(), n)
                             : BitRow_RotateTowardsTop(row.value(), n));
  }
  writeAndRead();
}
