// Module dialogs opened through the module list against the simulator: tabs,
// title, placement, buttons, closing, and the Info and CAN Bus pages.
// The simulator's headers come before Qt's, whose keyword macros ("signals",
// "slots") would otherwise rewrite names in them.
#include "module/ModuleSimFixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "module/CanBusTab.h"
#include "module/ModuleDialog.h"
#include "module/ModuleTabs.h"
#include "app/ModulePages.h"
#include "ui/TabDialog.h"
#include "protocol/ModuleListWindow.h"
#include "support/GuiModuleDialogs.h"

namespace {

int g_selectedLine = -2;
int g_linesChanged = 0;

class ModuleDialogTest : public WithModuleDialogs<ModuleSimTest> {
 protected:
  void SetUp() override {
    WithModuleDialogs::SetUp();
    ModuleListHooks view;
    view.selectLine = [](int line) { g_selectedLine = line; };
    view.linesChanged = [] { ++g_linesChanged; };
    ModuleList_SetViewHooks(view);
    g_selectedLine = -2;
    g_linesChanged = 0;
  }

  // Lists a module of the simulator and opens its dialog as a double click does.
  ModuleDialog* open(int node) {
    ModuleRec* rec = listed(node);
    ModuleList_OpenDialog(rec);
    return ModuleDialog_FromHandle(rec->dialog);
  }
  static QStringList tabs(ModuleDialog* d) { return TabTexts(d->tabControl()); }
  static QString field(QWidget* w, const char* name) { return Child<QLineEdit>(w, name)->text(); }
  static CanBusTab* busTab(ModuleDialog* d) { return ShowModulePage<CanBusTab>(d->module(), "TAB_MOD_BUSCONFIG"); }
};

TEST_F(ModuleDialogTest, UnknownTypeGetsOnlyInfoAndItsTitle) {
  ASSERT_EQ(ModuleList_Add(5, 'c', 99, 1, 0x85, true), 0);
  ModuleRec* rec = ModuleList_Next(nullptr);
  ModuleDialog* d = ModuleDialog_FromHandle(rec->dialog);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->objectName(), "DIALOG_MODULE");
  EXPECT_EQ(d->windowTitle(), "Unknown type #99,  CAN ID 5 (0x05)");
  EXPECT_TRUE(d->isVisible());
  EXPECT_FALSE(d->isModal());
  EXPECT_TRUE(d->property("kvxModuleDialog").toBool());
  EXPECT_EQ(tabs(d), QStringList{"Info"});
  EXPECT_EQ(field(d, "infoName"), "(unknown, #99)");
  EXPECT_EQ(field(d, "infoFirmwareVersion"), "");
}

TEST_F(ModuleDialogTest, KnownModuleShowsItsInfoPage) {
  connectDemo();
  ModuleDialog* d = open(2);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->windowTitle(), "KVX 730-08,  CAN ID 2 (0x02)");
  EXPECT_EQ(tabs(d), (QStringList{"Info", "CAN Bus", "Firmware Update", "Digital In", "Digital Out"}));
  EXPECT_EQ(field(d, "infoName"), "KVX 730-08");
  EXPECT_EQ(field(d, "infoBootloaderVersion"), "1.2");
  EXPECT_EQ(field(d, "infoFirmwareVersion"), "2.5");
  EXPECT_EQ(field(d, "infoStatus"), "5 (Operational)");
  EXPECT_EQ(field(d, "infoMode"), "Firmware");
  EXPECT_EQ(field(d, "infoShippingDate"), "14 May 2019, 09:30:00");
  EXPECT_FALSE(Child<QLineEdit>(d, "infoCompatible")->isVisible());
  EXPECT_FALSE(Child<QLineEdit>(d, "infoProgrammingDate")->isVisible());
  EXPECT_FALSE(Child<QLabel>(d, "infoProgrammingDateLabel")->isVisible());
  EXPECT_FALSE(Child<QPushButton>(d, "setShippingDate")->isVisible());
  // A second double click brings the same dialog to the front.
  ModuleRec* rec = d->module();
  ModuleList_OpenDialog(rec);
  EXPECT_EQ(ModuleDialog_FromHandle(rec->dialog), d);
  EXPECT_EQ(ModuleList_CountDialogs(), 1);
}

TEST_F(ModuleDialogTest, FactoryModeSetsTheShippingDateFromTheInfoPage) {
  FactoryMode_Set(true);
  connectDemo();
  ModuleDialog* d = open(3);
  EXPECT_EQ(field(d, "infoName"), "KVX 740-02   (#32)");
  EXPECT_TRUE(Child<QLineEdit>(d, "infoProgrammingDate")->isVisible());
  auto* set = Child<QPushButton>(d, "setShippingDate");
  EXPECT_TRUE(set->isVisible());
  EXPECT_TRUE(set->isEnabled());
  EXPECT_EQ(field(d, "infoShippingDate"), "02 Nov 2020, 14:12:45");
  sim.clearTraffic();
  ui.expectMessage("Set module shipping date\nto current date/time\n(06 Dec 2026, 12:00:00)?", UiAnswer::Ok);
  set->click();
  EXPECT_EQ(field(d, "infoShippingDate"), "06 Dec 2026, 12:00:00");  // refreshed from the module
  EXPECT_EQ(commandsSent(), (std::vector<int>{0x65, 0xA6, 0xA5}));
}

TEST_F(ModuleDialogTest, EveryTabHasARealPageInTheOrderOfTheTabList) {
  FactoryMode_Set(true);
  Option_SetInt("DEBUG_MODE", 1);
  Option_SetInt("MODULETEST_MODE", 1);
  connectDemo();
  for (int node : {2, 3, 5, 7, 20}) {  // 7: bootloader only, no firmware pages
    ModuleDialog* d = open(node);
    ASSERT_NE(d, nullptr) << node;
    // Only pages that exist are added: each tab's page carries the name of
    // its tab, in the order of the tab list.
    std::vector<std::string> expected;
    for (const ModuleTabEntry& t : ModuleTabs_List(*d->module(), ModuleTabs_CurrentModes()))
      if (ModulePages_Find(t.pageName)) expected.push_back(t.pageName);
    std::vector<std::string> shown;
    for (int i = 0; i < d->tabControl()->count(); ++i)
      shown.push_back(d->tabControl()->widget(i)->objectName().toStdString());
    EXPECT_EQ(shown, expected) << node;
    EXPECT_EQ(tabs(d).mid(0, 2), (QStringList{"Info", "CAN Bus"})) << node;
  }
  EXPECT_EQ(ModulePages_Find("TAB_MOD_NO_SUCH_PAGE"), nullptr);
}

TEST_F(ModuleDialogTest, InfoPageReadsAgainEachTimeItIsShown) {
  connectDemo();
  ModuleDialog* d = open(2);
  EXPECT_EQ(commandsSent(), (std::vector<int>{0x85, 0xA5}));
  sim.clearTraffic();
  d->tabControl()->setCurrentIndex(1);
  d->tabControl()->setCurrentIndex(0);
  // The versions stay cached in the record; the shipping date is read again.
  EXPECT_EQ(commandsSent(), (std::vector<int>{0x99, 0xA5}));
  EXPECT_EQ(field(d, "infoFirmwareVersion"), "2.5");
}

TEST_F(ModuleDialogTest, ClosingTheDialogClosesTheWindowsOfItsPages) {
  connectDemo();
  ModuleDialog* d = open(2);
  QWidget* info = Child<QWidget>(d, "TAB_MOD_INFO");
  auto* owned = new QDialog(info);
  owned->setAttribute(Qt::WA_DeleteOnClose);
  owned->show();
  // Closed as its user would close it (so it can finish its work), not just
  // deleted along with the page.
  bool closed = false;
  QObject::connect(owned, &QDialog::finished, [&closed] { closed = true; });
  Child<QPushButton>(d, "closeButton")->click();
  EXPECT_TRUE(closed);
  FlushDeletes();
}

TEST_F(ModuleDialogTest, InfoPageShowsASecondOrderCodeOnlyWhenThereIsOne) {
  connectDemo();
  changeModule(3, [](SimModuleConfig& c) { c.type = 10; });  // a type with two order codes
  ModuleDialog* d = open(3);
  EXPECT_EQ(field(d, "infoName"), "KVX 710-16");
  EXPECT_EQ(field(d, "infoCompatible"), "KVX 710-16-T");
  EXPECT_TRUE(Child<QLineEdit>(d, "infoCompatible")->isVisible());
  EXPECT_TRUE(Child<QLabel>(d, "infoCompatibleLabel")->isVisible());
}

TEST_F(ModuleDialogTest, ModuleMenuSetsTheShippingDateOfAllModules) {
  FactoryMode_Set(true);
  connectDemo();
  {
    MainWindow main(nullptr);
    listed(2);
    listed(3);
    ModuleDialog* d = open(2);
    ASSERT_NE(d, nullptr);
    sim.clearTraffic();
    ui.expectMessage("Set shipping date of all modules\nto current date/time\n(06 Dec 2026, 12:00:00)?",
                     UiAnswer::Ok);
    auto* action = main.findChild<QAction*>("actionShippingDate");
    ASSERT_NE(action, nullptr);
    action->trigger();
    EXPECT_EQ(moduleConfig(2).shippingDate, SimDate::make(2026, 12, 6, 12, 0, 0));
    EXPECT_EQ(moduleConfig(3).shippingDate, SimDate::make(2026, 12, 6, 12, 0, 0));
    EXPECT_EQ(ModuleList_CountDialogs(), 0);  // every module dialog was closed
    ModuleList_Clear();
    FlushDeletes();
    Option_SetInt("ASK_BEFORE_EXIT", 0);
  }
}

TEST_F(ModuleDialogTest, DialogsCascadeFromTheListsRightEdgeAndRestartWhenAllAreClosed) {
  // (The cascade's own steps and wrapping are the placement logic's tests.)
  ModuleDialogContext context;
  context.listRect = [] { return QRect(100, 50, 200, 300); };
  context.findPage = ModulePages_Find;
  ModuleDialog_Install(context);
  for (int node : {1, 2}) ASSERT_EQ(ModuleList_Add(node, 'c', 99, 1, 0x85, true), 0);
  ModuleRec* first = ModuleList_Next(nullptr);
  ModuleRec* second = ModuleList_Next(first);
  EXPECT_EQ(ModuleDialog_FromHandle(first->dialog)->pos(), QPoint(310, 60));
  EXPECT_EQ(ModuleDialog_FromHandle(second->dialog)->pos(), QPoint(334, 84));
  EXPECT_EQ(QPoint(second->dialogX, second->dialogY), QPoint(334, 84));

  ModuleList_CloseAllDialogs();
  FlushDeletes();
  ModuleList_OpenDialog(second);
  EXPECT_EQ(ModuleDialog_FromHandle(second->dialog)->pos(), QPoint(310, 60));
}

TEST_F(ModuleDialogTest, FoundAgainTheDialogIsRecreatedWhereItWas) {
  ASSERT_EQ(ModuleList_Add(8, 'c', 99, 1, 0x85, true), 0);
  ModuleRec* rec = ModuleList_Next(nullptr);
  ModuleDialog* old = ModuleDialog_FromHandle(rec->dialog);
  old->move(321, 222);
  ASSERT_EQ(ModuleList_Add(8, 'c', 99, 1, 0x85, false), 0);  // the next scan finds it
  ModuleDialog* again = ModuleDialog_FromHandle(rec->dialog);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, old);
  EXPECT_FALSE(old->isVisible());
  EXPECT_EQ(again->pos(), QPoint(321, 222));
  EXPECT_EQ(rec->reopen, 0u);
  EXPECT_EQ(ModuleList_CountDialogs(), 1);
}

TEST_F(ModuleDialogTest, FlashButtonSendsTheConfiguredCycles) {
  connectDemo();
  Option_SetInt("MODULE_FLASH_CYCLES", 7);
  ModuleDialog* d = open(2);
  sim.clearTraffic();
  Child<QPushButton>(d, "flashLed")->click();
  const std::vector<SimFrame> frames = awaitFramesToModules(1);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].id, 0x682u);
  EXPECT_EQ(Bytes(frames[0]), (std::vector<int>{0x04, 0, 0, 0, 0, 0, 10, 7}));
}

TEST_F(ModuleDialogTest, ClosingAModuleInSearchModeEndsTheSearch) {
  connectDemo();
  ModuleDialog* normal = open(2);
  sim.clearTraffic();
  Child<QPushButton>(normal, "closeButton")->click();
  EXPECT_EQ(listed(2)->dialog, nullptr);
  EXPECT_EQ(GetStatusText(), "");

  // The module's button was pressed: it answers on node 0, found by the search.
  ASSERT_TRUE(sim.pressButton(sim.findModule(0, 2)));
  ModuleList_Add(0, 'c', 16, 2, 0x82, true);
  ModuleRec* found = nullptr;
  for (ModuleRec* r = ModuleList_Next(nullptr); r; r = ModuleList_Next(r))
    if (r->node == 0) found = r;
  ASSERT_NE(found, nullptr);
  ModuleDialog* d = ModuleDialog_FromHandle(found->dialog);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->windowTitle(), "KVX 730-08,  CAN bus");
  sim.clearTraffic();
  d->close();
  const std::vector<SimFrame> frames = awaitFramesToModules(1);
  ASSERT_GE(frames.size(), 1u);
  EXPECT_EQ(frames.back().id, 0x680u);
  EXPECT_EQ(Bytes(frames.back()), std::vector<int>{0x82});
  EXPECT_EQ(found->dialog, nullptr);
  FlushDeletes();
}

TEST_F(ModuleDialogTest, SearchEndFailsWhileAScanFindsTheModuleAgain) {
  // No interface is open: the search command fails and its error box is up
  // while the scan lists the module once more.
  InterruptingUi boxUi;
  UiInstalled installed(&boxUi, &ui);
  ASSERT_EQ(ModuleList_Add(0, 'c', 99, 1, 0x82, true), 0);
  ModuleRec* rec = ModuleList_Next(nullptr);
  ModuleDialog* d = ModuleDialog_FromHandle(rec->dialog);
  ASSERT_NE(d, nullptr);
  boxUi.duringNextBox = [&] {
    ASSERT_EQ(ModuleList_Add(0, 'c', 99, 1, 0x82, false), 0);
    FlushDeletes();
  };
  boxUi.expectMessage("", UiAnswer::Ok);
  d->close();
  FlushDeletes();
  EXPECT_EQ(boxUi.pendingExpectations(), 0u);
  // The dialog was closed by the user: the scan does not bring it back.
  EXPECT_EQ(rec->dialog, nullptr);
  EXPECT_EQ(ModuleList_CountDialogs(), 0);
}

TEST_F(ModuleDialogTest, ActivationSelectsTheModuleInTheList) {
  connectDemo();
  listed(3);
  ModuleDialog* d = open(2);
  g_selectedLine = -2;
  ui.clearRecord();
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(d, &activate);
  EXPECT_EQ(g_selectedLine, 1);
  EXPECT_EQ(GetStatusText(), "KVX 730-08, CAN ID 2 (0x02)");
}

TEST_F(ModuleDialogTest, BusTabShowsEepromParametersAndWritesANewNode) {
  connectDemo();
  ModuleDialog* d = open(2);
  CanBusTab* tab = busTab(d);
  EXPECT_FALSE(tab->format38());
  EXPECT_EQ(field(tab, "nodeId"), "2");
  EXPECT_EQ(Child<QComboBox>(tab, "baudrate")->currentText(), "125 k");
  EXPECT_EQ(Child<QComboBox>(tab, "baudrate")->count(), 8);
  EXPECT_TRUE(Child<QRadioButton>(tab, "sourceEeprom")->isChecked());
  EXPECT_TRUE(Child<QRadioButton>(tab, "sourceDip")->isEnabled());
  EXPECT_TRUE(Child<QLineEdit>(tab, "nodeId")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(tab, "clearEeprom")->isVisible());

  Child<QLineEdit>(tab, "nodeId")->setText("200");
  const int linesBefore = g_linesChanged;
  ui.expectMessage("Set CAN bus parameters of module to\nNode ID = 127,\nBaudrate = 125 k?", UiAnswer::Ok);
  Child<QPushButton>(tab, "writeEeprom")->click();
  EXPECT_EQ(field(tab, "nodeId"), "127");
  EXPECT_EQ(d->windowTitle(), "KVX 730-08,  CAN ID 127 (0x7F)");
  EXPECT_GT(g_linesChanged, linesBefore);
  EXPECT_EQ(ModuleList_LineText(d->module()), " 127\tKVX 730-08");
  // The refresh after the write asked the module on its new node.
  const std::vector<SimFrame> frames = framesToModules();
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back().id, 0x680u + 127);
  EXPECT_EQ(frames.back().data[0], 0x99);
}

TEST_F(ModuleDialogTest, BusTabSourceChoiceShowsTheDipSwitches) {
  connectDemo();
  changeModule(2, [](SimModuleConfig& c) {
    c.dipNodeSwitches = 0x12, c.dipBaudSwitches = 5;
    c.eepromNode = 1, c.eepromBaud = 3;  // node 1 is shown as 2
  });
  ModuleDialog* d = open(2);
  CanBusTab* tab = busTab(d);
  Child<QRadioButton>(tab, "sourceDip")->click();
  EXPECT_EQ(field(tab, "nodeId"), "18");
  EXPECT_EQ(Child<QComboBox>(tab, "baudrate")->currentText(), "250 k");
  EXPECT_FALSE(Child<QLineEdit>(tab, "nodeId")->isEnabled());
  Child<QRadioButton>(tab, "sourceEeprom")->click();
  EXPECT_EQ(field(tab, "nodeId"), "2");
  EXPECT_EQ(Child<QComboBox>(tab, "baudrate")->currentText(), "100 k");
  EXPECT_TRUE(Child<QLineEdit>(tab, "nodeId")->isEnabled());
}

TEST_F(ModuleDialogTest, EachBusTabKeepsTheFormatOfItsOwnModule) {
  connectDemo();
  ModuleDialog* classic = open(2);
  CanBusTab* classicTab = busTab(classic);
  ModuleDialog* newer = open(5);
  EXPECT_TRUE(busTab(newer)->format38());
  // The classic module's write still follows the classic rules after a
  // format-38 module was shown: the node is limited, not refused.
  EXPECT_FALSE(classicTab->format38());
  Child<QLineEdit>(classicTab, "nodeId")->setText("200");
  ui.expectMessage("Set CAN bus parameters of module to\nNode ID = 127,\nBaudrate = 125 k?", UiAnswer::Ok);
  Child<QPushButton>(classicTab, "writeEeprom")->click();
  EXPECT_EQ(moduleConfig(127).eepromNode, 127);
  EXPECT_EQ(classic->windowTitle(), "KVX 730-08,  CAN ID 127 (0x7F)");
  EXPECT_EQ(newer->windowTitle(), "KVX 780-01,  CAN ID 5 (0x05)");
}

TEST_F(ModuleDialogTest, DialogRecreatedWhileTheWriteQuestionIsOpen) {
  connectDemo();
  InterruptingUi boxUi;
  UiInstalled installed(&boxUi, &ui);
  ModuleDialog* d = open(2);
  ModuleRec* rec = d->module();
  CanBusTab* tab = busTab(d);
  Child<QLineEdit>(tab, "nodeId")->setText("40");
  // A scan finds the module again meanwhile: its dialog and pages are
  // re-created while the old page waits for the answer.
  boxUi.duringNextBox = [&] {
    ASSERT_EQ(ModuleList_Add(2, 'c', 16, 2, 0x85, false), 0);
    FlushDeletes();
  };
  boxUi.expectMessage("Node ID = 40", UiAnswer::Ok);
  const int linesBefore = g_linesChanged;
  Child<QPushButton>(tab, "writeEeprom")->click();
  // The confirmed write went out; the new dialog and the list show the new node.
  EXPECT_EQ(moduleConfig(40).eepromNode, 40);
  EXPECT_EQ(rec->node, 40);
  ModuleDialog* again = ModuleDialog_FromHandle(rec->dialog);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->windowTitle(), "KVX 730-08,  CAN ID 40 (0x28)");
  EXPECT_GT(g_linesChanged, linesBefore);
  EXPECT_EQ(boxUi.pendingExpectations(), 0u);
}

TEST_F(ModuleDialogTest, BusTabOfANewerModuleOffersClearing) {
  connectDemo();
  ModuleDialog* d = open(5);
  CanBusTab* tab = busTab(d);
  EXPECT_TRUE(tab->format38());
  EXPECT_FALSE(Child<QRadioButton>(tab, "sourceDip")->isEnabled());
  auto* clear = Child<QPushButton>(tab, "clearEeprom");
  EXPECT_TRUE(clear->isVisible());
  ui.expectMessage("Clear EEPROM CAN bus parameters of module?", UiAnswer::Ok);
  clear->click();
  EXPECT_EQ(moduleConfig(5).eepromNode, 255);
  EXPECT_EQ(field(tab, "nodeId"), "255");  // the refresh shows the cleared values
}

TEST_F(ModuleDialogTest, DoubleClickInTheMainWindowsListOpensTheDialogBesideIt) {
  connectDemo();
  {
    MainWindow main(nullptr);
    main.move(100, 80);
    main.show();
    listed(3);
    listed(2);
    QTreeWidget* list = main.moduleList()->list();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    list->setCurrentItem(list->topLevelItem(1));
    emit list->itemDoubleClicked(list->topLevelItem(1), 0);
    ModuleRec* rec = ModuleList_AtLine(1);
    ModuleDialog* d = ModuleDialog_FromHandle(rec->dialog);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->parentWidget(), &main);
    EXPECT_EQ(tabs(d).mid(0, 2), (QStringList{"Info", "CAN Bus"}));
    const QWidget* area = main.moduleList();
    const QPoint corner = area->mapToGlobal(QPoint(area->width(), 0));
    EXPECT_EQ(d->pos(), corner + QPoint(10, 10));

    // A dialog lying on the main window moves along with it, and its record
    // remembers where it went.
    main.resize(900, 800);
    QApplication::processEvents();
    d->move(main.pos() + QPoint(20, 40));
    main.move(140, 100);
    QApplication::processEvents();  // the window system reports the move
    EXPECT_EQ(d->pos(), QPoint(160, 140));
    EXPECT_EQ(QPoint(rec->dialogX, rec->dialogY), QPoint(160, 140));
    ModuleList_Clear();
    FlushDeletes();
    Option_SetInt("ASK_BEFORE_EXIT", 0);
  }
}

}  // namespace
