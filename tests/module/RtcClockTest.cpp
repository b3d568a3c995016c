// The RTC page: the module clock's texts, the write order, own entries and
// the auto update against the simulator's clock.
#include <gtest/gtest.h>

#include "core/ErrorReport.h"
#include "module/RtcClock.h"
#include "module/ServiceSimFixture.h"

namespace {

TEST(RtcRules, MonthOutsideTheYearShowsAQuestionMark) {
  RtcTime t;
  t.day = 5, t.year = 24, t.hour = 7, t.minute = 8, t.second = 9;
  for (auto [month, text] : {std::pair{0, "05 ? 2024"}, {13, "05 ? 2024"}, {1, "05 Jan 2024"}, {12, "05 Dec 2024"}}) {
    t.month = month;
    EXPECT_EQ(RtcClock_DateText(t), text);
  }
  EXPECT_EQ(RtcClock_TimeText(t), "07:08:09");
}

class RtcClockTest : public ServiceSimTest {
 protected:
  // The (subindex, value) pairs of the clock writes sent.
  std::vector<std::pair<int, int>> writes() {
    std::vector<std::pair<int, int>> out;
    for (const auto& f : sent())
      if (f[0] == 0x74 && f[1] == 0x30 && f[2] == 0x99) out.push_back({f[3], f[4]});
    return out;
  }
};

TEST_F(RtcClockTest, OwnEntryIsWrittenSecondsFirstThenYearDownToSeconds) {
  FactoryMode_Set(true);
  ModuleRec* rec = serve("module node=3 type=31 rtc=2020-01-01\n", 3);
  RtcTab_ChoiceChanged(true);
  const std::vector<std::pair<int, int>> expected = {{1, 0}, {6, 24}, {5, 12}, {4, 31}, {3, 23}, {2, 59}, {1, 58}};
  for (const char* date : {"31.12.2024", "31.12.24"}) {
    sim.clearTraffic();
    EXPECT_EQ(RtcTab_SetModule(*rec, "23:59:58", date), 1);
    EXPECT_EQ(writes(), expected) << date;
  }
  RtcTime t;
  ASSERT_EQ(RtcTab_ReadModule(*rec, t), 0);
  EXPECT_EQ(RtcClock_DateText(t), "31 Dec 2024");

  sim.clearTraffic();
  ui.expectMessage("Invalid time or date", UiAnswer::Ok);
  EXPECT_EQ(RtcTab_SetModule(*rec, "24:00:00", "1.1.2025"), 0);
  EXPECT_TRUE(sent().empty());
}

TEST_F(RtcClockTest, PcClockChoiceWritesThePcTime) {
  ModuleRec* rec = serve("module node=3 type=31 rtc=2020-01-01\n", 3);
  LocalTime now;
  now.year = 2026, now.month = 3, now.day = 4, now.hour = 5, now.minute = 6, now.second = 7;
  clock.setLocal(now);
  EXPECT_EQ(RtcTab_ShowPcTime(true).date, "04 Mar 2026");
  EXPECT_EQ(RtcTab_ChoiceChanged(true).pc.date, "04.03.2026");
  RtcTab_ChoiceChanged(false);
  EXPECT_EQ(RtcTab_SetModule(*rec, "garbage", ""), 1);
  EXPECT_EQ(writes(), (std::vector<std::pair<int, int>>{{1, 0}, {6, 26}, {5, 3}, {4, 4}, {3, 5}, {2, 6}, {1, 7}}));
}

TEST_F(RtcClockTest, TickReadsOnlyWithAutoUpdateAndAFailedReadTurnsItOff) {
  ModuleRec* rec = serve("module node=3 type=31 rtc=2024-02-29T12:00:00\n", 3);
  rec->autoUpdate = 0;
  RtcTickView v = RtcTab_Tick(*rec);
  EXPECT_EQ(v.moduleTime, "?");
  EXPECT_EQ(v.moduleDate, "?");
  EXPECT_TRUE(v.showPc);
  EXPECT_TRUE(sent().empty());

  rec->autoUpdate = 1;
  v = RtcTab_Tick(*rec);
  EXPECT_EQ(v.moduleDate, "29 Feb 2024");
  EXPECT_EQ(sent().size(), 6u);

  sim.dropNextReplies(1);
  ui.expectMessage("Module timeout", UiAnswer::Ok);
  v = RtcTab_Tick(*rec);
  EXPECT_FALSE(v.autoUpdate);
  EXPECT_EQ(rec->autoUpdate, 0u);
  EXPECT_EQ(v.moduleTime, "?");
}

}  // namespace
