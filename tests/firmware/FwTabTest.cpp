// The firmware tab's logic: what the two columns, the marks and the buttons
// show for a module and a file, the restart into bootloader or firmware on
// the wire, and the file watcher's timing.
#include <gtest/gtest.h>

#include <tuple>

#include "core/ErrorReport.h"
#include "firmware/FwFileWatch.h"
#include "firmware/FwTabFields.h"
#include "firmware/UploadTestSupport.h"
#include "protocol/ModuleType.h"
#include "protocol/WireConstants.h"

namespace {

// A KVX 730-08 (type 16), hardware 2, code start 0x400, bootloader or firmware.
struct Pair {
  ModuleRec rec;
  FwModuleInfo m;
  FwHexInfo h;
  Pair(bool firmwareRuns) {
    rec.node = 5;
    rec.type = 16;
    rec.version = 2;
    m.running = firmwareRuns ? 1 : 0;
    m.type = 16;
    m.hardwareVersion = 2;
    m.codeStart = 0x400;
    m.firmwareVersion = firmwareRuns ? "2.5" : "(?)";
    m.fwPresent = firmwareRuns;
    h.infoType = 1;
    h.moduleType = 16;
    h.hardwareVersion = 2;
    h.codeStart = 0x400;
    h.softwareVersion = "2.6";
    h.size = 63295;
    h.wordData = 1;
  }
  FwTabFields compose(int r = 0, int hr = 0, FwTabModes modes = {}) const {
    return FwTab_Compose(rec, m, r, h, hr, modes);
  }
};

TEST(FwTabCompose, BootloaderWithAMatchingFileMayBeWritten) {
  Pair p(false);
  FwTabFields f = p.compose();
  EXPECT_TRUE(f.writeEnabled);
  EXPECT_EQ(f.typeMark, FwMark::Agree);
  EXPECT_EQ(f.hardwareMark, FwMark::Agree);
  EXPECT_EQ(f.codeMark, FwMark::Agree);
  EXPECT_EQ(f.moduleHeading, "Module (Bootloader):");
  EXPECT_EQ(f.fileHeading, "Hex File (61.8k Word Data):");
  EXPECT_EQ(f.restartText, "Restart into Firmware...");
  EXPECT_FALSE(f.restartEnabled);  // no firmware to go to
  EXPECT_EQ(f.module.type, "KVX 730-08");
  EXPECT_EQ(f.module.codeStart, "0x400");
  EXPECT_EQ(f.file.type, "KVX 730-08");
  EXPECT_EQ(f.file.hardware, "2");
  EXPECT_EQ(f.file.firmware, "2.6");
  EXPECT_TRUE(f.fileColumnEnabled);
}

TEST(FwTabCompose, RunningFirmwareHidesTheMarksAndNeverWrites) {
  Pair p(true);
  FwTabFields f = p.compose();
  EXPECT_FALSE(f.writeEnabled);
  EXPECT_EQ(f.typeMark, FwMark::Hidden);
  EXPECT_EQ(f.hardwareMark, FwMark::Hidden);
  EXPECT_EQ(f.codeMark, FwMark::Hidden);
  EXPECT_FALSE(f.fileColumnEnabled);
  EXPECT_EQ(f.restartText, "Restart into Bootloader...");
  EXPECT_TRUE(f.restartEnabled);
  EXPECT_EQ(f.moduleHeading, "Module (Firmware):");
  FwTabModes all{true, true, true};
  EXPECT_FALSE(p.compose(0, 0, all).writeEnabled);
}

TEST(FwTabCompose, EachDisagreementIsMarkedAndBlocksTheWrite) {
  Pair p(false);
  p.h.moduleType = 17;
  FwTabFields f = p.compose();
  EXPECT_EQ(f.typeMark, FwMark::Differ);
  EXPECT_FALSE(f.writeEnabled);
  FwTabModes wrongTypeAllowed;
  wrongTypeAllowed.allowWrongType = true;
  EXPECT_TRUE(p.compose(0, 0, wrongTypeAllowed).writeEnabled);

  Pair code(false);
  code.h.codeStart = 0x800;
  EXPECT_EQ(code.compose().codeMark, FwMark::Differ);
  EXPECT_FALSE(code.compose(0, 0, wrongTypeAllowed).writeEnabled);  // the code start is never waived

  Pair hw(false);
  hw.h.hardwareVersion = -1;  // not declared: no agreement
  EXPECT_EQ(hw.compose().hardwareMark, FwMark::Differ);
  EXPECT_FALSE(hw.compose().writeEnabled);
}

TEST(FwTabCompose, BootloaderFileIsShownButOnlyFactoryDebugMayWriteIt) {
  Pair p(false);
  p.h.infoType = 0;
  p.h.softwareVersion = "1.3";
  FwTabFields f = p.compose(0, -1);
  EXPECT_EQ(f.file.firmware, "(Bootloader 1.3)");
  EXPECT_FALSE(f.writeEnabled);
  p.h.softwareVersion.clear();
  EXPECT_EQ(p.compose(0, -1).file.firmware, "(Bootloader)");
  FwTabModes factoryDebug{true, true, false};
  EXPECT_TRUE(p.compose(0, -1, factoryDebug).writeEnabled);
  FwTabModes debugOnly{false, true, false};
  EXPECT_FALSE(p.compose(0, -1, debugOnly).writeEnabled);
}

TEST(FwTabCompose, FactoryModeAddsTheTypeNumbers) {
  Pair p(false);
  p.h.moduleType = 4242;
  FwTabModes factory{true, false, false};
  FwTabFields f = p.compose(0, 0, factory);
  EXPECT_EQ(f.module.type, "KVX 730-08   (#16)");
  EXPECT_EQ(f.file.type, "unknown  (#4242)");
}

TEST(FwTabCompose, SilentModuleLeavesItsColumnEmptyAndEveryButtonOff) {
  Pair p(false);
  p.m = FwModuleInfo{};
  p.m.type = 16;
  p.m.hardwareVersion = 2;
  FwTabFields f = p.compose(-1, 0);
  EXPECT_EQ(f.module.hardware, "");
  EXPECT_EQ(f.module.firmware, "");
  EXPECT_EQ(f.module.codeStart, "");
  EXPECT_EQ(f.moduleHeading, "Module:");
  EXPECT_FALSE(f.writeEnabled);
  EXPECT_FALSE(f.restartEnabled);
  EXPECT_EQ(f.typeMark, FwMark::Agree);  // shown: the mode is not known
  EXPECT_EQ(f.codeMark, FwMark::Differ);
}

// ---- against the simulated module ------------------------------------------------

class FwTabModuleTest : public UploadTest {
 protected:
  void SetUp() override {
    UploadTest::SetUp();
    Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  }
  SimModuleId addFirmwareModule(uint8_t state) {
    SimModuleConfig c = SimModuleConfig::make(0, kNode, 16);
    c.cpu = Wire::VORN_CPU_DSPIC30F;
    c.state = state;
    c.hwVersion = 2;
    module = sim.addModule(c);
    rec.type = 16;
    rec.version = 2;
    return module;
  }
  // Target bytes of the restart frames; waits a little for one to arrive.
  std::vector<uint8_t> restartBytes(bool wait = true) {
    std::vector<uint8_t> out;
    for (int round = 0; round < (wait ? 100 : 1) && out.empty(); ++round) {
      if (round) sim.waitForReceived(sim.receivedFrames().size() + 1, 10);
      for (const SimFrame& f : sentToModule())
        if (f.data[0] == 0x01) out.push_back(f.data[1]);
    }
    return out;
  }
};

TEST_F(FwTabModuleTest, ModuleSideReadsVersionsModeAndCodeStart) {
  addFirmwareModule(0x85);
  FwModuleInfo m;
  ASSERT_EQ(FwInfo_ReadModule(rec, m), 0);
  EXPECT_EQ(m.running, 1);
  EXPECT_EQ(m.firmwareVersion, "1.0");
  EXPECT_EQ(m.codeStart, 0x400u);  // the dsPIC30F bootloader's word address
  EXPECT_EQ(commandBytes(sentToModule()), (std::vector<uint8_t>{0x85, 0xA4}));
}

TEST_F(FwTabModuleTest, RestartAsksAndSendsTheTargetOfTheMode) {
  addFirmwareModule(0x85);
  ui.expectMessage("Restart module into bootloader?", UiAnswer::Cancel);
  EXPECT_EQ(FwTab_Restart(rec), 0);
  EXPECT_TRUE(restartBytes(false).empty());
  ui.expectMessage("Restart module into bootloader?", UiAnswer::Ok);
  EXPECT_EQ(FwTab_Restart(rec), 1);
  EXPECT_EQ(rec.infoValid, 0u);
  EXPECT_EQ(restartBytes(), std::vector<uint8_t>{0});
}

TEST_F(FwTabModuleTest, SearchModeModuleGoesToFirmwareWithByteFourToBootloaderWithTwo) {
  for (auto [state, question, target] : {std::tuple{0x01, "into firmware?", 4}, {0x85, "into bootloader?", 2}}) {
    addFirmwareModule(uint8_t(state));
    sim.clearTraffic();
    onModule([](SimModule& m) { m.enterSearchMode(); });
    ui.expectMessage(question, UiAnswer::Ok);
    EXPECT_EQ(FwTab_Restart(rec), 1);
    EXPECT_EQ(restartBytes(), std::vector<uint8_t>{uint8_t(target)});
    sim.removeModule(module);
  }
}

TEST_F(FwTabModuleTest, NoBootloaderOrNoFirmwareIsSaidBeforeRestarting) {
  addFirmwareModule(0x85);
  onModule([](SimModule& m) { m.config().bootMajor = m.config().bootMinor = 255; });
  ui.expectMessage("No bootloader found!\nTry to restart into bootloader anyway?", UiAnswer::No);
  EXPECT_EQ(FwTab_Restart(rec), 0);
  EXPECT_EQ(ui.messages().back().buttons, UiButtons::YesNo);
  EXPECT_EQ(ui.messages().back().icon, UiIcon::Warning);
  sim.removeModule(module);

  SimModuleConfig c = SimModuleConfig::make(0, kNode, 16);
  c.state = 0x01;
  c.firmwarePresent = false;
  module = sim.addModule(c);
  ui.expectMessage("Cannot restart into firmware:\nNo firmware installed in module.", UiAnswer::Ok);
  EXPECT_EQ(FwTab_Restart(rec), 0);
  EXPECT_TRUE(restartBytes(false).empty());
  Option_SetInt("DEBUG_MODE", 1);  // the developer may try anyway
  ui.expectMessage("Restart module into firmware?", UiAnswer::Ok);
  EXPECT_EQ(FwTab_Restart(rec), 1);
}

TEST_F(FwTabModuleTest, SilentModuleGivesNoModuleInfo) {
  FwModuleInfo m;
  ui.expectMessage("", UiAnswer::Ok);  // the protocol layer's time-out
  EXPECT_EQ(FwInfo_ReadModule(rec, m), -1);
  EXPECT_EQ(m.running, -1);
  EXPECT_EQ(m.codeStart, kFwUnknownAddress);
}

// ---- file watcher -------------------------------------------------------------------

TEST(FwFileWatchTiming, ReportsTwoTicksAfterTheFileSettled) {
  TempFolder folder;
  const std::string name = folder.file("fw.hex");
  WriteWholeFile(name, "a");
  FwFileWatch_Arm();
  EXPECT_FALSE(FwFileWatch_Check(name));  // reference taken
  EXPECT_FALSE(FwFileWatch_Check(name));  // nothing changed
  WriteWholeFile(name, "abc");            // size changes
  EXPECT_FALSE(FwFileWatch_Check(name));  // change seen
  WriteWholeFile(name, "abcdef");         // still being written
  EXPECT_FALSE(FwFileWatch_Check(name));
  EXPECT_FALSE(FwFileWatch_Check(name));  // settled one tick
  EXPECT_TRUE(FwFileWatch_Check(name));   // two ticks: refresh
  EXPECT_FALSE(FwFileWatch_Check(name));  // once only

  std::remove(name.c_str());              // vanishing is a change too
  EXPECT_FALSE(FwFileWatch_Check(name));
  EXPECT_FALSE(FwFileWatch_Check(name));
  EXPECT_TRUE(FwFileWatch_Check(name));

  WriteWholeFile(name, "x");
  FwFileWatch_Arm();                      // a refresh just happened: no report for this state
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(FwFileWatch_Check(name));
  EXPECT_FALSE(FwFileWatch_Check(""));
}

}  // namespace
