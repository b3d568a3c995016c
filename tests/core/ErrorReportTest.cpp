// Error reports, the status bar and its clearing timer, the wait cursor and
// the factory-mode access file.
#include "core/Session.h"
#include "CoreTestSupport.h"
#include "core/DebugLog.h"
#include "core/ErrorReport.h"
#include "platform/Clock.h"

namespace {

using Calls = std::vector<std::string>;

class ErrorReportTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    ui.clearRecord();
  }
  void TearDown() override {
    ScriptedUiTest::TearDown();
  }
  // The status bar's clearing timer, while armed.
  UiTimer* statusTimer() const {
    return ui.armedTimers().size() == 1 ? ui.armedTimers()[0] : nullptr;
  }
  void statusBarMode(bool sounds) {
    Option_SetInt("ERRORS_IN_STATUSBAR", 1);
    Option_SetInt("PLAY_SOUNDS", sounds ? 1 : 0);
  }
};

TEST_F(ErrorReportTest, StatusBarModeShowsOnlyTheTextWhichClearsLater) {
  statusBarMode(false);
  ShowError("Module %d timeout", 5);
  EXPECT_EQ(ui.calls(), Calls{"status| *** Error: Module 5 timeout"});
  EXPECT_EQ(GetStatusText(), "*** Error: Module 5 timeout");
  UiTimer* timer = statusTimer();
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(ui.armedPeriod(timer), 20000);
  ui.fire(timer);
  EXPECT_EQ(ui.statusText(), "");
  EXPECT_EQ(GetStatusText(), "");
  EXPECT_FALSE(ui.isArmed(timer));
}

TEST_F(ErrorReportTest, StatusBarModeBeepsWithSounds) {
  statusBarMode(true);
  ShowError("Interface error:\n%s", "no answer");
  EXPECT_EQ(ui.calls(), (Calls{"status| *** Error: Interface error:\nno answer", "beep"}));
}

TEST_F(ErrorReportTest, BoxModeShowsASystemModalErrorBox) {
  Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  ui.expectMessage("Module 5 timeout", UiAnswer::Ok);
  ShowError("Module %d timeout", 5);
  ASSERT_EQ(ui.messages().size(), 1u);
  const auto& box = ui.messages()[0];
  EXPECT_EQ(box.text, "Module 5 timeout");
  EXPECT_EQ(box.title, "KVXconfig Error");
  EXPECT_EQ(box.buttons, UiButtons::Ok);
  EXPECT_EQ(box.icon, UiIcon::Error);
  EXPECT_TRUE(box.systemModal);
  EXPECT_EQ(ui.statusText(), " *** Error: Module 5 timeout");
  EXPECT_EQ(ui.beeps(), 0);
}

TEST_F(ErrorReportTest, ShowErrorBoxAlwaysShowsTheBox) {
  statusBarMode(true);
  ui.expectMessage("Interface error", UiAnswer::Ok);
  ShowErrorBox("Interface error:\n%s", "Connection refused");
  EXPECT_EQ(ui.calls(), (Calls{"status| *** Error: Interface error:\nConnection refused",
                               "box|KVXconfig Error|Interface error:\nConnection refused"}));
}

TEST_F(ErrorReportTest, EmptyFormatDoesNothing) {
  const char* empty = "";
  ShowError(empty);
  ShowErrorBox(empty);
  EXPECT_TRUE(ui.calls().empty());
}

TEST_F(ErrorReportTest, ErrorsGoToTheDebugLog) {
  ManualClock clock;
  Clock_Install(&clock);
  TempFolder folder;
  const std::string log = folder.file("d.log");
  DebugLog_Open(log.c_str(), 'w');
  statusBarMode(false);
  clock.advance(7);
  ShowError("Unexpected message length (received %d, expected %d)", 3, 8);
  DebugLog_Close();
  Clock_Install(nullptr);
  EXPECT_NE(ReadWholeFile(log).find(
                "\n12:00:00.007:  *** Error: Unexpected message length (received 3, expected 8)\n"),
            std::string::npos);
}

TEST_F(ErrorReportTest, StatusTextRestartsAndClearsItsTimer) {
  Option_SetInt("ERRCLEAR_INTERVAL_MS", 1234);
  SetStatusText("Found %d module%s", 3, "s");
  EXPECT_EQ(ui.statusText(), " Found 3 modules");
  EXPECT_EQ(GetStatusText(), "Found 3 modules");
  UiTimer* timer = statusTimer();
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(ui.armedPeriod(timer), 1234);
  Option_SetInt("ERRCLEAR_INTERVAL_MS", 500);
  SetStatusText("Found %d module%s", 1, "");
  EXPECT_EQ(ui.armedPeriod(timer), 500);  // restarted with the current interval
  ClearStatusText();
  EXPECT_EQ(ui.statusText(), "");
  EXPECT_FALSE(ui.isArmed(timer));
  // A timer tick after clearing changes nothing.
  timer->tick();
  EXPECT_EQ(ui.calls().back(), "status|");
}

TEST_F(ErrorReportTest, WaitCursorOnlyForOne) {
  SetWaitCursor(1);
  SetWaitCursor(0);
  SetWaitCursor(2);
  EXPECT_EQ(ui.calls(), (Calls{"cursor|1", "cursor|0", "cursor|0"}));
}

// ---- factory mode --------------------------------------------------------------

TEST(FactoryMode, AccessFileVariants) {
  TempFolder folder;
  const std::string file = folder.file("KVXconfig.access");
  struct Case {
    std::string content;
    bool on;
  };
  const Case cases[] = {
      {"FACTORY", true},          {"FACTORY\n", true},       {"FACTORY\r\n", true},
      {"FACTORY\nUSER\n", true},  {"factory\n", false},      {" FACTORY\n", false},
      {"FACTORY \n", false},      {"FACTORYX\n", false},     {"FACTOR\n", false},
      {"", false},                {"\nFACTORY\n", false},    {"FACTORY\r\r\n", false},
      {std::string("FACTORY\0\n", 9), false},                {"\xef\xbb\xbf" "FACTORY\n", false},
      {"FACTORY" + std::string(100, 'Y'), false},
  };
  for (const Case& c : cases) {
    WriteWholeFile(file, c.content);
    EXPECT_EQ(FactoryMode_AccessFileGrants(file), c.on) << "\"" << c.content << "\"";
  }
  EXPECT_FALSE(FactoryMode_AccessFileGrants(folder.file("absent.access")));
  EXPECT_FALSE(FactoryMode_AccessFileGrants(folder.path()));
}

TEST(FactoryMode, DecidedOnceFromTheHomeFolder) {
  TestHome home;
  EXPECT_EQ(FactoryMode_AccessFilePath(), home.file("KVXconfig.access"));
  WriteWholeFile(home.file("KVXconfig.access"), "FACTORY\n");
  FactoryMode_DecideAtStart();
  EXPECT_TRUE(FactoryMode());
  WriteWholeFile(home.file("KVXconfig.access"), "USER\n");
  FactoryMode_DecideAtStart();  // already decided: unchanged
  EXPECT_TRUE(FactoryMode());
  Session nextRun;
  FactoryMode_DecideAtStart();
  EXPECT_FALSE(FactoryMode());
}

}  // namespace
