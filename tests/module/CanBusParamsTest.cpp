// The bus parameter page's rules: decoding, node ranges, what the page shows,
// and the write request against the simulator's modules.
#include <gtest/gtest.h>

#include <climits>

#include "module/CanBusParams.h"
#include "module/ModuleSimFixture.h"

namespace {

CanMsg Reply(std::vector<uint32_t> bytes) {
  CanMsg m;
  m.len = 8;
  for (size_t i = 0; i < bytes.size() && i < 8; ++i) m.data[i] = bytes[i];
  return m;
}

TEST(CanBusRules, NodeFieldParsing) {
  long node = 0;
  EXPECT_TRUE(BusParams_ParseNode38("240", node));
  EXPECT_EQ(node, 240);
  EXPECT_TRUE(BusParams_ParseNode38("0xF0", node));
  EXPECT_EQ(node, 240);
  EXPECT_TRUE(BusParams_ParseNode38(" 0x7f ", node));
  EXPECT_EQ(node, 127);
  for (const char* bad : {"", "0x", "abc", "12a", "-5", "0xG1", "99999999999"})
    EXPECT_FALSE(BusParams_ParseNode38(bad, node)) << bad;

  EXPECT_EQ(BusParams_ParseDecimal("200"), 200u);
  EXPECT_EQ(BusParams_ParseDecimal(" 17 "), 17u);
  EXPECT_EQ(BusParams_ParseDecimal("abc"), 0u);
  EXPECT_EQ(BusParams_ParseDecimal("12a"), 0u);
  EXPECT_EQ(BusParams_ParseDecimal("99999999999"), UINT_MAX);
}

TEST(CanBusRules, RangesByBus) {
  const char* can = "Error: Node-ID outside range 02h...7Fh (2...127).";
  const char* modbus = "Error: Node-ID outside range 01h...F0h (1...240).";
  const struct {
    char bus;
    int node;
    const char* error;
  } cases[] = {{'c', 2, ""},     {'c', 127, ""},    {'c', 1, can}, {'c', 128, can}, {'m', 1, ""},
               {'m', 240, ""},   {'m', 0, modbus},  {'m', 241, modbus}, {'l', 0, ""}};
  for (const auto& c : cases) EXPECT_EQ(BusParams_NodeRangeError(c.bus, c.node), c.error) << c.bus << c.node;
  EXPECT_NE(BusParams_NodeRangeError('l', 256), "");  // would not fit the frame's byte
  for (auto [node, limited] : {std::pair{1, 2}, {-3, 2}, {200, 127}, {64, 64}}) EXPECT_EQ(BusParams_LimitNode(node), limited);
}

TEST(CanBusRules, BaudNamesAndIndices) {
  EXPECT_EQ(BusParams_BaudNames('c'),
            (std::vector<std::string>{"10 k", "20 k", "50 k", "100 k", "125 k", "250 k", "500 k", "1000 k"}));
  EXPECT_EQ(BusParams_BaudNames('m')[3], "57600");
  EXPECT_EQ(BusParams_BaudIndex("250 k", 'c'), 5);
  EXPECT_EQ(BusParams_BaudIndex("", 'c'), 4);
  EXPECT_EQ(BusParams_BaudIndex("9600", 'c'), 4);
  EXPECT_EQ(BusParams_BaudIndex("9600", 'm'), 1);
  EXPECT_EQ(BusParams_BaudIndex("Baud=undef", 'm'), 7);  // the last of the equal names
}

TEST(CanBusRules, ClassicViews) {
  // EEPROM active, node 1: shown as 2, fields open.
  BusTabView v = BusTab_ViewOf(BusParams_Decode(Reply({0x19, 0, 0, 4, 9, 0, 6, 1})));
  EXPECT_FALSE(v.format38);
  EXPECT_EQ(v.nodeText, "2");
  EXPECT_EQ(v.baudIndex, 6);
  EXPECT_FALSE(v.dipSelected);
  EXPECT_TRUE(v.dipEnabled && v.eepromEnabled && v.fieldsEnabled && v.writeEnabled);
  EXPECT_FALSE(v.clearVisible);
  // EEPROM node 200 shows 127.
  EXPECT_EQ(BusTab_ViewOf(BusParams_Decode(Reply({0x19, 0, 0, 4, 9, 0, 6, 200}))).nodeText, "127");
  // DIP active: the DIP values, fields closed.
  v = BusTab_ViewOf(BusParams_Decode(Reply({0x19, 1, 0, 3, 9, 0, 6, 1})));
  EXPECT_EQ(v.nodeText, "9");
  EXPECT_EQ(v.baudIndex, 3);
  EXPECT_TRUE(v.dipSelected);
  EXPECT_FALSE(v.fieldsEnabled);
  EXPECT_TRUE(v.writeEnabled);
  // No DIP switches at all: that choice is disabled.
  v = BusTab_ViewOf(BusParams_Decode(Reply({0x19, 0, 0, 255, 255, 0, 4, 30})));
  EXPECT_FALSE(v.dipEnabled);
  EXPECT_TRUE(v.eepromEnabled);
  // Only one of the two missing is not "no switches".
  EXPECT_TRUE(BusTab_ViewOf(BusParams_Decode(Reply({0x19, 0, 0, 255, 9, 0, 4, 30}))).dipEnabled);
}

TEST(CanBusRules, Format38Views) {
  BusTabView v = BusTab_ViewOf(BusParams_Decode(Reply({0x19, 0, 38, 255, 255, 0, 4, 1})));
  EXPECT_TRUE(v.format38);
  EXPECT_EQ(v.nodeText, "1");  // not limited
  EXPECT_FALSE(v.dipEnabled || v.eepromEnabled);
  EXPECT_FALSE(v.dipSelected);
  EXPECT_TRUE(v.fieldsEnabled && v.writeEnabled && v.clearVisible && v.clearEnabled);
  v = BusTab_ViewOf(BusParams_Decode(Reply({0x19, 1, 38, 255, 255, 0, 255, 255})));
  EXPECT_TRUE(v.dipSelected);
  EXPECT_EQ(v.nodeText, "255");
  EXPECT_EQ(v.baudIndex, -1);
  EXPECT_FALSE(v.fieldsEnabled || v.writeEnabled || v.clearEnabled);
  EXPECT_TRUE(v.clearVisible);
  EXPECT_FALSE(BusTab_EmptyView().clearVisible);
}

class CanBusWriteTest : public ModuleSimTest {
 protected:
  // The write requests (0x59) the program sent.
  std::vector<std::vector<int>> writes() {
    std::vector<std::vector<int>> out;
    for (const SimFrame& f : framesToModules())
      if (f.len && f.data[0] == 0x59) out.push_back(Bytes(f));
    return out;
  }
  BusTabInputs inputs(const std::string& node, bool dip = false, const std::string& baud = "125 k") {
    BusTabInputs in;
    in.nodeText = node;
    in.dipSelected = dip;
    in.baudText = baud;
    return in;
  }
};

TEST_F(CanBusWriteTest, EepromNodeOneIsShownAsTwoAndWrittenAsTwo) {
  connectDemo();
  changeModule(2, [](SimModuleConfig& c) { c.eepromNode = 1; });
  ModuleRec* rec = listed(2);
  BusParams p;
  ASSERT_EQ(BusParams_Read(*rec, p), 1);
  const BusTabView v = BusTab_ViewOf(p);
  EXPECT_EQ(v.nodeText, "2");
  EXPECT_EQ(v.baudIndex, 4);

  BusTabInputs in = inputs(v.nodeText);
  ui.expectMessage("Set CAN bus parameters of module to\nNode ID = 2,\nBaudrate = 125 k?", UiAnswer::Ok);
  const BusWriteResult r = BusTab_WriteParams(*rec, false, 's', 'c', in);
  EXPECT_EQ(r.refresh, 1);
  EXPECT_TRUE(r.sent);
  EXPECT_EQ(ui.messages().back().title, "Set CAN Parameters");
  EXPECT_EQ(writes(), (std::vector<std::vector<int>>{{0x59, 0, 0, 0, 0, 0, 4, 2}}));
  EXPECT_EQ(moduleConfig(2).eepromNode, 2);
}

TEST_F(CanBusWriteTest, CancelSendsNothingAndKeepsTheNode) {
  ModuleRec* rec = demoListed(2);
  BusTabInputs in = inputs("40");
  ui.expectMessage("Node ID = 40", UiAnswer::Cancel);
  const BusWriteResult r = BusTab_WriteParams(*rec, false, 's', 'c', in);
  EXPECT_EQ(r.refresh, 0);
  EXPECT_FALSE(r.sent);
  EXPECT_TRUE(writes().empty());
  EXPECT_EQ(rec->node, 2);
}

TEST_F(CanBusWriteTest, ClassicWriteOnlyOnACanInterface) {
  ModuleRec* rec = demoListed(2);
  BusTabInputs in = inputs("40");
  EXPECT_EQ(BusTab_WriteParams(*rec, false, 's', 'm', in).refresh, 0);
  EXPECT_TRUE(framesToModules().empty());
}

TEST_F(CanBusWriteTest, DipSwitchesOnNodeOneAreRefusedOutsideFactoryMode) {
  connectDemo();
  changeModule(2, [](SimModuleConfig& c) { c.dipNodeSwitches = 1; });
  ModuleRec* rec = listed(2);
  BusTabInputs in = inputs("2", true);
  ui.expectMessage("Error: DIP switches in illegal position.\nSet DIP switches to a Node ID\n"
                   "in the range 02h...7Fh (2...127) and to a\nvalid baudrate.",
                   UiAnswer::Ok);
  const BusWriteResult r = BusTab_WriteParams(*rec, false, 's', 'c', in);
  EXPECT_EQ(r.refresh, 1);
  EXPECT_FALSE(r.sent);
  EXPECT_TRUE(writes().empty());
  EXPECT_EQ(commandsSent(), (std::vector<int>{0x99}));
}

TEST_F(CanBusWriteTest, DipSwitchesOnNodeOneOrZeroAreAcceptedInFactoryMode) {
  FactoryMode_Set(true);
  connectDemo();
  const SimModuleId first = sim.findModule(0, 2), second = sim.findModule(0, 3);
  const struct {
    SimModuleId id;
    int node;
    int dipNode;
  } cases[] = {{first, 2, 1}, {second, 3, 0}};
  for (const auto& c : cases) {
    sim.withModule(c.id, [&](SimModule& m) { m.config().dipNodeSwitches = uint8_t(c.dipNode); });
    ModuleRec* rec = listed(c.node);
    sim.clearTraffic();
    BusTabInputs in = inputs("55", true, "500 k");
    ui.expectMessage("Set CAN bus parameters of module to\nNode ID = DIP,\nBaudrate = DIP?", UiAnswer::Ok);
    EXPECT_TRUE(BusTab_WriteParams(*rec, false, 's', 'c', in).sent);
    EXPECT_EQ(writes(), (std::vector<std::vector<int>>{{0x59, 1, 0, 0, 0, 0, 6, c.dipNode}}));
    EXPECT_EQ(commandsSent(), (std::vector<int>{0x99, 0x99, 0x59}));
    EXPECT_EQ(rec->node, c.dipNode);
  }
}

TEST_F(CanBusWriteTest, DipSwitchesTurnedWhileTheQuestionIsOpenAreCheckedAgain) {
  connectDemo();
  changeModule(2, [](SimModuleConfig& c) { c.dipNodeSwitches = 0x12; });
  ModuleRec* rec = listed(2);
  InterruptingUi boxUi;
  UiInstalled installed(&boxUi, &ui);
  boxUi.duringNextBox = [&] { changeModule(2, [](SimModuleConfig& c) { c.dipNodeSwitches = 1; }); };
  boxUi.expectMessage("Node ID = DIP", UiAnswer::Ok);
  boxUi.expectMessage("Error: DIP switches in illegal position.", UiAnswer::Ok);
  BusTabInputs in = inputs("2", true);
  const BusWriteResult r = BusTab_WriteParams(*rec, false, 's', 'c', in);
  EXPECT_EQ(r.refresh, 1);
  EXPECT_FALSE(r.sent);
  EXPECT_TRUE(writes().empty());
  EXPECT_EQ(rec->node, 2);
  EXPECT_EQ(boxUi.pendingExpectations(), 0u);
}

TEST_F(CanBusWriteTest, MissingDipSwitchesAreRefused) {
  FactoryMode_Set(true);
  ModuleRec* rec = demoListed(2);
  // A module without switches reports 255 for both.
  changeModule(2, [](SimModuleConfig& c) { c.hasDipSwitches = false; });
  BusTabInputs in = inputs("2", true);
  ui.expectMessage("Error: DIP switches in illegal position.", UiAnswer::Ok);
  EXPECT_FALSE(BusTab_WriteParams(*rec, false, 's', 'c', in).sent);
  EXPECT_TRUE(writes().empty());
}

TEST_F(CanBusWriteTest, Format38OnCanTakesHexAndChecksTheRange) {
  connectDemo();
  ModuleRec* rec = listed(5);  // the room controller of the demo
  BusTabInputs in = inputs("0x10");
  ui.expectMessage("Set EEPROM CAN bus parameters of module to\nNode ID = 16  (10h),\nBaudrate = 125 k?",
                   UiAnswer::Ok);
  EXPECT_TRUE(BusTab_WriteParams(*rec, true, 's', 'c', in).sent);
  EXPECT_EQ(ui.messages().back().title, "Set EEPROM Parameters");
  EXPECT_EQ(writes(), (std::vector<std::vector<int>>{{0x59, 0, 0, 0, 0, 0, 4, 16}}));
  EXPECT_EQ(rec->node, 16);

  sim.clearTraffic();
  for (const char* bad : {"1", "128", "0x80", "x"}) {
    in = inputs(bad);
    ui.expectMessage("Error: Node-ID outside range 02h...7Fh (2...127).", UiAnswer::Ok);
    const BusWriteResult r = BusTab_WriteParams(*rec, true, 's', 'c', in);
    EXPECT_EQ(r.refresh, 0) << bad;
  }
  EXPECT_TRUE(framesToModules().empty());
}

// (241 and 0 are refused on the simulator's Modbus line: ModbusBusTabTest.)
TEST_F(CanBusWriteTest, Format38OnModbusTakes240TypedEitherWay) {
  connectDemo();
  for (const char* typed : {"240", "0xF0"}) {
    sim.setPopulation(SimPopulation::demo());  // the module takes 240: back to node 5
    ModuleRec* rec = listed(5);
    sim.clearTraffic();
    BusTabInputs in = inputs(typed, false, "19200");
    ui.expectMessage("Set EEPROM Modbus bus parameters of module to\nNode ID = 240  (F0h),\nBaudrate = 19200?",
                     UiAnswer::Ok);
    EXPECT_TRUE(BusTab_WriteParams(*rec, true, 's', 'm', in).sent) << typed;
    EXPECT_EQ(writes(), (std::vector<std::vector<int>>{{0x59, 0, 0, 0, 0, 0, 2, 240}})) << typed;
    EXPECT_EQ(rec->node, 240);
    ModuleList_Create();
  }
}

TEST_F(CanBusWriteTest, Format38ClearSendsTheClearValuesAndKeepsTheNode) {
  ModuleRec* rec = demoListed(5);
  BusTabInputs in = inputs("77");
  ui.expectMessage("Clear EEPROM CAN bus parameters of module?", UiAnswer::Cancel);
  EXPECT_EQ(BusTab_WriteParams(*rec, true, 'c', 'c', in).refresh, 0);
  EXPECT_TRUE(writes().empty());

  ui.expectMessage("Clear EEPROM CAN bus parameters of module?", UiAnswer::Ok);
  EXPECT_EQ(BusTab_WriteParams(*rec, true, 'c', 'c', in).refresh, 1);
  EXPECT_EQ(ui.messages().back().title, "Clear EEPROM Parameters");
  EXPECT_EQ(writes(), (std::vector<std::vector<int>>{{0x59, 0, 0, 0, 0, 0, 255, 255}}));
  EXPECT_EQ(moduleConfig(5).eepromNode, 255);
  EXPECT_EQ(rec->node, 5);
}

}  // namespace
