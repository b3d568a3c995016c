#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include "ui/QtUi.h"

TEST(QtUi, FilterTextBecomesQtFilter) {
  EXPECT_EQ(QtUi::filterToQt("HEX files (*.hex)|*.hex|All files (*.*)|*.*"),
            QString("HEX files (*.hex);;All files (*.*)"));
  EXPECT_EQ(QtUi::filterToQt("Calibration|*.cal;*.txt"), QString("Calibration (*.cal *.txt)"));
}

TEST(QtUi, TimersTickThroughTheEventLoopAndStop) {
  QtUi ui;
  Ui_Install(&ui);
  int ticks = 0;
  UiTimer timer;
  timer.setCallback([&] {
    if (++ticks == 3) timer.stop();
  });
  timer.start(1);
  QTimer guard;
  guard.setSingleShot(true);
  guard.start(2000);
  while (timer.active() && guard.isActive()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  EXPECT_EQ(ticks, 3);
  Ui_Install(nullptr);
}

TEST(QtUi, StatusTextGoesToTheSink) {
  QtUi ui;
  QString got;
  ui.setStatusSink([&](const QString& s) { got = s; });
  ui.showStatusText(" Module timeout");
  EXPECT_EQ(got, QString(" Module timeout"));
}
