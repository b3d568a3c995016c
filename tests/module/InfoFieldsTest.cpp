// The Info page's fields and the shipping-date commands, against the demo
// modules of the simulator.
#include <gtest/gtest.h>

#include "module/InfoFields.h"
#include "module/ModuleSimFixture.h"
#include "protocol/VornProtCommands.h"

namespace {

TEST(InfoVersions, NoneAndMissingFirmwareShowADash) {
  EXPECT_EQ(InfoFields_BootloaderVersion(1, 2), "1.2");
  EXPECT_EQ(InfoFields_BootloaderVersion(255, 3), "-");
  EXPECT_EQ(InfoFields_BootloaderVersion(3, 255), "-");
  EXPECT_EQ(InfoFields_FirmwareVersion(2, 15, 1), "2.15");
  EXPECT_EQ(InfoFields_FirmwareVersion(2, 5, 0), "-");  // no firmware installed
  EXPECT_EQ(InfoFields_FirmwareVersion(255, 0, 1), "-");
  EXPECT_EQ(InfoFields_FirmwareVersion(0, 255, 1), "-");
}

TEST(InfoVersions, DateBytesOfALocalTime) {
  LocalTime t;
  t.year = 2026, t.month = 12, t.day = 6, t.hour = 23, t.minute = 5, t.second = 59;
  const DateBytes d = InfoFields_DateBytes(t);
  EXPECT_EQ(std::vector<int>(d.bytes, d.bytes + 7), (std::vector<int>{20, 26, 12, 6, 23, 5, 59}));
}

using InfoFieldsTest = ModuleSimTest;

TEST_F(InfoFieldsTest, UnknownTypeAsksTheModuleNothing) {
  ModuleList_Add(12, 'c', 99, 1, 0x85, false);
  ModuleRec* rec = ModuleList_Next(nullptr);
  // No interface is open: any request would fail with an unexpected box.
  const InfoFields f = InfoFields_Read(*rec, true);
  EXPECT_EQ(f.name, "(unknown, #99)");
  EXPECT_EQ(f.hardwareVersion, "1");
  EXPECT_EQ(f.status, "5 (Operational)");
  EXPECT_EQ(f.description, "");
  EXPECT_EQ(f.bootloaderVersion, "");
  EXPECT_EQ(f.firmwareVersion, "");
  EXPECT_EQ(f.mode, "");
  EXPECT_FALSE(f.showCompatible);
  EXPECT_FALSE(f.enableSetShippingDate);
}

TEST_F(InfoFieldsTest, KnownModuleReadsInfoOnceAndTheShippingDate) {
  ModuleRec* rec = demoListed(2);
  const InfoFields f = InfoFields_Read(*rec, false);
  EXPECT_EQ(f.name, "KVX 730-08");
  EXPECT_EQ(f.description, "8 digital inputs and 8 transistor outputs 24 V DC / 0.5 A");
  EXPECT_FALSE(f.showCompatible);
  EXPECT_EQ(f.hardwareVersion, "2");
  EXPECT_EQ(f.status, "5 (Operational)");
  EXPECT_EQ(f.mode, "Firmware");
  EXPECT_EQ(f.bootloaderVersion, "1.2");
  EXPECT_EQ(f.firmwareVersion, "2.5");
  EXPECT_EQ(f.shippingDate, "14 May 2019, 09:30:00");
  EXPECT_FALSE(f.showProgrammingDate);
  EXPECT_EQ(f.programmingDate, "");
  EXPECT_FALSE(f.showSetShippingDate);
  EXPECT_FALSE(f.enableSetShippingDate);
  EXPECT_EQ(commandsSent(), (std::vector<int>{0x85, 0xA5}));
  EXPECT_EQ(rec->infoValid, 1u);
  EXPECT_EQ(rec->info6, 2u);

  sim.clearTraffic();
  InfoFields_Read(*rec, false);
  EXPECT_EQ(commandsSent(), (std::vector<int>{0xA5}));  // the module info is cached
}

TEST_F(InfoFieldsTest, FactoryModeAddsTypeNumberAndProgrammingDate) {
  FactoryMode_Set(true);
  ModuleRec* rec = demoListed(2);
  const InfoFields f = InfoFields_Read(*rec, true);
  EXPECT_EQ(f.name, "KVX 730-08   (#16)");
  EXPECT_TRUE(f.showProgrammingDate);
  EXPECT_EQ(f.programmingDate, "13 May 2019, 16:02:11");
  EXPECT_EQ(f.shippingDate, "14 May 2019, 09:30:00");
  EXPECT_TRUE(f.enableSetShippingDate);
  EXPECT_EQ(commandsSent(), (std::vector<int>{0x85, 0xA6, 0xA5}));
}

TEST_F(InfoFieldsTest, BootloaderModuleWithoutFirmware) {
  ModuleRec* rec = demoListed(7);
  const InfoFields f = InfoFields_Read(*rec, false);
  EXPECT_EQ(f.name, "KVX 720-08");
  EXPECT_EQ(f.status, "1 (Bootloader)");
  EXPECT_EQ(f.mode, "Bootloader");
  EXPECT_EQ(f.bootloaderVersion, "1.1");
  EXPECT_EQ(f.firmwareVersion, "-");
  EXPECT_EQ(f.shippingDate, "(invalid)");  // never shipped: all zero
}

TEST_F(InfoFieldsTest, StatusFollowsTheStateJustRead) {
  ModuleRec* rec = demoListed(2);
  sim.withModule(sim.findModule(0, 2), [](SimModule& m) { m.setState(0x84); });
  const InfoFields f = InfoFields_Read(*rec, false);
  EXPECT_EQ(f.status, "4 (Stopped)");
  EXPECT_EQ(rec->state, 0x84u);
}

TEST_F(InfoFieldsTest, FailedRequestLeavesTheRestEmpty) {
  ModuleRec* rec = demoListed(2);
  sim.dropNextReplies(1);
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  InfoFields f = InfoFields_Read(*rec, false);
  EXPECT_EQ(f.name, "KVX 730-08");
  EXPECT_EQ(f.mode, "");
  EXPECT_EQ(f.firmwareVersion, "");
  EXPECT_EQ(f.shippingDate, "");
  EXPECT_EQ(rec->infoValid, 0u);
}

TEST_F(InfoFieldsTest, FailedProgrammingDateStopsBeforeTheShippingDate) {
  FactoryMode_Set(true);
  ModuleRec* rec = demoListed(2);
  InfoFields_Read(*rec, true);  // caches the module info
  sim.clearTraffic();
  sim.dropNextReplies(1);
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  const InfoFields f = InfoFields_Read(*rec, true);
  EXPECT_EQ(f.firmwareVersion, "2.5");
  EXPECT_EQ(f.programmingDate, "");
  EXPECT_EQ(f.shippingDate, "");
  EXPECT_FALSE(f.enableSetShippingDate);
  EXPECT_EQ(commandsSent(), (std::vector<int>{0xA6}));
}

TEST_F(InfoFieldsTest, SetShippingDateOfOneModule) {
  ModuleRec* rec = demoListed(3);
  ui.expectMessage("Set module shipping date\nto current date/time\n(06 Dec 2026, 12:00:00)?",
                   UiAnswer::Cancel);
  EXPECT_FALSE(ShippingDate_SetModule(*rec));
  EXPECT_TRUE(framesToModules().empty());

  ui.expectMessage("Set module shipping date", UiAnswer::Ok);
  EXPECT_TRUE(ShippingDate_SetModule(*rec));
  const std::vector<SimFrame> frames = framesToModules();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].id, 0x680u + 3);
  EXPECT_EQ(Bytes(frames[0]), (std::vector<int>{0x65, 20, 26, 12, 6, 12, 0, 0}));
  EXPECT_EQ(moduleConfig(3).shippingDate, SimDate::make(2026, 12, 6, 12, 0, 0));
  EXPECT_EQ(ui.messages().back().title, "Set Shipping Date");
  EXPECT_EQ(ui.messages().back().icon, UiIcon::Question);
  EXPECT_EQ(ui.messages().back().buttons, UiButtons::OkCancel);
}

void* g_closed[4];
int g_closeCount = 0;
void RecordClose(ModuleRec* rec) { g_closed[g_closeCount++ % 4] = rec->dialog; }

TEST_F(InfoFieldsTest, SetShippingDateOfAllModulesThenCloseTheirDialogs) {
  connectDemo();
  listed(5);
  ModuleRec* b = listed(2);
  listed(3);
  int fakeDialog = 0;
  b->dialog = &fakeDialog;
  g_closeCount = 0;
  ModuleListHooks hooks;
  hooks.closeDialog = RecordClose;
  ModuleList_SetDialogHooks(hooks);
  sim.dropNextReplies(1);  // the first module does not answer: the others still get the date
  ui.expectMessage("Set shipping date of all modules\nto current date/time\n(06 Dec 2026, 12:00:00)?",
                   UiAnswer::Ok);
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  EXPECT_TRUE(ShippingDate_SetAll());
  std::vector<int> nodes;
  for (const SimFrame& f : framesToModules()) {
    EXPECT_EQ(f.data[0], 0x65);
    nodes.push_back(int(f.id - 0x680));
  }
  EXPECT_EQ(nodes, (std::vector<int>{5, 2, 3}));  // table order
  EXPECT_EQ(moduleConfig(3).shippingDate, SimDate::make(2026, 12, 6, 12));
  EXPECT_EQ(g_closeCount, 1);
  EXPECT_EQ(g_closed[0], &fakeDialog);
  EXPECT_EQ(b->dialog, nullptr);

  sim.clearTraffic();
  ui.expectMessage("Set shipping date of all modules", UiAnswer::Cancel);
  EXPECT_FALSE(ShippingDate_SetAll());
  EXPECT_TRUE(framesToModules().empty());
}

}  // namespace
