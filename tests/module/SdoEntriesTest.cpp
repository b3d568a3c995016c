// The SDO page: number syntax, value formats, the list file, the list
// commands, and reading, writing and watching entries of the simulator's modem.
#include <gtest/gtest.h>

#include <cstring>

#include "core/ErrorReport.h"
#include "module/SdoListFile.h"
#include "platform/Paths.h"
#include "module/ServiceSimFixture.h"

namespace {

TEST(SdoRules, NumberSyntaxByWidth) {
  const struct {
    const char* text;
    int width;
    bool ok;
    int64_t value;
  } cases[] = {
      {"0x1A", 2, true, 0x1A},  {"-5", 1, true, -5},        {"255", 1, true, 255},
      {"256", 1, false, 0},     {"\"AB", 2, true, 0x4142},  {"\"AB\"", 2, true, 0x4142},
      {"\"A", 2, false, 0},     {"\"A", 1, true, 'A'},      {"\"KVX1\"", 4, true, 0x4B565831},
      {"\"AB", 4, true, 0x41420000}, {"0xFFFFFFFF", 4, true, 0xFFFFFFFFll}, {"12a", 4, false, 0},
      {"", 2, false, 0},        {"0x", 2, false, 0},        {"-32769", 2, false, 0},
  };
  for (const auto& c : cases) {
    int64_t v = 0;
    EXPECT_EQ(SdoNumber_Parse(c.text, c.width, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  float f = 0;
  EXPECT_TRUE(SdoNumber_ParseReal("0x10", f));
  EXPECT_EQ(f, 16.0f);
  EXPECT_TRUE(SdoNumber_ParseReal("-2.5e1", f));
  EXPECT_EQ(f, -25.0f);
  EXPECT_FALSE(SdoNumber_ParseReal("1,5", f));
}

TEST(SdoRules, ValueFormatsByTypeAndFormat) {
  const struct {
    uint8_t type;
    uint32_t value;
    const char* dec;
    const char* hex;
    const char* ascii;
  } cases[] = {
      {5, 0xC8, "200", "0xc8", "\".\""},         {1, 0x07, "7", "0x07", "0x07"},
      {2, 0xFB, "-5", "0xfffffffb", "0xfffffffb"}, {3, 0xFB2E, "-1234", "0xfffffb2e", "\".."},
      {6, 0x4142, "16706", "0x4142", "\"AB\""},   {4, 0xFFFE7960, "-100000", "0xfffe7960", "\"..y`\""},
      {7, 0x4B565831, "1263949873", "0x4b565831", "\"KVX1\""},
  };
  for (const auto& c : cases) {
    std::string d, h, a;
    ASSERT_TRUE(SdoValue_Format(c.type, c.value, SDO_FORMAT_DEC, d));
    SdoValue_Format(c.type, c.value, SDO_FORMAT_HEX, h);
    SdoValue_Format(c.type, c.value, SDO_FORMAT_ASCII, a);
    EXPECT_EQ(d, c.dec) << int(c.type);
    EXPECT_EQ(h, c.hex) << int(c.type);
    if (c.type != 3) {
      EXPECT_EQ(a, c.ascii) << int(c.type);
    }
  }
  float f = 21.5f;
  uint32_t bits = 0;
  std::memcpy(&bits, &f, 4);
  std::string text;
  ASSERT_TRUE(SdoValue_Format(8, bits, SDO_FORMAT_HEX, text));
  EXPECT_EQ(text, "21.5");
  EXPECT_FALSE(SdoValue_Format(9, 0x585856, SDO_FORMAT_DEC, text));
}

TEST(SdoRules, ListFileLines) {
  SdoList list;
  list.count = 2;
  list.entries[0] = {kSdoFlagWritable | kSdoFlagCyclic, "Set\tpoint", "0x2000", "8", 8, "21.5"};
  list.entries[1] = {0, "Counter", "0x2000", "11", 6, "1000"};  // read-only: value not kept
  EXPECT_EQ(SdoListFile_Format(list), "257\tSet point\t0x2000\t8\t21.5\n0\tCounter\t0x2000\t11\t\n");
  const auto entries = SdoListFile_Parse({"", "  ", "257\tA\t1", "x\t\t\t\t", "3\t" + std::string(50, 'n') + "\t2\t3\t4"});
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].flags, 257u);
  EXPECT_EQ(entries[0].subindex, "");
  EXPECT_EQ(entries[1].name.size(), 40u);
  EXPECT_EQ(entries[1].type, kSdoTypeUnknown);
}

class SdoEntriesTest : public ServiceSimTest {
 protected:
  static constexpr const char* kModem =
      "module node=31 type=31\nobject 0x2000.5 uint8 rw 200\nobject 0x2000.6 uint16 rw 0x4142\n"
      "object 0x2000.8 real32 rw 21.5\nobject 0x2000.11 uint16 ro 1000\n";

  // The rows as the page shows them now.
  SdoRowEdits rows() const {
    SdoRowEdits r;
    for (int i = 0; i < kSdoRows; ++i) {
      const int at = list.top + i;
      if (at >= list.count) break;
      const SdoEntry& e = list.entries[at];
      r.rows[i] = {(e.flags & kSdoFlagCyclic) != 0, e.name, e.index, e.subindex, e.value};
    }
    return r;
  }
  void writeList(const std::string& text) {
    Platform_MakeFolders(SdoListFile_Folder());
    WriteWholeFile(SdoListFile_Path(*rec), text);
  }

  ModuleRec* rec = nullptr;
  SdoList list;
};

TEST_F(SdoEntriesTest, ShownQueriesTheListOfTheTypeAndReadShowsValuesOrUnavailable) {
  FactoryMode_Set(true);
  rec = serve(kModem, 31);
  writeList("0\tByte\t0x2000\t5\t\n0\tText\t0x2000\t0x6\t\n0\tGone\t0x2001\t1\t\n");
  SdoTab_Shown(*rec, list);
  ASSERT_EQ(list.count, 3);
  EXPECT_EQ(list.entries[0].type, 5);
  EXPECT_EQ(list.entries[0].flags, 1u);
  EXPECT_EQ(list.entries[2].type, kSdoTypeUnknown);
  EXPECT_EQ(sent().size(), 3u);
  SdoTab_ReadAll(*rec, list, rows());
  const SdoView v = SdoTab_View(*rec, list);
  EXPECT_EQ(v.rows[0].value, "200");
  EXPECT_EQ(v.rows[0].type, "UINT8");
  EXPECT_EQ(v.rows[1].value, "0x4142");  // "0x" subindex: hexadecimal whatever the format
  EXPECT_EQ(v.rows[2].value, "(?)");
  EXPECT_EQ(v.rows[2].type, "(?)");
  EXPECT_TRUE(v.rows[2].readEnabled);
  EXPECT_FALSE(v.rows[2].writeEnabled);
  EXPECT_TRUE(v.scrollVisible);
  SdoTab_SetFormat(*rec, list, rows(), "Ascii");
  EXPECT_EQ(list.entries[0].value, "200");  // writable, not cyclic: the typed value stays
  EXPECT_TRUE(SdoTab_View(*rec, list).fixedFont);
}

TEST_F(SdoEntriesTest, Real32TypedInHexIsWrittenAsTheFloat) {
  rec = serve(kModem, 31);
  writeList("0\tSet point\t0x2000\t8\t0x10\n");
  SdoTab_Shown(*rec, list);
  sim.clearTraffic();
  SdoTab_WriteRow(*rec, list, rows(), 0);
  // 16.0f = 0x41800000, little-endian after index, subindex
  EXPECT_EQ(sent(), (std::vector<std::vector<int>>{{0x74, 0x20, 0x00, 8, 0x00, 0x00, 0x80, 0x41}}));
  ui.expectMessage("Cannot write 'x': not a value of type REAL32", UiAnswer::Ok);
  SdoRowEdits bad = rows();
  bad.rows[0].value = "x";
  SdoTab_WriteRow(*rec, list, bad, 0);
}

TEST_F(SdoEntriesTest, CyclicRowsAreWatchedAndAFailedReadEndsAutoUpdate) {
  rec = serve(kModem, 31);
  writeList("256\tCount\t0x2000\t11\t\n");
  SdoTab_Shown(*rec, list);
  rec->autoUpdate = 1;
  SdoView v = SdoTab_View(*rec, list);
  EXPECT_TRUE(v.rows[0].valueReadOnly);
  EXPECT_FALSE(v.rows[0].readEnabled);
  EXPECT_FALSE(v.rows[0].writeEnabled);
  SdoTab_Tick(*rec, list, rows());
  EXPECT_EQ(list.entries[0].value, "1000");
  sim.dropNextReplies(1);
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  SdoTab_Tick(*rec, list, rows());
  EXPECT_EQ(rec->autoUpdate, 0u);
  sim.clearTraffic();
  SdoTab_Tick(*rec, list, rows());
  EXPECT_TRUE(sent().empty());
}

TEST_F(SdoEntriesTest, ListEditingKeepsOneEntryAndItsLimit) {
  rec = serve(kModem, 31);
  SdoTab_Shown(*rec, list);  // no file: one empty entry
  ASSERT_EQ(list.count, 1);
  SdoRowEdits r = rows();
  r.rows[0].name = "only";
  SdoTab_Delete(list, r, 0);
  EXPECT_EQ(list.count, 1);
  EXPECT_EQ(list.entries[0].name, "");
  SdoTab_Append(list, rows());
  ui.expectMessage("Too many SDOs (max. 2)", UiAnswer::Ok);
  SdoTab_Append(list, rows());
  EXPECT_EQ(list.count, 2);

  r = rows();
  r.rows[1].name = "kept";
  SdoTab_Hidden(*rec, list, r);
  EXPECT_EQ(ReadWholeFile(SdoListFile_Path(*rec)), "0\t\t\t\t\n0\tkept\t\t\t\n");
}

}  // namespace
