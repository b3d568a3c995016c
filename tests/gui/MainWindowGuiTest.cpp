#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "SimServer.h"
#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "core/DebugLog.h"
#include "bus/InterfaceSettingsDialog.h"
#include "bus/ModbusLink.h"
#include "core/ErrorReport.h"
#include "app/MainWindow.h"
#include "core/Options.h"
#include "core/Shell.h"
#include "logger/LoggerDialog.h"
#include "platform/Clock.h"
#include "protocol/ModuleListWindow.h"
#include "support/AppFixture.h"
#include "support/GuiHelpers.h"

namespace {

QStringList captions(QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions())
    if (!a->isSeparator() && a->isVisible()) out << a->text();
  return out;
}

class MainWindowTest : public AppStateTest {
 protected:
  void SetUp() override {
    AppStateTest::SetUp();
    sim.setPopulation(SimPopulation::demo());
    ASSERT_TRUE(sim.start());
  }
  void TearDown() override {
    window.reset();
    sim.stop();
    AppStateTest::TearDown();
  }

  // The INI selects the Ethernet master on the simulator (the port option is
  // never stored, so it is set directly).
  void iniForSimulator(const std::string& extra = "") {
    writeIni("DEFAULT_INTERFACE = \"KVX Master (Ethernet)\"\nETHERNET_HOSTNAME = 127.0.0.1\n"
             "SCAN_ON_START = 0\n" + extra);
  }
  bool start() {
    Option_SetInt("ETHERNET_PORTNO", sim.port());
    window = std::make_unique<MainWindow>(nullptr);
    return window->startUp();
  }
  template <class T>
  T* find(const char* name) { return Child<T>(window.get(), name); }
  QAction* act(const char* name) { return window->action(name); }
  UiTimer* timerWithPeriod(int ms) {
    for (UiTimer* t : ui.armedTimers())
      if (ui.armedPeriod(t) == ms) return t;
    return nullptr;
  }

  SimServer sim;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, MenuCaptionsAndInterfaceNamesAfterStart) {
  ASSERT_TRUE(start());
  EXPECT_EQ(window->windowTitle(), "KVXconfig");
  QStringList titles;
  for (QAction* a : window->menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, QStringList({"&File", "&Interface", "Module", "&Extras", "&Help"}));
  EXPECT_EQ(captions(find<QMenu>("menuFile")),
            QStringList({"Scan &Bus", "Search a &Module...", "E&xit"}));
  EXPECT_EQ(captions(window->interfaceMenu()),
            QStringList({"KVX Master (Ethernet)", "KVX Master (&Serial)", "LIN Adapter",
                         "Modbus (Serial)", "PCAN USB", "None", "Se&ttings..."}));
  // Outside factory mode the shipping-date item is gone.
  EXPECT_EQ(captions(find<QMenu>("menuModule")),
            QStringList({"Close all windows", "&Clear List", "Module Status...",
                         "Multi Update...", "Serial Number...", "Reset Node IDs to  DIP..."}));
  EXPECT_EQ(captions(find<QMenu>("menuExtras")),
            QStringList({"CAN Logger...", "PLC Start/Stop...", "&Settings..."}));
  EXPECT_EQ(captions(find<QMenu>("menuHelp")), QStringList({"KVX 700 Modules...", "&About..."}));
  for (const char* name : {"actionInterfaceKVX Master (&Serial)", "actionInterface&LIN Adapter"})
    EXPECT_FALSE(act(name)->isEnabled()) << name;
  EXPECT_TRUE(act("actionInterface&Modbus (Serial)")->isEnabled());
}

TEST_F(MainWindowTest, FactoryModeKeepsTheShippingDateItem) {
  FactoryMode_Set(true);
  ASSERT_TRUE(start());
  EXPECT_TRUE(captions(find<QMenu>("menuModule")).contains("Set Shipping Date..."));
}

TEST_F(MainWindowTest, StartsConnectedAndControlsFollowScanAndBusyFlags) {
  iniForSimulator();
  ASSERT_TRUE(start());
  EXPECT_STREQ(GetInterfaceName(), "KVX Master (Ethernet)");
  EXPECT_EQ(find<QLabel>("interfaceLabel")->text(), "KVX Master (Ethernet)");
  EXPECT_EQ(find<QLabel>("interfaceDetailLabel")->text(), "127.0.0.1 (CAN 0, 125 kBaud)");
  EXPECT_TRUE(act("actionInterfaceKVX Master (&Ethernet)")->isChecked());
  EXPECT_FALSE(act("actionInterface&None")->isChecked());
  EXPECT_TRUE(act("actionScanBus")->isEnabled());
  EXPECT_TRUE(act("actionSearch")->isEnabled());
  EXPECT_TRUE(act("actionPlc")->isEnabled());  // the simulated master answered
  auto* scan = find<QPushButton>("scanButton");
  auto* search = find<QPushButton>("searchButton");
  auto* buses = find<QComboBox>("canBusSelector");
  EXPECT_EQ(scan->text(), "Scan Bus");
  EXPECT_TRUE(scan->isEnabled());
  EXPECT_TRUE(find<QProgressBar>("scanProgress")->isHidden());
  EXPECT_FALSE(buses->isHidden());
  ASSERT_EQ(buses->count(), 2);
  EXPECT_EQ(buses->itemText(1), "1");
  EXPECT_TRUE(buses->isEnabled());
  EXPECT_EQ(find<QLabel>("scanRangeLabel")->text(), "Scan range:  1 - 127");

  SetScanRunning(true);  // (the scan's own texts: ModuleListWindowTest)
  UpdateControls();
  EXPECT_TRUE(scan->isEnabled());
  EXPECT_FALSE(search->isEnabled());
  EXPECT_FALSE(buses->isEnabled());
  SetScanRunning(false);
  SetBusy(true);
  UpdateControls();
  EXPECT_FALSE(scan->isEnabled());
  EXPECT_FALSE(search->isEnabled());
  SetBusy(false);
  Option_SetInt("SCAN_FLASHMODE", 1);
  UpdateControls();
  EXPECT_EQ(find<QLabel>("scanRangeLabel")->text(), "Scan range: all");
}

TEST_F(MainWindowTest, DefaultInterfaceThatFailsIsReportedAndTheProgramRunsWithNone) {
  writeIni("DEFAULT_INTERFACE = \"KVX Master (Ethernet)\"\n");  // no host name
  EXPECT_FALSE(start());
  // Errors go to the status bar by default, with a beep.
  EXPECT_EQ(ui.statusText(), " *** Error: Interface error:\nNo hostname\nfor the KVX master");
  EXPECT_EQ(ui.beeps(), 1);
  EXPECT_EQ(find<QLabel>("interfaceLabel")->text(), "(No interface selected)");
  EXPECT_TRUE(find<QComboBox>("canBusSelector")->isHidden());
  EXPECT_FALSE(act("actionScanBus")->isEnabled());
  EXPECT_FALSE(find<QPushButton>("scanButton")->isEnabled());
  EXPECT_TRUE(act("actionInterface&None")->isChecked());
  EXPECT_FALSE(act("actionPlc")->isEnabled());
}

// After the box the interface settings open at the failed link's page.
TEST_F(MainWindowTest, ChoosingAnInterfaceThatFailsShowsABoxAndItsSettingsAndStaysOnNone) {
  ASSERT_TRUE(start());
  Modbus_SetPortName("/dev/no-such-port");
  struct Case {
    const char* action;
    const char* error;
    int page;
  } cases[] = {
      {"actionInterfaceKVX Master (&Ethernet)", "Interface error:\nNo hostname\nfor the KVX master", 1},
      {"actionInterface&Modbus (Serial)",
       "Interface error:\nCannot open Serial Port /dev/no-such-port\n(Windows error #2)", 2},
  };
  for (const Case& c : cases) {
    ui.expectMessage(c.error, UiAnswer::Ok);
    int shownPage = -1;
    QTimer::singleShot(0, [&shownPage] {
      if (InterfaceSettingsDialog* d = InterfaceSettingsDialog_Instance()) {
        shownPage = d->selectedPage();
        d->accept();
      }
    });
    act(c.action)->trigger();
    EXPECT_EQ(shownPage, c.page) << c.action;
    EXPECT_EQ(GetInterfaceType(), kInterfaceNone);
    EXPECT_TRUE(act("actionInterface&None")->isChecked());
    EXPECT_FALSE(act(c.action)->isChecked());
  }
}

TEST_F(MainWindowTest, ExitQuestionCancelKeepsRunningOkCloses) {
  ASSERT_TRUE(start());
  ui.expectMessage("Really Exit?", UiAnswer::Cancel);
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].title, "Exit");
  EXPECT_TRUE(ui.messages()[0].systemModal);
  ui.expectMessage("Really Exit?", UiAnswer::Ok);
  EXPECT_TRUE(window->close());
  Option_SetInt("ASK_BEFORE_EXIT", 0);
  window->show();
  EXPECT_TRUE(window->close());  // no question any more
}

TEST_F(MainWindowTest, StartCorrectsOptionsAndShutdownStoresNoneForEthernet) {
  // Without the interface presets, which would overwrite the scan interval.
  iniForSimulator("AUTO_INTERF_SET = 0\nSCAN_SEND_INTERVAL_MS = 5\nPROGRAM_SEND_INTERVAL_MS = 2500\n"
                  "MODULETEST_MODE = 1\nDEBUG_MODE = 1\n");
  ASSERT_TRUE(start());
  EXPECT_TRUE(DebugLog_IsOpen());
  EXPECT_EQ(Option_GetInt("SCAN_SEND_INTERVAL_MS"), 10);
  EXPECT_EQ(Option_GetDouble("PROGRAM_SEND_INTERVAL_MS"), 1000.0);
  EXPECT_EQ(Option_GetInt("MODULETEST_MODE"), 0);
  EXPECT_EQ(Option_GetWString("CALIB_SEQ_DIR1"),
            std::wstring(home.path().begin(), home.path().end()) + L"/KVXconfig-calib");
  window->shutDown();
  EXPECT_EQ(GetInterfaceType(), kInterfaceNone);
  EXPECT_FALSE(DebugLog_IsOpen());  // closed with its footer before the options are saved
  EXPECT_NE(ReadWholeFile(home.file("KVXconfig.log")).find("\nLogging stopped on "), std::string::npos);
  const std::string ini = iniText();
  EXPECT_NE(ini.find("DEFAULT_INTERFACE = \"None\"\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("MODULETEST_MODE = 0\n"), std::string::npos);
  EXPECT_NE(ini.find("SCAN_SEND_INTERVAL_MS = 10\n"), std::string::npos);
  EXPECT_NE(ini.find("PROGRAM_SEND_INTERVAL_MS = 1000.000000\n"), std::string::npos);
}

TEST_F(MainWindowTest, FactoryModeKeepsModuleTestModeAndClampsLowIntervals) {
  FactoryMode_Set(true);
  writeIni("MODULETEST_MODE = 1\nSCAN_SEND_INTERVAL_MS = 5000\nPROGRAM_SEND_INTERVAL_MS = 0\n");
  ASSERT_TRUE(start());
  EXPECT_EQ(Option_GetInt("MODULETEST_MODE"), 1);
  EXPECT_EQ(Option_GetInt("SCAN_SEND_INTERVAL_MS"), 1000);
  EXPECT_DOUBLE_EQ(Option_GetDouble("PROGRAM_SEND_INTERVAL_MS"), 0.1);
}

TEST_F(MainWindowTest, KeepAliveGoesOutOnTheTimerAndNotWhenSwitchedOff) {
  iniForSimulator("TCPKEEPALIVE_SEND_INTERVAL_MS = 1234\n");
  ASSERT_TRUE(start());
  // The timer was started with the default before the INI file was read.
  UiTimer* keepAlive = timerWithPeriod(5000);
  ASSERT_NE(keepAlive, nullptr);
  ui.fire(keepAlive);
  EXPECT_EQ(ui.armedPeriod(keepAlive), 1234);  // restarted with the option's value
  // The bus queries of the connection may still be on their way: wait for the
  // keep-alive itself.
  EXPECT_TRUE(sim.waitForReceivedFrame([](const SimFrame& f) { return f.id == 0x80000000u; }, 2000));
  EXPECT_EQ(sim.stats().keepAlives, 1);
  int keepAliveFrames = 0;
  for (const auto& f : sim.receivedFrames()) keepAliveFrames += f.frame.id == 0x80000000u;
  EXPECT_EQ(keepAliveFrames, 1);

  Option_SetInt("TCPKEEPALIVE_SEND_INTERVAL_MS", 0);
  ui.fire(keepAlive);
  act("actionInterface&None")->trigger();  // closing also flushes the link's output
  EXPECT_EQ(sim.stats().keepAlives, 1);
}

// Waits until the master was sent this logger forwarding value.
bool ForwardingSent(const SimServer& sim, int value) {
  return sim.waitForReceivedFrame(
      [value](const SimFrame& f) { return f.id == 0x80000003u && f.len >= 1 && f.data[0] == value; }, 2000);
}

TEST_F(MainWindowTest, ChoosingAnotherInterfaceEndsTheRecordingOnTheOldLink) {
  iniForSimulator();
  ASSERT_TRUE(start());
  act("actionCanLogger")->trigger();
  LoggerDialog* logger = Logger_Instance();
  ASSERT_NE(logger, nullptr);
  logger->findChild<QPushButton*>("startButton")->click();
  ASSERT_TRUE(ForwardingSent(sim, 3));

  act("actionInterface&None")->trigger();
  EXPECT_FALSE(Interface_LoggerRecording());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Logger_Instance(), nullptr);
  // Forwarding was switched off before the connection closed.
  EXPECT_TRUE(ForwardingSent(sim, 0));
}

TEST_F(MainWindowTest, ModuleDialogsInsideTheMainWindowMoveWithIt) {
  ASSERT_TRUE(start());
  window->setGeometry(100, 100, 500, 500);
  QApplication::processEvents();
  QWidget inside, outside, plain;
  for (QWidget* w : {&inside, &outside, &plain}) w->setWindowFlags(Qt::Window);
  inside.setProperty("kvxModuleDialog", true);
  outside.setProperty("kvxModuleDialog", true);
  inside.setGeometry(150, 150, 100, 100);
  outside.setGeometry(550, 150, 100, 100);
  plain.setGeometry(160, 160, 50, 50);  // not a module dialog
  for (QWidget* w : {&inside, &outside, &plain}) w->show();
  QApplication::processEvents();
  const QPoint insideBefore = inside.pos(), outsideBefore = outside.pos(), plainBefore = plain.pos();
  window->move(window->pos() + QPoint(30, 20));
  QApplication::processEvents();
  EXPECT_EQ(inside.pos(), insideBefore + QPoint(30, 20));
  EXPECT_EQ(outside.pos(), outsideBefore);
  EXPECT_EQ(plain.pos(), plainBefore);
}

}  // namespace
