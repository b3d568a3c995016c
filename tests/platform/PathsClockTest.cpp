#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Clock.h"
#include "platform/Paths.h"
#include "support/TestEnvironment.h"

TEST(Paths, HomeFolderFollowsDriveAndPathThenHomeThenRoot) {
  EnvGuard guard({"HOMEDRIVE", "HOMEPATH", "HOME"});
  setenv("HOMEDRIVE", "/mnt", 1);
  setenv("HOMEPATH", "/tech/", 1);
  setenv("HOME", "/home/other", 1);
  EXPECT_EQ(Platform_HomeFolder(), "/mnt/tech");
  EXPECT_EQ(Platform_HomeFile("KVXconfig.ini"), "/mnt/tech/KVXconfig.ini");
  unsetenv("HOMEPATH");  // one of the two alone does not count
  EXPECT_EQ(Platform_HomeFolder(), "/home/other");
  unsetenv("HOME");
  EXPECT_EQ(Platform_HomeFolder(), "/");
  EXPECT_EQ(Platform_HomeFile("KVXconfig.ini"), "/KVXconfig.ini");
}

TEST(Paths, ProgramBaseNameIsCutAtDotThenDash) {
  EXPECT_EQ(Platform_BaseNameOf("C/x/KVXconfig-2.exe"), "KVXconfig");
  EXPECT_EQ(Platform_BaseNameOf("/opt/kvx/KVXconfig"), "KVXconfig");
  EXPECT_EQ(Platform_BaseNameOf("/a.b/tool.v2-x"), "tool");
  EXPECT_EQ(Platform_BaseNameOf("/usr/bin/my-tool.bin"), "my");
  Platform_SetExecutablePath("/opt/KVXconfig-test.run");
  EXPECT_EQ(GetProgramBaseName(), "KVXconfig");
  Platform_SetExecutablePath("");
  EXPECT_EQ(GetProgramBaseName(), "test_platform");
}

TEST(Paths, FileStatusAndFolderCreation) {
  TempFolder tmp;
  EXPECT_FALSE(Platform_FileStatus(tmp.file("none")).exists);
  WriteWholeFile(tmp.file("f"), "12345");
  const FileStatus fs = Platform_FileStatus(tmp.file("f"));
  EXPECT_TRUE(fs.exists);
  EXPECT_FALSE(fs.isDirectory);
  EXPECT_EQ(fs.size, 5);
  EXPECT_GT(fs.modifiedMs, 0);
  EXPECT_TRUE(Platform_MakeFolders(tmp.file("a/b/c")));
  EXPECT_TRUE(Platform_FileStatus(tmp.file("a/b/c")).isDirectory);
  EXPECT_FALSE(Platform_MakeFolders(tmp.file("f/sub")));
}

TEST(Clock, ManualClockMovesOnlyWhenToldAndCarriesLocalTime) {
  LocalTime start = ManualClock::defaultLocal();
  start.hour = 23;
  start.minute = 59;
  start.second = 59;
  start.millisecond = 500;
  ManualClock clock(5000, start);
  Clock_Install(&clock);
  EXPECT_TRUE(Clock_IsManual());
  EXPECT_EQ(Clock_NowMs(), 5000);
  Clock_SleepMs(1200);
  EXPECT_EQ(Clock_NowMs(), 6200);
  const LocalTime t = Clock_LocalTime();  // 23:59:59.500 + 1.2 s crosses midnight
  EXPECT_EQ(t.day, 7);
  EXPECT_EQ(t.hour, 0);
  EXPECT_EQ(t.second, 0);
  EXPECT_EQ(t.millisecond, 700);
  Clock_Install(nullptr);
  EXPECT_FALSE(Clock_IsManual());
}

TEST(Clock, SystemClockIsMonotonic) {
  const int64_t a = Clock_NowMs();
  Clock_SleepMs(2);
  EXPECT_GE(Clock_NowMs() - a, 2);
  const LocalTime t = Clock_LocalTime();
  EXPECT_GE(t.year, 2024);
  EXPECT_LT(t.millisecond, 1000);
}
