#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "protocol/VornProtText.h"
#include "protocol/WireConstants.h"

TEST(VornProtText, BitRatesPerBusAndTheirFallbacks) {
  const char* can[] = {"10 k", "20 k", "50 k", "100 k", "125 k", "250 k", "500 k", "1000 k"};
  for (int i = 0; i < 8; ++i) EXPECT_STREQ(VornProt_BaudName(i, 'c'), can[i]) << i;
  const char* modbus[] = {"1200", "9600", "19200", "57600"};
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(VornProt_BaudName(i, 'm'), modbus[i]) << i;

  for (int i : {8, -1, 255, INT_MIN}) EXPECT_STREQ(VornProt_BaudName(i, 'c'), "Baud=undef") << i;
  for (int i : {4, 7, -1, INT_MAX}) EXPECT_STREQ(VornProt_BaudName(i, 'm'), "Baud=undef") << i;

  // Buses without a table show the index.
  EXPECT_STREQ(VornProt_BaudName(3, 'l'), "(#3)");
  EXPECT_STREQ(VornProt_BaudName(-1, 'x'), "(#-1)");
  EXPECT_STREQ(VornProt_BaudName(INT_MIN, '\0'), "(#-2147483648)");
  EXPECT_STREQ(VornProt_BaudName(0, 'C'), "(#0)");  // bus letters are lower case
}

TEST(VornProtText, CanBitRateNamesMatchTheBusMastersBitRateCodes) {
  // The bus master reports a bus's bit rate with the same index.
  for (int i = 0; i < Wire::CAN_BITRATE_CODE_COUNT; ++i)
    EXPECT_EQ(VornProt_BaudName(i, 'c'), std::to_string(Wire::CAN_BITRATE_KBITS[i]) + " k") << i;
}

TEST(VornProtText, NumberedTextsShareOneBufferPerFunction) {
  const char* first = VornProt_BaudName(5, 'l');
  const std::string copy = first;
  VornProt_CpuName(77);  // another function's buffer
  EXPECT_STREQ(first, "(#5)");
  VornProt_BaudName(6, 'l');
  EXPECT_EQ(copy, "(#5)");
  EXPECT_STREQ(first, "(#6)");
}

TEST(VornProtText, ProcessorNamesAndBootloaderErrors) {
  const char* cpus[] = {"(#0)", "PIC18F", "dsPIC30F", "AT8051", "dsPIC33F", "(#5)", "SAMC21", "(#7)"};
  for (int i = 0; i < 8; ++i) EXPECT_STREQ(VornProt_CpuName(i), cpus[i]) << i;
  EXPECT_STREQ(VornProt_CpuName(255), "(#255)");
  EXPECT_STREQ(VornProt_CpuName(-1), "(#-1)");
  const char* errors[] = {"(no error)", "Invalid parameter (#1)", "Flash buffer overflow (#2)",
                          "Address alignment error (#3)", "Invalid Code Start Address (#4)",
                          "Address overflow (#5)", "Buffer empty (#6)", "Wrong command key (#7)",
                          "Illegal address gap (#8)"};
  for (int i = 0; i <= 8; ++i) EXPECT_STREQ(VornProt_BootErrorText(i), errors[i]) << i;
  EXPECT_STREQ(VornProt_BootErrorText(9), "(unknown error #9)");
  EXPECT_STREQ(VornProt_BootErrorText(-1), "(unknown error #-1)");
  EXPECT_STREQ(VornProt_BootErrorText(INT_MIN), "(unknown error #-2147483648)");
}

TEST(VornProtText, StatesUseOnlyTheLowFourBits) {
  const char* texts[] = {"Bootup", "Bootloader", "SearchMode", "PreOperational", "Stopped", "Operational"};
  for (int i = 0; i <= 5; ++i) EXPECT_STREQ(VornProt_StateText(i), texts[i]) << i;
  EXPECT_STREQ(VornProt_StateText(0x85), "Operational");  // firmware running
  EXPECT_STREQ(VornProt_StateText(0x71), "Bootloader");   // further state bits
  EXPECT_STREQ(VornProt_StateText(0x102), "SearchMode");
  for (int s : {6, 15, 0x86, 0xFF, -1}) EXPECT_STREQ(VornProt_StateText(s), "?") << s;
}

TEST(VornProtText, DataTypes) {
  const char* texts[] = {"BOOL", "INT8", "INT16", "INT32", "UINT8", "UINT16", "UINT32", "REAL32", "STRING"};
  for (int i = 1; i <= 9; ++i) EXPECT_STREQ(VornProt_DataTypeText(i), texts[i - 1]) << i;
  EXPECT_STREQ(VornProt_DataTypeText(32), "PDOCOMPAR");
  for (int c : {0, 10, 31, 33, 255, -1, INT_MIN}) EXPECT_STREQ(VornProt_DataTypeText(c), "(?)") << c;
}
