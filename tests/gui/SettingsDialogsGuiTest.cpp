// The "Settings" and "Interface Settings" dialogs as the user meets them: the
// menu opens them, pages store when left, the page is remembered, only one
// dialog is open, the CAN logger asks for its page.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <functional>
#include <memory>

#include "SimServer.h"
#include "app/MainWindow.h"
#include "app/SettingsDialog.h"
#include "bus/Interface.h"
#include "bus/InterfaceSettingsDialog.h"
#include "bus/ModbusLink.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "logger/LoggerDialog.h"
#include "support/AppFixture.h"
#include "support/GuiHelpers.h"

namespace {

QStringList tabLabels(QWidget* dialog) { return TabTexts(dialog->findChild<QTabWidget*>(kTabControlName)); }

class SettingsDialogsTest : public AppStateTest {
 protected:
  void TearDown() override {
    window.reset();
    sim.stop();
    AppStateTest::TearDown();
  }
  void startWindow() {
    window = std::make_unique<MainWindow>(nullptr);
    window->startUp();
  }
  // Runs check on the dialog opened modally by open(), then lets it close.
  template <class Dialog>
  void whileOpen(const std::function<void()>& open, Dialog* (*instance)(),
                 const std::function<void(Dialog*)>& check) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      Dialog* d = instance();
      ASSERT_NE(d, nullptr);
      ran = true;
      check(d);
      d->accept();
    });
    open();
    EXPECT_TRUE(ran) << "the dialog did not open";
  }

  SimServer sim;
  std::unique_ptr<MainWindow> window;
};

TEST_F(SettingsDialogsTest, SettingsPagesStoreWhenLeftAndThePageIsRemembered) {
  startWindow();
  QAction* item = window->action("actionSettings");
  ASSERT_TRUE(item->isEnabled());
  whileOpen<SettingsDialog>([&] { item->trigger(); }, SettingsDialog_Instance, [](SettingsDialog* d) {
    EXPECT_EQ(d->windowTitle(), "Settings");
    EXPECT_EQ(tabLabels(d), QStringList({"General", "Scan Bus", "Firmware Update", "CAN Logger"}));
    EXPECT_EQ(d->selectedPage(), 0);
    EXPECT_TRUE(Child<QCheckBox>(d, "moduleTestFeatures")->isHidden()) << "factory mode only";
    d->selectPage(1);
    Child<QLineEdit>(d, "scanRangeFrom")->setText("150");
    Child<QLineEdit>(d, "scanRangeTo")->setText("3");
    Child<QLineEdit>(d, "scanInterval")->setText("5");
    Child<QCheckBox>(d, "flashScan")->setChecked(true);
    EXPECT_FALSE(Child<QLineEdit>(d, "scanInterval")->isEnabled());
    d->selectPage(2);  // leaving the page stores it
    EXPECT_EQ(Option_GetInt("SCAN_RANGE_START"), 3);
    EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 127);
    EXPECT_EQ(Option_GetInt("SCAN_SEND_INTERVAL_MS"), 10);
    EXPECT_EQ(Option_GetInt("SCAN_FLASHMODE"), 1);
    Child<QLineEdit>(d, "sendInterval")->setText("0.05");
  });
  // OK stored the visible page too, and the next opening starts there.
  EXPECT_DOUBLE_EQ(Option_GetDouble("PROGRAM_SEND_INTERVAL_MS"), 0.1);
  whileOpen<SettingsDialog>([] { SettingsDialog_Open(nullptr); }, SettingsDialog_Instance,
                            [](SettingsDialog* d) {
                              EXPECT_EQ(d->selectedPage(), 2);
                              EXPECT_EQ(Child<QLineEdit>(d, "sendInterval")->text(), "0.1");
                            });
}

TEST_F(SettingsDialogsTest, OnlyOneSettingsDialogAndTheLoggerAsksForItsPage) {
  ASSERT_TRUE(sim.start());
  writeIni("DEFAULT_INTERFACE = \"KVX Master (Ethernet)\"\nETHERNET_HOSTNAME = 127.0.0.1\nSCAN_ON_START = 0\n");
  Option_SetInt("ETHERNET_PORTNO", sim.port());
  startWindow();
  window->action("actionCanLogger")->trigger();
  LoggerDialog* logger = Logger_Instance();
  ASSERT_NE(logger, nullptr);
  whileOpen<SettingsDialog>([&] { Child<QPushButton>(logger, "settingsButton")->click(); },
                            SettingsDialog_Instance, [](SettingsDialog* d) {
                              EXPECT_EQ(d->selectedPage(), 3);
                              EXPECT_NE(Child<QLineEdit>(d, "displayBuffer"), nullptr);
                              // Asking again brings this one forward at the page asked for.
                              SettingsDialog_Open(nullptr, 1);
                              EXPECT_EQ(d->selectedPage(), 1);
                              int open = 0;
                              for (QWidget* w : QApplication::topLevelWidgets())
                                open += w->objectName() == "DIALOG_SETTINGS";
                              EXPECT_EQ(open, 1);
                            });
  Logger_Close();
}

TEST_F(SettingsDialogsTest, InterfaceSettingsPagesAndTheTypedModbusPort) {
  FactoryMode_Set(true);
  startWindow();
  QAction* item = window->action("actionInterfaceSettings");
  ASSERT_TRUE(item->isEnabled());
  whileOpen<InterfaceSettingsDialog>([&] { item->trigger(); }, InterfaceSettingsDialog_Instance,
                                     [](InterfaceSettingsDialog* d) {
    EXPECT_EQ(d->windowTitle(), "Interface Settings");
    EXPECT_EQ(tabLabels(d), QStringList({"PCAN USB", "KVX Master (Ethernet)", "Modbus"}));
    EXPECT_EQ(Child<QComboBox>(d, "canBaudrate")->currentText(), "125 k");
    EXPECT_EQ(Child<QLabel>(d, "pcanLibrary")->text(), "(not loaded)");
    Child<QComboBox>(d, "canBaudrate")->setCurrentText("250 k");
    d->selectPage(2);
    EXPECT_EQ(Option_GetInt("PCANUSB_BAUDRATE"), 5);
    EXPECT_FALSE(Child<QComboBox>(d, "modbusMode")->isEnabled());
    Child<QComboBox>(d, "modbusPort")->setEditText("/dev/pts/42");
    Child<QComboBox>(d, "modbusBaudrate")->setCurrentText("57600");
  });
  EXPECT_STREQ(Option_GetString("MODBUS_COMPORTNAME"), "/dev/pts/42");
  EXPECT_EQ(Option_GetLong("MODBUS_BAUDRATE"), 57600);
  EXPECT_STREQ(Modbus_GetPortName(), "/dev/pts/42");
  // The next opening starts at the Modbus page and shows the typed port.
  whileOpen<InterfaceSettingsDialog>([] { InterfaceSettingsDialog_Open(nullptr); },
                                     InterfaceSettingsDialog_Instance, [](InterfaceSettingsDialog* d) {
                                       EXPECT_EQ(d->selectedPage(), 2);
                                       EXPECT_EQ(Child<QComboBox>(d, "modbusPort")->currentText(),
                                                 "/dev/pts/42");
                                     });
}

}  // namespace
