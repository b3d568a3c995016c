#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include "app/ModulePages.h"
#include "app/SettingsDialog.h"
#include "calib/AnalogInCalibDialog.h"
#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "bus/InterfaceSettings.h"
#include "bus/InterfaceSettingsDialog.h"
#include "core/DebugLog.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Shell.h"
#include "firmware/MultiUpdateDialog.h"
#include "logger/LoggerDialog.h"
#include "module/InfoFields.h"
#include "module/ModuleDialog.h"
#include "module/ModuleInfoDialog.h"
#include "module/SerialNumberDialog.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleListWindow.h"
#include "protocol/NodeId.h"
#include "protocol/PlcDialog.h"
#include "protocol/StatusDialog.h"
#include "ui/QtUi.h"

namespace {

constexpr const char* kVersionText = "1.0.0";

// The compiler's date "Dec  6 2026" as "Dec 6 2026".
QString buildDate() { return QString::fromLatin1(__DATE__).simplified(); }
}  // namespace

MainWindow::MainWindow(QtUi* ui, QWidget* parent) : QMainWindow(parent), ui_(ui) {
  setObjectName("KVXconfig");
  setWindowTitle("KVXconfig");
  moduleList_ = new ModuleListWindow(this);
  moduleList_->setObjectName("moduleList");
  setCentralWidget(moduleList_);
  ModuleList_Create();
  statusLabel_ = new QLabel(this);
  statusLabel_->setObjectName("statusText");
  statusBar()->setObjectName("statusBar");
  statusBar()->addWidget(statusLabel_, 1);
  if (ui_) {
    ui_->setOwnerWindow(this);
    ui_->setStatusSink([this](const QString& text) { statusLabel_->setText(text); });
  }
  buildMenu();
  connect(moduleList_, &ModuleListWindow::scanBusRequested, this, &MainWindow::scanBusCommand);
  connect(moduleList_, &ModuleListWindow::searchRequested, this, &MainWindow::searchCommand);
  connect(this, &MainWindow::scanBusCommand, moduleList_, &ModuleListWindow::scanBus);
  connect(this, &MainWindow::searchCommand, moduleList_, &ModuleListWindow::search);
  Shell_SetUpdateControlsHook([this] { updateControls(); });
  keepAlive_.setCallback([this] { keepAliveTick(); });
  keepAlive_.start(Option_GetInt("TCPKEEPALIVE_SEND_INTERVAL_MS"));
  resize(420, 520);
}

MainWindow::~MainWindow() {
  shutDown();
  Shell_SetUpdateControlsHook({});
  if (ui_) ui_->setStatusSink({});
}

QAction* MainWindow::addAction(QMenu* menu, const QString& caption, const QString& name) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  return a;
}

QAction* MainWindow::action(const QString& objectName) const {
  return findChild<QAction*>(objectName);
}

void MainWindow::buildMenu() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("menuFile");
  connect(addAction(file, "Scan &Bus", "actionScanBus"), &QAction::triggered, this,
          &MainWindow::scanBusCommand);
  connect(addAction(file, "Search a &Module...", "actionSearch"), &QAction::triggered, this,
          &MainWindow::searchCommand);
  file->addSeparator();
  connect(addAction(file, "E&xit", "actionExit"), &QAction::triggered, this, &QWidget::close);

  interfaceMenu_ = menuBar()->addMenu("&Interface");
  interfaceMenu_->setObjectName("menuInterface");
  // The items in menu order; the rows of the interface table are matched to
  // them by their original captions at start-up.
  const char* items[] = {"KVX Master (&Ethernet)", "KVX Master (&Serial)", "&LIN Adapter",
                         "&Modbus (Serial)", "&PCAN USB (CAN)", "&None"};
  for (const char* caption : items) {
    QAction* a = addAction(interfaceMenu_, caption, QString("actionInterface") + caption);
    a->setCheckable(true);
  }
  interfaceMenu_->addSeparator();
  connect(addAction(interfaceMenu_, "Se&ttings...", "actionInterfaceSettings"), &QAction::triggered, this,
          [this] { InterfaceSettingsDialog_Open(this); });

  QMenu* module = menuBar()->addMenu("Module");
  module->setObjectName("menuModule");
  connect(addAction(module, "Close all windows", "actionCloseAll"), &QAction::triggered, this,
          [] { ModuleList_CloseAllDialogs(); });
  connect(addAction(module, "&Clear List", "actionClearList"), &QAction::triggered, this,
          [] { ModuleList_Clear(); });
  connect(addAction(module, "Module Status...", "actionModuleStatus"), &QAction::triggered, this,
          [this] { StatusDialog_Open(this); });
  connect(addAction(module, "Multi Update...", "actionMultiUpdate"), &QAction::triggered, this,
          [this] { MultiUpdateDialog_Show(this); });
  connect(addAction(module, "Serial Number...", "actionSerialNumber"), &QAction::triggered, this,
          [this] { SerialNumberDialog_Show(this); });
  connect(addAction(module, "Set Shipping Date...", "actionShippingDate"), &QAction::triggered, this,
          [] {
            if (FactoryMode()) ShippingDate_SetAll();
          });
  connect(addAction(module, "Reset Node IDs to  DIP...", "actionResetNodeIds"),
          &QAction::triggered, this, [] { ResetAllNodeIds_Command(); });

  QMenu* extras = menuBar()->addMenu("&Extras");
  extras->setObjectName("menuExtras");
  connect(addAction(extras, "CAN Logger...", "actionCanLogger"), &QAction::triggered, this,
          [this] { Logger_Open(this); });
  connect(addAction(extras, "PLC Start/Stop...", "actionPlc"), &QAction::triggered, this,
          [this] { PlcDialog_Open(this); });
  connect(addAction(extras, "&Settings...", "actionSettings"), &QAction::triggered, this,
          [this] { SettingsDialog_Open(this); });
  // The logger's "Settings..." opens the same dialog at its "CAN Logger" page.
  Logger_SetSettingsOpener([](QWidget* parent, int page) { SettingsDialog_Open(parent, page); });
  AnalogInCalib_SetSettingsOpener([](QWidget* parent, int page) { SettingsDialog_Open(parent, page); });

  // Qt styles place menus left to right; the help menu goes last.
  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("menuHelp");
  connect(addAction(help, "KVX 700 Modules...", "actionModuleCatalogue"), &QAction::triggered, this,
          [this] { ModuleInfoDialog_Show(this); });
  // The module list opens, re-creates and closes module dialogs through these.
  ModuleDialogContext dialogs;
  dialogs.owner = this;
  dialogs.listRect = [this] {
    return QRect(moduleList_->mapToGlobal(QPoint(0, 0)), moduleList_->size());
  };
  dialogs.findPage = ModulePages_Find;
  ModuleDialog_Install(dialogs);
  PlcDialog_InstallLinkHooks(this);
  connect(addAction(help, "&About...", "actionAbout"), &QAction::triggered, this,
          &MainWindow::showAbout);
}

void MainWindow::relabelInterfaceMenu() {
  interfaceActions_.clear();
  for (int row = 0; row < InterfaceTable_Count(); ++row) {
    const QString original = QString::fromUtf8(InterfaceTable_MenuItem(row));
    for (QAction* a : interfaceMenu_->actions()) {
      if (a->objectName() != "actionInterface" + original) continue;
      a->setText(QString::fromUtf8(InterfaceTable_Name(row)));
      interfaceActions_[row] = a;
      connect(a, &QAction::triggered, this, [this, row] { selectInterface(row); });
    }
  }
}

bool MainWindow::startUp() {
  OptionReportFn report = nullptr;
  if (FactoryMode()) report = [](const char* message) { ShowError("%s", message); };
  Option_Init(report);
  Option_LoadIni(nullptr, FactoryMode() ? 1 : 0);
  Shell_CorrectOptionsAtStart();
  if (Option_GetInt("DEBUG_MODE")) DebugLog_Open(nullptr, 'w');
  show();
  relabelInterfaceMenu();
  if (!FactoryMode()) {
    action("actionShippingDate")->setVisible(false);
  }
  ApplyLinkSettings();
  Option_SetInt("AUTOUPDATE", 1);
  const char* name = Option_GetString("DEFAULT_INTERFACE");
  const bool opened = OpenInterface(name) == 0;
  updateControls();
  if (!opened) {
    ShowError("Interface error:\n%s", GetInterfaceError());
    return false;
  }
  if (InterfaceActive() && Option_GetInt("SCAN_ON_START")) emit scanBusCommand();
  return true;
}

void MainWindow::selectInterface(int row) {
  // A recording belongs to the link it was started on: the logger ends it
  // (file footer, forwarding off) before that link goes away.
  if (InterfaceTable_Type(row) != GetInterfaceType()) Logger_Close();
  const int result = OpenInterface(InterfaceTable_Name(row));
  updateControls();
  if (result != 0) {
    ShowErrorBox("Interface error:\n%s", GetInterfaceError());
    // The settings of a master or a serial line are usually what is wrong.
    const int page = InterfaceSettings_PageForInterface(InterfaceTable_Type(row));
    if (page >= 0) InterfaceSettingsDialog_Open(this, page);
  }
}

void MainWindow::updateControls() {
  const bool active = InterfaceActive();
  const bool idle = active && !ScanRunning() && !Busy();
  action("actionScanBus")->setEnabled(idle);
  action("actionSearch")->setEnabled(idle);
  // No interface stands behind "KVX Master (Serial)"; the LIN adapter is not
  // offered. The Modbus line is: a working link is chosen from the menu, not
  // only by editing the INI file.
  for (QAction* a : interfaceMenu_->actions()) {
    if (a->objectName() == "actionInterfaceKVX Master (&Serial)" ||
        a->objectName() == "actionInterface&LIN Adapter")
      a->setEnabled(false);
  }
  const int current = GetInterfaceType();
  for (auto& [row, a] : interfaceActions_) a->setChecked(InterfaceTable_Type(row) == current);
  action("actionPlc")->setEnabled(current == kInterfaceEthernet && EthMaster_IsMasterAnswering());
  moduleList_->updateControls();
}

void MainWindow::keepAliveTick() {
  keepAlive_.stop();
  const int interval = EthMaster_KeepAliveTick();
  // Switched off (0): look again at the default period for a new value.
  keepAlive_.start(interval > 0 ? interval : 5000);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (Option_GetInt("ASK_BEFORE_EXIT") &&
      Ui_MessageBox("Really Exit?", "Exit", UiButtons::OkCancel, UiIcon::Question, true) !=
          UiAnswer::Ok) {
    event->ignore();
    return;
  }
  event->accept();
  // A logger without an owner (factory mode) would keep the program running.
  Logger_Close();
}

void MainWindow::shutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  keepAlive_.stop();
  // The logger closes its file and stores its options before the INI file is written.
  Logger_Close();
  // An open Ethernet link is closed first, so the stored default becomes "None".
  if (GetInterfaceType() == kInterfaceEthernet) CloseInterface();
  Option_SetString("DEFAULT_INTERFACE", GetInterfaceName());
  CloseInterface();
  DebugLog_Close();
  Option_SaveIni(nullptr);
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  followMainWindow();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  followMainWindow();
}

void MainWindow::followMainWindow() {
  const QRect now = frameGeometry();
  if (lastRectKnown_) {
    const ShellRect prev{lastRect_.x(), lastRect_.y(), lastRect_.width(), lastRect_.height()};
    const ShellRect cur{now.x(), now.y(), now.width(), now.height()};
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || !w->property("kvxModuleDialog").toBool()) continue;
      const QRect r = w->frameGeometry();
      ShellRect moved;
      if (Shell_DialogFollows(prev, cur, {r.x(), r.y(), r.width(), r.height()}, moved))
        w->move(moved.x, moved.y);
    }
  }
  lastRect_ = now;
  lastRectKnown_ = true;
}

void MainWindow::showAbout() {
  QMessageBox box(this);
  box.setObjectName("aboutBox");
  box.setWindowTitle("About KVXconfig");
  box.setIconPixmap(windowIcon().pixmap(32, 32));
  const QString version = QString::asprintf(FactoryMode() ? "Version %s (int),  %s"
                                                          : "Version %s,  %s",
                                            kVersionText, buildDate().toUtf8().constData());
  box.setText("<b>KVXconfig</b><br>" + version.toHtmlEscaped() +
              "<br><br>Configuration and service tool<br>for KVX 700 CAN-bus I/O modules");
  box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  box.exec();
}
