// The debug log file: header lines, time stamps, gap lines, truncation and
// appending, silence on failure; frame and date texts.
#include "CoreTestSupport.h"
#include "core/CanMsg.h"
#include "core/DateText.h"
#include "core/DebugLog.h"
#include "platform/Clock.h"

namespace {

LocalTime noonOnSixthDecember() {
  LocalTime t;
  t.year = 2026, t.month = 12, t.day = 6, t.hour = 12;
  return t;
}

class DebugLogTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    Clock_Install(&clock);
  }
  void TearDown() override {
    Clock_Install(nullptr);
    ScriptedUiTest::TearDown();
    EXPECT_TRUE(ui.calls().empty()) << "the log reported something: " << ui.calls()[0];
  }
  std::string content() const { return ReadWholeFile(log); }

  ManualClock clock{1000, noonOnSixthDecember()};
  TempFolder folder;
  std::string log = folder.file("trace.log");
  const std::string header =
      "KVXconfig logfile\nLogging started on 06 Dec 2026, 12:00:00\n\n";
};

TEST_F(DebugLogTest, FirstOpenWritesTheHeaderThenTimeStampedLines) {
  DebugLog_Open(log.c_str(), 'w');
  EXPECT_TRUE(DebugLog_IsOpen());
  clock.advance(4045);  // the header lines are no previous line: no gap line
  DebugLog("VornProt_RequestMessage( %s )", "[681]#1[80]");
  clock.advance(1000);
  DebugLog("  -> Received: %d bytes", 8);
  EXPECT_EQ(content(), header +
                           "12:00:04.045:  VornProt_RequestMessage( [681]#1[80] )\n"
                           "12:00:05.045:    -> Received: 8 bytes\n");
}

TEST_F(DebugLogTest, LinesMoreThanThreeSecondsApartGetAGapLine) {
  DebugLog_Open(log.c_str(), 'w');
  DebugLog("a");
  clock.advance(5200);
  DebugLog("b");
  clock.advance(3000);  // exactly three seconds: no gap
  DebugLog("c");
  clock.advance(3001);
  DebugLog("d");
  EXPECT_EQ(content(), header +
                           "12:00:00.000:  a\n"
                           "\n-- 5 secs. --\n\n"
                           "12:00:05.200:  b\n"
                           "12:00:08.200:  c\n"
                           "\n-- 3 secs. --\n\n"
                           "12:00:11.201:  d\n");
}

TEST_F(DebugLogTest, CloseAndReopenAppendWithoutGapOrSecondHeader) {
  DebugLog_Open(log.c_str(), 'w');
  DebugLog("before");
  clock.advance(2000);
  DebugLog_Close();
  EXPECT_FALSE(DebugLog_IsOpen());
  clock.advance(60000);
  DebugLog("while closed");
  DebugLog_Open(log.c_str(), 'a');
  DebugLog("after");
  EXPECT_EQ(content(), header +
                           "12:00:00.000:  before\n"
                           "\nLogging stopped on 06 Dec 2026, 12:00:02\n"
                           "Logging started on 06 Dec 2026, 12:01:02\n\n"
                           "12:01:02.000:  after\n");
}

TEST_F(DebugLogTest, FirstOpenOfTheRunTruncatesLaterOnesFollowTheMode) {
  WriteWholeFile(log, "yesterday's log\n");
  DebugLog_Open(log.c_str(), 'a');  // first open: truncates anyway
  DebugLog_Close();
  EXPECT_EQ(content().rfind(header, 0), 0u);
  DebugLog_Open(log.c_str(), 'a');
  DebugLog_Close();
  EXPECT_EQ(content().rfind(header, 0), 0u);
  DebugLog_Open(log.c_str(), 'w');
  EXPECT_EQ(content(), "Logging started on 06 Dec 2026, 12:00:00\n\n");
}

TEST_F(DebugLogTest, ClosedLogCreatesNoFile) {
  DebugLog("nobody listens %d", 1);
  DebugLog_Close();
  EXPECT_FALSE(Platform_FileStatus(log).exists);
}

TEST_F(DebugLogTest, UnwritablePathIsSilent) {
  const std::string bad = folder.file("missing/folder/x.log");
  DebugLog_Open(bad.c_str(), 'w');
  DebugLog("lost %s", "line");
  DebugLog_Close();
  DebugLog_Open(folder.path().c_str(), 'a');  // a folder
  DebugLog("lost too");
  DebugLog_Close();
  EXPECT_FALSE(Platform_FileStatus(bad).exists);
  // TearDown checks that nothing was shown.
}

TEST_F(DebugLogTest, DefaultPathIsTheBaseNameInTheHomeFolder) {
  TestHome home;
  EXPECT_EQ(DebugLog_DefaultPath(), home.file("KVXconfig.log"));
  DebugLog_Open(nullptr, 'w');
  DebugLog("x");
  DebugLog_Close();
  EXPECT_EQ(ReadWholeFile(home.file("KVXconfig.log")).rfind(header, 0), 0u);
}

TEST(FormatCanMsg, IdentifierLengthAndBytes) {
  CanMsg msg;
  msg.id = 0x681;
  msg.len = 3;
  msg.data[0] = 0x80;
  msg.data[1] = 0x0A;
  msg.data[2] = 0xFF;
  EXPECT_STREQ(FormatCanMsg(msg), "[681]#3[80][0a][ff]");
  msg.id = 0x5;
  msg.len = 0;
  EXPECT_STREQ(FormatCanMsg(msg), "[005]#0");
  msg.id = 0x18FF1234u | CANMSG_FLAG_LONG;
  msg.len = 12;  // a bad length shows, but at most 8 bytes follow
  EXPECT_STREQ(FormatCanMsg(msg), "[98FF1234]#12[80][0a][ff][00][00][00][00][00]");
}

TEST(DateText, ValidAndInvalidRecords) {
  const uint32_t valid[8] = {0xA5, 20, 26, 12, 6, 9, 5, 3};
  EXPECT_EQ(VornProt_DateText(valid), "06 Dec 2026, 09:05:03");
  struct Case {
    int index;
    uint32_t value;
    bool ok;
  };
  const Case cases[] = {{3, 13, false}, {3, 0, false},  {3, 1, true},   {4, 0, false},
                        {4, 31, true},  {4, 32, false}, {5, 23, true},  {5, 24, false},
                        {6, 60, false}, {7, 59, true},  {7, 60, false}, {1, 18, false},
                        {1, 19, true},  {1, 29, true},  {1, 30, false}, {2, 4000000000u, false}};
  for (const Case& c : cases) {
    uint32_t record[8];
    std::copy(valid, valid + 8, record);
    record[c.index] = c.value;
    EXPECT_EQ(VornProt_DateText(record) != "(invalid)", c.ok) << c.index << "=" << c.value;
  }
  const uint32_t first[8] = {0, 19, 0, 1, 1, 0, 0, 0};
  EXPECT_EQ(VornProt_DateText(first), "01 Jan 1900, 00:00:00");
}

TEST(DateText, LocalTime) {
  LocalTime t = noonOnSixthDecember();
  t.month = 7, t.day = 31, t.minute = 4, t.second = 9;
  EXPECT_EQ(VornProt_DateText(t), "31 Jul 2026, 12:04:09");
  t.month = 0;
  EXPECT_EQ(VornProt_DateText(t), "(invalid)");
}

}  // namespace
