#include "io/SwitchesTab.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "bus/Interface.h"
#include "protocol/ModuleList.h"

namespace {

constexpr int kBit = 20;
constexpr int kRowLeft = 112;
constexpr int kRowTop = 16;
constexpr int kRowStep = 34;

constexpr const char* kRowNames[SWITCH_ROWS] = {"Node ID (low):", "Node ID (high):", "Baudrate:",
                                                "Service button:"};

}  // namespace

SwitchesTab::SwitchesTab(QWidget* parent) : ModuleTab(parent) {
  setObjectName("TAB_MOD_DIPSWITCHES");
  // Room for a row of sixteen positions.
  setMinimumSize(kRowLeft + 16 * (kBit + BITROW_GAP) + 12, kRowTop + SWITCH_ROWS * kRowStep + 130);
  const ModuleRec* m = module();
  // A module without a catalogue row has the default layout.
  const std::array<SwitchRowLayout, SWITCH_ROWS> layouts = Switches_Rows(m ? m->typeInfo : nullptr);
  for (int k = 0; k < SWITCH_ROWS; ++k) {
    const int top = kRowTop + k * kRowStep;
    auto* label = new QLabel(kRowNames[k], this);
    label->setGeometry(8, top, kRowLeft - 16, kBit);
    auto* placeholder = new QWidget(this);
    placeholder->setObjectName(QString("switchRow%1").arg(k));
    placeholder->setGeometry(kRowLeft, top, kBit, kBit);
    rows_[k].setParent(this);
    rows_[k].create(this, placeholder, layouts[k].mode, layouts[k].count);
  }

  const int below = kRowTop + SWITCH_ROWS * kRowStep + 6;
  auto addText = [this](const char* caption, const char* name, int top) {
    auto* label = new QLabel(caption, this);
    label->setGeometry(8, top, kRowLeft - 16, 22);
    auto* text = new QLineEdit(this);
    text->setObjectName(name);
    text->setReadOnly(true);
    text->setGeometry(kRowLeft, top, 90, 22);
    return text;
  };
  nodeId_ = addText("Node ID:", "nodeIdText", below);
  baudrate_ = addText("Baudrate:", "baudText", below + 28);
  serviceButton_ = addText("Service button:", "serviceText", below + 56);

  autoUpdate_ = new QCheckBox("Auto Update", this);
  autoUpdate_->setObjectName("autoUpdate");
  autoUpdate_->setGeometry(8, below + 90, 140, 22);
  connect(autoUpdate_, &QCheckBox::clicked, this, [this](bool checked) {
    if (ModuleRec* mod = module()) mod->autoUpdate = checked ? 1 : 0;
    showState();
    updatePolling();
  });
}

void SwitchesTab::showState() {
  const ModuleRec* m = module();
  const bool flag = m && m->autoUpdate;
  autoUpdate_->setChecked(flag);
  for (BitWidget& row : rows_) row.setFlags(flag ? 0 : BITROW_FLAG_DISABLED);
}

bool SwitchesTab::pollingWanted() const {
  const ModuleRec* m = module();
  return m && m->autoUpdate;
}

void SwitchesTab::pageShown() {
  showState();
  read();
  updatePolling();
}

void SwitchesTab::poll() {
  showState();
  read();
}

bool SwitchesTab::read() {
  ModuleRec* m = module();
  if (!m) return false;
  CanMsg reply;
  if (!Switches_Read(*m, reply)) {
    m->autoUpdate = 0;
    autoUpdate_->setChecked(false);
    for (BitWidget& row : rows_) row.setFlags(BITROW_FLAG_DISABLED);
    return false;
  }
  const SwitchView view = Switches_Decode(reply, GetBusLetter());
  nodeId_->setText(QString::fromStdString(view.nodeText));
  baudrate_->setText(QString::fromStdString(view.baudText));
  serviceButton_->setText(QString::fromStdString(view.buttonText));
  for (int k = 0; k < SWITCH_ROWS; ++k) {
    rows_[k].setValue(view.rowValues[k]);
    rows_[k].setFlags(0);
  }
  return true;
}
