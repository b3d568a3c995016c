// The factory calibration dialogs as the technician reaches them: the
// "Factory Calibration..." buttons of the analog pages, the dialogs they
// open against simulated modules, closing with OK or the close box, the
// module list closing them when their module goes away, and the SAM base
// calibration reached from the input dialog over the CAN adapter.
// The simulator's headers come before Qt's.
#include "module/ModuleSimFixture.h"
#include "module/IoBuilder.h"
#include "module/SamAdc.h"
#include "support/PcanSim.h"
#include "support/SimChannels.h"

#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "calib/AnalogInCalibDialog.h"
#include "calib/AnalogOutCalibDialog.h"
#include "calib/SamBaseCalibDialog.h"
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

// The demo's SAMC21 module (node 3) behind the CAN adapter, through which
// the reference source on node 124 is reached as well.
class SamBaseDialogTest : public CalibDialogsTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(CalibDialogsTest::SetUp());
    clock.setPeerGraceMs(2000);  // every module here answers: room for a loaded machine
    Option_SetInt("DEBUG_MODE", 1);
    sim.setPopulation(SimPopulation::demo());
    adapter = std::make_unique<PcanSim>(sim, 0);
    ASSERT_TRUE(adapter->open()) << GetInterfaceError();
  }
  void TearDown() override {
    ModuleList_Clear();
    FlushDeletes();
    adapter.reset();
    CalibDialogsTest::TearDown();
  }
  SimSamAdc converter(int adc) {
    SimSamAdc c;
    sim.withModule(sim.findModule(0, 3), [&](SimModule& m) { c = *SimSam_Adc(m, adc); });
    return c;
  }
  static void type(QWidget* w, const char* field, const QString& text) {
    QLineEdit* f = Child<QLineEdit>(w, field);
    f->setText(text);
    emit f->textEdited(text);
  }
  static std::string text(QWidget* w, const char* name) {
    if (auto* f = w->findChild<QLineEdit*>(name)) return f->text().toStdString();
    return Child<QLabel>(w, name)->text().toStdString();
  }
  static int number(QWidget* w, const char* name) { return std::stoi(text(w, name)); }
  std::unique_ptr<PcanSim> adapter;
};

TEST_F(SamBaseDialogTest, EditOpensTheConvertersWhichAreCorrectedByHandAndAutomatically) {
  sim.withModule(sim.findModule(0, 3), [](SimModule& m) {
    for (uint8_t sub : {1, 2}) m.objects().find(0x3010, sub)->value = 0;  // both inputs 0..10 V
  });
  AnalogTab* page = ShowModulePage<AnalogTab>(listed(3), "TAB_MOD_ANALOGIN");
  ASSERT_NE(page, nullptr);
  button(page, "factoryCalib")->click();
  AnalogInCalibDialog* input = AnalogInCalib_Instance();
  ASSERT_NE(input, nullptr);
  ASSERT_TRUE(button(input, "samEdit")->isVisible());
  button(input, "samEdit")->click();
  SamBaseCalibDialog* d = SamBaseCalib_Instance();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(sim.referenceSourceOutput(), SAMBASE_SOURCE_OFF);
  // One at a time: the same module brings it to the front, another is refused.
  EXPECT_EQ(SamBaseCalib_Open(input, d->module()), d);
  ModuleRec other = *d->module();
  ui.expectMessage("SAM Base Calibration dialog already in use,\nclose it first.", UiAnswer::Ok);
  EXPECT_EQ(SamBaseCalib_Open(input, &other), nullptr);
  EXPECT_EQ(text(d, "inputs0"), "0 ");
  EXPECT_EQ(text(d, "inputs1"), "1 ");
  const int lowDigits = d->panel().status(0).lowReferenceDigits, highDigits = d->panel().status(0).highReferenceDigits;
  EXPECT_EQ(text(d, "wantedHigh1"), "9.0 Volt  " + std::to_string(highDigits));
  EXPECT_FALSE(d->findChild<QLabel*>("adcLabel0")->property("green").toBool());

  // A pair typed in reaches the converter; one beyond 16 bits is refused.
  type(d, "lowActual0", "-12");
  type(d, "lowWanted0", "400");
  button(d, "setPairLow0")->click();
  type(d, "highActual0", "3600");
  type(d, "highWanted0", "40000");
  button(d, "setPairHigh0")->click();
  type(d, "clipping1", "15");
  button(d, "setClipping1")->click();
  EXPECT_EQ(converter(0).lowActual, -12);
  EXPECT_EQ(converter(0).lowWanted, 400);
  EXPECT_EQ(converter(0).status, 1) << "the high pair was not sent";
  EXPECT_EQ(converter(1).clipping, 15);
  EXPECT_TRUE(Child<QCheckBox>(d, "lowValid0")->isChecked());
  // Giving up the valid pair resets both pairs.
  Child<QCheckBox>(d, "lowValid0")->click();
  EXPECT_EQ(converter(0).status, 0);
  EXPECT_FALSE(Child<QCheckBox>(d, "lowValid0")->isChecked());

  // The source's low point: the result and the wanted digits go into the pair's fields.
  button(d, "sourceLow0")->click();
  EXPECT_EQ(sim.referenceSourceOutput(), SAMBASE_SOURCE_LOW);
  EXPECT_NEAR(number(d, "lowActual0"), lowDigits, 400);
  EXPECT_NE(number(d, "lowActual0"), lowDigits) << "the converter's error shows";
  EXPECT_EQ(text(d, "lowWanted0"), std::to_string(lowDigits));
  button(d, "sourceOff0")->click();
  EXPECT_EQ(text(d, "clipping0"), text(d, "actual0")) << "the open input's result";
  EXPECT_NE(text(d, "clipping0"), "0");

  ui.expectMessage("Connect the VAR Eriz Ivirizaruz and\nconfigure analog inputs to 0-10 V range.", UiAnswer::Ok);
  button(d, "autoCalib0")->click();
  EXPECT_FALSE(button(d, "closeButton")->isEnabled());
  EXPECT_FALSE(button(d, "sourceLow0")->isEnabled());
  for (int i = 0; i < 40 && d->panel().autoRunning(); ++i) d->panel().autoTimer().tick();
  EXPECT_EQ(text(d, "state0"), "Auto calibration finished successfully.");
  EXPECT_EQ(text(d, "state1"), "");
  EXPECT_EQ(converter(0).status, 7);
  EXPECT_TRUE(d->findChild<QLabel*>("adcLabel0")->property("green").toBool());
  EXPECT_TRUE(button(d, "closeButton")->isEnabled());

  // With the correction on, the source's high point leaves the actual field
  // alone; the status timer shows the corrected result.
  const std::string highActual = text(d, "highActual0");
  button(d, "sourceHigh0")->click();
  EXPECT_EQ(text(d, "highActual0"), highActual);
  EXPECT_NEAR(number(d, "actual0"), highDigits, 2);
  ASSERT_EQ(SamBaseCalib_SendCalibrator(SAMBASE_SOURCE_LOW), 1);
  d->panel().statusTimer().tick();
  EXPECT_NEAR(number(d, "actual0"), lowDigits, 2);
  Child<QCheckBox>(d, "enabled0")->click();
  EXPECT_EQ(converter(0).status, 3);

  // Without debug mode only the source and the automatic calibration are offered.
  Option_SetInt("DEBUG_MODE", 0);
  d->render();
  EXPECT_FALSE(Child<QLineEdit>(d, "lowActual0")->isEnabled());
  EXPECT_FALSE(Child<QCheckBox>(d, "enabled0")->isEnabled());
  EXPECT_TRUE(button(d, "autoCalib1")->isEnabled());

  // The module goes: both dialogs close and the source is switched off.
  const ModuleRec gone = *d->module();
  ModuleList_Remove(recordOfNode(3));
  FlushDeletes();
  EXPECT_EQ(SamBaseCalib_Instance(), nullptr);
  EXPECT_EQ(AnalogInCalib_Instance(), nullptr);
  // An answer from the bus behind the source's frame: it has been heard.
  EXPECT_EQ(SamBaseCalib_Read(gone, 0, SAMBASE_STATUS), 1);
  EXPECT_EQ(sim.referenceSourceOutput(), SAMBASE_SOURCE_OFF);
  EXPECT_EQ(ui.pendingExpectations(), 0u);
}

}  // namespace
