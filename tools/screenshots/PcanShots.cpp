// The main window after a scan over the "PCAN USB" interface: the carried
// adapter library on the simulator's raw CAN port of bus 0. The Ethernet
// master is the interface again afterwards, for the shots that follow.
#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Screenshots.h"
#include "SimServer.h"
#include "app/MainWindow.h"
#include "bus/Interface.h"
#include "canport/SimCanPort.h"
#include "core/ErrorReport.h"
#include "protocol/ModuleList.h"

namespace {

bool Choose(MainWindow* window, const char* menuItem) {
  QAction* action = window->findChild<QAction*>(QString("actionInterface") + menuItem);
  if (!action) return false;
  action->trigger();
  return true;
}

void AwaitScanEnd() {
  QEventLoop wait;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &wait, [&wait] {
    if (!ScanRunning()) wait.quit();
  });
  QTimer::singleShot(30000, &wait, &QEventLoop::quit);
  poll.start(50);
  wait.exec();
}

}  // namespace

KVX_SCREENSHOT("module-list-pcan-usb") {
  SimCanPort port(*ctx.sim, 0);
  if (!port.start()) {
    std::fprintf(stderr, "kvxscreens: raw CAN port: %s\n", port.lastError().c_str());
    return nullptr;
  }
  setenv("KVX_CAN_CHANNEL", ("tcp:127.0.0.1:" + std::to_string(port.port())).c_str(), 1);
  if (!Choose(ctx.mainWindow, "&PCAN USB (CAN)") || GetInterfaceType() != kInterfacePcanUsb) {
    std::fprintf(stderr, "kvxscreens: PCAN USB did not open: %s\n", GetInterfaceError());
    return nullptr;
  }
  emit ctx.mainWindow->scanBusCommand();
  AwaitScanEnd();
  const int found = ModuleList_Count();
  ctx.mainWindow->show();
  const QPixmap picture = ctx.mainWindow->grab();
  Choose(ctx.mainWindow, "KVX Master (&Ethernet)");
  port.stop();
  if (found == 0) {
    std::fprintf(stderr, "kvxscreens: the scan over PCAN USB found no modules\n");
    return nullptr;
  }
  auto* shot = new QLabel;
  shot->setAttribute(Qt::WA_DeleteOnClose);
  shot->setPixmap(picture);
  shot->resize(picture.size());
  return shot;
}
