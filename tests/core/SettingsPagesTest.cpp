// The settings pages' storing rules: ranges, swaps, defaults for text that is
// no number, and the debug log switched at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/DebugLog.h"
#include "core/Options.h"
#include "core/SettingsPages.h"
#include "support/AppFixture.h"

namespace {

const std::string k20Digits = "12345678901234567890";

TEST(SettingsPages, ScanBusStoring) {
  struct Case {
    std::string from, to, interval, dialogs;
    bool open;
    int start, stop, sendMs, openDialog, maxDialogs;
  } cases[] = {
      {"150", "3", "5", "10", true, 3, 127, 10, 1, 10},
      {"1", "127", "11", "0", true, 1, 127, 11, 0, 0},
      {"0", "abc", "1000", "3", false, 1, 1, 1000, 0, 3},
      {"-5", " 64 ", "abc", "2", true, 1, 64, 10, 1, 2},
      {k20Digits, "12x", k20Digits, k20Digits, true, 1, 127, 1000, 1, 2147483647},
  };
  for (const Case& c : cases) {
    ScanBusSettings s = ScanBusPage_Show();
    s.rangeFrom = c.from;
    s.rangeTo = c.to;
    s.interval = c.interval;
    s.maxDialogs = c.dialogs;
    s.openDialogs = c.open;
    ScanBusPage_Store(s);
    EXPECT_EQ(Option_GetInt("SCAN_RANGE_START"), c.start) << c.from << ".." << c.to;
    EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), c.stop) << c.from << ".." << c.to;
    EXPECT_EQ(Option_GetInt("SCAN_SEND_INTERVAL_MS"), c.sendMs) << c.interval;
    EXPECT_EQ(Option_GetInt("SCAN_OPEN_DIALOG"), c.openDialog) << c.dialogs;
    EXPECT_EQ(Option_GetInt("SCAN_OPEN_DIALOGS"), c.maxDialogs) << c.dialogs;
  }
  const ScanBusSettings shown = ScanBusPage_Show();
  EXPECT_EQ(shown.rangeTo, "127");
  EXPECT_EQ(shown.interval, "1000");
}

TEST(SettingsPages, FirmwareIntervalAndLoggerBuffer) {
  struct Interval {
    std::string typed;
    double stored;
    std::string shown;
  } intervals[] = {{"0.05", 0.1, "0.1"},  {"abc", 10, "10"},     {"-3", 0.1, "0.1"},
                   {"2.5", 2.5, "2.5"},   {" 250 ", 250, "250"}, {k20Digits, 1000, "1000"},
                   {"", 10, "10"}};
  for (const Interval& c : intervals) {
    FirmwareSettings f = FirmwarePage_Show();
    f.interval = c.typed;
    FirmwarePage_Store(f);
    EXPECT_DOUBLE_EQ(Option_GetDouble("PROGRAM_SEND_INTERVAL_MS"), c.stored) << c.typed;
    EXPECT_EQ(FirmwarePage_Show().interval, c.shown) << c.typed;
  }
  struct Buffer {
    std::string typed;
    int32_t stored;
  } buffers[] = {{"500", 1000}, {"abc", 32000}, {"-5", 1000}, {"50000", 50000}, {k20Digits, INT32_MAX}};
  for (const Buffer& c : buffers) {
    LoggerSettings l = LoggerPage_Show();
    l.bufferSize = c.typed;
    LoggerPage_Store(l);
    EXPECT_EQ(Option_GetLong("LOGGER_BUFFERSIZE"), c.stored) << c.typed;
  }
  EXPECT_EQ(LoggerPage_Show().bufferSize, "2147483647");
}

TEST(SettingsPages, TheOpeningPage) {
  EXPECT_EQ(SettingsPages_OpeningPage(-1, 4), TAB_SET_GENERAL);
  SettingsPages_RememberPage(TAB_SET_TESTO);
  EXPECT_EQ(SettingsPages_OpeningPage(-1, 6), TAB_SET_TESTO);
  EXPECT_EQ(SettingsPages_OpeningPage(-1, 4), 3) << "no factory pages outside factory mode";
  EXPECT_EQ(SettingsPages_OpeningPage(TAB_SET_LOGGER, 4), TAB_SET_LOGGER);
}

class GeneralPageTest : public AppStateTest {};

TEST_F(GeneralPageTest, TickingDebugFeaturesStartsAppendingToTheLogAtOnce) {
  GeneralSettings g = GeneralPage_Show();
  EXPECT_FALSE(g.debugFeatures);
  g.debugFeatures = true;
  g.askBeforeExit = false;
  GeneralPage_Store(g, false);
  EXPECT_EQ(Option_GetInt("DEBUG_MODE"), 1);
  EXPECT_EQ(Option_GetInt("ASK_BEFORE_EXIT"), 0);
  EXPECT_TRUE(DebugLog_IsOpen());
  DebugLog("first line");
  // Showing and leaving the page unchanged leaves the log as it is.
  GeneralPage_Store(GeneralPage_Show(), true);
  EXPECT_TRUE(DebugLog_IsOpen());
  g.debugFeatures = false;
  GeneralPage_Store(g, true);
  EXPECT_FALSE(DebugLog_IsOpen());
  g.debugFeatures = true;
  GeneralPage_Store(g, false);
  DebugLog("second line");
  DebugLog_Close();
  const std::string log = ReadWholeFile(DebugLog_DefaultPath());
  EXPECT_NE(log.find("first line"), std::string::npos) << "appended, not truncated";
  EXPECT_NE(log.find("second line"), std::string::npos);
  EXPECT_NE(log.find("Logging stopped on"), std::string::npos);
}

}  // namespace
