// The "Multi Update" dialog against simulated modules: the file rows, the
// module list with its check boxes and result column, the buttons while idle
// and while running, a whole run, and closing during a run.
// The simulator's headers come first: they use words that Qt defines as macros.
#include "firmware/FirmwareSimFixture.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

#include "core/WideText.h"
#include "firmware/MultiUpdateDialog.h"
#include "support/GuiHelpers.h"

namespace {

class MultiUpdateDialogTest : public FirmwareSimTest {
 protected:
  static QPushButton* button(QWidget* d, const char* name) { return d->findChild<QPushButton*>(name); }
  static QTreeWidget* list(QWidget* d) { return d->findChild<QTreeWidget*>("muModuleList"); }
  static QString cell(QWidget* d, int row, int column) { return list(d)->topLevelItem(row)->text(column); }
};

TEST_F(MultiUpdateDialogTest, TicksAndRunUpdateTheChosenModules) {
  addModule(2, 16, 0x85);
  addModule(6, 16, 0x01);
  addModule(4, 48, 0x85);
  startAndConnect();
  for (int node : {6, 2, 4}) listed(node);
  Option_SetWString("RECENT_HEXFILE_LIST", Text_Widen(firmwareFile(16)));
  Option_SetInt("MULTI_UPDATE_RETRIES", 2);

  MultiUpdateDialog d;
  EXPECT_EQ(d.objectName(), "DIALOG_MULTIUPDATE");
  EXPECT_EQ(d.windowTitle(), "Multi Update");
  QTreeWidget* l = list(&d);
  ASSERT_EQ(l->topLevelItemCount(), 3);
  EXPECT_EQ(HeaderTexts(l), QStringList({"Select", "CAN ID", "Module Name", "Status", "Firmware", "Bootloader", "Result"}));
  EXPECT_EQ(cell(&d, 0, 1), "2");
  EXPECT_EQ(cell(&d, 2, 2), "KVX 730-08");  // node 6
  EXPECT_EQ(d.findChild<QLabel*>("muModule1")->text(), "KVX 730-08");
  EXPECT_EQ(d.findChild<QLabel*>("muVersion1")->text(), "3.7");
  EXPECT_FALSE(button(&d, "muSelect2")->isEnabled());  // no file in the second row
  EXPECT_EQ(d.findChild<QSpinBox*>("muRetries")->value(), 2);
  EXPECT_FALSE(button(&d, "muStop")->isEnabled());
  d.show();  // the file rows lie one under the other, above the module list
  EXPECT_LT(button(&d, "muChoose1")->geometry().bottom(), button(&d, "muChoose2")->y());
  EXPECT_LT(button(&d, "muChoose4")->geometry().bottom(), l->y());

  // Header clicks: by name, then the same column reversed.
  l->header()->sectionClicked(2);
  EXPECT_EQ(cell(&d, 0, 2), "KVX 730-08");
  l->header()->sectionClicked(2);
  EXPECT_EQ(cell(&d, 0, 2), "KVX 780-01");
  l->header()->sectionClicked(1);
  EXPECT_EQ(cell(&d, 0, 1), "2");

  // The row's "Select" ticks both modules of the type; the user unticks node 6 again.
  button(&d, "muSelect1")->click();
  EXPECT_EQ(d.findChild<QLabel*>("muStatus")->text(), "2 selected");
  l->topLevelItem(2)->setCheckState(0, Qt::Unchecked);

  ui.expectMessage("Update 1 module?", UiAnswer::Ok);
  button(&d, "muStart")->click();
  EXPECT_TRUE(button(&d, "muStop")->isEnabled());
  EXPECT_FALSE(button(&d, "muStart")->isEnabled());
  EXPECT_FALSE(button(&d, "muClose")->isEnabled());
  ui.expectMessage("Update finished, all modules ok.", UiAnswer::Ok);
  for (int i = 0; i < 100000 && d.update().running(); ++i) ui.fire(&d.update().timer());
  EXPECT_EQ(cell(&d, 0, 6), "Ok");
  EXPECT_EQ(cell(&d, 0, 4), "3.7");  // the firmware read back after the restart
  EXPECT_EQ(cell(&d, 2, 6), "");
  EXPECT_EQ(l->topLevelItem(0)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(d.findChild<QLabel*>("muStatus")->text(), "Update finished, all modules ok.");
  EXPECT_EQ(d.findChild<QProgressBar*>("muProgress")->value(), 0);

  d.findChild<QSpinBox*>("muRetries")->setValue(4);
  button(&d, "muClear1")->click();
  button(&d, "muClose")->click();
  EXPECT_EQ(Option_GetInt("MULTI_UPDATE_RETRIES"), 4);
  EXPECT_EQ(Option_GetWString("RECENT_HEXFILE_LIST"), L"");
}

TEST_F(MultiUpdateDialogTest, EscapeDuringARunEndsItWithoutTheSummary) {
  addModule(2, 16, 0x85);
  startAndConnect();
  listed(2);
  Option_SetWString("RECENT_HEXFILE_LIST", Text_Widen(firmwareFile(16)));
  MultiUpdateDialog d;
  button(&d, "muSelectAll")->click();
  ui.expectMessage("Update 1 module?", UiAnswer::Ok);
  button(&d, "muStart")->click();
  ui.fire(&d.update().timer());
  QMetaObject::invokeMethod(&d, "reject");
  EXPECT_FALSE(d.update().running());
  EXPECT_FALSE(FwUpload_Running());
  EXPECT_FALSE(ui.waitCursor());
}

TEST_F(MultiUpdateDialogTest, ChoosingAFileFillsItsRow) {
  ui.expectMessage("The Module list is emtpy", UiAnswer::Ok);
  MultiUpdateDialog d;
  EXPECT_FALSE(button(&d, "muStart")->isEnabled());
  const std::string file = firmwareFile(48, "rc.hex");
  ui.expectOpenFile(file);
  button(&d, "muChoose3")->click();
  EXPECT_EQ(ui.calls().back(), "open|Open Firmware Hex File");
  EXPECT_EQ(d.findChild<QLineEdit*>("muFile3")->text().toStdString(), file);
  EXPECT_EQ(d.findChild<QLabel*>("muModule3")->text(), "KVX 780-01");
  EXPECT_TRUE(button(&d, "muSelect3")->isEnabled());
}

}  // namespace
