// The CAN logger while it records the CANopen traffic of the demo's bus 0:
// lines with their CANopen meaning, messages per second and bus load.
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "Screenshots.h"
#include "SimServer.h"
#include "app/MainWindow.h"
#include "core/Options.h"
#include "logger/LoggerDialog.h"
#include "traffic/CanOpenTraffic.h"

namespace {

// Lets the program's timers run for a while (the logger polls, shows lines
// and measures), without spinning.
void RunEventsFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

KVX_SCREENSHOT("can-logger-recording") {
  CanOpenTrafficConfig config;
  config.framesPerSecond = 300;
  config.errorShare = 0.002;
  config.nodes = {2, 3, 5, 7, 12};
  config.seed = 7;
  ctx.sim->addTrafficSource(0, std::make_unique<CanOpenTraffic>(config));
  Option_SetInt("LOGGER_SHOWLAST", 1);
  LoggerDialog* dialog = LoggerDialog_OpenForScreenshot(ctx.mainWindow);
  if (!dialog) {
    std::fprintf(stderr, "kvxscreens: the CAN logger cannot record on this interface\n");
    ctx.sim->clearBusTraffic();
    return nullptr;
  }
  dialog->resize(820, 560);
  // Two statistics ticks: the first opens the measurement, the second shows it.
  RunEventsFor(2300);
  // The later shots need no background traffic; the window keeps what it shows.
  ctx.sim->clearBusTraffic();
  return dialog;
}
