// The service pages and the serial number dialog, opened as the user opens
// them, against the simulator: what a button sends and how the answer is
// shown, and the timers that drive a dump, the LIN loop and programming.
// The simulator's headers come before Qt's, whose keyword macros ("signals",
// "slots") would otherwise rewrite names in them.
#include "module/ServiceSimFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "module/LinTestTab.h"
#include "module/PeekMemTab.h"
#include "module/PeekMemWriteDialog.h"
#include "module/RtcTab.h"
#include "module/SdoListFile.h"
#include "module/SdoTab.h"
#include "module/SerialNumberDialog.h"
#include "module/SmsTab.h"
#include "protocol/VornProtText.h"
#include "platform/Paths.h"
#include "support/GuiModuleDialogs.h"

namespace {

class ServicePagesTest : public WithModuleDialogs<ServiceSimTest> {
 protected:
  // Fires a single-shot timer as often as it is armed, the manual clock
  // following its delays; returns how often it fired.
  template <class Tick>
  int runTimer(QTimer* timer, Tick tick, int limit = 1000) {
    int fired = 0;
    while (timer->isActive() && fired < limit) {
      clock.advance(timer->interval());
      timer->stop();
      tick();
      ++fired;
    }
    return fired;
  }

  static QString text(QWidget* w, const char* name) { return Child<QLineEdit>(w, name)->text(); }
  static void click(QWidget* w, const char* name) { Child<QAbstractButton>(w, name)->click(); }
  static void type(QWidget* w, const char* name, const QString& s) { Child<QLineEdit>(w, name)->setText(s); }
  int commandCount(int command) {
    int n = 0;
    for (const auto& f : sent()) n += !f.empty() && f[0] == command;
    return n;
  }
};

TEST_F(ServicePagesTest, RtcShowsBothClocksAndSetsTheModuleFromThePcClock) {
  ModuleRec* rec = serve("module node=3 type=31 rtc=2024-12-31T12:00:00\n", 3);
  rec->autoUpdate = 1;
  auto* page = ShowModulePage<RtcTab>(rec, "TAB_MOD_RTC");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(text(page, "moduleDate"), "31 Dec 2024");
  EXPECT_TRUE(text(page, "moduleTime").startsWith("12:0"));
  EXPECT_EQ(text(page, "pcTime"), "12:00:00");
  EXPECT_EQ(text(page, "pcDate"), "06 Dec 2026");
  EXPECT_TRUE(page->timer()->isActive());
  EXPECT_FALSE(Child<QWidget>(page, "choiceOwnTime")->isVisible());  // factory mode only

  sim.clearTraffic();
  click(page, "setModuleClock");
  ASSERT_EQ(sent().size(), 7u);  // the order of the writes is the clock logic's test
  EXPECT_EQ(sent()[1], (std::vector<int>{0x74, 0x30, 0x99, 6, 26}));  // the PC's year
  // Auto Update off: the module fields show "?" and nothing is asked.
  click(page, "autoUpdate");
  EXPECT_EQ(rec->autoUpdate, 0u);
  sim.clearTraffic();
  page->tick();
  EXPECT_EQ(text(page, "moduleTime"), "?");
  EXPECT_TRUE(sent().empty());
}

TEST_F(ServicePagesTest, PeekDumpRunsOneRequestPerTickAndCanBeCancelled) {
  FactoryMode_Set(true);
  Option_SetInt("DEBUG_MODE", 1);
  ModuleRec* rec = serve("module node=6 type=16 cpu=6 state=0x01\nmemory eeprom 0 text=\"ABCDEFGHIJKLMNOPQR\"\n", 6);
  auto* page = ShowModulePage<PeekMemTab>(rec, "TAB_MOD_PEEKMEM");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Child<QLabel>(page, "cpuType")->text(), "CPU type: " + QString(VornProt_CpuName(6)));
  Child<QComboBox>(page, "memType")->setCurrentIndex(1);
  type(page, "startAddress", "0");
  type(page, "length", "18");

  sim.clearTraffic();
  click(page, "read");
  EXPECT_TRUE(page->dumpTimer()->isActive());
  EXPECT_FALSE(Child<QPushButton>(page, "read")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>(page, "cancel")->isEnabled());
  EXPECT_EQ(commandCount(0xA1), 0);
  EXPECT_EQ(runTimer(page->dumpTimer(), [page] { page->stepDump(); }), 3);  // 18 bytes, seven a request
  EXPECT_EQ(commandCount(0xA1), 3);
  EXPECT_EQ(Child<QPlainTextEdit>(page, "dump")->toPlainText(),
            "Adr(hex)  Data(hex)\n"
            "\n000000    41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50 "
            "\n000010    51 52 ");
  EXPECT_TRUE(Child<QPushButton>(page, "read")->isEnabled());

  // A long range: Cancel ends it at the next tick, the window never waited longer.
  type(page, "length", "70000");
  click(page, "read");
  page->stepDump();
  click(page, "cancel");
  EXPECT_EQ(runTimer(page->dumpTimer(), [page] { page->stepDump(); }), 1);
  EXPECT_TRUE(Child<QPlainTextEdit>(page, "dump")->toPlainText().endsWith("\nCancelled"));
  EXPECT_FALSE(Child<QPushButton>(page, "cancel")->isEnabled());
}

TEST_F(ServicePagesTest, PeekWriteDialogWritesTheDataAndShowsTheResult) {
  FactoryMode_Set(true);
  Option_SetInt("DEBUG_MODE", 1);
  ModuleRec* rec = serve("module node=6 type=16 cpu=2 state=0x01\n", 6);
  auto* page = ShowModulePage<PeekMemTab>(rec, "TAB_MOD_PEEKMEM");
  ASSERT_NE(page, nullptr);
  // "Write..." opens the dialog modally.
  QString opened;
  OnNextModal([&opened](QDialog* d) { opened = d ? d->objectName() + "|" + d->windowTitle() : ""; });
  click(page, "write");
  EXPECT_EQ(opened, "DIALOG_PEEKMEMWRITE|Write to memory");

  PeekMemWriteDialog d(*rec);
  Child<QComboBox>(&d, "memType")->setCurrentIndex(1);
  type(&d, "startAddress", "0x10");
  type(&d, "data", "0x10 0x20 \"AB\" 7");
  sim.clearTraffic();
  click(&d, "writeData");
  EXPECT_EQ(eeprom(6, 0x10, 5), (std::vector<int>{0x10, 0x20, 0x41, 0x42, 0x07}));
  EXPECT_EQ(Child<QLabel>(&d, "hint")->text(), "5 bytes written:\n0x10 0x20 0x41 0x42 0x07 ");
}

TEST_F(ServicePagesTest, LinPageSendsOneMessageAndRunsTheLoopUntilStartIsUnticked) {
  Option_SetInt("MODULETEST_MODE", 1);
  ModuleRec* rec = serve("module node=20 type=133\nlinslave node=5 type=51\nmodule node=5 type=51\n", 5);
  Option_SetInt("LIN_MASTER_ID", 20);
  auto* page = ShowModulePage<LinTestTab>(rec, "TAB_MOD_LINTEST");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(text(page, "masterNode"), "0x14");

  click(page, "sendMessage");
  EXPECT_FALSE(Child<QPushButton>(page, "sendMessage")->isEnabled());
  runTimer(page->exchangeTimer(), [page] { page->step(); });
  EXPECT_EQ(text(page, "result"), "OK");
  EXPECT_EQ(text(page, "slaveName"), "KVX 781-01");
  EXPECT_EQ(text(page, "slaveNode"), "5");
  EXPECT_TRUE(Child<QLabel>(page, "checkMark")->isVisibleTo(page));
  EXPECT_FALSE(Child<QLabel>(page, "crossMark")->isVisibleTo(page));
  EXPECT_TRUE(Child<QPushButton>(page, "sendMessage")->isEnabled());

  // "Start": exchanges follow each other; unticked, the running one completes.
  click(page, "start");
  int fired = 0;
  while (text(page, "okCount") != "2" && fired++ < 100) {
    clock.advance(page->exchangeTimer()->interval());
    page->exchangeTimer()->stop();
    page->step();
  }
  click(page, "start");
  runTimer(page->exchangeTimer(), [page] { page->step(); });
  EXPECT_FALSE(page->exchangeTimer()->isActive());
  EXPECT_EQ(text(page, "sentCount"), "3");
  EXPECT_EQ(text(page, "okCount"), "3");
  EXPECT_EQ(text(page, "failedCount"), "0");
}

TEST_F(ServicePagesTest, SdoPageReadsWritesAndWatchesItsRows) {
  FactoryMode_Set(true);  // room for more than two entries
  Option_SetInt("DEBUG_MODE", 1);
  ModuleRec* rec = serve("module node=31 type=31 state=0x85\nobject 0x2000.5 uint8 rw 200\n"
                         "object 0x2000.11 uint16 ro 1000\n", 31);
  Platform_MakeFolders(SdoListFile_Folder());
  WriteWholeFile(SdoListFile_Path(*rec), "0\tByte\t0x2000\t5\t\n256\tCount\t0x2000\t11\t\n");
  rec->autoUpdate = 0;
  auto* page = ShowModulePage<SdoTab>(rec, "TAB_MOD_SDO");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(text(page, "name0"), "Byte");
  EXPECT_EQ(text(page, "type0"), "UINT8");
  EXPECT_TRUE(Child<QCheckBox>(page, "cyclic1")->isChecked());
  EXPECT_FALSE(Child<QLineEdit>(page, "name2")->isVisibleTo(page));
  EXPECT_FALSE(Child<QPushButton>(page, "write1")->isEnabled());  // read-only entry

  click(page, "read0");
  EXPECT_EQ(text(page, "value0"), "200");
  type(page, "value0", "7");
  sim.clearTraffic();
  click(page, "write0");
  EXPECT_EQ(sent(), (std::vector<std::vector<int>>{{0x74, 0x20, 0x00, 5, 7, 0, 0, 0}}));

  // Auto Update: the timer reads the cyclic row, whose controls are locked.
  EXPECT_FALSE(page->timer()->isActive());
  click(page, "autoUpdate");
  EXPECT_EQ(rec->autoUpdate, 1u);
  EXPECT_TRUE(page->timer()->isActive());
  EXPECT_TRUE(Child<QLineEdit>(page, "value1")->isReadOnly());
  page->tick();
  EXPECT_EQ(text(page, "value1"), "1000");

  Child<QComboBox>(page, "format")->activated(1);  // "Hex"
  EXPECT_EQ(text(page, "value1"), "0x03e8");
  click(page, "append");
  EXPECT_TRUE(Child<QLineEdit>(page, "name2")->isVisibleTo(page));
}

TEST_F(ServicePagesTest, SmsPageScrollsEditsAndWritesOnlyTheChangedEntry) {
  ModuleRec* rec = serve("module node=31 type=31 cpu=2 state=0x85 sms=6/0x100/192\n"
                         "smsentry 0 phone=\"+49 170 1\" text=\"Boiler fault\"\n"
                         "smsentry 5 phone=\"+49 170 6\" text=\"Last one\"\n", 31);
  auto* page = ShowModulePage<SmsTab>(rec, "TAB_MOD_SMS");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(text(page, "smsPhone0"), "+49 170 1");
  EXPECT_EQ(text(page, "smsText0"), "Boiler fault");
  EXPECT_TRUE(Child<QPushButton>(page, "writeModule")->isVisibleTo(page));

  auto* bar = Child<QScrollBar>(page, "scrollBar");
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);  // to the last four
  EXPECT_EQ(Child<QLabel>(page, "smsNumber0")->text(), "2");
  EXPECT_EQ(text(page, "smsText3"), "Last one");
  EXPECT_EQ(bar->value(), 2);

  type(page, "smsText3", "Edited");
  sim.clearTraffic();
  click(page, "writeModule");
  EXPECT_EQ(commandCount(0x1B), 1);  // one entry
  const std::vector<int> stored = eeprom(31, 0x100 + 5 * 192 + 30, 7);
  EXPECT_EQ(stored, (std::vector<int>{'E', 'd', 'i', 't', 'e', 'd', 0}));

  const std::string file = Platform_HomeFile("sms.xml");
  ui.expectSaveFile(file);
  click(page, "saveFile");
  EXPECT_NE(ReadWholeFile(file).find("<text>Edited</text>"), std::string::npos);
}

TEST_F(ServicePagesTest, SerialNumberMenuOpensTheDialogThatProgramsTheSelectedModules) {
  MainWindow main(nullptr);  // with an empty module list
  serve("module node=3 type=16 serials=5/0\nmodule node=4 type=17 serials=0/0\n", 3);
  listed(4);
  QAction* action = main.action("actionSerialNumber");
  ASSERT_TRUE(action->isEnabled());
  QStringList cells;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<SerialNumberDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "Module Serial Number");
    EXPECT_FALSE(d->findChild<QWidget*>("manufGroup")->isVisible());
    auto* list = d->findChild<QTreeWidget*>("snModuleList");
    EXPECT_EQ(list->topLevelItem(0)->text(kSnColUser), "5");
    Child<QPushButton>(d, "selectAll")->click();
    EXPECT_EQ(list->topLevelItem(1)->checkState(kSnColSelect), Qt::Checked);
    Child<QLineEdit>(d, "userSerial")->setText("0x10");
    Child<QCheckBox>(d, "userAutoIncrement")->setChecked(true);
    ui.expectMessage("Set user serial in 2 modules?", UiAnswer::Ok);
    Child<QPushButton>(d, "applyUser")->click();
    EXPECT_FALSE(Child<QPushButton>(d, "closeButton")->isEnabled());
    ui.expectMessage("Setting serial finished, all modules ok.", UiAnswer::Ok);
    while (d->programTimer()->isActive()) {
      d->programTimer()->stop();
      d->step();
    }
    for (int r = 0; r < 2; ++r) cells << list->topLevelItem(r)->text(kSnColUser) << list->topLevelItem(r)->text(kSnColResult);
    EXPECT_EQ(Child<QLineEdit>(d, "userSerial")->text(), "0x00000012");
    Child<QPushButton>(d, "closeButton")->click();
  });
  action->trigger();
  EXPECT_EQ(cells, (QStringList{"16", "Ok", "17", "Ok"}));
  EXPECT_EQ(ReadWholeFile(SerialFile_Path()), "NEXTUSERSERIAL=0x00000012\n");
  Option_SetInt("ASK_BEFORE_EXIT", 0);
}

}  // namespace
