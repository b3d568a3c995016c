// The log file: header, lines, footer, and a file that cannot be created.
#include <gtest/gtest.h>

#include <algorithm>

#include "LoggerTestSupport.h"
#include "logger/LogFile.h"

namespace {

TEST(LogFile, ReplacesOldContentsAndWritesHeaderAndFooter) {
  TempFolder folder;
  const std::string path = folder.file("can.log");
  WriteWholeFile(path, "old contents that must go\n");
  LogFile file;
  ASSERT_TRUE(file.open(path, "PCAN USB", "500 kBaud", "06 Dec 2026, 12:00:00"));
  file.write("-- START      \n");
  ASSERT_TRUE(file.flush());
  EXPECT_NE(ReadWholeFile(path).find("-- START"), std::string::npos) << "a flush reaches the disk";
  ASSERT_TRUE(file.close("06 Dec 2026, 12:01:40"));
  EXPECT_FALSE(file.isOpen());
  // (The whole file byte for byte: LoggerSessionTest.LogFileThroughTheSaveDialogByteForByte.)
  const std::string text = ReadWholeFile(path);
  EXPECT_EQ(text.rfind("# VORN KVXconfig CAN logger\n# Interface: PCAN USB (500 kBaud)\n", 0), 0u) << text;
  EXPECT_NE(text.find("\n# started on 06 Dec 2026, 12:00:00\n\n-- START      \n\n# stopped on 06 Dec 2026, 12:01:40\n"),
            std::string::npos) << text;
}

TEST(LogFile, ManyLinesAllArrive) {
  TempFolder folder;
  LogFile file;
  ASSERT_TRUE(file.open(folder.file("big.log"), "a", "b", "c"));
  const std::string line(63, 'x');
  for (int i = 0; i < 20000; ++i) file.write(line + "\n");
  ASSERT_TRUE(file.close("d"));
  const std::string text = ReadWholeFile(folder.file("big.log"));
  EXPECT_EQ(std::count(text.begin(), text.end(), 'x'), 20000 * 63);
}

TEST(LogFile, AFileThatCannotBeCreatedLeavesNoneOpen) {
  TempFolder folder;
  LogFile file;
  EXPECT_FALSE(file.open(folder.file("no/such/folder/x.log"), "a", "b", "c"));
  EXPECT_FALSE(file.isOpen());
  file.write("ignored\n");
  EXPECT_TRUE(file.flush());
  EXPECT_FALSE(file.open(folder.path(), "a", "b", "c")) << "a folder is no file";
}

TEST(LogFile, AWriteErrorIsNoticed) {
  LogFile file;
  if (!file.open("/dev/full", "a", "b", "c")) GTEST_SKIP() << "no /dev/full here";
  for (int i = 0; i < 10000; ++i) file.write(std::string(100, 'y') + "\n");
  EXPECT_FALSE(file.flush());
  EXPECT_TRUE(file.failed());
  EXPECT_FALSE(file.close("d"));
}

}  // namespace
