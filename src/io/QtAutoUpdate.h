// The refresh timer of the I/O pages: while a page polls its module, the timer
// ticks at the user's auto-update interval.
#pragma once

#include <QTimer>

#include "core/Options.h"

// A stopped timer named "refreshTimer", owned by `page`, that calls `tick`.
template <class Page>
QTimer* QtAutoUpdate_MakeTimer(Page* page, void (Page::*tick)()) {
  auto* timer = new QTimer(page);
  timer->setObjectName("refreshTimer");
  QObject::connect(timer, &QTimer::timeout, page, tick);
  return timer;
}

// Starts the timer at the auto-update interval while `run`, stops it otherwise.
inline void QtAutoUpdate_Run(QTimer* timer, bool run) {
  if (run)
    timer->start(Option_GetInt("AUTOUPDATE_INTERVAL_MS"));
  else
    timer->stop();
}
