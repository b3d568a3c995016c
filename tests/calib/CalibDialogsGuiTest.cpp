// The factory calibration dialogs as the technician reaches them: the
// "Factory Calibration..." buttons of the analog pages, the dialogs they
// open against simulated modules, closing with OK or the close box, and the
// module list closing them when their module goes away.
// The simulator's headers come before Qt's.
#include "module/ModuleSimFixture.h"
#include "module/IoBuilder.h"
#include "support/SimChannels.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>

#include "calib/AnalogInCalibDialog.h"
#include "calib/AnalogOutCalibDialog.h"
#include "io/AnalogTab.h"
#include "support/GuiModuleDialogs.h"

namespace {

constexpr uint32_t kMultiIo = 30;  // "KVX 760-01": analog inputs and outputs

class CalibDialogsTest : public WithModuleDialogs<ModuleSimTest> {
 protected:
  void SetUp() override {
    WithModuleDialogs::SetUp();
    FactoryMode_Set(true);
    ASSERT_NO_FATAL_FAILURE(startAndConnect());
  }

  // A module with two voltage inputs and two outputs at `node`.
  void serve(int node) {
    SimModuleConfig c = SimModuleConfig::make(0, node, kMultiIo);
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100, 0x0103}, 2, 0x6401));
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogOut, 3, {0x0104, 0x010C}, 2, 0x6411));
    ASSERT_GE(sim.addModule(c), 0);
  }
  AnalogTab* openPage(int node, const char* pageName) {
    ModuleRec* rec = recordOfNode(node);
    return ShowModulePage<AnalogTab>(rec ? rec : listed(node), pageName);
  }
  static QPushButton* button(QWidget* w, const char* name) { return Child<QPushButton>(w, name); }
  uint32_t object(int node, uint16_t index, uint8_t sub) {
    uint32_t v = 0;
    sim.readObject(sim.findModule(0, node), index, sub, v);
    return v;
  }
};

TEST_F(CalibDialogsTest, FactoryCalibrationIsOfferedInFactoryModeOnly) {
  serve(9);
  for (bool factory : {true, false}) {
    FactoryMode_Set(factory);
    for (const char* page : {"TAB_MOD_ANALOGIN", "TAB_MOD_ANALOGOUT"}) {
      AnalogTab* tab = openPage(9, page);
      ASSERT_NE(tab, nullptr) << page;
      EXPECT_EQ(button(tab, "factoryCalib")->isVisible(), factory) << page;
    }
    ModuleList_Clear();
  }
}

TEST_F(CalibDialogsTest, TheInputDialogHasARowPerChannelAndGoesWithItsModule) {
  serve(9);
  AnalogTab* page = openPage(9, "TAB_MOD_ANALOGIN");
  ASSERT_NE(page, nullptr);
  button(page, "factoryCalib")->click();
  AnalogInCalibDialog* dialog = AnalogInCalib_Instance();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->objectName(), "DIALOG_ANALOGINCALIB");
  EXPECT_TRUE(dialog->windowTitle().endsWith(",  Analog Input Factory Calibration")) << dialog->windowTitle().toStdString();
  EXPECT_NE(dialog->findChild<QPushButton*>("out1"), nullptr);
  EXPECT_EQ(dialog->findChild<QPushButton*>("out2"), nullptr);
  EXPECT_EQ(button(dialog, "out1")->text(), "Out to Ch 1");
  EXPECT_FALSE(button(dialog, "samEdit")->isVisible()) << "not a SAMC21 module";
  EXPECT_FALSE(page->findChild<QCheckBox*>("autoUpdate")->isEnabled());

  // The same module's page brings it to the front; another module cannot have one.
  EXPECT_EQ(AnalogInCalib_Open(page), dialog);
  serve(10);
  AnalogTab* other = openPage(10, "TAB_MOD_ANALOGIN");
  ASSERT_NE(other, nullptr);
  ui.expectMessage("Analog Input Calibration dialog already in use,\nclose it first.", UiAnswer::Ok);
  EXPECT_EQ(AnalogInCalib_Open(other), nullptr);

  ModuleList_Remove(recordOfNode(9));
  FlushDeletes();
  EXPECT_EQ(AnalogInCalib_Instance(), nullptr);
}

TEST_F(CalibDialogsTest, OkRestoresTheOutputsConfigurationTheCloseBoxLeavesIt) {
  serve(9);
  for (bool ok : {true, false}) {
    SCOPED_TRACE(ok);
    AnalogTab* page = openPage(9, "TAB_MOD_ANALOGOUT");
    ASSERT_NE(page, nullptr);
    button(page, "factoryCalib")->click();
    AnalogOutCalibDialog* dialog = AnalogOutCalib_Instance();
    ASSERT_NE(dialog, nullptr);
    auto* configs = dialog->findChild<QComboBox*>("configList");
    ASSERT_EQ(configs->count(), 3);
    configs->setCurrentIndex(2);
    emit configs->activated(2);  // 0x010C
    EXPECT_EQ(object(9, 0x3011, 1), 1u);
    EXPECT_TRUE(button(dialog, "setOutput")->isEnabled());
    if (ok)
      button(dialog, "okButton")->click();
    else
      dialog->close();
    FlushDeletes();
    EXPECT_EQ(AnalogOutCalib_Instance(), nullptr);
    EXPECT_EQ(object(9, 0x3011, 1), ok ? 0u : 1u);
    // The page is back: its channel shows what the module now uses.
    EXPECT_TRUE(button(page, "factoryCalib")->isEnabled());
  }
}

TEST_F(CalibDialogsTest, TheModuleMayGoWhileTheDialogShowsABox) {
  serve(9);
  AnalogTab* page = openPage(9, "TAB_MOD_ANALOGIN");
  ASSERT_NE(page, nullptr);
  button(page, "factoryCalib")->click();
  AnalogInCalibDialog* dialog = AnalogInCalib_Instance();
  ASSERT_NE(dialog, nullptr);
  // A value update finds the module silent; while its box is up, a scan
  // finds the module gone and its dialogs close.
  InterruptingUi boxes;
  UiInstalled installed(&boxes, &ui);
  boxes.expectMessage("Module timeout", UiAnswer::Ok);
  boxes.duringNextBox = [this] { ModuleList_Remove(recordOfNode(9)); };
  sim.dropNextReplies(1);
  dialog->calib().valueTimer().tick();
  EXPECT_EQ(AnalogInCalib_Instance(), nullptr);
  EXPECT_EQ(boxes.pendingExpectations(), 0u);
  FlushDeletes();
}

}  // namespace
