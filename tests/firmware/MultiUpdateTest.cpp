// The multi-module update run against simulated modules: slots, selection,
// the state machine from check to restart into the firmware, retries, stop,
// and the texts the run leaves in the result cells and the summaries.
#include <gtest/gtest.h>

#include <array>

#include "core/WideText.h"
#include "firmware/FirmwareSimFixture.h"
#include "firmware/MultiUpdate.h"
#include "platform/Poll.h"

namespace {

class MultiUpdateTest : public FirmwareSimTest {
 protected:
  int rowOf(int node) {
    for (size_t i = 0; i < mu.rows().size(); ++i)
      if (mu.rows()[i].rec->node == node) return int(i);
    return -1;
  }
  const std::string& result(int node) { return mu.rows()[size_t(rowOf(node))].result; }
  uint16_t flags(int node) { return mu.rows()[size_t(rowOf(node))].rec->serialFlags; }
  void tick(int max = 100000) {
    for (int i = 0; i < max && mu.running(); ++i) ui.fire(&mu.timer());
  }
  // Ticks until the run is uploading and has sent half of the image.
  void tickIntoUpload() {
    auto half = [] { return FwUpload_GetProgress().total > 0 && FwUpload_GetProgress().sent * 2 >= FwUpload_GetProgress().total; };
    for (int i = 0; i < 10000 && !(mu.state() == MU_UPLOAD && half()); ++i)
      ui.fire(&mu.timer());
    ASSERT_EQ(mu.state(), MU_UPLOAD);
  }
  // Lists the modules (node, type, state), offers `file` as the first slot and opens the dialog.
  void openWith(std::initializer_list<std::array<int, 3>> modules, const std::string& file = {}) {
    for (const auto& m : modules) addModule(m[0], uint32_t(m[1]), uint8_t(m[2]));
    startAndConnect();
    for (const auto& m : modules) listed(m[0]);
    Option_SetWString("RECENT_HEXFILE_LIST", Text_Widen(file.empty() ? firmwareFile(16) : file));
    mu.open();
  }
  // Ticks every row, confirms `question` and starts.
  bool startAll(const char* question, bool stopOnError, int retries) {
    mu.selectAll();
    ui.expectMessage(question, UiAnswer::Ok);
    return mu.start(stopOnError, retries);
  }
  bool firmwareValid(int node) {
    bool valid = false;
    onModule(node, [&](SimModule& m) { valid = m.config().firmwarePresent; });
    return valid;
  }

  MultiUpdate mu;
};

TEST_F(MultiUpdateTest, TwoModulesOfOneTypeAreUpdatedFromOneFileInListOrder) {
  openWith({{3, 16, 0x85}, {2, 16, 0x85}, {4, 17, 0x85}});
  EXPECT_EQ(mu.slotModuleName(0), "KVX 730-08");
  EXPECT_EQ(mu.slot(0).softwareVersion, "3.7");
  EXPECT_EQ(mu.rows()[0].rec->node, 2);  // sorted by the first column

  mu.selectSlot(0);
  EXPECT_EQ(mu.statusLine(), "2 selected");
  ui.expectMessage("Update 2 modules?", UiAnswer::Ok);
  ASSERT_TRUE(mu.start(false, 3));
  EXPECT_TRUE(FwUpload_Running());
  EXPECT_EQ(mu.timer().periodMs(), 10);
  ui.expectMessage("Update finished, all modules ok.", UiAnswer::Ok);
  tick();
  EXPECT_FALSE(FwUpload_Running());
  EXPECT_EQ(ui.messages().back().title, "Update finished");
  EXPECT_EQ(mu.statusLine(), "Update finished, all modules ok.");
  EXPECT_EQ(mu.progress(), 0);

  for (int node : {2, 3}) {
    EXPECT_EQ(result(node), "Ok") << node;
    EXPECT_EQ(flags(node), kMuUpdated) << node;  // unticked
    onModule(node, [&](SimModule& m) {
      EXPECT_EQ(m.state() & 0x80, 0x80);
      EXPECT_EQ(m.config().fwMajor, 3);
      EXPECT_EQ(m.config().fwMinor, 7);
    });
  }
  EXPECT_EQ(result(4), "");
  using R = std::pair<int, int>;
  EXPECT_EQ(restarts(), (std::vector<R>{{2, 0}, {2, 255}, {3, 0}, {3, 255}}));

  // Nothing is ticked any more.
  ui.expectMessage("No module(s) selected", UiAnswer::Ok);
  EXPECT_FALSE(mu.start(false, 3));
}

TEST_F(MultiUpdateTest, ModulesWithoutAFileAreDeselectedAndNothingStarts) {
  openWith({{2, 16, 0x85}, {4, 17, 0x85}, {5, 17, 0x85}});
  mu.selectAll();
  EXPECT_EQ(mu.statusLine(), "3 selected");
  ui.expectMessage("2 module(s) deselected (no matching firmware hexfile)", UiAnswer::Ok);
  EXPECT_FALSE(mu.start(false, 3));
  EXPECT_FALSE(mu.running());
  EXPECT_TRUE(mu.selected(rowOf(2)));
  EXPECT_FALSE(mu.selected(rowOf(4)));
  EXPECT_FALSE(mu.selected(rowOf(5)));
  EXPECT_TRUE(restarts().empty());

  mu.selectAvailable();
  EXPECT_EQ(mu.statusLine(), "1 selected");
  mu.deselectAll();
  EXPECT_EQ(mu.statusLine(), "0 selected");
}

TEST_F(MultiUpdateTest, ModuleInItsBootloaderIsUploadedWithoutARestartFirst) {
  openWith({{7, 16, 0x01}});
  mu.setSelected(0, true);
  ui.expectMessage("Update 1 module?", UiAnswer::Ok);
  ASSERT_TRUE(mu.start(false, 0));
  ui.fire(&mu.timer());  // next module
  ui.fire(&mu.timer());  // check
  EXPECT_EQ(result(7), "Update (init)");
  EXPECT_EQ(flags(7), kMuSelected | kMuUpdating);
  ui.expectMessage("all modules ok", UiAnswer::Ok);
  tick();
  EXPECT_EQ(result(7), "Ok");
  EXPECT_EQ(restarts(), (std::vector<std::pair<int, int>>{{7, 255}}));
}

TEST_F(MultiUpdateTest, ModuleInItsFirmwareGoesIntoTheBootloaderFirst) {
  openWith({{2, 16, 0x85}});
  ASSERT_TRUE(startAll("Update 1 module?", false, 0));
  ui.fire(&mu.timer());  // next module
  ui.fire(&mu.timer());  // check
  EXPECT_EQ(result(2), "Update (going into Bootloader)");
  EXPECT_EQ(flags(2), kMuSelected | kMuRestarting);
  ui.fire(&mu.timer());  // restart
  EXPECT_EQ(mu.statusLine(), "CAN ID 2 (KVX 730-08): restarting into Bootloader");
  EXPECT_EQ(mu.state(), MU_WAIT);
  ui.fire(&mu.timer());  // wait, then the module answers from its bootloader
  EXPECT_EQ(result(2), "Update (init)");
  EXPECT_EQ(mu.state(), MU_START_UPLOAD);
  mu.abort();
}

TEST_F(MultiUpdateTest, StartIsRefusedWhileAnUploadRuns) {
  openWith({{2, 16, 0x01}});
  mu.selectAll();
  FwUpload_SetRunning(true);
  ui.expectMessage("Update already active", UiAnswer::Ok);
  EXPECT_FALSE(mu.start(false, 3));
  EXPECT_FALSE(mu.running());
  EXPECT_FALSE(mu.timer().active());
  EXPECT_TRUE(FwUpload_Running());  // still the other upload's
  EXPECT_TRUE(mu.selected(0));
}

TEST_F(MultiUpdateTest, FailingUploadIsRetriedAndReportedWithTheRetries) {
  openWith({{2, 16, 0x01}});
  onModule(2, [](SimModule& m) { m.bootloader().faults().wrongCheckValues = 1000; });
  ASSERT_TRUE(startAll("Update 1 module?", false, 3));
  bool sawRetry = false;
  for (int i = 0; i < 10000 && mu.running() && !sawRetry; ++i) {
    ui.fire(&mu.timer());
    sawRetry = result(2) == "Update (retry 1)";
  }
  EXPECT_TRUE(sawRetry);
  ui.expectMessage("Update finished with errors,\n1 module(s) failed.", UiAnswer::Ok);
  tick();
  EXPECT_EQ(result(2), "Error (3 retries): Upload checksum error #1\n(try synchronous mode)");
  EXPECT_EQ(flags(2), kMuFailed);
  EXPECT_EQ(ui.messages().back().title, "Update finished with errors");

  // Without retries the text says so.
  ASSERT_TRUE(startAll("Update 1 module?", false, 0));
  ui.expectMessage("with errors", UiAnswer::Ok);
  tick();
  EXPECT_EQ(result(2), "Error: Upload checksum error #1\n(try synchronous mode)");
}

TEST_F(MultiUpdateTest, CheckFailuresNameTheFirstMismatch) {
  openWith({{2, 16, 0x85}, {3, 16, 0x85}}, firmwareFile(16, "hw5.hex", 5));
  ASSERT_TRUE(startAll("Update 2 modules?", true, 3));  // stop on the first failure
  ui.expectMessage("1 module(s) failed.", UiAnswer::Ok);
  tick();
  EXPECT_EQ(result(2), "Error: checking hexfile against module failed: Hardware version mismatch");
  EXPECT_EQ(result(3), "");  // never reached
  EXPECT_TRUE(restarts().empty());

  // A wrong hardware version is waived with PROGRAM_ALLOW_WRONG_TYPE.
  Option_SetInt("PROGRAM_ALLOW_WRONG_TYPE", 1);
  ASSERT_TRUE(startAll("Update 2 modules?", false, 0));
  ui.expectMessage("all modules ok", UiAnswer::Ok);
  tick();
  EXPECT_EQ(result(3), "Ok");
}

TEST_F(MultiUpdateTest, AnAnswerGarbledDuringTheCheckIsAskedForAgain) {
  openWith({{2, 16, 0x85}});
  sim.corruptNextReplies(SimCorruption::ShortReply);  // the module info, one byte short
  ASSERT_TRUE(startAll("Update 1 module?", false, 3));
  ui.expectMessage("Update finished, all modules ok.", UiAnswer::Ok);
  tick();
  EXPECT_EQ(result(2), "Ok");
  // Without retries the module fails.
  sim.corruptNextReplies(SimCorruption::ShortReply);
  ASSERT_TRUE(startAll("Update 1 module?", false, 0));
  ui.expectMessage("1 module(s) failed.", UiAnswer::Ok);
  tick();
  EXPECT_EQ(result(2), "Error: checking hexfile against module failed: Can't read module parameters");
}

TEST_F(MultiUpdateTest, ARetryGoesOnFromTheFlashBlockThatFailed) {
  openWith({{2, 16, 0x01}});
  const auto dataFrames = [&] {
    int n = 0;
    for (const SimFrame& f : framesToModules()) n += f.len == 8 && (f.data[0] == 0x21 || f.data[0] == 0x61);
    return n;
  };
  ASSERT_TRUE(startAll("Update 1 module?", false, 3));
  ui.expectMessage("all modules ok", UiAnswer::Ok);
  tick();
  const int clean = dataFrames();
  sim.clearTraffic();

  ASSERT_TRUE(startAll("Update 1 module?", false, 3));
  tickIntoUpload();
  onModule(2, [](SimModule& m) { m.bootloader().faults().wrongCheckValues = 1; });  // this block fails
  ui.expectMessage("all modules ok", UiAnswer::Ok);
  tick();
  EXPECT_EQ(result(2), "Ok (after 1 retries)");
  EXPECT_TRUE(firmwareValid(2));
  EXPECT_GT(dataFrames(), clean);
  EXPECT_LE(dataFrames(), clean + 128 / 7 + 1) << "one flash block again, not the whole image";
}

TEST_F(MultiUpdateTest, ModuleThatNeverComesBackFailsAfterFourRestarts) {
  openWith({{2, 16, 0x85}});
  onModule(2, [](SimModule& m) { m.bootloader().faults().neverReturnFromReset = true; });
  clock.setPeerGraceMs(2);  // the silent module's requests cost little
  ASSERT_TRUE(startAll("Update 1 module?", false, 3));
  ui.expectMessage("1 module(s) failed.", UiAnswer::Ok);
  tick();
  EXPECT_EQ(result(2), "Error: Can't restart into Bootloader");
  for (int i = 0; i < 100 && restarts().size() < 4; ++i) sim.waitForReceived(sim.receivedFrames().size() + 1, 10);
  EXPECT_EQ(restarts().size(), 4u);
}

TEST_F(MultiUpdateTest, StopEndsTheRunWithTheUserBreakAndLeavesTheModuleInItsBootloader) {
  openWith({{2, 16, 0x85}, {3, 16, 0x85}});
  Option_SetDouble("PROGRAM_SEND_INTERVAL_MS", 10);  // one step per tick
  ASSERT_TRUE(startAll("Update 2 modules?", false, 3));
  tickIntoUpload();
  EXPECT_GE(mu.progress(), 25);  // half of the first of two modules
  EXPECT_LT(mu.progress(), 30);
  EXPECT_EQ(mu.statusLine().rfind("CAN ID 2 (KVX 730-08): ", 0), 0u) << mu.statusLine();
  mu.stop();
  ui.expectMessage("Update terminated on user break.", UiAnswer::Ok);
  ui.fire(&mu.timer());
  EXPECT_FALSE(mu.running());
  EXPECT_FALSE(FwUpload_Running());
  EXPECT_EQ(ui.messages().back().title, "User Break");
  EXPECT_FALSE(firmwareValid(2));
  onModule(2, [](SimModule& m) { EXPECT_EQ(m.state() & 0x80, 0); });
  EXPECT_EQ(result(3), "");
}

TEST_F(MultiUpdateTest, StopClickedTwiceStillEndsWithTheUserBreak) {
  openWith({{2, 16, 0x01}});
  ASSERT_TRUE(startAll("Update 1 module?", false, 3));
  ui.fire(&mu.timer());
  mu.stop();
  mu.stop();  // a second click before the run's next tick
  ui.expectMessage("Update terminated on user break.", UiAnswer::Ok);
  ui.fire(&mu.timer());
  EXPECT_FALSE(mu.running());
  EXPECT_EQ(ui.messages().back().title, "User Break");
  EXPECT_LT(mu.failures(), 0);
}

TEST_F(MultiUpdateTest, SummaryIsShownBeforeTheProgressBarGoesBackToZero) {
  openWith({{2, 16, 0x01}});
  ASSERT_TRUE(startAll("Update 1 module?", false, 3));
  // (message boxes shown so far, progress) at every change once the summary is in the status line
  std::vector<std::pair<size_t, int>> atEnd;
  mu.onChanged([&] {
    if (mu.statusLine() == "Update finished, all modules ok.") atEnd.emplace_back(ui.messages().size(), mu.progress());
  });
  ui.expectMessage("Update finished, all modules ok.", UiAnswer::Ok);
  tick();
  const size_t boxes = ui.messages().size();
  EXPECT_EQ(atEnd, (std::vector<std::pair<size_t, int>>{{boxes - 1, 100}, {boxes, 0}}));
}

TEST_F(MultiUpdateTest, ClosingDuringARunEndsItSilently) {
  openWith({{2, 16, 0x85}});
  ASSERT_TRUE(startAll("Update 1 module?", false, 3));
  ui.fire(&mu.timer());
  ui.fire(&mu.timer());
  mu.close(true, 5);
  EXPECT_FALSE(mu.running());
  EXPECT_FALSE(FwUpload_Running());
  EXPECT_FALSE(ui.waitCursor());
  EXPECT_EQ(Option_GetInt("MULTI_UPDATE_STOP_ON_ERROR"), 1);
  EXPECT_EQ(Option_GetInt("MULTI_UPDATE_RETRIES"), 5);
}

TEST_F(MultiUpdateTest, SlotsComeFromAndGoBackToTheRecentList) {
  startAndConnect();
  ui.expectMessage("The Module list is emtpy", UiAnswer::Ok);
  const std::string a = firmwareFile(16, "a.hex"), b = firmwareFile(17, "b.hex");
  const std::string notFirmware = folder.file("plain.hex");
  WriteWholeFile(notFirmware, ":0400000001020304F2\r\n:00000001FF\r\n");
  // Six names, empty parts skipped: the fifth and sixth slot are not shown but kept.
  Option_SetWString("RECENT_HEXFILE_LIST", Text_Widen(";" + a + ";;" + notFirmware + ";" + a + ";" + a + ";" + b));
  mu.open();
  EXPECT_EQ(mu.slotModuleName(0), "KVX 730-08");
  EXPECT_EQ(mu.slotModuleName(1), "?");
  EXPECT_EQ(mu.slot(1).type, -1);
  EXPECT_EQ(mu.slotModuleName(4), "KVX 720-08");
  EXPECT_EQ(mu.slotModuleName(5), "");
  mu.setSlot(1, L"");
  mu.close(false, 3);
  EXPECT_EQ(Text_Narrow(Option_GetWString("RECENT_HEXFILE_LIST")), a + ";" + a + ";" + a + ";" + b);
}

TEST(MultiUpdateProgress, SecondOfFourAtHalfShows37) {
  EXPECT_EQ(MultiUpdate_Progress(2, 4, 500, 1000), 37);
  EXPECT_EQ(MultiUpdate_Progress(1, 1, 1000, 1000), 100);
  EXPECT_EQ(MultiUpdate_Progress(1, 3, 0, 0), 0);
}

}  // namespace
