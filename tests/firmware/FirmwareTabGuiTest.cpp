// The firmware tab in a real module dialog against a simulated module: the
// columns and marks, restart into bootloader and back, the upload through
// "Write to KVX module...", the file chooser and the file watcher.
// The simulator's headers come first: they use words that Qt defines as macros.
#include "firmware/FirmwareSimFixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "core/WideText.h"
#include "firmware/FirmwareTab.h"
#include "firmware/FwFileWatch.h"
#include "firmware/UploadDialog.h"
#include "support/GuiModuleDialogs.h"

namespace {

class FirmwareTabTest : public WithModuleDialogs<FirmwareSimTest> {
 protected:
  // Opens the module's dialog on the firmware tab.
  FirmwareTab* openTab(int node) { return ShowModulePage<FirmwareTab>(listed(node), "TAB_MOD_FIRMWARE"); }
  static QString text(QWidget* tab, const char* name) {
    if (auto* e = tab->findChild<QLineEdit*>(name)) return e->text();
    if (auto* l = tab->findChild<QLabel*>(name)) return l->text();
    if (auto* b = tab->findChild<QPushButton*>(name)) return b->text();
    ADD_FAILURE() << name;
    return {};
  }
  static QPushButton* button(QWidget* tab, const char* name) { return tab->findChild<QPushButton*>(name); }
  static bool markShown(QWidget* tab, const char* name) { return !tab->findChild<QLabel*>(name)->isHidden(); }
  static bool agrees(QWidget* tab, const char* name) {
    return tab->findChild<QLabel*>(name)->property("agrees").toBool();
  }
  // Clicks "Write to KVX module..." and drives the upload dialog's timer from
  // inside its modal loop until it closes.
  void writeAndRun(FirmwareTab* tab) {
    QTimer::singleShot(0, [tab] {
      auto* d = tab->findChild<UploadDialog*>();
      ASSERT_NE(d, nullptr);
      for (int i = 0; i < 100000 && d->run().active(); ++i) d->run().timer().tick();
    });
    button(tab, "fwWrite")->click();
  }

};

TEST_F(FirmwareTabTest, DemoModuleIsUpdatedFromAGeneratedFile) {
  addModule(2, 16, 0x85);
  startAndConnect();
  Option_SetWString("RECENT_HEXFILE", Text_Widen(firmwareFile(16)));
  FirmwareTab* tab = openTab(2);

  // The firmware runs: nothing to write, no marks, the file column is off.
  EXPECT_EQ(text(tab, "fwModuleHeading"), "Module (Firmware):");
  EXPECT_EQ(text(tab, "fwModuleType"), "KVX 730-08");
  EXPECT_EQ(text(tab, "fwModuleFirmware"), "1.0");
  EXPECT_EQ(text(tab, "fwModuleCodeStart"), "0x400");
  EXPECT_EQ(text(tab, "fwFileHeading"), "Hex File (1.4k Word Data):");
  EXPECT_EQ(text(tab, "fwFileFirmware"), "3.7");
  EXPECT_EQ(text(tab, "fwFileCodeStart"), "0x400");
  EXPECT_FALSE(markShown(tab, "fwMarkType"));
  EXPECT_FALSE(button(tab, "fwWrite")->isEnabled());
  EXPECT_FALSE(tab->findChild<QLineEdit*>("fwFileName")->isEnabled());
  EXPECT_TRUE(button(tab, "fwBrowse")->isEnabled());  // a file may be chosen before the restart
  EXPECT_EQ(text(tab, "fwRestart"), "Restart into Bootloader...");
  EXPECT_TRUE(tab->timer().active());

  // Into the bootloader: marks agree, the write button works.
  ui.expectMessage("Restart module into bootloader?", UiAnswer::Ok);
  button(tab, "fwRestart")->click();
  EXPECT_EQ(text(tab, "fwModuleHeading"), "Module (Bootloader):");
  EXPECT_TRUE(markShown(tab, "fwMarkType"));
  EXPECT_TRUE(agrees(tab, "fwMarkType") && agrees(tab, "fwMarkHardware") && agrees(tab, "fwMarkCodeStart"));
  EXPECT_TRUE(button(tab, "fwWrite")->isEnabled());
  EXPECT_EQ(text(tab, "fwRestart"), "Restart into Firmware...");

  ui.expectMessage("Upload hex file\ninto KVX module?", UiAnswer::Ok);
  ui.expectMessage("Firmware upload finished successfully", UiAnswer::Ok);
  writeAndRun(tab);
  EXPECT_FALSE(FwUpload_Running());
  EXPECT_TRUE(tab->timer().active());

  ui.expectMessage("Restart module into firmware?", UiAnswer::Ok);
  button(tab, "fwRestart")->click();
  EXPECT_EQ(text(tab, "fwModuleHeading"), "Module (Firmware):");
  EXPECT_EQ(text(tab, "fwModuleFirmware"), "3.7");
}

TEST_F(FirmwareTabTest, WrongFileKeepsTheWriteButtonOffAndShowsCrosses) {
  addModule(2, 16, 0x01);
  startAndConnect();
  Option_SetWString("RECENT_HEXFILE", Text_Widen(firmwareFile(17, "other.hex")));
  FirmwareTab* tab = openTab(2);
  EXPECT_TRUE(markShown(tab, "fwMarkType"));
  EXPECT_FALSE(agrees(tab, "fwMarkType"));
  EXPECT_TRUE(agrees(tab, "fwMarkHardware"));
  EXPECT_EQ(text(tab, "fwFileType"), "KVX 720-08");
  EXPECT_FALSE(button(tab, "fwWrite")->isEnabled());
  EXPECT_FALSE(button(tab, "fwRestart")->isEnabled());  // no firmware to go to

  // Choosing the right file refreshes and stores it for every firmware tab.
  const std::string right = firmwareFile(16, "right.hex");
  ui.expectOpenFile(right);
  button(tab, "fwBrowse")->click();
  EXPECT_EQ(ui.calls()[ui.calls().size() - 1].find("open|Open Firmware Hex File for KVX 730-08"), 0u)
      << ui.calls().back();
  EXPECT_TRUE(button(tab, "fwWrite")->isEnabled());
  EXPECT_EQ(Text_Narrow(Option_GetWString("RECENT_HEXFILE")), right);
}

TEST_F(FirmwareTabTest, ChangedFileIsReadAgainOnceItSettled) {
  addModule(2, 16, 0x01);
  startAndConnect();
  const std::string file = firmwareFile(16);
  Option_SetWString("RECENT_HEXFILE", Text_Widen(file));
  FirmwareTab* tab = openTab(2);
  EXPECT_TRUE(button(tab, "fwWrite")->isEnabled());
  ui.fire(&tab->timer());  // the watcher takes the file as shown

  WriteWholeFile(file, ":0400000001020304F3\r\n");  // a bad checksum now
  ui.fire(&tab->timer());  // change seen
  ui.fire(&tab->timer());  // settled one tick
  EXPECT_TRUE(button(tab, "fwWrite")->isEnabled());  // not yet read again
  ui.expectMessage("Hex file read error:\n", UiAnswer::Ok);
  Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  ui.fire(&tab->timer());
  EXPECT_FALSE(button(tab, "fwWrite")->isEnabled());
  EXPECT_TRUE(tab->timer().active());
}

TEST_F(FirmwareTabTest, SecondUploadIsRefusedWhileOneRuns) {
  addModule(2, 16, 0x01);
  startAndConnect();
  Option_SetWString("RECENT_HEXFILE", Text_Widen(firmwareFile(16)));
  FirmwareTab* tab = openTab(2);
  FwUpload_SetRunning(true);
  ui.expectMessage("Another upload is currently running,\nplease try again after that upload has finished.",
                   UiAnswer::Ok);
  button(tab, "fwWrite")->click();
  FwUpload_SetRunning(false);
}

}  // namespace
