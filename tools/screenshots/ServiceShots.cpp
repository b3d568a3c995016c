// Shots of the service pages of the module dialog (RTC, Peek Memory with its
// write dialog, LIN Bus, SDOs, SMS) and of the serial number dialog. The
// demo's alarm modem and LIN unit under test sit on its second bus: copies of
// them are put on the first bus, where the program is connected.
// The simulator's headers come before Qt's, whose keyword macros ("signals",
// "slots") would otherwise rewrite names in them.
#include "SimServer.h"
#include "module/SimModule.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "Screenshots.h"
#include "app/MainWindow.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "module/LinTestTab.h"
#include "module/ModuleDialog.h"
#include "module/PeekMemTab.h"
#include "module/PeekMemWriteDialog.h"
#include "module/RtcTab.h"
#include "module/SdoListFile.h"
#include "module/SdoTab.h"
#include "module/SerialNumberDialog.h"
#include "module/SmsTab.h"
#include "platform/Paths.h"
#include "protocol/ModuleList.h"

#include <fstream>

namespace {

constexpr int kModemNode = 31;
constexpr int kLinUnitNode = 21;
constexpr int kLinMasterNode = 20;

ModuleRec* Listed(int node) {
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
    if (rec->node == node) return rec;
  return nullptr;
}

// The module of the demo's second bus at this node, copied to the first bus
// and listed as a scan would list it.
ModuleRec* FromSecondBus(ScreenshotContext& ctx, int node) {
  if (ctx.sim->findModule(0, node) < 0) {
    SimModuleConfig c;
    if (!ctx.sim->withModule(ctx.sim->findModule(1, node), [&](SimModule& m) {
          c = m.config();
          c.objects = m.objects().all();  // a running module keeps them in its dictionary
        }))
      return nullptr;
    // Node and bit rate as a module made for the first bus has them: the
    // buses run at different bit rates.
    const SimModuleConfig first = SimModuleConfig::make(0, node, c.type);
    c.bus = 0;
    c.dipNodeSwitches = first.dipNodeSwitches;
    c.dipBaudSwitches = first.dipBaudSwitches;
    c.useDip = first.useDip;
    c.eepromNode = first.eepromNode;
    c.eepromBaud = first.eepromBaud;
    ctx.sim->addModule(c);
  }
  if (ModuleRec* rec = Listed(node)) return rec;
  SimModuleConfig c;
  uint8_t state = 0;
  ctx.sim->withModule(ctx.sim->findModule(0, node), [&](SimModule& m) {
    c = m.config();
    state = m.state();
  });
  ModuleList_Add(node, 'c', c.type, c.hwVersion, state, false);
  return Listed(node);
}

// A fresh dialog of the module showing the page named pageName (returned
// through `page`), opened in factory mode when asked.
QWidget* PageShot(ModuleRec* rec, const char* pageName, QWidget** page, bool factory = false) {
  if (!rec) {
    std::fprintf(stderr, "kvxscreens: no module for %s\n", pageName);
    return nullptr;
  }
  if (ModuleDialog* open = ModuleDialog_FromHandle(rec->dialog)) open->close();
  const bool wasFactory = FactoryMode();
  FactoryMode_Set(factory);
  ModuleList_OpenDialog(rec);
  ModuleDialog* dialog = ModuleDialog_FromHandle(rec->dialog);
  QWidget* found = nullptr;
  for (int i = 0; dialog && i < dialog->tabControl()->count(); ++i) {
    if (dialog->tabControl()->widget(i)->objectName() == pageName) {
      dialog->tabControl()->setCurrentIndex(i);
      found = dialog->tabControl()->widget(i);
    }
  }
  FactoryMode_Set(wasFactory);
  if (!found) {
    std::fprintf(stderr, "kvxscreens: module %d has no page %s\n", rec->node, pageName);
    return nullptr;
  }
  *page = found;
  return dialog;
}

// Sets an option for as long as the object lives.
class OptionFor {
 public:
  OptionFor(const char* name, int value) : name_(name), old_(Option_GetInt(name)) { Option_SetInt(name, value); }
  ~OptionFor() { Option_SetInt(name_, old_); }

 private:
  const char* name_;
  int old_;
};

}  // namespace

KVX_SCREENSHOT("module-dialog-rtc") {
  ModuleRec* rec = FromSecondBus(ctx, kModemNode);
  if (rec) rec->autoUpdate = 1;
  QWidget* page = nullptr;
  return PageShot(rec, "TAB_MOD_RTC", &page, true);
}

KVX_SCREENSHOT("module-dialog-peek-memory") {
  OptionFor debug("DEBUG_MODE", 1);
  Option_SetInt("MEM_PEEK_MEMTYPE", 1);
  Option_SetInt("MEM_PEEK_STARTADR", 0);
  Option_SetInt("MEM_PEEK_LENGTH", 64);
  QWidget* page = nullptr;
  QWidget* dialog = PageShot(Listed(7), "TAB_MOD_PEEKMEM", &page, true);
  if (auto* tab = qobject_cast<PeekMemTab*>(page)) {
    tab->read();
    while (tab->dumpTimer()->isActive()) {
      tab->dumpTimer()->stop();
      tab->stepDump();
    }
  }
  return dialog;
}

KVX_SCREENSHOT("dialog-peek-memory-write") {
  ModuleRec* rec = Listed(7);
  if (!rec) return nullptr;
  auto* dialog = new PeekMemWriteDialog(*rec, ctx.mainWindow);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  if (auto* data = dialog->findChild<QLineEdit*>("data")) data->setText("0x10 0x20 \"AB\" 7");
  if (auto* type = dialog->findChild<QComboBox*>("memType")) type->setCurrentIndex(1);
  dialog->write();
  return dialog;
}

KVX_SCREENSHOT("module-dialog-lin-bus") {
  OptionFor testMode("MODULETEST_MODE", 1);
  OptionFor master("LIN_MASTER_ID", kLinMasterNode);
  QWidget* page = nullptr;
  QWidget* dialog = PageShot(FromSecondBus(ctx, kLinUnitNode), "TAB_MOD_LINTEST", &page);
  if (auto* tab = qobject_cast<LinTestTab*>(page)) {
    tab->send();
    // The answer is polled every AUTOUPDATE_INTERVAL_MS: wait for it as the timer would.
    QEventLoop wait;
    QTimer::singleShot(3000, &wait, &QEventLoop::quit);
    QObject::connect(tab->exchangeTimer(), &QTimer::timeout, &wait, [tab, &wait] {
      QTimer::singleShot(0, &wait, [tab, &wait] {
        if (!tab->exchangeTimer()->isActive()) wait.quit();
      });
    });
    wait.exec();
  }
  return dialog;
}

KVX_SCREENSHOT("module-dialog-sdos") {
  OptionFor debug("DEBUG_MODE", 1);
  ModuleRec* rec = FromSecondBus(ctx, kModemNode);
  if (!rec) return nullptr;
  Platform_MakeFolders(SdoListFile_Folder());
  std::ofstream(SdoListFile_Path(*rec))
      << "0\tSwitch\t0x2000\t1\t\n0\tOffset\t0x2000\t2\t\n0\tPressure\t0x2000\t3\t\n0\tEnergy\t0x2000\t4\t\n"
         "0\tLevel\t0x2000\t5\t\n0\tCode\t0x2000\t0x6\t\n0\tSet point\t0x2000\t8\t\n256\tCounter\t0x2000\t11\t\n";
  QWidget* page = nullptr;
  const bool factory = FactoryMode();
  FactoryMode_Set(true);  // eight entries and the scroll bar
  QWidget* dialog = PageShot(rec, "TAB_MOD_SDO", &page, true);
  if (page) {
    if (auto* readAll = page->findChild<QPushButton*>("readAll")) readAll->click();
  }
  FactoryMode_Set(factory);
  return dialog;
}

KVX_SCREENSHOT("module-dialog-sms") {
  QWidget* page = nullptr;
  return PageShot(FromSecondBus(ctx, kModemNode), "TAB_MOD_SMS", &page);
}

KVX_SCREENSHOT("dialog-serial-number") {
  // Modules without serial numbers (the bootloader one) are not worth a box here.
  OptionFor quiet("ERRORS_IN_STATUSBAR", 1);
  FromSecondBus(ctx, kModemNode);
  const bool factory = FactoryMode();
  FactoryMode_Set(true);
  auto* dialog = new SerialNumberDialog(ctx.mainWindow);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  FactoryMode_Set(factory);
  return dialog;
}
