// The module records: table order and line positions, one record per module,
// the full table, dialogs opened, re-created and closed through the hooks,
// list lines and status texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"
#include "support/AppFixture.h"
#include "FakeDialogs.h"

namespace {

class ModuleListTest : public AppStateTest {
 protected:
  void SetUp() override {
    AppStateTest::SetUp();
    FakeDialogs::install();
    FakeDialogs::installView();
  }
  static std::vector<std::string> lines() {
    std::vector<std::string> out;
    for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
      out.push_back(ModuleList_LineText(rec));
    return out;
  }
  static ModuleRec* node(int n) {
    for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec))
      if (rec->node == n) return rec;
    return nullptr;
  }
};

TEST_F(ModuleListTest, LinesFollowTheTableOrderAndAFreedRecordIsReused) {
  ASSERT_EQ(ModuleList_Add(5, 'c', 16, 1, 0x85, false), 0);
  ASSERT_EQ(ModuleList_Add(3, 'c', 32, 1, 0x85, false), 0);
  ASSERT_EQ(ModuleList_Add(9, 'c', 99, 1, 0x85, false), 0);
  ModuleList_Remove(node(3));
  EXPECT_EQ(node(9)->listIndex, 1);
  ASSERT_EQ(ModuleList_Add(0, 'c', 17, 1, 0x82, false), 0);  // takes the freed record
  const std::vector<std::string> expected = {" 5\tKVX 730-08", " -\tKVX 720-08", " 9\t(unknown)"};
  EXPECT_EQ(lines(), expected);
  EXPECT_EQ(node(0)->listIndex, 1);
  EXPECT_EQ(node(9)->listIndex, 2);
  EXPECT_EQ(ModuleList_AtLine(2), node(9));
  EXPECT_EQ(ModuleList_AtLine(3), nullptr);
  EXPECT_EQ(ModuleList_Count(), 3);
}

TEST_F(ModuleListTest, ANewRecordStartsWithTheOptionsAndNoInfo) {
  Option_SetInt("AUTOUPDATE", 0);
  ASSERT_EQ(ModuleList_Add(5, 'm', 272, 3, 0x85, false), 0);
  const ModuleRec* rec = node(5);
  EXPECT_EQ(rec->bus, 'm');
  EXPECT_EQ(rec->type, 272u);
  EXPECT_EQ(rec->version, 3u);
  EXPECT_EQ(rec->state, 0x85u);
  EXPECT_EQ(rec->autoUpdate, 0u);
  EXPECT_EQ(rec->infoValid, 0u);
  ASSERT_NE(rec->typeInfo, nullptr);
  EXPECT_STREQ(rec->typeInfo->orderCode, "KVX 707-01C");
  EXPECT_EQ(rec->dialog, nullptr);
}

TEST_F(ModuleListTest, TheSameModuleTwiceKeepsOneRecordButAnotherVersionIsAnother) {
  ASSERT_EQ(ModuleList_Add(5, 'c', 16, 1, 0x85, false), 0);
  ASSERT_EQ(ModuleList_Add(5, 'c', 16, 1, 0x85, false), 0);
  EXPECT_EQ(ModuleList_Count(), 1);
  ASSERT_EQ(ModuleList_Add(5, 'c', 16, 2, 0x85, false), 0);
  ASSERT_EQ(ModuleList_Add(5, 'l', 16, 2, 0x85, false), 0);
  EXPECT_EQ(ModuleList_Count(), 3);
}

TEST_F(ModuleListTest, ANegativeNodeAndAFullTableAreRefused) {
  EXPECT_EQ(ModuleList_Add(-1, 'c', 16, 1, 0, false), -1);
  for (int i = 0; i < kModuleRecCount; ++i)
    ASSERT_EQ(ModuleList_Add(i % 128, 'c', 16, unsigned(i / 128), 0, false), 0) << i;
  EXPECT_EQ(ModuleList_Add(1, 'c', 17, 0, 0, false), -1);
  EXPECT_EQ(ModuleList_Count(), kModuleRecCount);
  // A module already listed is still found in a full table.
  EXPECT_EQ(ModuleList_Add(1, 'c', 16, 0, 0, false), 0);
}

TEST_F(ModuleListTest, FoundAgainWithItsDialogOpenTheDialogIsRecreatedInPlace) {
  ASSERT_EQ(ModuleList_Add(5, 'c', 16, 1, 0x85, true), 0);
  ModuleRec* rec = node(5);
  void* first = rec->dialog;
  ASSERT_NE(first, nullptr);
  rec->dialogX = 310;
  rec->dialogY = 120;
  FakeDialogs::calls.clear();
  ASSERT_EQ(ModuleList_Add(5, 'c', 16, 1, 0x85, false), 0);
  const std::vector<std::string> expected = {"close 5", "select 0", "open 5 reopen"};
  EXPECT_EQ(FakeDialogs::calls, expected);
  EXPECT_NE(rec->dialog, first);
  EXPECT_EQ(rec->dialogX, 310);
  EXPECT_EQ(rec->dialogY, 120);
  EXPECT_EQ(ModuleList_Count(), 1);
  EXPECT_EQ(GetStatusText(), "KVX 730-08, CAN ID 5 (0x05)");
}

TEST_F(ModuleListTest, ClearAndRemoveCloseDialogsCloseAllKeepsTheRecords) {
  ModuleList_Add(5, 'c', 16, 1, 0, true);
  ModuleList_Add(6, 'c', 16, 1, 0, true);
  ModuleList_Add(7, 'c', 16, 1, 0, false);
  EXPECT_EQ(ModuleList_CountDialogs(), 2);
  FakeDialogs::calls.clear();
  ModuleList_CloseAllDialogs();
  EXPECT_EQ(FakeDialogs::calls, (std::vector<std::string>{"close 5", "close 6"}));
  EXPECT_EQ(ModuleList_CountDialogs(), 0);
  EXPECT_EQ(ModuleList_Count(), 3);

  ModuleList_Add(6, 'c', 16, 1, 0, true);
  FakeDialogs::closeReportsBack = false;  // a dialog that goes away later
  FakeDialogs::calls.clear();
  ModuleList_Remove(node(6));
  EXPECT_EQ(FakeDialogs::calls, (std::vector<std::string>{"close 6", "lines"}));
  ModuleList_Add(5, 'c', 16, 1, 0, true);
  FakeDialogs::calls.clear();
  ModuleList_Clear();
  EXPECT_EQ(FakeDialogs::calls, (std::vector<std::string>{"close 5", "lines"}));
  EXPECT_EQ(ModuleList_Count(), 0);
  EXPECT_EQ(ModuleList_Next(nullptr), nullptr);
}

TEST_F(ModuleListTest, DialogNotificationsFindTheirRecord) {
  ModuleList_Add(5, 'c', 16, 1, 0, false);
  ModuleList_Add(6, 'c', 99, 1, 0, true);
  void* dialog = node(6)->dialog;
  FakeDialogs::calls.clear();
  ModuleList_DialogActivated(dialog);
  EXPECT_EQ(FakeDialogs::calls, (std::vector<std::string>{"select 1"}));
  EXPECT_EQ(GetStatusText(), "Module, CAN ID 6 (0x06)");
  ModuleList_DialogClosed(dialog);
  EXPECT_EQ(node(6)->dialog, nullptr);
  ModuleList_DialogClosed(nullptr);  // nobody's dialog
  ModuleList_DialogActivated(dialog);
  EXPECT_EQ(FakeDialogs::calls.size(), 1u);
}

TEST_F(ModuleListTest, OpeningFromTheListActivatesAnOpenDialog) {
  ModuleList_Add(5, 'c', 16, 1, 0, false);
  FakeDialogs::calls.clear();
  ModuleList_OpenDialog(node(5));
  ModuleList_OpenDialog(node(5));
  EXPECT_EQ(FakeDialogs::calls, (std::vector<std::string>{"open 5", "activate 5"}));
  ModuleRec stranger;
  stranger.node = 3;
  ModuleList_OpenDialog(&stranger);  // not a record of the table: ignored
  ModuleList_Remove(&stranger);
  EXPECT_EQ(FakeDialogs::calls.size(), 2u);
}

TEST_F(ModuleListTest, StatusTextsNameTheModuleAndItsBus) {
  ModuleList_Add(0, 'c', 16, 1, 0, false);
  ModuleList_Add(100, 'l', 32, 1, 0, false);
  ModuleList_ShowStatus(node(0));
  EXPECT_EQ(GetStatusText(), "KVX 730-08");
  ModuleList_ShowStatus(node(100));
  EXPECT_EQ(GetStatusText(), "KVX 740-02, LIN ID 100 (0x64)");
  EXPECT_EQ(ModuleList_HeaderText(), "?Bus ID");  // no interface
  ModuleList_UpdateHeader();
  EXPECT_EQ(FakeDialogs::calls.back(), "header ?Bus ID");
}

TEST_F(ModuleListTest, ViewAndDialogHooksAreInstalledIndependently) {
  ModuleList_SetHooks({});
  ModuleListHooks view;
  view.linesChanged = FakeDialogs::lines;
  FakeDialogs::install();
  ModuleList_SetViewHooks(view);  // after the dialog hooks: they stay
  ModuleList_Add(5, 'c', 16, 1, 0, true);
  EXPECT_EQ(FakeDialogs::calls, (std::vector<std::string>{"lines", "open 5"}));
}

}  // namespace
