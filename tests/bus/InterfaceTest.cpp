#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BusTestSupport.h"

namespace {

using InterfaceTest = BusTest;

std::vector<CanMsg> g_logged;
void LogFrame(const CanMsg& m) { g_logged.push_back(m); }

TEST_F(InterfaceTest, TableRowsInMenuOrder) {
  ASSERT_EQ(InterfaceTable_Count(), 5);
  const char* names[] = {"None", "PCAN USB", "KVX Master (Ethernet)", "Modbus (Serial)",
                         "LIN Adapter"};
  const char* menus[] = {"&None", "&PCAN USB (CAN)", "KVX Master (&Ethernet)", "&Modbus (Serial)",
                         "&LIN Adapter"};
  const char letters[] = {'-', 'c', 'c', 'm', 'l'};
  for (int row = 0; row < 5; ++row) {
    EXPECT_EQ(InterfaceTable_Type(row), row);
    EXPECT_STREQ(InterfaceTable_Name(row), names[row]);
    EXPECT_STREQ(InterfaceTable_MenuItem(row), menus[row]);
    EXPECT_EQ(InterfaceTable_BusLetter(row), letters[row]);
  }
  EXPECT_EQ(InterfaceTable_Type(5), -1);
  EXPECT_STREQ(InterfaceTable_Name(-1), "");
  EXPECT_STREQ(BusName('c'), "CAN");
  EXPECT_STREQ(BusName('l'), "LIN");
  EXPECT_STREQ(BusName('m'), "Modbus");
  EXPECT_STREQ(BusName('-'), "?Bus");
}

TEST_F(InterfaceTest, NoInterfaceAtStart) {
  EXPECT_EQ(GetInterfaceType(), kInterfaceNone);
  EXPECT_FALSE(InterfaceActive());
  EXPECT_STREQ(GetInterfaceName(), "None");
  EXPECT_EQ(GetBusLetter(), '-');
  EXPECT_TRUE(InterfaceTable_IsActive(0));
  EXPECT_EQ(GetCanBitrate(), 0);
  EXPECT_STREQ(GetInterfaceDescription(), "");
  EXPECT_EQ(SendCanMsg(Frame(0x685, {0x85})), -1);
  EXPECT_STREQ(GetInterfaceError(), "No interface active");
  SetInterfaceError("x");
  EXPECT_EQ(PollReceive(), -1);
  EXPECT_STREQ(GetInterfaceError(), "No interface active");
  CanMsg m = Frame(0x685, {0x85});
  EXPECT_EQ(RequestReply(0x685, 5, m), -1);
  EXPECT_STREQ(GetInterfaceError(), "No interface active");
}

TEST_F(InterfaceTest, OpenByNameFindsOnlyExactNames) {
  EXPECT_EQ(OpenInterface("Foo"), -1);
  EXPECT_STREQ(GetInterfaceError(), "Unknown interface 'Foo'");
  EXPECT_EQ(OpenInterface("lin adapter"), -1);
  EXPECT_STREQ(GetInterfaceError(), "Unknown interface 'lin adapter'");
  EXPECT_EQ(OpenInterface(""), 0);
  EXPECT_EQ(OpenInterface(nullptr), 0);
  EXPECT_EQ(GetInterfaceType(), kInterfaceNone);
}

TEST_F(InterfaceTest, TheLinAdapterIsAnEmptyLinkAndTheModbusLinkIsNotAvailable) {
  ASSERT_EQ(OpenInterface("LIN Adapter"), 0);
  EXPECT_EQ(GetInterfaceType(), kInterfaceLin);
  EXPECT_STREQ(GetInterfaceName(), "LIN Adapter");
  EXPECT_EQ(GetBusLetter(), 'l');
  EXPECT_TRUE(InterfaceTable_IsActive(4));
  EXPECT_FALSE(InterfaceTable_IsActive(0));
  EXPECT_EQ(SendCanMsg(Frame(0x685, {0x85})), 0);
  EXPECT_EQ(PollReceive(), 0);
  EXPECT_STREQ(GetInterfaceDescription(), "");
  EXPECT_EQ(GetCanBitrate(), 0);
  useManualClock();
  CanMsg m = Frame(0x685, {0x85});
  EXPECT_EQ(RequestReply(0x685, 5, m), -1);
  EXPECT_STREQ(GetInterfaceError(), "Module timeout");
  EXPECT_EQ(CloseInterface(), 0);
  EXPECT_EQ(GetInterfaceType(), kInterfaceNone);

  EXPECT_EQ(GetInterfaceType(), kInterfaceNone);
}

TEST_F(InterfaceTest, SelectingTheActiveInterfaceDoesNothing) {
  openScripted();
  Interface_DeliverFrame(Frame(0x685, {5, 1}));
  const int resets = scripted->resets;
  EXPECT_EQ(OpenInterface("LIN Adapter"), 0);
  EXPECT_EQ(scripted->opens, 1);
  EXPECT_EQ(scripted->closes, 0);
  EXPECT_EQ(scripted->resets, resets);
  EXPECT_EQ(Interface_StoredFrames(5), 1);
}

TEST_F(InterfaceTest, AFailingCloseAbortsTheSwitch) {
  openScripted();
  scripted->closeResult = -1;
  EXPECT_EQ(OpenInterface("None"), -1);
  EXPECT_EQ(GetInterfaceType(), kInterfaceLin);
  EXPECT_EQ(CloseInterface(), -1);
  EXPECT_EQ(GetInterfaceType(), kInterfaceLin);
  scripted->closeResult = 0;
  EXPECT_EQ(OpenInterface("None"), 0);
  EXPECT_EQ(GetInterfaceType(), kInterfaceNone);
  EXPECT_EQ(scripted->closes, 3);
}

TEST_F(InterfaceTest, AFailingOpenLeavesNoInterface) {
  ScriptedLink::InstallAs(kInterfaceLin)->openResult = -1;
  Option_SetInt("SCAN_SEND_INTERVAL_MS", 33);
  EXPECT_EQ(OpenInterface("LIN Adapter"), -1);
  EXPECT_STREQ(GetInterfaceError(), "scripted open failed");
  EXPECT_EQ(GetInterfaceType(), kInterfaceNone);
  EXPECT_EQ(GetInterfaceState(), InterfaceState::Failed);
  EXPECT_EQ(Option_GetInt("SCAN_SEND_INTERVAL_MS"), 33) << "no presets for a failed open";
}

TEST_F(InterfaceTest, SwitchingInterfacesClosesTheOldOneAndEmptiesTheMailboxes) {
  openScripted();
  Interface_DeliverFrame(Frame(0x685, {5, 1}));
  ScriptedLink* adapter = ScriptedLink::InstallAs(kInterfacePcanUsb);
  ASSERT_EQ(OpenInterface("PCAN USB"), 0);
  EXPECT_EQ(scripted->closes, 1);
  EXPECT_EQ(adapter->opens, 1);
  EXPECT_EQ(GetInterfaceState(), InterfaceState::Open);
  EXPECT_EQ(GetInterfaceType(), kInterfacePcanUsb);
  EXPECT_EQ(Interface_StoredFrames(5), 0);
}

TEST_F(InterfaceTest, OpeningPresetsScanAndProgrammingOptionsByLink) {
  ScriptedLink::InstallAs(kInterfacePcanUsb);
  ScriptedLink::InstallAs(kInterfaceLin);
  Option_SetInt("SCAN_FLASHMODE", 7);
  Option_SetInt("SCAN_SEND_INTERVAL_MS", 7);
  Option_SetInt("PROGRAM_SEND_SYNC", 7);
  ASSERT_EQ(OpenInterface("None"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_FLASHMODE"), 7) << "None presets nothing";

  ASSERT_EQ(OpenInterface("PCAN USB"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_FLASHMODE"), 1);
  EXPECT_EQ(Option_GetInt("SCAN_SEND_INTERVAL_MS"), 10);
  EXPECT_EQ(Option_GetInt("PROGRAM_SEND_SYNC"), 0);

  ASSERT_EQ(OpenInterface("LIN Adapter"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_FLASHMODE"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_SEND_INTERVAL_MS"), 100);
  EXPECT_EQ(Option_GetInt("PROGRAM_SEND_SYNC"), 1);

  Option_SetInt("AUTO_INTERF_SET", 0);
  ASSERT_EQ(OpenInterface("PCAN USB"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_FLASHMODE"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_SEND_INTERVAL_MS"), 100);
  EXPECT_EQ(Option_GetInt("PROGRAM_SEND_SYNC"), 1);
}

TEST_F(InterfaceTest, EveryReceivedFrameGoesToTheRecordingLoggerButOnlyModuleFramesAreStored) {
  openScripted();
  g_logged.clear();
  Interface_SetFrameLogger(LogFrame);
  EXPECT_TRUE(Interface_LoggerRecording());
  const uint32_t ids[] = {0x680, 0x6FF, 0x680 + 128, 0x67F, 0x185,
                          0x80000681, 0x40000681, 0x20000681};
  for (uint32_t id : ids) scripted->incoming.push_back(Frame(id, {5}));
  ASSERT_EQ(PollReceive(), 0);
  ASSERT_EQ(g_logged.size(), 8u);
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(g_logged[i].id, ids[i]);
  EXPECT_EQ(Interface_StoredFrames(0), 1);
  EXPECT_EQ(Interface_StoredFrames(127), 1);
  EXPECT_EQ(Interface_StoredFrames(1), 0) << "flagged identifiers of node 1 are never stored";
  CanMsg out;
  EXPECT_EQ(FetchReply(0x680 + 128, 5, out), 0);
  EXPECT_EQ(FetchReply(0x80000681, 5, out), 0);

  Interface_SetFrameLogger(nullptr);
  EXPECT_FALSE(Interface_LoggerRecording());
  scripted->incoming.push_back(Frame(0x682, {5}));
  ASSERT_EQ(PollReceive(), 0);
  EXPECT_EQ(g_logged.size(), 8u);
  EXPECT_EQ(Interface_StoredFrames(2), 1);
}

TEST_F(InterfaceTest, TheNodeRangeFollowsTheBaseIdentifierOption) {
  Option_SetInt("VORN_PROT_BASE_ID", 0x700);
  openScripted();
  scripted->incoming.push_back(Frame(0x705, {5, 1}));
  scripted->incoming.push_back(Frame(0x685, {5, 2}));
  ASSERT_EQ(PollReceive(), 0);
  CanMsg out;
  ASSERT_EQ(FetchReply(0x705, 5, out), 1);
  EXPECT_EQ(out.data[1], 1u);
  EXPECT_EQ(FetchReply(0x685, 5, out), 0);
  EXPECT_EQ(Interface_StoredFrames(5), 0);
}

TEST_F(InterfaceTest, ARequestGetsItsReplyInTheSameRecord) {
  openScripted();
  scripted->onSend = [this](const CanMsg& m) {
    scripted->incoming.push_back(Frame(0x690, {7, 1, 2, 3}));  // another node
    scripted->incoming.push_back(Frame(m.id, {5, 0x81, 2, 3, 4, 5, 6, 1}, 777));
  };
  CanMsg m = Frame(0x68A, {0x85});
  ASSERT_EQ(RequestReply(0x68A, 5, m), 0) << GetInterfaceError();
  ASSERT_EQ(scripted->sent.size(), 1u);
  EXPECT_EQ(scripted->sent[0].data[0], 0x85u);
  EXPECT_EQ(m.id, 0x68Au);
  EXPECT_EQ(m.len, 8u);
  EXPECT_EQ(m.data[0], 5u);
  EXPECT_EQ(m.data[1], 0x81u);
  EXPECT_EQ(m.data[7], 1u);
  EXPECT_EQ(Interface_StoredFrames(16), 1) << "other nodes' frames wait in their mailboxes";
}

TEST_F(InterfaceTest, StaleRepliesAreFlushedBeforeTheRequestGoesOut) {
  openScripted();
  // Received earlier but not yet polled: same command (stale) and another command.
  scripted->incoming.push_back(Frame(0x68A, {5, 0xEE}));
  scripted->incoming.push_back(Frame(0x68A, {6, 0xDD}));
  scripted->onSend = [this](const CanMsg& m) {
    scripted->incoming.push_back(Frame(m.id, {5, 0x11}));
  };
  CanMsg m = Frame(0x68A, {0x85});
  ASSERT_EQ(RequestReply(0x68A, 5, m), 0);
  EXPECT_EQ(m.data[1], 0x11u);
  CanMsg other;
  EXPECT_EQ(FetchReply(0x68A, 6, other), 1) << "replies to other commands are kept";
  EXPECT_EQ(FetchReply(0x68A, 5, other), 0);
}

TEST_F(InterfaceTest, AStaleReplyAloneDoesNotSatisfyTheRequest) {
  openScripted();
  useManualClock();
  scripted->incoming.push_back(Frame(0x68A, {5, 0xEE}));
  CanMsg m = Frame(0x68A, {0x85});
  EXPECT_EQ(RequestReply(0x68A, 5, m), -1);
  EXPECT_STREQ(GetInterfaceError(), "Module timeout");
  EXPECT_EQ(m.data[0], 0x85u) << "the request record stays as it was";
}

TEST_F(InterfaceTest, ASilentModuleTimesOutJustAfterTheOptionsTime) {
  openScripted();
  useManualClock();
  const int64_t start = Clock_NowMs();
  CanMsg m = Frame(0x68A, {0x85});
  EXPECT_EQ(RequestReply(0x68A, 5, m), -1);
  EXPECT_STREQ(GetInterfaceError(), "Module timeout");
  EXPECT_EQ(Clock_NowMs() - start, 1001);

  Option_SetInt("MSGREQUEST_TIMEOUT_MS", 250);
  const int64_t again = Clock_NowMs();
  EXPECT_EQ(RequestReply(0x68A, 5, m), -1);
  EXPECT_EQ(Clock_NowMs() - again, 251);
}

TEST_F(InterfaceTest, AFailingLinkEndsTheRequestWithItsText) {
  openScripted();
  scripted->receiveResult = -1;
  CanMsg m = Frame(0x68A, {0x85});
  EXPECT_EQ(RequestReply(0x68A, 5, m), -1);
  EXPECT_STREQ(GetInterfaceError(), "scripted receive failed");
  EXPECT_EQ(PollReceive(), -1);
}

TEST_F(InterfaceTest, FlushRepliesPollsFirstAndMinusOneEmptiesTheNode) {
  openScripted();
  scripted->incoming.push_back(Frame(0x68A, {5}));
  scripted->incoming.push_back(Frame(0x68A, {6}));
  scripted->incoming.push_back(Frame(0x68B, {6}));
  FlushReplies(0x68A, -1);
  EXPECT_EQ(Interface_StoredFrames(10), 0);
  EXPECT_EQ(Interface_StoredFrames(11), 1);
  FlushReplies(0x680 + 200, -1);  // outside the node range: nothing happens
  EXPECT_EQ(Interface_StoredFrames(11), 1);
}

TEST_F(InterfaceTest, ResetReceiveEmptiesTheLinkAndEveryMailbox) {
  openScripted();
  scripted->incoming.push_back(Frame(0x68A, {5}));
  ASSERT_EQ(PollReceive(), 0);
  scripted->incoming.push_back(Frame(0x68B, {5}));
  ResetReceive();
  EXPECT_EQ(Interface_StoredFrames(10), 0);
  EXPECT_TRUE(scripted->incoming.empty());
  ASSERT_EQ(PollReceive(), 0);
  EXPECT_EQ(Interface_StoredFrames(11), 0);
}

TEST_F(InterfaceTest, ErrorTextKeepsAtMost1023CharactersAndMayQuoteItself) {
  SetInterfaceError("first");
  SetInterfaceError("Interface error:\n%s", GetInterfaceError());
  EXPECT_STREQ(GetInterfaceError(), "Interface error:\nfirst");
  const std::string longText(2000, 'x');
  SetInterfaceError("%s", longText.c_str());
  EXPECT_EQ(std::string(GetInterfaceError()), std::string(1023, 'x'));
}

TEST_F(InterfaceTest, ApplyLinkSettingsHandsTheOptionsToTheLinksAndClearsInput) {
  Option_SetString("ETHERNET_HOSTNAME", "master.example");
  Option_SetInt("ETHERNET_PORTNO", 70000);
  Option_SetInt("ETHERNET_CANBUSNO", 3);
  openScripted();
  Interface_DeliverFrame(Frame(0x685, {5}));
  ApplyLinkSettings();
  EXPECT_STREQ(EthMaster_GetHostName(), "master.example");
  EXPECT_EQ(EthMaster_GetPort(), 65535);
  EXPECT_EQ(EthMaster_GetCanBusNo(), 3) << "kept until the master reports its buses";
  EXPECT_EQ(Interface_StoredFrames(5), 0);
  EXPECT_GE(scripted->resets, 1);
}

}  // namespace
