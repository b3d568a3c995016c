// The bus scan against the simulated bus master: flash mode and node by node,
// progress, cancelling in both phases, modules found twice, dialogs opened
// automatically, send failures. The timers are fired by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeDialogs.h"
#include "ProtocolSimFixture.h"
#include "core/ErrorReport.h"
#include "core/Shell.h"
#include "platform/Poll.h"

namespace {

class BusScanTest : public ProtocolSimTest {
 protected:
  void SetUp() override {
    ProtocolSimTest::SetUp();
    FakeDialogs::install();
    FakeDialogs::installView(true);
    connect(busPopulation());
    BusScan_SetProgressHook([this](int p) { progress.push_back(p); });
    Shell_SetUpdateControlsHook([this] { ++controlUpdates; });
  }
  virtual SimPopulation busPopulation() { return population(); }
  void useFlashMode(bool on) { Option_SetInt("SCAN_FLASHMODE", on ? 1 : 0); }
  // Starts a scan that asks the nodes from `start` to `stop` one by one.
  void scanNodeByNode(int start, int stop) {
    useFlashMode(false);
    Option_SetInt("SCAN_RANGE_START", start);
    Option_SetInt("SCAN_RANGE_STOP", stop);
    BusScan_Command();
  }
  void fire(int timer) { ui.fire(&BusScan_Timer(timer)); }
  bool armed(int timer) { return ui.isArmed(&BusScan_Timer(timer)); }
  // Identify requests the program sent, by node.
  std::vector<int> identifiedNodes() {
    std::vector<int> nodes;
    for (const SimFrame& f : framesToModules())
      if (f.len == 1 && f.data[0] == 0x80) nodes.push_back(int(f.id) - 0x680);
    return nodes;
  }
  void expectIdle() {
    EXPECT_FALSE(ScanRunning());
    EXPECT_FALSE(armed(1));
    EXPECT_FALSE(armed(2));
    EXPECT_FALSE(armed(3));
    EXPECT_FALSE(ui.waitCursor());
  }

  std::vector<int> progress;
  int controlUpdates = 0;
  // Bus 0 holds seven modules, the LIN master among them.
  static constexpr int kBus0Modules = 7;
};

const std::vector<std::string> kBus0Lines = {" 2\tKVX 730-08",  " 3\tKVX 740-02",
                                             " 5\tKVX 780-01",  " 7\tKVX 720-08",
                                             " 10\tKVX 707-01C", " 12\t(unknown)"};

TEST_F(BusScanTest, FlashModeAsksAllModulesAtOnceAndListsThemWhileCollecting) {
  useFlashMode(true);
  Option_SetInt("SCAN_CHECK_INTERVAL_MS", 120);
  Option_SetInt("SCAN_COLLECT_INTERVAL_MS", 700);
  BusScan_Command();
  EXPECT_TRUE(ScanRunning());
  EXPECT_TRUE(ui.waitCursor());
  EXPECT_TRUE(BusScan_Collecting());
  EXPECT_EQ(progress, std::vector<int>{100});
  EXPECT_FALSE(armed(1));
  EXPECT_EQ(ui.armedPeriod(&BusScan_Timer(2)), 120);
  EXPECT_EQ(ui.armedPeriod(&BusScan_Timer(3)), 700);
  EXPECT_EQ(controlUpdates, 1);
  EXPECT_EQ(FakeDialogs::calls, std::vector<std::string>{"header CAN ID"});
  const std::vector<SimFrame> sent = awaitFramesToModules(2);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], SimFrame(0x680, 0, {0x82}));  // the search request goes first
  EXPECT_EQ(sent[1], SimFrame(0x680, 0, {0x80}));

  ASSERT_TRUE(awaitStored(kBus0Modules));
  fire(2);
  EXPECT_EQ(lines(), kBus0Lines);
  EXPECT_EQ(Option_GetInt("LIN_MASTER_ID"), 20);
  EXPECT_EQ(GetStatusText(), "Found 6 modules");
  EXPECT_TRUE(ScanRunning());
  fire(3);
  expectIdle();
  EXPECT_EQ(controlUpdates, 2);
  EXPECT_EQ(lines(), kBus0Lines);
  EXPECT_EQ(ModuleList_CountDialogs(), 0);  // SCAN_OPEN_DIALOG is off by default
}

TEST_F(BusScanTest, ARangeOfOneNodeSendsOneRequestAtProgressZeroThenCollects) {
  useFlashMode(false);
  Option_SetInt("SCAN_RANGE_START", 5);
  Option_SetInt("SCAN_RANGE_STOP", 5);
  Option_SetInt("SCAN_SEND_INTERVAL_MS", 40);
  BusScan_Command();
  EXPECT_FALSE(BusScan_Collecting());
  EXPECT_EQ(ui.armedPeriod(&BusScan_Timer(1)), 40);
  EXPECT_FALSE(armed(3));
  fire(1);
  EXPECT_EQ(progress, (std::vector<int>{0, 0}));
  EXPECT_TRUE(BusScan_Collecting());
  EXPECT_FALSE(armed(1));
  EXPECT_TRUE(armed(3));
  awaitFramesToModules(2);
  EXPECT_EQ(identifiedNodes(), std::vector<int>{5});
  ASSERT_TRUE(awaitStored(1));
  fire(3);
  EXPECT_EQ(lines(), std::vector<std::string>{" 5\tKVX 780-01"});
  expectIdle();
}

TEST_F(BusScanTest, ProgressRunsOverTheRangeOneNodePerTick) {
  scanNodeByNode(1, 4);
  for (int i = 0; i < 4; ++i) fire(1);
  EXPECT_EQ(progress, (std::vector<int>{0, 0, 33, 66, 100}));
  EXPECT_TRUE(BusScan_Collecting());
  awaitFramesToModules(5);
  EXPECT_EQ(identifiedNodes(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(BusScanTest, ARangeGivenBackwardsIsScannedUpwards) {
  scanNodeByNode(6, 4);
  for (int i = 0; i < 3; ++i) fire(1);
  EXPECT_TRUE(BusScan_Collecting());
  awaitFramesToModules(4);
  EXPECT_EQ(identifiedNodes(), (std::vector<int>{4, 5, 6}));
}

TEST_F(BusScanTest, CancelWhileSendingStillCollectsTheNodesAlreadyAsked) {
  scanNodeByNode(1, 127);
  fire(1);
  fire(1);
  BusScan_Command();  // "Cancel"
  EXPECT_TRUE(ScanRunning());
  EXPECT_TRUE(BusScan_Collecting());
  EXPECT_FALSE(armed(1));
  EXPECT_TRUE(armed(2));
  EXPECT_TRUE(armed(3));
  ASSERT_TRUE(awaitStored(1));
  fire(3);
  EXPECT_EQ(lines(), std::vector<std::string>{" 2\tKVX 730-08"});
  EXPECT_EQ(identifiedNodes(), (std::vector<int>{1, 2}));
  expectIdle();
}

TEST_F(BusScanTest, CancelWhileCollectingEndsAtOnceAndTheNextScanDropsTheLateReplies) {
  useFlashMode(true);
  BusScan_Command();
  ASSERT_TRUE(awaitStored(kBus0Modules));
  BusScan_Command();  // "Cancel"
  expectIdle();
  EXPECT_EQ(ModuleList_Count(), 0);  // no last check
  EXPECT_EQ(storedFrames(), kBus0Modules);
  BusScan_Command();
  EXPECT_EQ(storedFrames(), 0);
  EXPECT_TRUE(ScanRunning());
}

TEST_F(BusScanTest, AModuleFoundTwiceKeepsOneRecordAndItsDialogIsRecreatedInPlace) {
  useFlashMode(true);
  Option_SetInt("SCAN_OPEN_DIALOG", 1);
  BusScan_Command();
  ASSERT_TRUE(awaitStored(kBus0Modules));
  fire(2);
  ModuleRec* rec = recordOfNode(2);
  ASSERT_NE(rec, nullptr);
  ASSERT_NE(rec->dialog, nullptr);
  rec->dialogX = 200;
  rec->dialogY = 90;
  FakeDialogs::calls.clear();
  // The same module answers again before the scan ends.
  sim.injectBusFrame(0, SimFrame(0x682, 0, {0x00, 0x85, 16, 2, 0, 0, 0, 0}));
  ASSERT_TRUE(awaitStored(1));
  fire(3);
  EXPECT_EQ(ModuleList_Count(), 6);
  EXPECT_EQ(FakeDialogs::calls, (std::vector<std::string>{"close 2", "open 2 reopen"}));
  EXPECT_EQ(rec->dialogX, 200);
  EXPECT_EQ(rec->dialogY, 90);
}

TEST_F(BusScanTest, OnlyTheFirstModulesFoundOpenTheirDialogs) {
  useFlashMode(true);
  Option_SetInt("SCAN_OPEN_DIALOG", 1);
  Option_SetInt("SCAN_OPEN_DIALOGS", 2);
  BusScan_Command();
  ASSERT_TRUE(awaitStored(kBus0Modules));
  fire(3);
  EXPECT_EQ(ModuleList_CountDialogs(), 2);
  EXPECT_NE(recordOfNode(2)->dialog, nullptr);
  EXPECT_NE(recordOfNode(3)->dialog, nullptr);
  EXPECT_EQ(recordOfNode(5)->dialog, nullptr);
}

TEST_F(BusScanTest, ASendFailureEndsTheScanWithTheInterfaceError) {
  useFlashMode(false);
  Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  BusScan_Command();
  fire(1);
  CloseInterface();
  ui.expectMessage("Interface error:\nNo interface active", UiAnswer::Ok);
  fire(1);
  expectIdle();
}

TEST_F(BusScanTest, TheBusMasterDroppingTheConnectionMidScanEndsItWithTheInterfaceError) {
  Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  scanNodeByNode(1, 127);
  fire(1);
  fire(1);
  ASSERT_TRUE(awaitStored(1));
  fire(2);  // node 2 is listed while the scan runs
  sim.closeConnection();
  ui.expectMessage("Interface error:\n", UiAnswer::Ok);
  // The link notices the closed connection on a read or a write; from then on
  // every request fails and the first failed one ends the scan.
  for (int tick = 0; tick < 200 && ScanRunning(); ++tick) {
    Poll_WaitReadable(EthMaster_Descriptor(), 5);
    fire(2);
    if (ScanRunning()) fire(1);
  }
  expectIdle();
  EXPECT_EQ(ui.pendingExpectations(), 0u);
  EXPECT_EQ(lines(), std::vector<std::string>{" 2\tKVX 730-08"});  // what was found stays
}

TEST_F(BusScanTest, TheLinkFailingWhileCollectingEndsTheScanQuietlyAtTheCollectTime) {
  useFlashMode(true);
  BusScan_Command();
  ASSERT_TRUE(awaitStored(kBus0Modules));
  sim.closeConnection();
  for (int i = 0; i < 20; ++i) {
    Poll_WaitReadable(EthMaster_Descriptor(), 5);
    fire(2);
  }
  fire(3);
  expectIdle();
  EXPECT_EQ(lines(), kBus0Lines);  // the replies that arrived before are listed
}

TEST_F(BusScanTest, AScanStartsWithAnEmptyListAndNoneStartsWhileBusy) {
  ModuleList_Add(40, 'c', 16, 1, 0, false);
  SetBusy(true);
  BusScan_Command();
  EXPECT_FALSE(ScanRunning());
  EXPECT_EQ(ModuleList_Count(), 1);
  SetBusy(false);
  BusScan_Start();
  EXPECT_TRUE(ScanRunning());
  EXPECT_EQ(ModuleList_Count(), 0);
  BusScan_Start();  // a second start while running does not cancel
  EXPECT_TRUE(ScanRunning());
}

// A full bus: 127 modules, all answering a flash-mode request at once.
class BusScanLoadTest : public BusScanTest {
 protected:
  SimPopulation busPopulation() override {
    SimPopulation p;
    const uint32_t types[] = {16, 17, 32, 48, 24, 272};
    for (int node = 1; node <= 127; ++node)
      p.modules.push_back(SimModuleConfig::make(0, node, types[node % 6]));
    return p;
  }
  void expectEveryNodeListed() {
    ASSERT_EQ(ModuleList_Count(), 127);
    int node = 1;
    for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec), ++node) {
      EXPECT_EQ(rec->node, node);
      EXPECT_NE(rec->typeInfo, nullptr) << node;
    }
    EXPECT_EQ(GetStatusText(), "Found 127 modules");
  }
};

TEST_F(BusScanLoadTest, AFlashScanListsAll127Modules) {
  useFlashMode(true);
  BusScan_Command();
  ASSERT_TRUE(awaitStored(127));
  fire(2);
  fire(3);
  expectIdle();
  expectEveryNodeListed();
}

TEST_F(BusScanLoadTest, ANodeByNodeScanOfTheWholeRangeListsAll127Modules) {
  scanNodeByNode(1, 127);
  for (int node = 1; node <= 127; ++node) {
    fire(1);
    if (node % 16 == 0) fire(2);  // listed while the scan runs
  }
  EXPECT_TRUE(BusScan_Collecting());
  EXPECT_EQ(progress.back(), 100);
  ASSERT_TRUE(awaitStored(127 - ModuleList_Count()));
  fire(3);
  expectIdle();
  expectEveryNodeListed();
}

}  // namespace
