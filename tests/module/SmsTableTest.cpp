// The SMS page: the module's table read and written by block transfers, the
// edits, and the SMS list files.
#include <gtest/gtest.h>

#include "core/Options.h"
#include "module/ServiceSimFixture.h"
#include "module/SmsListFile.h"
#include "module/SmsTable.h"

namespace {

const char* const kModem =
    "module node=31 type=31 cpu=2 sms=3/0x100/192\n"
    "smsentry 0 phone=\"+49 170 1\" text=\"Boiler fault\"\n"
    "smsentry 1 phone=\"+49 170 2\" text=\"Pressure low\"\n";  // entry 2: erased EEPROM

TEST(SmsFileRules, TagsAreFoundInOrderAcrossLinesAndCapacityIsKept) {
  const SmsFileContents c = SmsFile_Parse(
      "<smslist><sms><phone>1</phone><text>two\nlines</text></sms><sms>ignored on this line\n"
      "  <sms>\n<phone>\xE9</phone>\n<text></text></sms>\n<sms><phone>3</phone></sms>\n",
      2);
  ASSERT_EQ(c.entries.size(), 2u);
  EXPECT_EQ(c.entries[0].text, "two\nlines");
  EXPECT_EQ(c.entries[1].phone, "\xE9");  // Latin-1 stays Latin-1
  EXPECT_TRUE(c.tooMany);
  // A file saved as UTF-8 by an editor is taken as UTF-8.
  EXPECT_EQ(SmsFile_Parse("<sms><phone>Gr\xC3\xBC\xC3\x9F</phone>", 1).entries[0].phone, "Gr\xFC\xDF");
  // Truncated: the phone never closes.
  const SmsFileContents t = SmsFile_Parse("<sms><phone>123", 1);
  EXPECT_FALSE(t.phoneSeen[0]);
}

class SmsTableTest : public ServiceSimTest {
 protected:
  SmsRowEdits rowsOf(const SmsState& s) {
    SmsRowEdits rows;
    const SmsView v = SmsTab_Show(s);
    for (int r = 0; r < kSmsRows; ++r) rows.phone[r] = v.rows[r].phone, rows.text[r] = v.rows[r].text;
    return rows;
  }
  SmsState sms;
};

TEST_F(SmsTableTest, ShownReadsLayoutAndEntriesAndErasedFieldsAreEmpty) {
  ModuleRec* rec = serve(kModem, 31);
  SmsTab_Shown(*rec, sms);
  EXPECT_EQ(sms.count, 3);
  EXPECT_EQ(sms.memType, 1);
  const SmsView v = SmsTab_Show(sms);
  EXPECT_TRUE(v.buttonsVisible);
  EXPECT_EQ(v.scrollMax, 2);
  EXPECT_EQ(v.rows[1].phone, "+49 170 2");
  EXPECT_EQ(v.rows[1].text, "Pressure low");
  EXPECT_TRUE(v.rows[2].visible);
  EXPECT_EQ(v.rows[2].phone, "");  // erased: 0xFF
  EXPECT_FALSE(v.rows[3].visible);
  // Layout (3) + for each entry a start and 28 reads of seven bytes.
  EXPECT_EQ(sent().size(), 3u + 3u * 29u);
}

TEST_F(SmsTableTest, ModuleWithoutLayoutShowsNothing) {
  ModuleRec* rec = serve("module node=31 type=31\n", 31);
  SmsTab_Shown(*rec, sms);
  EXPECT_EQ(sms.count, 0);
  EXPECT_FALSE(SmsTab_Show(sms).buttonsVisible);
  EXPECT_FALSE(SmsTab_Show(sms).rows[0].visible);
}

TEST_F(SmsTableTest, WriteSendsOnlyTheEditedEntryAndTheEntrySizeDecidesTheLastFrame) {
  for (int size : {14, 15}) {
    ModuleRec* rec = serve("module node=31 type=31 cpu=2 sms=2/0x100/" + std::to_string(size) + "\n", 31);
    SmsTab_Shown(*rec, sms);
    sim.clearTraffic();
    SmsRowEdits rows = rowsOf(sms);
    rows.phone[1] = "12";
    SmsTab_WriteAll(*rec, sms, rows);
    const auto frames = sent();
    ASSERT_EQ(frames.size(), size == 14 ? 3u : 4u) << size;
    EXPECT_EQ(frames[0], (std::vector<int>{0x1B, 1, 0, 0, 0, 0, 1, size}));  // entry 1 only
    EXPECT_EQ(frames[1][0], 0x61);
    if (size == 15) {
      EXPECT_EQ(frames[3][0], 0x62);
      EXPECT_EQ(frames[3][1], 1);
    }
    EXPECT_EQ(eeprom(31, 0x100 + uint32_t(size) + 4, 3), (std::vector<int>{'1', '2', 0}));
    CloseInterface();
    sim.stop();
  }
}

TEST_F(SmsTableTest, TooLongEditsAreReportedAndCut) {
  ModuleRec* rec = serve(kModem, 31);
  SmsTab_Shown(*rec, sms);
  SmsRowEdits rows = rowsOf(sms);
  rows.phone[0] = std::string(30, '1');
  rows.text[2] = std::string(161, 'x');
  ui.expectMessage("Phone number of outgoing SMS 0\nis too long (max. 25 chars),\ntruncated", UiAnswer::Ok);
  ui.expectMessage("Text of outgoing SMS 2\nis too long (max. 160 chars),\ntruncated", UiAnswer::Ok);
  SmsTab_TakeEdits(sms, rows);
  EXPECT_EQ(SmsTab_Phone(sms, 0), std::string(25, '1'));
  EXPECT_EQ(SmsTab_Text(sms, 2).size(), 160u);
}

TEST_F(SmsTableTest, SavedFileLoadsBackAndExtraEntriesAreReported) {
  ModuleRec* rec = serve(kModem, 31);
  SmsTab_Shown(*rec, sms);
  SmsRowEdits rows = rowsOf(sms);
  rows.text[2] = "Caf\xC3\xA9 <closed>";
  const std::string path = home.file("sms.xml");
  ui.expectSaveFile(path);
  SmsFile_Save(sms, rows);
  EXPECT_EQ(ReadWholeFile(path),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<smslist>\n"
            "\t<sms>\n\t\t<phone>+49 170 1</phone>\n\t\t<text>Boiler fault</text>\n\t</sms>\n"
            "\t<sms>\n\t\t<phone>+49 170 2</phone>\n\t\t<text>Pressure low</text>\n\t</sms>\n"
            "\t<sms>\n\t\t<phone></phone>\n\t\t<text>Caf\xE9 <closed></text>\n\t</sms>\n</smslist>\n");

  SmsState other;
  other.count = 3;
  ui.expectOpenFile(path);
  SmsFile_Load(other);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(SmsTab_Phone(other, i), SmsTab_Phone(sms, i));
    EXPECT_EQ(SmsTab_Text(other, i), SmsTab_Text(sms, i));
  }
  other.count = 2;
  ui.expectMessage("Too many SMS' in file,\nskipping them", UiAnswer::Ok);
  SmsFile_LoadFrom(other, path);
  EXPECT_EQ(SmsTab_Text(other, 1), "Pressure low");
  ui.expectMessage("Cannot read SMS data file\n'" + home.file("none.xml") + "'", UiAnswer::Ok);
  SmsFile_LoadFrom(other, home.file("none.xml"));
}

TEST_F(SmsTableTest, FailedReadIsReportedOnceMoreAndEndsTheRun) {
  ModuleRec* rec = serve(kModem, 31);
  SmsTab_Shown(*rec, sms);
  sim.clearTraffic();
  sim.dropNextReplies(1);
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  ui.expectMessage("Module SMS read error", UiAnswer::Ok);
  SmsTab_ReadAll(*rec, sms);
  EXPECT_EQ(sent().size(), 2u);  // the start and the first read
}

}  // namespace
