// The module protocol's exchanges against the simulated bus master: reply and
// acknowledgement matching, length checks, log lines, error reports, and the
// scan and search primitives.
#include <gtest/gtest.h>

#include "ProtocolSimFixture.h"
#include "core/ErrorReport.h"
#include "protocol/ModuleType.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"

namespace {

class VornProtTest : public ProtocolSimTest {
 protected:
  void SetUp() override {
    ProtocolSimTest::SetUp();
    connectTestBus();
    Option_SetInt("MSGREQUEST_TIMEOUT_MS", 30);
  }
  // An identify reply as another module would put it on bus 0.
  void injectIdentify(int node, std::initializer_list<uint8_t> bytes) {
    sim.injectBusFrame(0, SimFrame(0x680 + uint32_t(node), 0, bytes));
  }
};

TEST_F(VornProtTest, ARequestWaitsForTheReplyAndLogsBothFrames) {
  openLog();
  CanMsg msg;
  ASSERT_EQ(VornProt_RequestMessage(msg, 2, 1, VORN_CMD_MODULE_INFO), 1);
  EXPECT_EQ(msg.id, 0x682u);
  EXPECT_EQ(msg.len, 8u);
  EXPECT_EQ(msg.data[0], 5u);  // the command code alone
  EXPECT_EQ(msg.data[4], 2u);  // firmware 2.5
  EXPECT_EQ(msg.data[5], 5u);
  const std::vector<SimFrame> sent = awaitFramesToModules(1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], SimFrame(0x682, 0, {0x85}));
  const std::string log = logText();
  EXPECT_NE(log.find("VornProt_RequestMessage( [682]#1[85] )"), std::string::npos) << log;
  EXPECT_NE(log.find("  -> Received: [682]#8[05][85][01][02][02][05][02][01]"), std::string::npos)
      << log;
}

TEST_F(VornProtTest, AnAcknowledgementHasTheRequestsLengthAndBothFlags) {
  CanMsg msg;
  ASSERT_EQ(VornProt_RequestMessage(msg, 2, 5, VORN_CMD_OBJECT_WRITE_ACK, {0x62, 0x00, 0x01, 0x5A}), 1);
  EXPECT_EQ(msg.data[0], 0xF4u);
  EXPECT_EQ(msg.len, 5u);
  uint32_t value = 0;
  ASSERT_TRUE(sim.readObject(sim.findModule(0, 2), 0x6200, 1, value));
  EXPECT_EQ(value, 0x5Au);
}

TEST_F(VornProtTest, AReplyOfTheWrongLengthFailsWithOneReport) {
  Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  openLog();
  sim.corruptNextReplies(SimCorruption::ShortReply);
  ui.expectMessage("Unexpected message length (received 7, expected 8) for Vorn Protocol request 0xb4",
                   UiAnswer::Ok);
  CanMsg msg;
  EXPECT_EQ(VornProt_RequestMessage(msg, 2, 4, VORN_CMD_OBJECT_READ, {0x60, 0x00, 0x01}), 0);
  EXPECT_EQ(ui.messages().size(), 1u);
  EXPECT_NE(logText().find("  -> Failed: Received unexpected message length 7 (expected 8)\n[682]#7[34]"),
            std::string::npos)
      << logText();
}

TEST_F(VornProtTest, AReplyWithAnotherCommandByteIsNotTakenForTheAnswer) {
  openLog();
  sim.corruptNextReplies(SimCorruption::WrongCommand);
  CanMsg msg;
  EXPECT_EQ(VornProt_RequestMessage(msg, 2, 1, VORN_CMD_MODULE_INFO), 0);
  EXPECT_EQ(GetStatusText(), "*** Error: Module timeout");  // ERRORS_IN_STATUSBAR is the default
  EXPECT_NE(logText().find("  -> Failed: Module timeout"), std::string::npos);
  // The next request gets its own reply, not the stray one.
  ASSERT_EQ(VornProt_RequestMessage(msg, 2, 1, VORN_CMD_MODULE_INFO), 1);
  EXPECT_EQ(msg.data[0], 5u);
}

TEST_F(VornProtTest, ACommandByteWithoutFlagsIsRefusedAndNothingIsSent) {
  Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  ui.expectMessage(
      "Internal error: Neither reply nor ackn requested in VornProt_RequestMessage( "
      "[682]#8[04][00][00][00][00][00][0a][03] )",
      UiAnswer::Ok);
  CanMsg msg;
  EXPECT_EQ(VornProt_RequestMessage(msg, 2, 8, VORN_CMD_FLASH_LED, {0, 0, 0, 0, 0, 10, 3}), 0);
  // Only the following request reaches the bus.
  ASSERT_EQ(VornProt_RequestMessage(msg, 3, 1, VORN_CMD_IDENTIFY), 1);
  const std::vector<SimFrame> sent = awaitFramesToModules(1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].id, 0x683u);
}

TEST_F(VornProtTest, NodesAndLengthsOutsideTheFrameLayoutAreRefused) {
  Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  ui.expectMessage("Invalid node id 128", UiAnswer::Ok);
  ui.expectMessage("Invalid message length 9", UiAnswer::Ok);
  ui.expectMessage("Invalid node id -1", UiAnswer::Ok);
  CanMsg msg;
  EXPECT_EQ(VornProt_RequestMessage(msg, 128, 1, VORN_CMD_IDENTIFY), 0);
  EXPECT_EQ(VornProt_RequestMessage(msg, 2, 9, VORN_CMD_IDENTIFY), 0);
  EXPECT_EQ(VornProt_SendMessage(msg, -1, 1, VORN_CMD_SEARCH), -1);
}

TEST_F(VornProtTest, SendMessageFillsMissingParametersWithZeroAndDropsSurplusOnes) {
  openLog();
  CanMsg msg;
  ASSERT_EQ(VornProt_SendMessage(msg, 2, 8, VORN_CMD_FLASH_LED, {0, 0, 0, 0, 0, 10, 3, 99}), 0);
  ASSERT_EQ(VornProt_SendMessage(msg, 2, 3, VORN_CMD_OBJECT_WRITE, {0x62}), 0);
  const std::vector<SimFrame> sent = awaitFramesToModules(2);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], SimFrame(0x682, 0, {0x04, 0, 0, 0, 0, 0, 10, 3}));
  EXPECT_EQ(sent[1], SimFrame(0x682, 0, {0x34, 0x62, 0}));
  const std::string log = logText();
  EXPECT_NE(log.find("VornProt_SendMessage( [682]#8[04][00][00][00][00][00][0a][03] )"),
            std::string::npos);
  EXPECT_NE(log.find("  -> Ok"), std::string::npos);
}

TEST_F(VornProtTest, SendMessageWithoutInterfaceReportsTheInterfaceError) {
  CloseInterface();
  openLog();
  CanMsg msg;
  EXPECT_EQ(VornProt_SendMessage(msg, 0, 1, VORN_CMD_SEARCH), -1);
  EXPECT_EQ(GetStatusText(), "*** Error: No interface active");
  EXPECT_NE(logText().find("  -> Failed: No interface active"), std::string::npos);
}

TEST_F(VornProtTest, ScanCheckListsIdentifyRepliesWithTheirDecodedTypes) {
  openLog();
  VornProt_ScanReset();
  // The type's high byte (byte 4) counts only when byte 5 is zero.
  injectIdentify(9, {0x00, 0x85, 0x10, 0x01, 0x01, 0x00, 0, 0});
  injectIdentify(11, {0x00, 0x83, 0x10, 0x02, 0x01, 0x03, 0, 0});
  injectIdentify(12, {0x00, 0x85, 0x10, 0x01, 0x01, 0x00, 0});  // 7 bytes: no identify reply
  ASSERT_TRUE(awaitStored(3));
  VornProt_ScanCheck();
  const std::vector<std::string> expected = {" 9\tKVX 707-01C", " 11\tKVX 730-08"};
  EXPECT_EQ(lines(), expected);
  ASSERT_NE(recordOfNode(11), nullptr);
  EXPECT_EQ(recordOfNode(11)->version, 2u);
  EXPECT_EQ(recordOfNode(11)->state, 0x83u);
  EXPECT_EQ(recordOfNode(11)->bus, 'c');
  EXPECT_EQ(GetStatusText(), "Found 2 modules");
  EXPECT_EQ(VornProt_ScanFoundCount(), 2);
  EXPECT_EQ(storedFrames(), 0);
  EXPECT_NE(logText().find("  -> Received: [689]#8[00][85][10][01][01][00][00][00]"),
            std::string::npos);

  VornProt_ScanCheck();
  EXPECT_NE(logText().find("VornProt_ScanCheck()\n"), std::string::npos);
  EXPECT_NE(logText().find("  -> No result"), std::string::npos);
}

TEST_F(VornProtTest, TwoModulesAnsweringOnOneNodeAreBothListed) {
  VornProt_ScanReset();
  injectIdentify(9, {0x00, 0x82, 0x10, 0x01, 0x00, 0x00, 0, 0});
  injectIdentify(9, {0x00, 0x82, 0x20, 0x01, 0x00, 0x00, 0, 0});
  ASSERT_TRUE(awaitStored(2));
  VornProt_ScanCheck();
  EXPECT_EQ(ModuleList_Count(), 2);
  EXPECT_EQ(GetStatusText(), "Found 2 modules");
}

TEST_F(VornProtTest, AFullRecordTableQuietlyDropsFurtherModules) {
  for (int i = 0; i < 255; ++i) ASSERT_EQ(ModuleList_Add(1 + i % 127, 'l', 16, 1 + i / 127, 0, false), 0);
  VornProt_ScanReset();
  injectIdentify(9, {0x00, 0x85, 0x10, 0x01, 0x00, 0x00, 0, 0});
  injectIdentify(11, {0x00, 0x85, 0x20, 0x01, 0x00, 0x00, 0, 0});
  injectIdentify(12, {0x00, 0x85, 0x30, 0x01, 0x00, 0x00, 0, 0});
  ASSERT_TRUE(awaitStored(3));
  VornProt_ScanCheck();
  EXPECT_EQ(ModuleList_Count(), 256);
  EXPECT_EQ(lines().back(), " 9\tKVX 730-08");
  EXPECT_EQ(GetStatusText(), "Found 256 modules");
  EXPECT_EQ(storedFrames(), 0);
  // Found again, a listed module still keeps its one record.
  injectIdentify(9, {0x00, 0x85, 0x10, 0x01, 0x00, 0x00, 0, 0});
  ASSERT_TRUE(awaitStored(1));
  VornProt_ScanCheck();
  EXPECT_EQ(ModuleList_Count(), 256);
}

TEST_F(VornProtTest, TheLinMasterIsRememberedAndNotListed) {
  openLog();
  VornProt_ScanReset();
  ASSERT_EQ(VornProt_ScanSend(20), 0);
  ASSERT_EQ(VornProt_ScanSend(2), 0);
  ASSERT_TRUE(awaitStored(2));
  VornProt_ScanCheck();
  EXPECT_EQ(Option_GetInt("LIN_MASTER_ID"), 20);
  const std::vector<std::string> expected = {" 2\tKVX 730-08"};
  EXPECT_EQ(lines(), expected);
  EXPECT_EQ(VornProt_ScanFoundCount(), 1);
  EXPECT_EQ(GetStatusText(), "Found 1 module");
  EXPECT_NE(logText().find("  (Module 14 skipped, is LIN master)"), std::string::npos);
  EXPECT_NE(logText().find("VornProt_ScanSend( [694]#1[80] )"), std::string::npos);
}

TEST_F(VornProtTest, ScanSendDiscardsAStaleIdentifyReplyOfItsNode) {
  injectIdentify(2, {0x00, 0x85, 99, 0x01, 0x00, 0x00, 0, 0});
  ASSERT_TRUE(awaitStored(1));
  ASSERT_EQ(VornProt_ScanSend(2), 0);
  ASSERT_TRUE(awaitStored(1));
  VornProt_ScanCheck();
  ASSERT_EQ(ModuleList_Count(), 1);
  EXPECT_EQ(ModuleList_Next(nullptr)->type, 16u);
}

TEST_F(VornProtTest, SearchFindsOnlyAModuleInSearchMode) {
  openLog();
  ModuleRec found;
  ASSERT_EQ(VornProt_SearchSend(), 0);
  EXPECT_EQ(VornProt_SearchCheck(found), 0);
  EXPECT_NE(logText().find("VornProt_SearchCheck()\n"), std::string::npos);
  EXPECT_NE(logText().find("  -> No result"), std::string::npos);

  ASSERT_TRUE(sim.pressButton(sim.findModule(0, 3)));
  ASSERT_EQ(VornProt_SearchSend(), 0);
  ASSERT_TRUE(awaitStored(1));
  ASSERT_EQ(VornProt_SearchCheck(found), 1);
  EXPECT_EQ(found.node, 0);
  EXPECT_EQ(found.bus, 'c');
  EXPECT_EQ(found.type, 32u);
  EXPECT_EQ(found.version, 1u);
  EXPECT_EQ(found.state & 0x0F, 2u);  // search mode
  EXPECT_EQ(found.typeInfo, ModuleType_Find(32));
  EXPECT_NE(logText().find("VornProt_SendMessage( [680]#1[82] )"), std::string::npos);

  ASSERT_TRUE(sim.pressButton(sim.findModule(0, 3)));
  ASSERT_EQ(VornProt_SearchSend(), 0);
  ASSERT_TRUE(awaitStored(1));
  VornProt_SearchFlush();  // discards the waiting reply
  EXPECT_EQ(VornProt_SearchCheck(found), 0);
}

TEST_F(VornProtTest, ASearchReplyOfTheWrongLengthIsPassedOver) {
  sim.injectBusFrame(0, SimFrame(0x680, 0, {0x02, 0x82, 0x10, 0x01, 0x00}));
  ASSERT_TRUE(awaitStored(1));
  ModuleRec found;
  EXPECT_EQ(VornProt_SearchCheck(found), 0);
  EXPECT_EQ(storedFrames(), 0);
  sim.injectBusFrame(0, SimFrame(0x680, 0, {0x02, 0x82, 0x10, 0x01, 0x00}));
  sim.injectBusFrame(0, SimFrame(0x680, 0, {0x02, 0x82, 0x20, 0x01, 0x00, 0x00, 0, 0}));
  ASSERT_TRUE(awaitStored(2));
  ASSERT_EQ(VornProt_SearchCheck(found), 1);  // the whole reply behind the short one
  EXPECT_EQ(found.type, 32u);
}

TEST_F(VornProtTest, SearchCheckReportsAFailedReceive) {
  sim.closeConnection();
  ModuleRec found;
  int result = 0;
  // The closed connection shows once the link reads the end of the stream.
  for (int i = 0; i < 200 && result == 0; ++i) {
    result = VornProt_SearchCheck(found);
    if (result == 0) Poll_WaitReadable(EthMaster_Descriptor(), 5);
  }
  EXPECT_EQ(result, -1);
  EXPECT_EQ(GetStatusText(), "");  // nothing reported here; the caller does
}

}  // namespace
