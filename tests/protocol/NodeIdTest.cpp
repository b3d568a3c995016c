// Node id assignment and the reset to the DIP switches against the simulated
// modules; the search's number field and module names.
#include <gtest/gtest.h>

#include "ProtocolSimFixture.h"
#include "core/ErrorReport.h"
#include "module/SimModule.h"
#include "protocol/ModuleType.h"
#include "protocol/NodeId.h"
#include "protocol/SearchRun.h"
#include "protocol/VornProt.h"

namespace {

TEST(SearchRunText, TheNumberFieldIsDecimalOrHexadecimalAfter0x) {
  const struct {
    const char* text;
    int value;
  } cases[] = {{"2", 2},      {"127", 127}, {"0x10", 16}, {"0X7f", 127}, {" 12 ", 12},
               {"010", 10},   {"1", 1},     {"", -1},     {"0x", -1},    {"abc", -1},
               {"12a", -1},   {"-5", -1},   {"99999999999999", -1},       {"0xg", -1}};
  for (const auto& c : cases) EXPECT_EQ(SearchRun_ParseNode(c.text), c.value) << c.text;
}

TEST(SearchRunText, TheModuleNameShowsTheTypeForUnknownModulesAndInFactoryMode) {
  ModuleRec rec;
  rec.type = 99;
  EXPECT_EQ(SearchRun_ModuleName(rec), "Unknown module type #99");
  rec.type = 16;
  EXPECT_EQ(SearchRun_ModuleName(rec), "KVX 730-08");
  FactoryMode_Set(true);
  EXPECT_EQ(SearchRun_ModuleName(rec), "KVX 730-08   (#16)");
}

class NodeIdTest : public ProtocolSimTest {
 protected:
  void SetUp() override {
    ProtocolSimTest::SetUp();
    connectTestBus();
    Option_SetInt("MSGREQUEST_TIMEOUT_MS", 30);
  }
  // True when a module answers an identify request on this node.
  bool answersOn(int node) {
    CanMsg msg;
    Option_SetInt("ERRORS_IN_STATUSBAR", 1);
    return VornProt_RequestMessage(msg, node, 1, 0x80) == 1;
  }
  ModuleRec at(int node) {
    ModuleRec rec;
    rec.node = node;
    rec.bus = 'c';
    return rec;
  }
};

TEST_F(NodeIdTest, ANewNodeIdIsWrittenWithTheBitRateJustRead) {
  const SimModuleId id = sim.findModule(0, 2);
  sim.withModule(id, [](SimModule& m) { m.config().eepromBaud = 4; });
  ModuleRec rec = at(2);
  ASSERT_EQ(Module_SetNodeId(&rec, 40), 0);
  const std::vector<SimFrame> sent = awaitFramesToModules(2);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], SimFrame(0x682, 0, {0x99}));
  EXPECT_EQ(sent[1], SimFrame(0x682, 0, {0x59, 0, 0, 0, 0, 0, 4, 40}));
  EXPECT_EQ(sim.moduleNode(id), 40);
  EXPECT_TRUE(answersOn(40));

  // Node 0 sends the module back to its DIP switches.
  rec = at(40);
  ASSERT_EQ(Module_SetNodeId(&rec, 0), 0);
  const std::vector<SimFrame> back = awaitFramesToModules(5);
  ASSERT_EQ(back.size(), 5u);
  EXPECT_EQ(back[4], SimFrame(0x6A8, 0, {0x59, 1, 0, 0, 0, 0, 4, 0}));
  EXPECT_EQ(sim.moduleNode(id), 2);
}

TEST_F(NodeIdTest, AModuleThatDoesNotAnswerIsNotWritten) {
  ModuleRec rec = at(60);
  EXPECT_EQ(Module_SetNodeId(&rec, 40), -1);
  EXPECT_EQ(GetStatusText(), "*** Error: Module timeout");
  EXPECT_EQ(framesToModules().size(), 1u);  // only the read
  EXPECT_EQ(Module_SetNodeId(&rec, 128), -1);
  EXPECT_EQ(Module_SetNodeId(nullptr, 5), -1);
}

TEST_F(NodeIdTest, ResetAllNodeIdsReturnsEveryListedModuleToItsSwitchesThenScans) {
  for (int node : {2, 3}) {
    ModuleRec rec = at(node);
    ASSERT_EQ(Module_SetNodeId(&rec, node + 40), 0);
    ModuleList_Add(node + 40, 'c', 16, 1, 0, false);
  }
  ASSERT_FALSE(answersOn(2));
  ResetAllNodeIds();
  EXPECT_EQ(sim.moduleNode(sim.findModule(0, 2)), 2);
  EXPECT_EQ(sim.moduleNode(sim.findModule(0, 3)), 3);
  EXPECT_TRUE(ScanRunning());  // SCAN_ON_START is set by default
  EXPECT_EQ(ModuleList_Count(), 0);
  BusScan_Command();  // the user cancels: the scan collects,
  BusScan_Command();  // and ends
  ASSERT_FALSE(ScanRunning());

  Option_SetInt("SCAN_ON_START", 0);
  ModuleList_Add(2, 'c', 16, 1, 0, false);
  ResetAllNodeIds();
  EXPECT_FALSE(ScanRunning());
  EXPECT_EQ(ModuleList_Count(), 0);
}

TEST_F(NodeIdTest, TheMenuCommandAsksFirst) {
  ModuleList_Add(2, 'c', 16, 1, 0, false);
  ui.expectMessage("Clear the Node ID of all modules\nfrom the module EEprom and\nreset to DIP switch setting?",
                   UiAnswer::Cancel);
  ResetAllNodeIds_Command();
  EXPECT_EQ(ModuleList_Count(), 1);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].title, "Reset Node IDs to DIP");
  EXPECT_EQ(ui.messages()[0].buttons, UiButtons::OkCancel);
  EXPECT_TRUE(ui.messages()[0].systemModal);

  ui.expectMessage("reset to DIP switch setting?", UiAnswer::Ok);
  ResetAllNodeIds_Command();
  EXPECT_EQ(ModuleList_Count(), 0);
  const std::vector<SimFrame> sent = awaitFramesToModules(2);
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0], SimFrame(0x682, 0, {0x99}));
  EXPECT_EQ(sent[1].data[0], 0x59);
  EXPECT_EQ(sent[1].data[1], 1);
}

}  // namespace
