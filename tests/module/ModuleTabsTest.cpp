// The tab list of the module dialog, its title and the cascade of dialogs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/CascadePlacement.h"
#include "module/ModuleTabs.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"

namespace {

const ModuleTypeInfo kEverything = {500, "KVX 799-99", "", "test row",
                                    "AnalogIn,AnalogOut,DigitalIn,DigitalOut,SMS,RTC,Lin,VrefCalib", 1};
const ModuleTypeInfo kPlain = {501, "KVX 799-98", "", "test row", "", 1};

ModuleRec Module(const ModuleTypeInfo* row, unsigned state) {
  ModuleRec rec;
  rec.node = 5;
  rec.bus = 'c';
  rec.type = row ? unsigned(row->type) : 99;
  rec.state = state;
  rec.typeInfo = row;
  return rec;
}

std::vector<std::string> Labels(const ModuleRec& rec, ModuleTabModes modes) {
  std::vector<std::string> out;
  for (const ModuleTabEntry& t : ModuleTabs_List(rec, modes)) out.push_back(t.label);
  return out;
}

using Labels_t = std::vector<std::string>;
constexpr ModuleTabModes kAllModes{true, true, true};
constexpr ModuleTabModes kNoModes{false, false, false};

TEST(ModuleTabs, EveryPageInTableOrderWithItsPageName) {
  const std::vector<ModuleTabEntry> tabs = ModuleTabs_List(Module(&kEverything, 0x85), kAllModes);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Info", "TAB_MOD_INFO"},           {"CAN Bus", "TAB_MOD_BUSCONFIG"},
      {"Firmware Update", "TAB_MOD_FIRMWARE"}, {"SMS", "TAB_MOD_SMS"},
      {"Analog In", "TAB_MOD_ANALOGIN"},  {"Analog Out", "TAB_MOD_ANALOGOUT"},
      {"Digital In", "TAB_MOD_DIGITALIN"}, {"Digital Out", "TAB_MOD_DIGITALOUT"},
      {"RTC", "TAB_MOD_RTC"},             {"LIN Bus", "TAB_MOD_LINTEST"},
      {"Switches", "TAB_MOD_DIPSWITCHES"}, {"SDOs", "TAB_MOD_SDO"},
      {"Vref Calib", "TAB_MOD_VREFCALIB"}, {"Peek Memory", "TAB_MOD_PEEKMEM"}};
  ASSERT_EQ(tabs.size(), expected.size());
  for (size_t i = 0; i < tabs.size(); ++i) {
    EXPECT_EQ(tabs[i].label, expected[i].first) << i;
    EXPECT_EQ(tabs[i].pageName, expected[i].second) << i;
  }
}

TEST(ModuleTabs, UnknownTypeGetsOnlyInfoWhateverTheModes) {
  EXPECT_EQ(Labels(Module(nullptr, 0x85), kAllModes), Labels_t{"Info"});
  EXPECT_EQ(Labels(Module(nullptr, 0x01), kNoModes), Labels_t{"Info"});
}

TEST(ModuleTabs, BootloaderModuleGetsNoFirmwarePagesButRtc) {
  EXPECT_EQ(Labels(Module(&kEverything, 0x01), kAllModes),
            (Labels_t{"Info", "CAN Bus", "Firmware Update", "RTC", "LIN Bus", "Switches", "Peek Memory"}));
  // Only bit 7 counts: an operational state number without it is the bootloader.
  EXPECT_EQ(Labels(Module(&kEverything, 0x05), kNoModes),
            (Labels_t{"Info", "CAN Bus", "Firmware Update", "RTC"}));
}

TEST(ModuleTabs, EachModeAddsItsOwnPages) {
  const ModuleRec plain = Module(&kPlain, 0x85);
  EXPECT_EQ(Labels(plain, kNoModes), (Labels_t{"Info", "CAN Bus", "Firmware Update"}));
  EXPECT_EQ(Labels(plain, {false, true, false}), (Labels_t{"Info", "CAN Bus", "Firmware Update", "SDOs"}));
  EXPECT_EQ(Labels(plain, {true, false, false}), (Labels_t{"Info", "CAN Bus", "Firmware Update"}));
  EXPECT_EQ(Labels(plain, {false, false, true}), (Labels_t{"Info", "CAN Bus", "Firmware Update"}));
  EXPECT_EQ(Labels(plain, {true, false, true}),
            (Labels_t{"Info", "CAN Bus", "Firmware Update", "Switches"}));
  EXPECT_EQ(Labels(plain, {true, true, false}),
            (Labels_t{"Info", "CAN Bus", "Firmware Update", "SDOs", "Peek Memory"}));
  // The LIN page needs the module test mode, the Vref page factory mode.
  const ModuleRec all = Module(&kEverything, 0x85);
  const Labels_t caps = {"Info", "CAN Bus", "Firmware Update", "SMS", "Analog In", "Analog Out",
                         "Digital In", "Digital Out", "RTC"};
  EXPECT_EQ(Labels(all, kNoModes), caps);
}

TEST(ModuleTabs, CatalogueRowOfTheDemoDigitalModule) {
  ModuleRec rec = Module(ModuleType_Find(16), 0x85);
  EXPECT_EQ(Labels(rec, kNoModes),
            (Labels_t{"Info", "CAN Bus", "Firmware Update", "Digital In", "Digital Out"}));
}

TEST(ModuleDialogTitle, KnownUnknownNodeZeroAndSuffix) {
  ModuleRec rec = Module(nullptr, 0x85);
  EXPECT_EQ(ModuleDialog_MakeTitle(rec), "Unknown type #99,  CAN ID 5 (0x05)");
  rec.typeInfo = ModuleType_Find(16);
  rec.type = 16;
  rec.node = 18;
  EXPECT_EQ(ModuleDialog_MakeTitle(rec), "KVX 730-08,  CAN ID 18 (0x12)");
  EXPECT_EQ(ModuleDialog_MakeTitle(rec, ",  Analog Input Factory Calibration"),
            "KVX 730-08,  CAN ID 18 (0x12),  Analog Input Factory Calibration");
  rec.bus = 'm';
  rec.node = 0;
  EXPECT_EQ(ModuleDialog_MakeTitle(rec), "KVX 730-08,  Modbus bus");
  rec.bus = 'l';
  rec.node = 127;
  EXPECT_EQ(ModuleDialog_MakeTitle(rec), "KVX 730-08,  LIN ID 127 (0x7F)");
  rec.bus = 'x';
  EXPECT_EQ(ModuleDialog_MakeTitle(rec), "KVX 730-08,  ?Bus ID 127 (0x7F)");
}

TEST(CascadePlacement, ElevenDialogsThenANewColumn) {
  CascadeOffsets offsets{123, 45};  // left over from an earlier run of dialogs
  std::vector<std::pair<int, int>> placed;
  for (int i = 0; i < 11; ++i) {
    int x = 0, y = 0;
    Cascade_Place(offsets, i > 0, 1000, 200, x, y);
    placed.push_back({x - 1000, y - 200});
  }
  for (int i = 0; i < 10; ++i) EXPECT_EQ(placed[i], std::make_pair(10 + 24 * i, 10 + 24 * i)) << i;
  EXPECT_EQ(placed[10], std::make_pair(150, 10));
}

TEST(CascadePlacement, RestartsWhenNoDialogIsOpenAndWhenTooFarRight) {
  CascadeOffsets offsets{58, 58};
  int x, y;
  Cascade_Place(offsets, true, 0, 0, x, y);
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(58, 58));
  Cascade_Place(offsets, false, 0, 0, x, y);
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(10, 10));

  // Columns start at x 10, 150 and 290; the third passes x 400 and restarts.
  offsets = CascadeOffsets{};
  std::vector<int> xs;
  for (int i = 0; i < 26; ++i) {
    Cascade_Place(offsets, true, 0, 0, x, y);
    xs.push_back(x);
  }
  EXPECT_EQ(xs[20], 290);
  EXPECT_EQ(xs[24], 386);
  EXPECT_EQ(xs[25], 10);  // 410 would be past 400
}

}  // namespace
