#include "ui/ModuleTab.h"

#include <QPointer>
#include <QTimer>

#include "core/Options.h"

ModuleTab::ModuleTab(QWidget* parent) : TabPage(parent), timer_(new QTimer(this)) {
  timer_->setObjectName("refreshTimer");
  connect(timer_, &QTimer::timeout, this, &ModuleTab::tick);
}

ModuleRec* ModuleTab::module() const {
  TabDialogData* data = TabDialog_DataOfPage(this);
  return data ? data->module : nullptr;
}

bool ModuleTab::dialogClosing() const {
  TabDialogData* data = TabDialog_DataOfPage(this);
  return data && data->closing;
}

void ModuleTab::tick() {
  timer_->stop();
  // A poll that reports an error runs the event loop in a box, and the
  // dialog may close meanwhile.
  QPointer<ModuleTab> alive(this);
  poll();
  if (alive) updatePolling();
}

void ModuleTab::updatePolling() {
  if (pollingWanted())
    timer_->start(Option_GetInt("AUTOUPDATE_INTERVAL_MS"));
  else
    timer_->stop();
}

void ModuleTab::pageHidden() { timer_->stop(); }
