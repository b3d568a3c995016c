// The memory peek page and its write dialog: the number and data grammars,
// the dump layouts, the dump file and the block-transfer frames.
#include <gtest/gtest.h>

#include "core/Options.h"
#include "core/WideText.h"
#include "module/PeekMem.h"
#include "module/PeekMemWriteData.h"
#include "module/ServiceSimFixture.h"

namespace {

TEST(PeekMemRules, NumberFieldsAndLimits) {
  EXPECT_EQ(ParseNumber("0x1001"), 0x1001);
  EXPECT_EQ(ParseNumber("x1F"), 0x1F);
  EXPECT_EQ(ParseNumber("4096"), 4096);
  EXPECT_EQ(ParseNumber("abc"), 0);
  EXPECT_EQ(PeekMem_LimitStart(0x1000000), 0xFFFFFF);
  EXPECT_EQ(PeekMem_LimitStart(-4), 0);
  EXPECT_EQ(PeekMem_LimitLength(0), 1);
  EXPECT_EQ(PeekMem_LimitMemType(7), 0);
}

TEST(PeekMemRules, WriteDataGrammar) {
  const struct {
    const char* text;
    std::vector<int> values;
    const char* error;
  } cases[] = {
      {"0x10 0x20 \"AB\" 7", {0x10, 0x20, 0x41, 0x42, 7}, ""},
      {"1, 2,\t3 'x y'", {1, 2, 3, 'x', ' ', 'y'}, ""},
      {"0x1G", {0x1}, ""},  // other characters inside a hex number are ignored
      {"\"\xC3\xA9\"", {0xE9}, ""},
      {"12a", {}, "Bad number '12a'"},
      {"1,2\t0x3,4", {1, 2, 3, 4}, ""},
      {"0x", {}, "Bad number '0x'"},
      {"256", {}, "Value '256' is above 255"},
      {"\"\xE2\x82\xAC\"", {}, "Value '\xE2\x82\xAC' is above 255"},
      {"\"AB", {}, "Missing closing quote (\")"},
      {"-1", {}, "Unexpected character '-'"},
  };
  for (const auto& c : cases) {
    const PeekByteList list = PeekWrite_ParseData(c.text, 1024);
    EXPECT_EQ(list.values, c.values) << c.text;
    EXPECT_EQ(list.error, c.error) << c.text;
  }
  EXPECT_EQ(PeekWrite_ParseData("1 2 3", 2).error, "Too many values (max. 2)");
  int out[4];
  EXPECT_EQ(ParseByteList("9 8", out, 4), 2);
  EXPECT_EQ(out[1], 8);
  EXPECT_EQ(ParseByteList("9 x", out, 4), -1);
}

class PeekMemTest : public ServiceSimTest {};

TEST_F(PeekMemTest, DsPic33FlashDumpMakesTheStartEvenAndShowsFourWordsALine) {
  ModuleRec* rec = serve("module node=5 type=16 cpu=4 state=0x01\n"
                         "memory flash 0x1000 hex=AABBCC00DDEEFF00112233004455660077\n", 5);
  PeekFields fields{0, "0x1001", "8"};
  PeekDump dump;
  ASSERT_TRUE(dump.start(*rec, fields, false));
  while (dump.step()) {}
  EXPECT_EQ(fields.start, "0x1000");
  EXPECT_EQ(dump.cpuText(), "CPU type: dsPIC33F");
  EXPECT_EQ(dump.text(),
            "WAdr(hex)  WordData(hex)\r\n  Offs     -----0  -----2  -----4  -----6\r\n"
            "\r\n001000     CCBBAA  FFEEDD  332211  665544 ");
  EXPECT_EQ(sent(), (std::vector<std::vector<int>>{{0x85}, {0x1B, 0, 0, 0, 0, 0, 0x10, 0}, {0xA1}, {0xA1}, {0xA1}}));
  EXPECT_EQ(Option_GetInt("MEM_PEEK_STARTADR"), 0x1001);  // stored as typed, limited
}

TEST_F(PeekMemTest, ByteDumpGoesToTheFileWithoutCarriageReturns) {
  ModuleRec* rec = serve("module node=6 type=16 cpu=6 state=0x01\nmemory eeprom 0 text=\"ABCDEFGHIJKLMNOPQR\"\n", 6);
  const std::string path = home.file("dump.txt");
  ui.expectSaveFile(path);
  PeekFields fields{1, "0", "18"};
  PeekDump dump;
  ASSERT_TRUE(dump.start(*rec, fields, true));
  while (dump.step()) {}
  const std::string lines = "Adr(hex)  Data(hex)\n\n000000    41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50 "
                            "\n000010    51 52 \n";
  EXPECT_EQ(ReadWholeFile(path), lines);
  EXPECT_EQ(Text_Narrow(Option_GetWString("PEEK_MEM_SAVE_FILENAME")), path);
}

TEST_F(PeekMemTest, ShownHintsAtTheBootloaderAndAFailedReadEndsTheDump) {
  ModuleRec* rec = serve("module node=7 type=16 cpu=2 state=0x85\n", 7);
  const PeekShownView view = PeekMem_Shown(*rec);
  EXPECT_EQ(view.cpuText, "CPU type: dsPIC30F");
  EXPECT_EQ(view.dump, kPeekMemFirmwareHint);
  EXPECT_TRUE(view.readEnabled);

  sim.withModule(sim.findModule(0, 7), [](SimModule& m) { m.bootloader().memoryAccessInFirmware = true; });
  PeekFields fields{1, "0", "64"};
  PeekDump dump;
  ASSERT_TRUE(dump.start(*rec, fields, false));
  EXPECT_TRUE(dump.step());
  sim.dropNextReplies(1);
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  EXPECT_FALSE(dump.step());
  EXPECT_EQ(dump.text().substr(dump.text().size() - 20), "\r\nTransmission error");
}

TEST_F(PeekMemTest, WriteDialogSplitsIntoSevensAndALastFrame) {
  ModuleRec* rec = serve("module node=8 type=16 cpu=2 state=0x01\n", 8);
  PeekWriteFields w = PeekWrite_Open();
  EXPECT_EQ(w.hint, kPeekWriteHint);
  w.memType = 1;
  w.start = "0x20";
  w.data = "0x10 0x20 \"AB\" 7";
  PeekWrite_Write(*rec, w);
  EXPECT_EQ(w.hint, "5 bytes written:\n0x10 0x20 0x41 0x42 0x07 ");
  EXPECT_EQ(sent(), (std::vector<std::vector<int>>{{0x1B, 1, 0, 0, 0, 0, 0, 0x20}, {0x62, 5, 0x10, 0x20, 0x41, 0x42, 7, 0}}));
  EXPECT_EQ(eeprom(8, 0x20, 5), (std::vector<int>{0x10, 0x20, 0x41, 0x42, 7}));

  sim.clearTraffic();
  w.data = "1 2 3 4 5 6 7";
  PeekWrite_Write(*rec, w);
  EXPECT_EQ(sent(), (std::vector<std::vector<int>>{
                        {0x1B, 1, 0, 0, 0, 0, 0, 0x20}, {0x61, 1, 2, 3, 4, 5, 6, 7}, {0x62, 0, 0, 0, 0, 0, 0, 0}}));

  sim.clearTraffic();
  w.data = "1 \"2";
  PeekWrite_Write(*rec, w);
  EXPECT_EQ(w.hint, "Missing closing quote (\")");
  w.data = "";
  PeekWrite_Write(*rec, w);
  EXPECT_EQ(w.hint, "Empty write data");
  w.memType = 0;
  ui.expectMessage("Writing to Program Flash Memory not yet supported", UiAnswer::Ok);
  PeekWrite_Write(*rec, w);
  EXPECT_TRUE(sent().empty());

  // The last values come back on the next opening, until the page is shown again.
  EXPECT_EQ(PeekWrite_Open().start, "0x20");
  Option_SetInt("MEM_PEEK_STARTADR", 0x40);
  PeekMem_Shown(*rec);
  EXPECT_EQ(PeekWrite_Open().start, "0x40");
}

}  // namespace
