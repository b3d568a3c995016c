// The module list in the main window against the simulated bus master: the
// scan at start-up and from the button, the lines under their header,
// selection and double click, the bus selector, the Search button and the
// Module menu.
#include "FakeDialogs.h"
#include "ProtocolSimFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>

#include "core/ErrorReport.h"
#include "app/MainWindow.h"
#include "protocol/ModuleListWindow.h"
#include "support/GuiHelpers.h"

namespace {

class ModuleListWindowTest : public ProtocolSimTest {
 protected:
  void SetUp() override {
    ProtocolSimTest::SetUp();
    sim.setPopulation(population());
    ASSERT_TRUE(sim.start());
  }
  void TearDown() override {
    window.reset();
    ProtocolSimTest::TearDown();
  }
  // Starts the program on the simulator; the INI scans nodes 1..12 at start
  // unless told otherwise.
  void start(const std::string& ini = "SCAN_ON_START = 1\n") {
    writeIni("DEFAULT_INTERFACE = \"KVX Master (Ethernet)\"\nETHERNET_HOSTNAME = 127.0.0.1\n"
             "SCAN_RANGE_START = 1\nSCAN_RANGE_STOP = 12\n" + ini);
    Option_SetInt("ETHERNET_PORTNO", sim.port());
    window = std::make_unique<MainWindow>(nullptr);
    FakeDialogs::install();
    ASSERT_TRUE(window->startUp());
    ASSERT_TRUE(sim.waitForClient(2000));
  }
  QTreeWidget* list() { return window->moduleList()->list(); }
  QPushButton* scanButton() { return window->moduleList()->scanButton(); }
  QProgressBar* progress() { return window->findChild<QProgressBar*>("scanProgress"); }
  QStringList row(int i) {
    QTreeWidgetItem* item = list()->topLevelItem(i);
    return item ? QStringList{item->text(0), item->text(1)} : QStringList{};
  }
  // Runs a node-by-node scan of 1..12 to its end.
  void finishNodeScan(int replies) {
    for (int i = 0; i < 12; ++i) ui.fire(&BusScan_Timer(1));
    ASSERT_TRUE(awaitStored(replies));
    ui.fire(&BusScan_Timer(3));
  }

  std::unique_ptr<MainWindow> window;
};

TEST_F(ModuleListWindowTest, TheStartUpScanListsTheModulesUnderTheBusHeader) {
  start();
  EXPECT_TRUE(ScanRunning());
  EXPECT_EQ(scanButton()->text(), "Cancel");
  EXPECT_FALSE(progress()->isHidden());
  EXPECT_EQ(progress()->value(), 0);
  EXPECT_EQ(list()->headerItem()->text(0), "CAN ID");
  EXPECT_EQ(list()->headerItem()->text(1), "Name");
  for (int i = 0; i < 6; ++i) ui.fire(&BusScan_Timer(1));
  EXPECT_EQ(progress()->value(), 45);  // node 6 of 1..12
  finishNodeScan(6);
  EXPECT_FALSE(ScanRunning());
  EXPECT_EQ(scanButton()->text(), "Scan Bus");
  EXPECT_TRUE(progress()->isHidden());
  ASSERT_EQ(list()->topLevelItemCount(), 6);
  EXPECT_EQ(row(0), (QStringList{" 2", "KVX 730-08"}));
  EXPECT_EQ(row(5), (QStringList{" 12", "(unknown)"}));
}

TEST_F(ModuleListWindowTest, TheButtonStartsAndCancelsTheScan) {
  start("SCAN_ON_START = 0\n");
  EXPECT_FALSE(ScanRunning());
  scanButton()->click();
  EXPECT_TRUE(ScanRunning());
  EXPECT_FALSE(window->action("actionScanBus")->isEnabled());
  ui.fire(&BusScan_Timer(1));
  ui.fire(&BusScan_Timer(1));
  scanButton()->click();  // Cancel: collect what node 1 and 2 answered
  EXPECT_TRUE(ScanRunning());
  ASSERT_TRUE(awaitStored(1));
  scanButton()->click();  // Cancel while collecting: ends at once
  EXPECT_FALSE(ScanRunning());
  EXPECT_EQ(list()->topLevelItemCount(), 0);
  EXPECT_TRUE(window->action("actionScanBus")->isEnabled());
}

TEST_F(ModuleListWindowTest, SelectingALineShowsItsStatusAndADoubleClickOpensItsDialog) {
  start();
  finishNodeScan(6);
  list()->setCurrentItem(list()->topLevelItem(1));
  EXPECT_EQ(GetStatusText(), "KVX 740-02, CAN ID 3 (0x03)");
  ClearStatusText();
  emit list()->itemDoubleClicked(list()->topLevelItem(1), 0);
  EXPECT_EQ(GetStatusText(), "KVX 740-02, CAN ID 3 (0x03)");
  emit list()->itemDoubleClicked(list()->topLevelItem(1), 0);
  EXPECT_EQ(FakeDialogs::calls, (std::vector<std::string>{"open 3", "activate 3"}));

  // A dialog that comes to the front selects its line.
  ModuleList_DialogActivated(recordOfNode(3)->dialog);
  list()->setCurrentItem(list()->topLevelItem(0));
  ModuleList_DialogActivated(recordOfNode(3)->dialog);
  EXPECT_EQ(list()->indexOfTopLevelItem(list()->currentItem()), 1);
}

TEST_F(ModuleListWindowTest, TheSelectionStaysWithItsModuleWhenALineGoesInBeforeIt) {
  start("SCAN_ON_START = 0\n");
  ModuleList_Add(5, 'c', 16, 1, 0, false);
  ModuleList_Add(7, 'c', 16, 1, 0, false);
  ModuleList_Add(9, 'c', 16, 1, 0, false);
  list()->setCurrentItem(list()->topLevelItem(2));
  ModuleList_Remove(recordOfNode(5));
  ASSERT_NE(list()->currentItem(), nullptr);
  EXPECT_EQ(list()->currentItem()->text(0), " 9");
  ModuleList_Add(11, 'c', 16, 1, 0, false);  // takes the freed first record: first line
  EXPECT_EQ(row(0), (QStringList{" 11", "KVX 730-08"}));
  ModuleList_Add(13, 'c', 16, 1, 0, false);  // a new last line
  ASSERT_NE(list()->currentItem(), nullptr);
  EXPECT_EQ(list()->currentItem()->text(0), " 9");
  ClearStatusText();
  list()->setCurrentItem(list()->topLevelItem(0));
  EXPECT_EQ(GetStatusText(), "KVX 730-08, CAN ID 11 (0x0B)");
}

TEST_F(ModuleListWindowTest, TheBusSelectorStoresTheBusAndTheNextScanUsesIt) {
  start("SCAN_ON_START = 0\n");
  auto* buses = window->findChild<QComboBox*>("canBusSelector");
  ASSERT_EQ(buses->count(), 2);
  buses->setCurrentIndex(1);
  EXPECT_EQ(Option_GetInt("ETHERNET_CANBUSNO"), 1);
  EXPECT_EQ(EthMaster_GetCanBusNo(), 1);
  EXPECT_EQ(window->findChild<QLabel*>("interfaceDetailLabel")->text(), "127.0.0.1 (CAN 1, 500 kBaud)");
  Option_SetInt("SCAN_FLASHMODE", 1);
  scanButton()->click();
  EXPECT_FALSE(buses->isEnabled());  // no bus change while scanning
  ASSERT_TRUE(awaitStored(4));
  ui.fire(&BusScan_Timer(3));
  ASSERT_EQ(list()->topLevelItemCount(), 4);
  EXPECT_EQ(row(2), (QStringList{" 9", "KVX 770-01"}));
}

TEST_F(ModuleListWindowTest, SearchClearsTheListAndOpensTheSearchDialog) {
  start("SCAN_ON_START = 0\n");
  ModuleList_Add(5, 'c', 16, 1, 0, false);
  SetStatusText("old text");
  QString title;
  OnNextModal([&](QDialog* d) {
    ASSERT_NE(d, nullptr);
    title = d->windowTitle();
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_EQ(GetStatusText(), "");
  });
  window->moduleList()->searchButton()->click();
  EXPECT_EQ(title, "Search a Module");
}

TEST_F(ModuleListWindowTest, ModuleMenuCommandsWorkOnTheList) {
  start();
  finishNodeScan(6);
  for (const char* name : {"actionCloseAll", "actionClearList", "actionModuleStatus",
                           "actionResetNodeIds"})
    EXPECT_TRUE(window->action(name)->isEnabled()) << name;

  ModuleList_OpenDialog(recordOfNode(2));
  window->action("actionCloseAll")->trigger();
  EXPECT_EQ(FakeDialogs::calls, (std::vector<std::string>{"open 2", "close 2"}));
  EXPECT_EQ(list()->topLevelItemCount(), 6);

  int rows = -1;
  OnNextModal([&](QDialog* d) {
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->objectName(), "DIALOG_MODULESTATUS");
    rows = d->findChild<QTreeWidget*>("statusList")->topLevelItemCount();
  });
  window->action("actionModuleStatus")->trigger();
  EXPECT_EQ(rows, 6);

  ui.expectMessage("reset to DIP switch setting?", UiAnswer::Cancel);
  window->action("actionResetNodeIds")->trigger();
  EXPECT_EQ(list()->topLevelItemCount(), 6);

  window->action("actionClearList")->trigger();
  EXPECT_EQ(list()->topLevelItemCount(), 0);
  EXPECT_EQ(ModuleList_Count(), 0);
}

}  // namespace
