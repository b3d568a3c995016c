// The text of calibration data files: data lines as written, lines as read
// back, and what the reader does with long lines and binary bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "calib/CalibDataFile.h"
#include "support/TestEnvironment.h"

namespace {

const CalibValueBytes kEmpty{0xFF, 0xFF, 0xFF, 0xFF};

TEST(CalibFileText, DataLinesKeepSixSignificantDigits) {
  // (Tabs and the empty mark are checked byte for byte in the save test.)
  const CalibValueBytes small[4] = {CalibValue_Encode(1e-7), CalibValue_Encode(123456789), kEmpty, kEmpty};
  EXPECT_EQ(CalibFile_DataLine(1, 2, small), "1\t2\t1e-07\t1.23457e+08\tffffffff\tffffffff\n");
}

TEST(CalibFileText, DescriptionsAreWrittenInLatin1) {
  EXPECT_EQ(CalibFile_ToLatin1("Pt100, -50...150 \xC2\xB0" "C"), "Pt100, -50...150 \xB0" "C");
  EXPECT_EQ(CalibFile_ToLatin1("Voltage \xE2\x82\xAC"), "Voltage ?");  // the euro sign has no Latin-1 byte
}

TEST(CalibFileText, LinesAreCommentsModuleTypesOrDataLines) {
  struct Case {
    const char* line;
    CalibFileLine::Kind kind;
  } cases[] = {
      {"", CalibFileLine::Comment},
      {"   \t\r", CalibFileLine::Comment},
      {"# KVX700 module calibration data", CalibFileLine::Comment},
      {"# NUMCHAN 99", CalibFileLine::Comment},  // not checked
      {"#   Voltage, 0...10 V", CalibFileLine::Comment},
      {"# MODULETYPE", CalibFileLine::Comment},
      {"  # MODULETYPE 14", CalibFileLine::ModuleType},
      {"#MODULETYPE\t7", CalibFileLine::ModuleType},
      {"0\t1\t1\t2\t3\t4", CalibFileLine::Data},
      {"  2 0 ffffffff ffffffff 1.5 0.25  trailing words", CalibFileLine::Data},
      {"0 1 1 2 3", CalibFileLine::Short},
      {"x 1 1 2 3 4", CalibFileLine::Short},
      {"0 y 1 2 3 4", CalibFileLine::Short},
  };
  for (const Case& c : cases) EXPECT_EQ(CalibFile_ParseLine(c.line).kind, c.kind) << "'" << c.line << "'";
  EXPECT_EQ(CalibFile_ParseLine("# MODULETYPE 14").moduleType, 14);

  const CalibFileLine d = CalibFile_ParseLine("-3 12 1.5 ffffffff x 7");
  EXPECT_EQ(d.channel, -3);
  EXPECT_EQ(d.configIndex, 12);
  EXPECT_EQ(d.fields[0], "1.5");
  EXPECT_EQ(d.fields[1], "ffffffff");
  EXPECT_EQ(d.fields[3], "7");
  // Like "%d": the number ends where the digits end, the rest is the next field.
  const CalibFileLine glued = CalibFile_ParseLine("1 0abc 2 3 4");
  EXPECT_EQ(glued.kind, CalibFileLine::Data);
  EXPECT_EQ(glued.fields[0], "abc");
  // Numbers beyond the int range stay at its ends.
  EXPECT_EQ(CalibFile_ParseLine("99999999999999999999 0 1 1 1 1").channel, 2147483647);
}

TEST(CalibFileText, ValueFields) {
  float v = 0;
  EXPECT_TRUE(CalibFile_IsEmptyField("ffffffff"));
  EXPECT_TRUE(CalibFile_IsEmptyField("f"));
  EXPECT_FALSE(CalibFile_IsEmptyField("FFFFFFFF"));
  EXPECT_TRUE(CalibFile_ReadValue("-2.5", v));
  EXPECT_EQ(v, -2.5f);
  EXPECT_TRUE(CalibFile_ReadValue("1.5abc", v));  // the number at the start, as "%f" reads it
  EXPECT_EQ(v, 1.5f);
  for (const char* bad : {"abc", "", "-", "1e99", "nan", "inf"}) EXPECT_FALSE(CalibFile_ReadValue(bad, v)) << bad;
}

TEST(CalibFileText, ReaderCutsLongLinesAndStopsAtNulBytes) {
  TempFolder folder;
  const std::string path = folder.file("lines.cal");
  std::string text = "first\n" + std::string(10000, '7') + " tail\n" + std::string("a\0b c", 5) + "\nlast";
  WriteWholeFile(path, text);
  std::FILE* f = std::fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::string line;
  ASSERT_TRUE(CalibFile_ReadLine(f, line));
  EXPECT_EQ(line, "first");
  ASSERT_TRUE(CalibFile_ReadLine(f, line));
  EXPECT_EQ(line, std::string(1023, '7'));  // one line, its tail dropped
  ASSERT_TRUE(CalibFile_ReadLine(f, line));
  EXPECT_EQ(line, "a");
  ASSERT_TRUE(CalibFile_ReadLine(f, line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(CalibFile_ReadLine(f, line));
  std::fclose(f);
}

}  // namespace
