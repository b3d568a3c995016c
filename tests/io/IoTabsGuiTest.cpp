// The digital, switches and analog pages of the module dialog, opened through
// the module list against simulated modules: what they show, what they send
// and how they poll.
// The simulator's headers come before Qt's, whose keyword macros ("signals",
// "slots") would otherwise rewrite names in them.
#include "module/ModuleSimFixture.h"
#include "module/IoBuilder.h"
#include "module/IoChannels.h"
#include "support/SimChannels.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include "io/AnalogTab.h"
#include "io/CalibPointsWidget.h"
#include "io/DigitalTab.h"
#include "io/SwitchesTab.h"
#include "protocol/VornProtText.h"
#include "support/GuiModuleDialogs.h"

namespace {

constexpr uint32_t kMultiIo = 30;  // a type with analog and digital inputs and outputs

class IoTabsTest : public WithModuleDialogs<ModuleSimTest> {
 protected:
  void SetUp() override {
    WithModuleDialogs::SetUp();
    ASSERT_NO_FATAL_FAILURE(startAndConnect());
  }

  void serve(int node, uint32_t type, uint8_t state, const std::function<void(SimModuleConfig&)>& build) {
    SimModuleConfig c = SimModuleConfig::make(0, node, type);
    c.state = state;
    build(c);
    ASSERT_GE(sim.addModule(c), 0);
  }
  template <class Page>
  Page* openPage(int node, const char* pageName) {
    return ShowModulePage<Page>(listed(node), pageName);
  }

  uint32_t objectValue(int node, uint16_t index, uint8_t sub) {
    uint32_t v = 0;
    sim.withModule(sim.findModule(0, node), [&](SimModule& m) {
      if (const SimObject* o = m.objects().find(index, sub)) v = o->value;
    });
    return v;
  }
  // The object writes the program sent, as their eight bytes.
  std::vector<std::vector<int>> objectWrites() {
    std::vector<std::vector<int>> out;
    for (const SimFrame& f : awaitFramesToModules(0))
      if (f.len == 8 && f.data[0] == 0x34) out.push_back(Bytes(f));
    return out;
  }
  void waitForWrites(size_t count) {
    for (int i = 0; i < 200 && objectWrites().size() < count; ++i)
      sim.waitForReceived(sim.receivedFrames().size() + 1, 5);
  }
  static QString text(QWidget* w, const char* name) { return Child<QLineEdit>(w, name)->text(); }
};

// ---- Digital Out ----------------------------------------------------------------------

TEST_F(IoTabsTest, DigitalOutScrollsSixChannelsAndWritesClickedBits) {
  FactoryMode_Set(true);  // shows the bit pattern buttons
  serve(6, kMultiIo, 0x83, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::DigitalOut, 0x1F, {0x1E07}, 6, 0x6200));
  });
  auto* page = openPage<DigitalOutTab>(6, "TAB_MOD_DIGITALOUT");
  ASSERT_NE(page, nullptr);
  auto* bar = Child<QScrollBar>(page, "scrollBar");
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 2);
  EXPECT_EQ(Child<QLabel>(page, "rowLabel0")->text(), "1");
  EXPECT_EQ(page->row(0).visible(), 8);  // 0x1E07: eight bits
  // Pre-operational: the outputs are the user's, no polling.
  EXPECT_FALSE(page->timer()->isActive());
  EXPECT_TRUE(Child<QPushButton>(page, "clear")->isEnabled());
  EXPECT_FALSE(Child<QCheckBox>(page, "autoUpdate")->isEnabled());

  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(page->firstChannel(), 2);
  EXPECT_EQ(Child<QLabel>(page, "rowLabel0")->text(), "3");
  EXPECT_EQ(Child<QLabel>(page, "rowLabel3")->text(), "6");
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(page->firstChannel(), 1);

  sim.clearTraffic();
  page->row(2).button(3)->click();  // channel 4, bit 3
  waitForWrites(4);
  EXPECT_EQ(objectValue(6, 0x6200, 4), 0x08u);
  const auto writes = objectWrites();
  ASSERT_EQ(writes.size(), 4u);  // all four shown channels are written
  EXPECT_EQ(writes[2], (std::vector<int>{0x34, 0x62, 0x00, 4, 0x08, 0, 0, 0}));
  EXPECT_EQ(page->row(2).value(), 0x08u);  // read back

  Child<QPushButton>(page, "invert")->click();
  EXPECT_EQ(page->row(2).value(), 0xF7u);
  EXPECT_EQ(objectValue(6, 0x6200, 4), 0xF7u);
  EXPECT_EQ(page->row(0).value(), 0xFFu);
  Child<QPushButton>(page, "rotateLeft")->click();   // 0xFF: full loses its top bit
  EXPECT_EQ(page->row(0).value(), 0x7Fu);
  Child<QPushButton>(page, "clear")->click();
  for (int k = 0; k < 4; ++k) EXPECT_EQ(page->row(k).value(), 0u);
  Child<QPushButton>(page, "rotateRight")->click();  // 0 becomes 1
  EXPECT_EQ(objectValue(6, 0x6200, 2), 0x01u);
}

TEST_F(IoTabsTest, DigitalOutScrollingShowsTheNewChannelsBeforeAClickWritesThem) {
  serve(7, kMultiIo, 0x83, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::DigitalOut, 0x1F, {0x1E07}, 6, 0x6200));
  });
  sim.withModule(sim.findModule(0, 7), [](SimModule& m) {
    for (uint8_t sub = 1; sub <= 6; ++sub)
      if (SimObject* o = m.objects().find(0x6200, sub)) o->value = 0x10u + sub;
  });
  auto* page = openPage<DigitalOutTab>(7, "TAB_MOD_DIGITALOUT");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->row(0).value(), 0x11u);
  Child<QScrollBar>(page, "scrollBar")->triggerAction(QAbstractSlider::SliderPageStepAdd);
  ASSERT_EQ(page->firstChannel(), 2);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(page->row(k).value(), 0x13u + uint32_t(k)) << k;
  // A click writes the four channels now shown, each with its own bits.
  page->row(0).button(0)->click();
  waitForWrites(4);
  EXPECT_EQ(objectValue(7, 0x6200, 3), 0x12u);
  EXPECT_EQ(objectValue(7, 0x6200, 6), 0x16u);
  EXPECT_EQ(objectValue(7, 0x6200, 1), 0x11u);  // no longer shown, not written
}

TEST_F(IoTabsTest, DigitalOutWatchesOutputsTheModulesProgramDrives) {
  serve(8, kMultiIo, 0x85, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::DigitalOut, 0x1F, {0x1E07}, 1, 0x6200));
    SimIoSignal program;
    program.group = SimIoGroup::DigitalOut;
    program.program = true;
    program.periodMs = 100;
    c.io.ioSignals.push_back(program);
  });
  auto* page = openPage<DigitalOutTab>(8, "TAB_MOD_DIGITALOUT");
  ASSERT_NE(page, nullptr);
  // Operational with auto-update: the module's program owns the outputs.
  EXPECT_TRUE(page->timer()->isActive());
  EXPECT_EQ(page->row(0).flags(), BITROW_FLAG_READONLY);
  EXPECT_FALSE(Child<QPushButton>(page, "clear")->isEnabled());
  EXPECT_TRUE(Child<QCheckBox>(page, "autoUpdate")->isChecked());
  EXPECT_FALSE(Child<QScrollBar>(page, "scrollBar")->isVisible());
  EXPECT_FALSE(Child<QLabel>(page, "rowLabel0")->isVisible());  // one channel: no row numbers
  // Outside factory mode there are no bit pattern buttons.
  EXPECT_FALSE(Child<QPushButton>(page, "invert")->isVisible());
  // A click on a read-only row sends nothing.
  sim.clearTraffic();
  page->row(0).button(0)->click();
  EXPECT_TRUE(objectWrites().empty());
  // The running light: one lit bit, whatever the step.
  page->tick();
  const uint32_t v = page->row(0).value();
  EXPECT_TRUE(v != 0 && (v & (v - 1)) == 0) << v;
  // A good read keeps the rows read-only: a click still sends nothing.
  EXPECT_EQ(page->row(0).flags(), BITROW_FLAG_READONLY);
  sim.clearTraffic();
  page->row(0).button(0)->click();
  EXPECT_TRUE(objectWrites().empty());

  // Auto-update off: the outputs are the user's again.
  Child<QCheckBox>(page, "autoUpdate")->click();
  EXPECT_FALSE(page->timer()->isActive());
  EXPECT_EQ(page->row(0).flags(), 0u);
  EXPECT_TRUE(Child<QPushButton>(page, "clear")->isEnabled());
}

// ---- Digital In ---------------------------------------------------------------------

TEST_F(IoTabsTest, DigitalInPollsAndAFailedReadStopsPolling) {
  serve(9, kMultiIo, 0x85, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::DigitalIn, 0x1E, {0x1E03}, 2, 0x6000));
    SimIoSignal s;
    s.group = SimIoGroup::DigitalIn;
    s.level = 0x5;
    c.io.ioSignals.push_back(s);
  });
  auto* page = openPage<DigitalInTab>(9, "TAB_MOD_DIGITALIN");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->row(0).visible(), 4);
  EXPECT_EQ(page->row(2).visible(), 0);  // no third channel
  EXPECT_EQ(Child<QLabel>(page, "rowLabel1")->text(), "2");
  EXPECT_TRUE(page->timer()->isActive());
  page->tick();
  EXPECT_EQ(page->row(0).value(), 0x5u);
  EXPECT_EQ(page->row(0).flags(), 0u);
  // Clicks on inputs change nothing.
  page->row(0).button(1)->click();
  EXPECT_EQ(page->row(0).value(), 0x5u);

  // The module stops answering object reads.
  sim.withModule(sim.findModule(0, 9), [](SimModule& m) { m.setHandler(52, [](SimModule&, const ModuleRequest&) {}); });
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  page->tick();
  EXPECT_FALSE(page->timer()->isActive());
  ModuleRec* rec = TabDialog_DataOfPage(page)->module;
  EXPECT_EQ(rec->autoUpdate, 0u);
  EXPECT_FALSE(Child<QCheckBox>(page, "autoUpdate")->isChecked());
  EXPECT_EQ(page->row(0).flags(), BITROW_FLAG_DISABLED);
}

TEST_F(IoTabsTest, DigitalInWithoutInputsSaysSo) {
  serve(10, kMultiIo, 0x85, [](SimModuleConfig&) {});
  ui.expectMessage("No digital inputs in module", UiAnswer::Ok);
  auto* page = openPage<DigitalInTab>(10, "TAB_MOD_DIGITALIN");
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(Child<QCheckBox>(page, "autoUpdate")->isEnabled());
  EXPECT_FALSE(page->timer()->isActive());
}

// ---- Switches -----------------------------------------------------------------------

TEST_F(IoTabsTest, SwitchesPageShowsNodeAndBitRateSwitches) {
  Option_SetInt("BITWIDGET_REVERSE_ORDER", 1);
  Option_SetInt("MODULETEST_MODE", 1);
  FactoryMode_Set(true);
  serve(11, kMultiIo, 0x85, [](SimModuleConfig& c) {
    c.dipNodeSwitches = 0x3A;
    c.dipBaudSwitches = 0x05;
    c.serviceButton = true;
  });
  auto* page = openPage<SwitchesTab>(11, "TAB_MOD_DIPSWITCHES");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(text(page, "nodeIdText"), "58");
  EXPECT_EQ(text(page, "baudText"), QString(VornProt_BaudName(5, 'c')));
  EXPECT_EQ(text(page, "serviceText"), "1");
  EXPECT_EQ(page->row(0).value(), 0xAu);
  EXPECT_EQ(page->row(1).value(), 3u);
  EXPECT_EQ(page->row(2).value(), 5u);
  EXPECT_EQ(page->row(3).value(), 1u);
  // Node id rows keep button 0 at the left; the bit-rate row is reversed.
  EXPECT_LT(page->row(0).button(0)->x(), page->row(0).button(1)->x());
  EXPECT_GT(page->row(2).button(0)->x(), page->row(2).button(1)->x());
  // Display only.
  page->row(0).button(2)->click();
  EXPECT_EQ(page->row(0).value(), 0xAu);
  EXPECT_TRUE(page->timer()->isActive());
}

TEST_F(IoTabsTest, SwitchesPageStopsPollingWhenASwitchReadFails) {
  Option_SetInt("MODULETEST_MODE", 1);  // the page is a factory test page
  FactoryMode_Set(true);
  serve(16, kMultiIo, 0x85, [](SimModuleConfig& c) { c.dipNodeSwitches = 0x12; });
  auto* page = openPage<SwitchesTab>(16, "TAB_MOD_DIPSWITCHES");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(text(page, "nodeIdText"), "18");
  EXPECT_TRUE(page->timer()->isActive());
  sim.withModule(sim.findModule(0, 16), [](SimModule& m) { m.setHandler(51, [](SimModule&, const ModuleRequest&) {}); });
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  page->tick();
  EXPECT_EQ(ui.pendingExpectations(), 0u);
  EXPECT_FALSE(page->timer()->isActive());
  EXPECT_EQ(TabDialog_DataOfPage(page)->module->autoUpdate, 0u);
  for (int k = 0; k < SWITCH_ROWS; ++k) EXPECT_EQ(page->row(k).flags(), BITROW_FLAG_DISABLED) << k;
  EXPECT_EQ(text(page, "nodeIdText"), "18");  // the last good reading stays
}

// ---- Analog In ----------------------------------------------------------------------

TEST_F(IoTabsTest, AnalogInShowsValuesOffChannelsAndUserPoints) {
  serve(12, kMultiIo, 0x85, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100, 0x0104}, 1, 0x6401));
    SimChannelGroup temperature = Group(SimIoGroup::AnalogIn, 11, {0x0B00}, 1, 0x6401);
    temperature.firstSubindex = 2;
    SimIo_AddChannels(c, temperature);
    SimChannelGroup off = Group(SimIoGroup::AnalogIn, 1, {0x0100, 0x0104}, 1, 0x6401, 99);
    off.firstSubindex = 3;
    SimIo_AddChannels(c, off);
    SimIoSignal volts;
    volts.level = 2.5;
    c.io.ioSignals.push_back(volts);
    SimIoSignal degrees;
    degrees.channel = 1;
    degrees.level = 100;
    c.io.ioSignals.push_back(degrees);
  });
  auto* page = openPage<AnalogInTab>(12, "TAB_MOD_ANALOGIN");
  ASSERT_NE(page, nullptr);
  auto* list = Child<QComboBox>(page, "channelList");
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->itemText(2), "2");
  EXPECT_EQ(text(page, "configText"), "Voltage, 0...10 V");
  EXPECT_FALSE(Child<QPushButton>(page, "factoryCalib")->isVisible());
  EXPECT_TRUE(page->timer()->isActive());
  EXPECT_TRUE(Child<QCheckBox>(page, "autoUpdate")->isChecked());  // the module's flag
  EXPECT_EQ(text(page, "valueText"), "");  // the first value comes with the first tick
  EXPECT_EQ(text(page, "point1Stored"), "-");
  page->tick();
  EXPECT_EQ(text(page, "valueText"), "2.5 ");  // no unit for voltage
  EXPECT_EQ(Child<QProgressBar>(page, "levelBar")->value(), 25);

  page->selectChannel(1);
  EXPECT_EQ(text(page, "configText"), QString::fromUtf8("Temp., -50...150 \u00B0C"));
  page->tick();
  EXPECT_EQ(text(page, "valueText"), QString::fromUtf8("100 \u00B0C"));
  EXPECT_EQ(Child<QProgressBar>(page, "levelBar")->value(), 75);

  page->selectChannel(2);
  EXPECT_EQ(text(page, "configText"), "(off)");
  page->tick();
  EXPECT_EQ(text(page, "valueText"), "");
  EXPECT_EQ(Child<QProgressBar>(page, "levelBar")->value(), 0);

  // A user point on channel 0: the module takes 2.6 as the true value of its 2.5.
  page->selectChannel(0);
  sim.clearTraffic();
  page->calibPoints()->entry(1)->setText("2.6");
  Child<QPushButton>(page, "point1Set")->click();
  EXPECT_EQ(text(page, "point1Stored"), "2.5");
  EXPECT_EQ(text(page, "point1Calibrated"), "2.6");
  page->tick();
  EXPECT_EQ(text(page, "valueText"), "2.6 ");  // the module applies it
  Child<QPushButton>(page, "point1Clear")->click();
  EXPECT_EQ(text(page, "point1Stored"), "-");
  page->tick();
  EXPECT_EQ(text(page, "valueText"), "2.5 ");

  TabDialog_DataOfPage(page)->module->autoUpdate = 0;  // another page cleared it
  page->selectChannel(1);
  EXPECT_FALSE(Child<QCheckBox>(page, "autoUpdate")->isChecked());
}

TEST_F(IoTabsTest, AnalogInWithoutInputsDisablesEverything) {
  serve(13, kMultiIo, 0x85, [](SimModuleConfig&) {});
  auto* page = openPage<AnalogInTab>(13, "TAB_MOD_ANALOGIN");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Child<QComboBox>(page, "channelList")->count(), 0);
  for (const char* name : {"channelList", "autoUpdate", "point1Set", "point2Clear", "point1Entry"})
    EXPECT_FALSE(page->findChild<QWidget*>(name)->isEnabled()) << name;
  EXPECT_FALSE(page->timer()->isActive());
}

TEST_F(IoTabsTest, AnalogInShowsTheSecondUserPointWhenTheFirstCannotBeRead) {
  serve(15, kMultiIo, 0x85, [](SimModuleConfig& c) {
    SimIo_AddChannels(c, Group(SimIoGroup::AnalogIn, 1, {0x0100}, 1, 0x6401));
  });
  // The module leaves the read of point 1's X of the user set unanswered.
  sim.withModule(sim.findModule(0, 15), [](SimModule& m) {
    SimModule::Handler original = m.handler(54);
    m.setHandler(54, [original](SimModule& mod, const ModuleRequest& rq) {
      if (rq.frame.data[2] != 0x1F) original(mod, rq);
    });
  });
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  auto* page = openPage<AnalogInTab>(15, "TAB_MOD_ANALOGIN");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ui.pendingExpectations(), 0u);
  EXPECT_EQ(text(page, "point1Stored"), "");
  EXPECT_EQ(text(page, "point2Stored"), "-");
  EXPECT_EQ(text(page, "point2Calibrated"), "-");
}

// ---- Analog Out ---------------------------------------------------------------------

TEST_F(IoTabsTest, AnalogOutClampsEncodesAndReadsBack) {
  serve(14, kMultiIo, 0x85, [](SimModuleConfig& c) {
    SimChannelGroup g = Group(SimIoGroup::AnalogOut, 1, {0x0104}, 2, 0x6411);
    g.aligned = true;
    SimIo_AddChannels(c, g);
  });
  auto* page = openPage<AnalogOutTab>(14, "TAB_MOD_ANALOGOUT");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Child<QLabel>(page, "valueCaption")->text(), "Set Output Value (0...4095):");
  EXPECT_EQ(text(page, "configText"), "Voltage, 0...10 V");
  EXPECT_FALSE(Child<QCheckBox>(page, "autoUpdate")->isEnabled());
  EXPECT_EQ(text(page, "outputEntry"), "0");

  auto* entry = Child<QLineEdit>(page, "outputEntry");
  auto* set = Child<QPushButton>(page, "setOutput");
  sim.clearTraffic();
  entry->setText("5000");
  set->click();
  waitForWrites(1);
  ASSERT_EQ(objectWrites().size(), 1u);
  EXPECT_EQ(objectWrites()[0], (std::vector<int>{0x34, 0x64, 0x11, 1, 0xF0, 0xFF, 0, 0}));
  EXPECT_EQ(entry->text(), "4095");
  EXPECT_EQ(Child<QProgressBar>(page, "levelBar")->value(), 100);

  entry->setText("0x1F");
  set->click();
  EXPECT_EQ(entry->text(), "0x1F");
  EXPECT_EQ(objectValue(14, 0x6411, 1), 31u << 4);

  // Channel 1 with its own user point; the caption keeps its first text.
  page->selectChannel(1);
  EXPECT_EQ(Child<QLabel>(page, "valueCaption")->text(), "Set Output Value (0...4095):");
  page->calibPoints()->entry(2)->setText("0x20");
  Child<QPushButton>(page, "point2Set")->click();
  EXPECT_EQ(text(page, "point2Calibrated"), "32");
  const std::vector<SimFrame> frames = awaitFramesToModules(1);
  bool sawCalibrate = false;
  for (const SimFrame& f : frames)
    if (f.data[0] == 0x76 && f.data[1] == 0x81 && f.data[2] == 0xBF) sawCalibrate = true;
  EXPECT_TRUE(sawCalibrate);
}

}  // namespace
