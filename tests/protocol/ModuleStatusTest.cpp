// The status overview's cell texts and sort order, and reading the status of
// modules on the simulated bus.
#include <gtest/gtest.h>

#include "ProtocolSimFixture.h"
#include "core/ErrorReport.h"
#include "protocol/ModuleStatus.h"
#include "protocol/ModuleType.h"

namespace {

ModuleRec Rec(int node, int type, unsigned state = 0x85) {
  ModuleRec r;
  r.node = node;
  r.bus = 'c';
  r.type = unsigned(type);
  r.state = state;
  r.typeInfo = ModuleType_Find(type);
  return r;
}

ModuleRec WithInfo(ModuleRec r, unsigned fwMajor, unsigned fwMinor, unsigned present,
                   unsigned bootMajor, unsigned bootMinor) {
  r.fwMajor = fwMajor;
  r.fwMinor = fwMinor;
  r.fwPresent = present;
  r.bootMajor = bootMajor;
  r.bootMinor = bootMinor;
  r.infoValid = 1;
  return r;
}

TEST(ModuleStatusCells, NodeNameAndStateTexts) {
  EXPECT_EQ(ModuleStatus_NodeText(Rec(0, 16)), "-");
  EXPECT_EQ(ModuleStatus_NodeText(Rec(42, 16)), "42");
  EXPECT_EQ(ModuleStatus_NameText(Rec(5, 16)), "KVX 730-08");
  EXPECT_EQ(ModuleStatus_NameText(Rec(5, 107)), "(unknown)");
  const struct {
    unsigned state;
    const char* text;
  } states[] = {{0x23, "3 (i)"}, {0x13, "3"}, {0x03, "3"}, {0x85, "5"},
                {0xF4, "4 (i)"}, {0x8F, "15"}, {0x21, "1 (i)"}};
  for (const auto& s : states) EXPECT_EQ(ModuleStatus_StateText(Rec(5, 16, s.state)), s.text) << s.state;
}

TEST(ModuleStatusCells, VersionsShowUnknownNoneOrMajorDotMinor) {
  const ModuleRec unread = Rec(5, 16);
  EXPECT_EQ(ModuleStatus_FirmwareText(unread), "(?)");
  EXPECT_EQ(ModuleStatus_BootloaderText(unread), "(?)");
  const struct {
    ModuleRec rec;
    const char* firmware;
    const char* boot;
  } cases[] = {
      {WithInfo(Rec(5, 16), 2, 10, 1, 1, 2), "2.10", "1.2"},
      {WithInfo(Rec(5, 16), 2, 10, 0, 1, 2), "-", "1.2"},  // no firmware installed
      {WithInfo(Rec(5, 16), 255, 255, 0, 255, 255), "-", "-"},
      {WithInfo(Rec(5, 16), 255, 3, 1, 1, 255), "-", "-"},
      {WithInfo(Rec(5, 16), 3, 255, 1, 255, 0), "-", "-"},
      {WithInfo(Rec(5, 16), 0, 0, 1, 0, 0), "0.0", "0.0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ModuleStatus_FirmwareText(c.rec), c.firmware);
    EXPECT_EQ(ModuleStatus_BootloaderText(c.rec), c.boot);
  }
}

TEST(ModuleStatusCells, ColumnsAndWidths) {
  const char* titles[] = {"CAN ID", "Name", "Status", "Firmware", "Bootloader"};
  const int widths[] = {50, 100, 50, 65, 65};
  for (int c = 0; c < kStatusColumnCount; ++c) {
    EXPECT_EQ(ModuleStatus_ColumnTitle(c), titles[c]);
    EXPECT_EQ(ModuleStatus_ColumnWidth(c), widths[c]);
  }
}

class ModuleStatusSortTest : public ::testing::Test {
 protected:
  // Node 9 "KVX 740-02", node 3 "KVX 730-08", node 7 unknown, node 5 "KVX 720-08",
  // node 1 unknown.
  ModuleRec recs[5] = {Rec(9, 32), Rec(3, 16), Rec(7, 99), Rec(5, 17), Rec(1, 107)};
  std::vector<ModuleRec*> rows() { return {&recs[0], &recs[1], &recs[2], &recs[3], &recs[4]}; }
  static std::vector<int> nodes(const std::vector<ModuleRec*>& rows) {
    std::vector<int> out;
    for (ModuleRec* r : rows) out.push_back(r->node);
    return out;
  }
};

TEST_F(ModuleStatusSortTest, EveryColumnButTheNameSortsByNode) {
  for (int column : {kStatusColNode, kStatusColState, kStatusColFirmware, kStatusColBootloader}) {
    std::vector<ModuleRec*> r = rows();
    recs[0].state = 0x01;  // a lower state number must not matter
    ModuleStatus_Sort(r, column, true);
    EXPECT_EQ(nodes(r), (std::vector<int>{1, 3, 5, 7, 9})) << column;
    ModuleStatus_Sort(r, column, false);
    EXPECT_EQ(nodes(r), (std::vector<int>{9, 7, 5, 3, 1})) << column;
  }
}

TEST_F(ModuleStatusSortTest, TheNameColumnSortsByOrderCodeIgnoringCase) {
  std::vector<ModuleRec*> r = rows();
  ModuleStatus_Sort(r, kStatusColName, true);
  // Known types first by order code; the unknown ones keep their order.
  EXPECT_EQ(nodes(r), (std::vector<int>{5, 3, 9, 7, 1}));
  ModuleStatus_Sort(r, kStatusColName, false);
  EXPECT_EQ(nodes(r), (std::vector<int>{7, 1, 9, 3, 5}));

  static const ModuleTypeInfo lower = {500, "kvx 725-00", "", "", "", 1};
  recs[2].typeInfo = &lower;
  r = rows();
  ModuleStatus_Sort(r, kStatusColName, true);
  EXPECT_EQ(nodes(r), (std::vector<int>{5, 7, 3, 9, 1}));
}

class ModuleStatusReadTest : public ProtocolSimTest {
 protected:
  void SetUp() override {
    ProtocolSimTest::SetUp();
    connectTestBus();
    Option_SetInt("MSGREQUEST_TIMEOUT_MS", 30);
  }
};

TEST_F(ModuleStatusReadTest, ReadingStoresTheStateAndTheModuleInfo) {
  ModuleRec rec = Rec(7, 17, 0x85);  // the module without firmware
  ASSERT_TRUE(ModuleStatus_ReadState(rec));
  EXPECT_EQ(rec.state, 0x01u);
  EXPECT_EQ(rec.infoValid, 0u);
  ASSERT_TRUE(ModuleStatus_ReadInfo(rec));
  EXPECT_EQ(rec.infoValid, 1u);
  EXPECT_EQ(ModuleStatus_BootloaderText(rec), "1.1");
  EXPECT_EQ(ModuleStatus_FirmwareText(rec), "-");
  EXPECT_EQ(rec.info6, 2u);
  EXPECT_EQ(rec.fwPresent, 0u);

  rec = Rec(2, 16, 0);
  ASSERT_TRUE(ModuleStatus_ReadInfo(rec));
  EXPECT_EQ(ModuleStatus_FirmwareText(rec), "2.5");
  EXPECT_EQ(ModuleStatus_BootloaderText(rec), "1.2");
  EXPECT_EQ(rec.state, 0x85u);
}

TEST_F(ModuleStatusReadTest, AFailedRequestKeepsTheOldValuesAndIsReported) {
  ModuleRec rec = WithInfo(Rec(60, 16, 0x23), 1, 2, 1, 3, 4);
  EXPECT_FALSE(ModuleStatus_ReadState(rec));
  EXPECT_EQ(GetStatusText(), "*** Error: Module timeout");
  rec.infoValid = 0;
  EXPECT_FALSE(ModuleStatus_ReadInfo(rec));
  EXPECT_EQ(rec.state, 0x23u);
  EXPECT_EQ(rec.infoValid, 0u);
  EXPECT_EQ(rec.fwMajor, 1u);
}

}  // namespace
