// Shots of the two settings dialogs (every page) and of the module list after
// a scan over the simulator's Modbus RTU line.
#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "Screenshots.h"
#include "SimServer.h"
#include "app/MainWindow.h"
#include "app/SettingsDialog.h"
#include "bus/Interface.h"
#include "bus/InterfaceSettingsDialog.h"
#include "bus/ModbusLink.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "protocol/ModuleList.h"

namespace {

template <class Dialog>
QWidget* DialogAt(MainWindow* owner, int page) {
  auto* dialog = new Dialog(owner, page);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  return dialog;
}

// Lets the program's timers run until the scan has ended (at most 30 s).
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

KVX_SCREENSHOT("settings-general") { return DialogAt<SettingsDialog>(ctx.mainWindow, 0); }
KVX_SCREENSHOT("settings-scan-bus") { return DialogAt<SettingsDialog>(ctx.mainWindow, 1); }
KVX_SCREENSHOT("settings-firmware-update") { return DialogAt<SettingsDialog>(ctx.mainWindow, 2); }
KVX_SCREENSHOT("settings-can-logger") { return DialogAt<SettingsDialog>(ctx.mainWindow, 3); }
KVX_SCREENSHOT("interface-settings-pcan-usb") { return DialogAt<InterfaceSettingsDialog>(ctx.mainWindow, 0); }
KVX_SCREENSHOT("interface-settings-ethernet") { return DialogAt<InterfaceSettingsDialog>(ctx.mainWindow, 1); }
KVX_SCREENSHOT("interface-settings-modbus") { return DialogAt<InterfaceSettingsDialog>(ctx.mainWindow, 2); }

// The main window after a node-by-node scan of nodes 1..24 over the Modbus
// line, at the line's own pace. The picture is taken here; the Ethernet
// master and the list it found are then put back for the other shots.
KVX_SCREENSHOT("module-list-modbus-scan") {
  struct Listed {
    int node;
    char bus;
    unsigned type, version, state;
  };
  std::vector<Listed> listed;
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
    listed.push_back({rec->node, rec->bus, rec->type, rec->version, rec->state});
  const int stop = Option_GetInt("SCAN_RANGE_STOP");

  ctx.sim->setModbusLineTiming(true);
  const std::string device = ctx.sim->startModbus(0);
  if (device.empty()) {
    std::fprintf(stderr, "kvxscreens: no Modbus line: %s\n", ctx.sim->lastError().c_str());
    return nullptr;
  }
  Modbus_SetPortName(device.c_str());
  ctx.mainWindow->action("actionInterface&Modbus (Serial)")->trigger();
  if (GetInterfaceType() != kInterfaceModbus) {
    std::fprintf(stderr, "kvxscreens: cannot open the Modbus line: %s\n", GetInterfaceError());
    return nullptr;
  }
  Option_SetInt("SCAN_RANGE_STOP", 24);
  emit ctx.mainWindow->scanBusCommand();
  AwaitScanEnd();
  const QPixmap picture = ctx.mainWindow->grab();
  const int found = ModuleList_Count();

  Option_SetInt("SCAN_RANGE_STOP", stop);
  ctx.mainWindow->action("actionInterfaceKVX Master (&Ethernet)")->trigger();
  ModuleList_Clear();
  for (const Listed& m : listed) ModuleList_Add(m.node, m.bus, m.type, m.version, m.state, false);
  if (found == 0) {
    std::fprintf(stderr, "kvxscreens: the scan over Modbus found no modules\n");
    return nullptr;
  }
  auto* shot = new QLabel;
  shot->setAttribute(Qt::WA_DeleteOnClose);
  shot->setPixmap(picture);
  shot->resize(picture.size());
  return shot;
}
