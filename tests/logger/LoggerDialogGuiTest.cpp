// The logger window: opening rules, controls following the session, lines
// reaching the list in batches, the file button, the Ethernet bus selector,
// closing and the main menu.
// The simulator comes first: its headers use names that Qt defines as macros.
#include "SimServer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "LoggerTestSupport.h"
#include "app/MainWindow.h"
#include "logger/LogLine.h"
#include "logger/LoggerDialog.h"
#include "logger/LoggerLinesWidget.h"
#include "support/AppFixture.h"
#include "support/GuiHelpers.h"

namespace {

class LoggerDialogTest : public AppStateTest {
 protected:
  void SetUp() override {
    AppStateTest::SetUp();
    Clock_Install(&clock);
  }
  void TearDown() override {
    Logger_Close();
    QApplication::processEvents();
    delete Logger_Instance();
    AppStateTest::TearDown();
  }
  LoggerDialog* open() {
    Logger_Open(nullptr);
    return Logger_Instance();
  }
  template <class T>
  T* child(const char* name) { return Child<T>(Logger_Instance(), name); }
  QString cell(int row, int column) {
    LoggerLineModel* model = Logger_Instance()->linesWidget()->lineModel();
    return model->data(model->index(row, column)).toString();
  }
  int rows() { return Logger_Instance()->linesWidget()->lineModel()->rowCount(); }
  void fire(UiTimer& timer) {
    ASSERT_TRUE(ui.isArmed(&timer));
    ui.fire(&timer);
  }

  ManualClock clock{1000};
  ScriptedLink* fake = nullptr;
};

TEST_F(LoggerDialogTest, NoInterfaceOrAnUnsupportedOneOpensNothing) {
  ui.expectMessage("No interface selected", UiAnswer::Ok);
  EXPECT_EQ(open(), nullptr);
  OpenInterface("LIN Adapter");
  ui.expectMessage("CAN Logger not available with current interface LIN Adapter", UiAnswer::Ok);
  EXPECT_EQ(open(), nullptr);
}

TEST_F(LoggerDialogTest, ControlsFollowTheLoggerAndLinesArriveInBatches) {
  fake = ActivateFakeCanLink();
  LoggerDialog* dialog = open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->objectName(), "DIALOG_CANLOGGER");
  EXPECT_EQ(open(), dialog) << "a second open activates the same window";
  auto* start = child<QPushButton>("startButton");
  auto* reset = child<QPushButton>("resetButton");
  EXPECT_EQ(child<QLabel>("interfaceName")->text(), "PCAN USB");
  EXPECT_EQ(child<QLabel>("interfaceDescription")->text(), "1000 kBaud");
  EXPECT_TRUE(child<QComboBox>("canBus")->isHidden()) << "only the Ethernet master has buses";
  EXPECT_EQ(start->text(), "Start");
  EXPECT_FALSE(reset->isEnabled());
  EXPECT_FALSE(child<QLabel>("messagesPerSecond")->isEnabled());
  EXPECT_TRUE(child<QPushButton>("settingsButton")->isHidden());
  auto* filter = child<QComboBox>("filterMode");
  EXPECT_EQ(filter->itemText(1), "Show only Node ID(s):");
  EXPECT_FALSE(child<QLineEdit>("filterList")->isEnabled());
  filter->setCurrentIndex(kFilterShowNodes);
  EXPECT_TRUE(child<QLineEdit>("filterList")->isEnabled());
  child<QLineEdit>("filterList")->setText("5");

  start->click();
  EXPECT_EQ(start->text(), "Stop");
  EXPECT_EQ(reset->text(), "Restart");
  EXPECT_FALSE(child<QLineEdit>("filterList")->isEnabled());
  EXPECT_TRUE(child<QLabel>("messagesPerSecond")->isEnabled());
  fake->incoming = {Msg(0x185, {0xAA}, 3000), Msg(0x186, {}, 3001), Msg(0x705, {0}, 4250)};
  fire(dialog->session().pollTimer());
  EXPECT_EQ(rows(), 2) << "received lines reach the list on the display tick, not one by one";
  fire(dialog->session().displayTimer());
  ASSERT_EQ(rows(), 4);  // the frame of node 6 is filtered out
  EXPECT_EQ(cell(1, kColTime), "-- Filter ON: show only Node ID(s) 5");
  EXPECT_EQ(cell(2, kColCobId), "185");
  EXPECT_EQ(cell(3, kColTime), "1.250");
  EXPECT_EQ(cell(3, kColCanOpen), "5: Bootup");
  LoggerLineModel* model = dialog->linesWidget()->lineModel();
  EXPECT_EQ(model->headerData(kColTime, Qt::Horizontal).toString(), "Time (s.ms)");
  EXPECT_EQ(model->data(model->index(2, kColCobId), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
  EXPECT_EQ(child<QLabel>("activity")->text(), "/");

  fire(dialog->session().statsTimer());
  clock.advance(1000);
  fake->incoming = {Msg(0x185, {}, 5000), Msg(0x185, {}, 5001)};
  fire(dialog->session().pollTimer());
  fire(dialog->session().statsTimer());
  EXPECT_EQ(child<QLabel>("messagesPerSecond")->text(), "2");

  reset->click();  // restart
  EXPECT_EQ(cell(0, kColTime), "-- RESTART");
  start->click();
  EXPECT_EQ(start->text(), "Continue");
  EXPECT_TRUE(child<QLineEdit>("filterList")->isEnabled());
}

TEST_F(LoggerDialogTest, TheFileButtonShowsPressedWhileAFileIsOpen) {
  fake = ActivateFakeCanLink();
  LoggerDialog* dialog = open();
  ASSERT_NE(dialog, nullptr);
  auto* button = child<QPushButton>("logFileButton");
  ui.expectSaveFile("");
  button->click();
  EXPECT_FALSE(button->isChecked()) << "cancelled";
  ui.expectSaveFile(home.file("x.log"));
  button->click();
  EXPECT_TRUE(button->isChecked());
  button->click();
  EXPECT_FALSE(button->isChecked());
  EXPECT_NE(ReadWholeFile(home.file("x.log")).find("# stopped on"), std::string::npos);
}

TEST_F(LoggerDialogTest, RawStampsChangeTheHeaderAndCloseStoresTheOptions) {
  Option_SetInt("LOGGER_ORIGTIMESTAMP", 1);
  fake = ActivateFakeCanLink();
  LoggerDialog* dialog = open();
  ASSERT_NE(dialog, nullptr);
  child<QCheckBox>("showLast")->setChecked(true);
  child<QPushButton>("startButton")->click();
  fake->incoming = {Msg(0x181, {}, 777)};
  fire(dialog->session().pollTimer());
  fire(dialog->session().displayTimer());
  LoggerLineModel* model = dialog->linesWidget()->lineModel();
  EXPECT_EQ(model->headerData(kColTime, Qt::Horizontal).toString(), "Timestamp");
  EXPECT_EQ(cell(2, kColTime), "777");
  child<QPushButton>("closeButton")->click();
  EXPECT_FALSE(Interface_LoggerRecording());
  EXPECT_EQ(Option_GetInt("LOGGER_SHOWLAST"), 1);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Logger_Instance(), nullptr);
}

TEST_F(LoggerDialogTest, ScreenshotHookOpensARecordingLogger) {
  fake = ActivateFakeCanLink();
  LoggerDialog* dialog = LoggerDialog_OpenForScreenshot(nullptr);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->session().state(), LoggerState::Running);
}

TEST_F(LoggerDialogTest, TheEthernetBusSelectorOnTheSimulatedMaster) {
  Clock_Install(nullptr);  // the link's control requests wait in real time
  SimServer sim;
  SimPopulation population;
  population.busBitRates = {6, 4};
  sim.setPopulation(population);
  ASSERT_TRUE(sim.start());
  EthMaster_SetHostName("127.0.0.1");
  EthMaster_SetPort(sim.port());
  ASSERT_EQ(OpenInterface("KVX Master (Ethernet)"), 0) << GetInterfaceError();
  LoggerDialog* dialog = open();
  ASSERT_NE(dialog, nullptr);
  auto* bus = child<QComboBox>("canBus");
  EXPECT_FALSE(bus->isHidden());
  ASSERT_EQ(bus->count(), 2);
  EXPECT_EQ(bus->itemText(1), "1");
  EXPECT_TRUE(bus->isEnabled());
  EXPECT_EQ(child<QLabel>("interfaceName")->text(), "KVX Master (Ethernet)");
  EXPECT_EQ(child<QLabel>("interfaceDescription")->text(), "127.0.0.1 (CAN 0, 500 kBaud)");
  auto* start = child<QPushButton>("startButton");
  start->click();
  EXPECT_FALSE(bus->isEnabled());
  start->click();
  EXPECT_TRUE(bus->isEnabled());
  bus->setCurrentIndex(1);
  emit bus->activated(1);
  EXPECT_EQ(EthMaster_GetCanBusNo(), 1);
  EXPECT_EQ(start->text(), "Start") << "the paused logger was reset";
  EXPECT_EQ(child<QLabel>("interfaceDescription")->text(), "127.0.0.1 (CAN 1, 125 kBaud)");
  EthMaster_SetCanBusNo(0);  // chosen elsewhere: the selector follows on the display tick
  fire(dialog->session().displayTimer());
  EXPECT_EQ(bus->currentIndex(), 0);
  Logger_Close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  CloseInterface();
  sim.stop();
}

TEST_F(LoggerDialogTest, TheExtrasMenuOpensTheLogger) {
  MainWindow window(nullptr);
  QAction* action = window.action("actionCanLogger");
  ASSERT_NE(action, nullptr);
  EXPECT_TRUE(action->isEnabled());
  fake = ActivateFakeCanLink();
  action->trigger();
  ASSERT_NE(Logger_Instance(), nullptr);
  EXPECT_EQ(Logger_Instance()->parentWidget(), &window);
  Logger_Close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// In factory mode the logger has no owner: closing the main window must close
// it too (or the program would not end), with its file finished and its
// options in the INI file the program writes on the way out.
TEST_F(LoggerDialogTest, ClosingTheMainWindowClosesTheLoggerFirst) {
  FactoryMode_Set(true);
  Option_SetInt("ASK_BEFORE_EXIT", 0);
  const std::string path = home.file("exit.log");
  {
    MainWindow window(nullptr);
    fake = ActivateFakeCanLink();
    window.action("actionCanLogger")->trigger();
    LoggerDialog* dialog = Logger_Instance();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->parentWidget(), nullptr) << "no owner in factory mode";
    child<QCheckBox>("showLast")->setChecked(true);
    ASSERT_TRUE(dialog->session().openLogFile(path));
    child<QPushButton>("startButton")->click();
    window.close();
    EXPECT_FALSE(Interface_LoggerRecording());
    EXPECT_FALSE(dialog->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Logger_Instance(), nullptr);
  }
  EXPECT_NE(ReadWholeFile(path).find("# stopped on "), std::string::npos);
  EXPECT_NE(iniText().find("LOGGER_SHOWLAST = 1"), std::string::npos) << iniText();
}

}  // namespace
