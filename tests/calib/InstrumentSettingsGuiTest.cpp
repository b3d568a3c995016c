// The "Calibrator" and "Testo 701" settings pages: loading from and storing
// to the options, and their "Test" buttons.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "calib/CalibratorSettingsTab.h"
#include "calib/InstrumentFixture.h"
#include "calib/TestoSettingsTab.h"
#include "support/GuiHelpers.h"

namespace {

using InstrumentPagesTest = InstrumentTest;

TEST_F(InstrumentPagesTest, CalibratorPageLoadsStoresAndTests) {
  Option_SetInt("METRAHIT_ADDR", 22);
  Option_SetInt("VORNBOX1_ADDR", 4);
  Option_SetWString("CALIB_SEQ_DIR2", L"/srv/sequences");
  CalibratorSettingsTab page;
  EXPECT_EQ(page.objectName(), "TAB_SET_CALIBRATOR");
  page.load();
  QComboBox* port = Child<QComboBox>(&page, "metrahitPort");
  EXPECT_EQ(port->currentText().toStdString(), metrahit.devicePath());  // a pseudo-terminal stays selected
  EXPECT_EQ(Child<QComboBox>(&page, "metrahitAddress")->currentText(), "15 (Broadcast)");
  EXPECT_EQ(Child<QComboBox>(&page, "vornboxAddress")->currentText(), "4");
  EXPECT_EQ(Child<QLineEdit>(&page, "seqDir2")->text(), "/srv/sequences");

  Child<QComboBox>(&page, "vornboxAddress")->setCurrentIndex(1);
  Child<QLineEdit>(&page, "seqDir3")->setText("/tmp/more");
  page.store();
  EXPECT_EQ(Option_GetInt("METRAHIT_ADDR"), 15);
  EXPECT_EQ(Option_GetInt("VORNBOX1_ADDR"), 1);
  EXPECT_EQ(Option_GetString("METRAHIT_COMPORTNAME"), metrahit.devicePath());
  EXPECT_EQ(Option_GetWString("CALIB_SEQ_DIR3"), L"/tmp/more");

  ui.expectMessage("Test successful", UiAnswer::Ok);
  Child<QPushButton>(&page, "metrahitTest")->click();
  EXPECT_EQ(heard(metrahit.device(), 1), (std::vector<std::string>{"ADDR 15"}));
}

TEST_F(InstrumentPagesTest, TestoPageLoadsStoresAndTests) {
  Option_SetString("TESTO_COMPORTNAME", testo.devicePath().c_str());
  Option_SetInt("TESTO_CHAN", 2);
  TestoSettingsTab page;
  EXPECT_EQ(page.objectName(), "TAB_SET_TESTO");
  page.load();
  EXPECT_EQ(Child<QComboBox>(&page, "testoPort")->currentText().toStdString(), testo.devicePath());
  EXPECT_EQ(Child<QComboBox>(&page, "testoChannel")->currentText(), "2");
  EXPECT_FALSE(Child<QCheckBox>(&page, "testoUseAsReference")->isChecked());

  Child<QComboBox>(&page, "testoChannel")->setCurrentIndex(0);
  Child<QCheckBox>(&page, "testoUseAsReference")->setChecked(true);
  page.store();
  EXPECT_EQ(Option_GetInt("TESTO_CHAN"), 1);
  EXPECT_EQ(Option_GetInt("ANALOGCALIB_USE_TESTO"), 1);

  ui.expectMessage("Test successful\nCom Port " + testo.devicePath() + "\nChannel 1", UiAnswer::Ok);
  Child<QPushButton>(&page, "testoTest")->click();
}

}  // namespace
