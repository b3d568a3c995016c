// The search dialog with real widgets against the simulated modules: the
// repeated search, a module found, automatic node assignment from the number
// field, Configure and Close, and a link that fails.
#include "FakeDialogs.h"
#include "ProtocolSimFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/ErrorReport.h"
#include "protocol/SearchDialog.h"
#include "support/GuiHelpers.h"

namespace {

class SearchDialogTest : public ProtocolSimTest {
 protected:
  void SetUp() override {
    ProtocolSimTest::SetUp();
    connectTestBus();
    Option_SetInt("MSGREQUEST_TIMEOUT_MS", 30);
    Option_SetInt("ERRORS_IN_STATUSBAR", 0);
    FakeDialogs::install();
  }
  QString found(SearchDialog& d) { return Child<QLabel>(&d, "searchFound")->text(); }
  QCheckBox* check(SearchDialog& d) { return Child<QCheckBox>(&d, "searchAutoAssign"); }
  QLineEdit* field(SearchDialog& d) { return Child<QLineEdit>(&d, "searchNextNode"); }
  QPushButton* configure(SearchDialog& d) { return Child<QPushButton>(&d, "searchConfigure"); }
  void fire(SearchDialog& d) { ui.fire(&d.run().timer()); }
  // The module's front button is pressed; one tick asks, the next one finds
  // it (or the first, when the module already answered an earlier request).
  void findModule(SearchDialog& d, int node) {
    ASSERT_TRUE(sim.pressButton(sim.findModule(0, node)));
    const int before = d.run().foundCount();
    for (int round = 0; round < 4 && d.run().foundCount() == before; ++round) {
      fire(d);
      if (d.run().foundCount() == before) awaitStored(1);
    }
    ASSERT_EQ(d.run().foundCount(), before + 1);
  }
  void setAssignment(SearchDialog& d, const char* text) {
    check(d)->setChecked(true);
    field(d)->setText(text);
  }
  int writesOfBusParameters() {
    int n = 0;
    for (const SimFrame& f : framesToModules()) n += f.data[0] == 0x59 || f.data[0] == 0x99;
    return n;
  }
};

TEST_F(SearchDialogTest, OpensIdleAndDropsModulesOfAnEarlierSearch) {
  ModuleList_Add(0, 'c', 16, 1, 0x82, false);
  ModuleList_Add(5, 'c', 48, 3, 0x85, false);
  Option_SetInt("SEARCH_SEND_INTERVAL_MS", 350);
  SearchDialog d(nullptr);
  EXPECT_EQ(d.windowTitle(), "Search a Module");
  EXPECT_EQ(Child<QLabel>(&d, "searchInstruction")->text(),
            "Press the front button of the module which you want to find\n(for at least 1 second)...");
  EXPECT_EQ(found(d), "");
  EXPECT_FALSE(configure(d)->isEnabled());
  EXPECT_FALSE(check(d)->isChecked());
  EXPECT_FALSE(field(d)->isEnabled());
  EXPECT_EQ(field(d)->text(), "2");
  EXPECT_EQ(ui.armedPeriod(&d.run().timer()), 350);
  ASSERT_EQ(ModuleList_Count(), 1);
  EXPECT_EQ(ModuleList_Next(nullptr)->node, 5);
  check(d)->setChecked(true);
  EXPECT_TRUE(field(d)->isEnabled());
}

TEST_F(SearchDialogTest, RepeatsTheSearchUntilAModuleAnswersThenStops) {
  SearchDialog d(nullptr);
  fire(d);
  fire(d);
  EXPECT_EQ(awaitFramesToModules(2).size(), 2u);
  EXPECT_TRUE(ui.isArmed(&d.run().timer()));
  EXPECT_EQ(found(d), "");

  findModule(d, 3);
  EXPECT_EQ(found(d), "KVX 740-02");
  EXPECT_EQ(ui.beeps(), 1);
  EXPECT_FALSE(ui.isArmed(&d.run().timer()));
  EXPECT_TRUE(configure(d)->isEnabled());
  EXPECT_FALSE(check(d)->isEnabled());
  EXPECT_FALSE(Child<QLabel>(&d, "searchInstruction")->isEnabled());

  configure(d)->click();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(FakeDialogs::calls, std::vector<std::string>{"open 0"});
  EXPECT_EQ(lines(), std::vector<std::string>{" -\tKVX 740-02"});
}

TEST_F(SearchDialogTest, AModuleOfUnknownTypeShowsItsTypeNumber) {
  Option_SetInt("PLAY_SOUNDS", 0);
  SearchDialog d(nullptr);
  findModule(d, 12);
  EXPECT_EQ(found(d), "Unknown module type #99");
  EXPECT_EQ(ui.beeps(), 0);
}

TEST_F(SearchDialogTest, AutoAssignmentFromAHexFieldNumbersModulesAndGoesOn) {
  SearchDialog d(nullptr);
  const SimModuleId first = sim.findModule(0, 3), second = sim.findModule(0, 2);
  setAssignment(d, "0x10");
  findModule(d, 3);
  EXPECT_EQ(sim.moduleNode(first), 16);
  EXPECT_EQ(field(d)->text(), "17");
  EXPECT_TRUE(check(d)->isChecked());
  EXPECT_TRUE(field(d)->isEnabled());
  EXPECT_TRUE(ui.isArmed(&d.run().timer()));
  EXPECT_FALSE(configure(d)->isEnabled());

  findModule(d, 2);
  EXPECT_EQ(sim.moduleNode(second), 17);
  EXPECT_EQ(field(d)->text(), "18");
  EXPECT_EQ(lines(), (std::vector<std::string>{" 16\tKVX 740-02", " 17\tKVX 730-08"}));
  EXPECT_TRUE(FakeDialogs::calls.empty());
}

TEST_F(SearchDialogTest, AssignmentAt127GivesTheLastNodeThenStops) {
  SearchDialog d(nullptr);
  const SimModuleId id = sim.findModule(0, 3);
  setAssignment(d, "127");
  findModule(d, 3);
  EXPECT_EQ(sim.moduleNode(id), 127);
  EXPECT_EQ(field(d)->text(), "127");
  EXPECT_FALSE(check(d)->isChecked());
  EXPECT_FALSE(field(d)->isEnabled());
  EXPECT_FALSE(ui.isArmed(&d.run().timer()));
  EXPECT_EQ(lines(), std::vector<std::string>{" 127\tKVX 740-02"});
  // Configure opens the module where it answers now, without a second record.
  configure(d)->click();
  EXPECT_EQ(FakeDialogs::calls, std::vector<std::string>{"open 127"});
  EXPECT_EQ(ModuleList_Count(), 1);
}

TEST_F(SearchDialogTest, AFieldOutsideTheRangeSwitchesAssignmentOffBeforeAnyChange) {
  SearchDialog d(nullptr);
  setAssignment(d, "1");
  findModule(d, 3);
  EXPECT_FALSE(check(d)->isChecked());
  EXPECT_FALSE(field(d)->isEnabled());
  EXPECT_EQ(writesOfBusParameters(), 0);
  EXPECT_EQ(sim.moduleNode(sim.findModule(0, 3)), 3);
  EXPECT_EQ(ModuleList_Count(), 0);
  EXPECT_TRUE(configure(d)->isEnabled());  // found, and no longer assigning
}

TEST_F(SearchDialogTest, ARefusedAssignmentSwitchesItOffAndTheModuleCanBeConfigured) {
  SearchDialog d(nullptr);
  setAssignment(d, "20");
  ASSERT_TRUE(sim.pressButton(sim.findModule(0, 3)));
  fire(d);
  ASSERT_TRUE(awaitStored(1));
  sim.dropNextReplies(1);  // the bus-parameter read gets no answer
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  fire(d);
  EXPECT_FALSE(check(d)->isChecked());
  EXPECT_EQ(ModuleList_Count(), 0);
  EXPECT_TRUE(configure(d)->isEnabled());
  configure(d)->click();
  EXPECT_EQ(FakeDialogs::calls, std::vector<std::string>{"open 0"});
}

TEST_F(SearchDialogTest, CloseSendsTheSearchOnceMore) {
  SearchDialog d(nullptr);
  Child<QPushButton>(&d, "searchClose")->click();
  EXPECT_EQ(d.result(), QDialog::Rejected);
  EXPECT_FALSE(ui.isArmed(&d.run().timer()));
  const std::vector<SimFrame> sent = awaitFramesToModules(1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], SimFrame(0x680, 0, {0x82}));
}

TEST_F(SearchDialogTest, AFailingLinkEndsTheSearchWithTheInterfaceError) {
  SearchDialog d(nullptr);
  CloseInterface();
  ui.expectMessage("Interface error:\nNo interface active", UiAnswer::Ok);
  fire(d);
  EXPECT_FALSE(check(d)->isEnabled());
  EXPECT_FALSE(ui.isArmed(&d.run().timer()));
}

}  // namespace
