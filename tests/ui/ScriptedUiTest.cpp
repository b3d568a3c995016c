#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include "support/TestEnvironment.h"
#include "ui/ScriptedUi.h"

TEST(ScriptedUi, AnswersExpectedPromptsInOrderAndRecordsCalls) {
  ScriptedUi ui;
  Ui_Install(&ui);
  ui.expectMessage("Really Exit?", UiAnswer::Cancel);
  ui.expectMessage("", UiAnswer::Yes);
  ui.expectSaveFile("/tmp/x.cal");
  EXPECT_EQ(Ui_MessageBox("Really Exit?", "Exit", UiButtons::OkCancel, UiIcon::Question, true),
            UiAnswer::Cancel);
  EXPECT_EQ(Ui_MessageBox("anything", "T", UiButtons::YesNo, UiIcon::Question), UiAnswer::Yes);
  std::string path;
  EXPECT_TRUE(Ui_SaveFile({"Save", "", "", "cal"}, path));
  EXPECT_EQ(path, "/tmp/x.cal");
  Ui_ShowStatusText(" hello");
  Ui_Beep();
  Ui_SetWaitCursor(true);
  EXPECT_EQ(ui.pendingExpectations(), 0u);
  EXPECT_EQ(ui.calls(), (std::vector<std::string>{"box|Exit|Really Exit?", "box|T|anything",
                                                  "save|Save", "status| hello", "beep",
                                                  "cursor|1"}));
  EXPECT_TRUE(ui.messages()[0].systemModal);
  EXPECT_EQ(ui.statusText(), " hello");
  Ui_Install(nullptr);
}

TEST(ScriptedUi, UnexpectedPromptFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedUi ui;
        Ui_Install(&ui);
        const UiAnswer a = Ui_MessageBox("surprise", "T", UiButtons::YesNo, UiIcon::Warning);
        Ui_Install(nullptr);
        EXPECT_EQ(a, UiAnswer::No);
      },
      "unexpected message box");
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedUi ui;
        Ui_Install(&ui);
        ui.expectMessage("other text", UiAnswer::Ok);
        std::string p;
        Ui_OpenFile({"Open HEX file", "", "", ""}, p);
        Ui_Install(nullptr);
      },
      "unexpected open file dialog");
}

TEST(ScriptedUi, CancelledFileDialogReturnsFalse) {
  ScriptedUi ui;
  Ui_Install(&ui);
  ui.expectOpenFile("");
  std::string p = "unchanged";
  EXPECT_FALSE(Ui_OpenFile({"Open", "", "", ""}, p));
  Ui_Install(nullptr);
}

TEST(UiTimer, TicksOnlyWhileArmedAndCanStopItself) {
  ScriptedUi ui;
  Ui_Install(&ui);
  int ticks = 0;
  UiTimer timer;
  timer.setCallback([&] {
    if (++ticks == 2) timer.stop();
  });
  ui.fire(&timer);
  EXPECT_EQ(ticks, 0);
  timer.start(250);
  EXPECT_EQ(ui.armedPeriod(&timer), 250);
  ui.fire(&timer);
  ui.fire(&timer);
  ui.fire(&timer);
  EXPECT_EQ(ticks, 2);
  EXPECT_FALSE(ui.isArmed(&timer));
  timer.start(10);
  Ui_Install(nullptr);
}

TEST(UiFormat, FormatsLongAndEmptyTexts) {
  EXPECT_EQ(Ui_Format("%s-%03d", "a", 7), "a-007");
  EXPECT_EQ(Ui_Format("%s", std::string(5000, 'x').c_str()).size(), 5000u);
  EXPECT_EQ(Ui_Format("%s", ""), "");
}
