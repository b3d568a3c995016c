// The LIN test page against the simulator's LIN master and its slaves: the
// request frame, the answer collected by polling, the checks and the counters.
#include <gtest/gtest.h>

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "module/LinTest.h"
#include "module/ServiceSimFixture.h"

namespace {

TEST(LinRules, ChecksumOfTheRequest) {
  LinMessage m;
  m.node = 5, m.length = 1, m.data[0] = 0x80;
  EXPECT_EQ(LinChecksum(m), 9);  // 15 - ((5 + 1 + 128) mod 16)
}

class LinExchangeTest : public ServiceSimTest {
 protected:
  ModuleRec* bench(const char* slave) {
    ModuleRec* rec = serve(std::string("module node=20 type=133\n") + slave + "\nmodule node=5 type=51\n", 5);
    Option_SetInt("LIN_MASTER_ID", 20);
    LinTab_Shown(*rec);
    return rec;
  }
  // Runs the page's timer until nothing is pending; the time it took.
  int64_t runTimer() {
    const int64_t start = clock.nowMs();
    for (int delay = LinTab_Step(); delay >= 0; delay = LinTab_Step()) clock.advance(delay);
    return clock.nowMs() - start;
  }
};

TEST_F(LinExchangeTest, GoodAnswerIsCollectedInThreePollsAndShown) {
  ModuleRec* rec = bench("linslave node=5 type=51");
  LinTab_Send(*rec);
  EXPECT_FALSE(LinTab_View().sendEnabled);
  EXPECT_EQ(runTimer(), 750);
  EXPECT_EQ(sent(), (std::vector<std::vector<int>>{{0x37, 0, 0x1C, 0, 0, 3},
                                                   {0xB8, 0x30, 0x80, 0xC0, 5, 0x91, 0x80},
                                                   {0xB8, 0, 0x80, 0}, {0xB8, 0, 0x80, 0}, {0xB8, 0, 0x80, 0}}));
  const LinView v = LinTab_View();
  EXPECT_EQ(v.masterNode, "0x14");
  EXPECT_EQ(v.moduleName, "KVX 781-01");
  EXPECT_EQ(v.nodeId, "5");
  EXPECT_EQ(v.result, "OK");
  EXPECT_EQ(v.mark, LinMark::Check);
  EXPECT_TRUE(v.sendEnabled);
  EXPECT_EQ(v.sent + v.ok + v.failed, 0);  // single messages are not counted
}

TEST_F(LinExchangeTest, EveryCheckHasItsMessage) {
  const struct {
    const char* slave;
    const char* message;
  } cases[] = {
      {"linslave node=5 type=51 fault=short", "No response from LIN bus"},
      {"linslave node=6 type=51", "No response from LIN bus"},  // nobody at node 5
      {"linslave node=5 type=51 fault=checksum", "Checksum Error in LIN Message\n(got: 0x0F, expected: 0x0E)"},
      {"linslave node=5 type=51 fault=node", "Wrong NodeID in LIN Message\n(got: 6, expected: 5)"},
      {"linslave node=5 type=51 fault=response", "Wrong LIN response\n(got: 0x80, expected: 0x00)"},
      {"linslave node=5 type=51 fault=type", "Wrong module type in LIN Message\n(got: 52, expected: 51)"},
  };
  for (const auto& c : cases) {
    ModuleRec* rec = bench(c.slave);
    ui.expectMessage(c.message, UiAnswer::Ok);
    LinTab_Send(*rec);
    runTimer();
    EXPECT_EQ(LinTab_View().result, "FAILED") << c.slave;
    EXPECT_EQ(LinTab_View().mark, LinMark::Cross);
    CloseInterface();
    sim.stop();
  }
}

TEST_F(LinExchangeTest, NoMasterSendsNothing) {
  ModuleRec* rec = bench("linslave node=5 type=51");
  Option_SetInt("LIN_MASTER_ID", 0);
  ui.expectMessage("No LIN master found on bus\nduring last scan", UiAnswer::Ok);
  LinTab_Send(*rec);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(LinTab_Step(), -1);
}

TEST_F(LinExchangeTest, StartCountsUntilUntickedAndResetsTheCounters) {
  ModuleRec* rec = bench("linslave node=5 type=51");
  LinTab_SetStart(*rec, true);
  for (int exchange = 0; exchange < 2; ++exchange) {
    for (int delay = LinTab_Step(); LinTab_View().ok + LinTab_View().failed <= exchange; delay = LinTab_Step())
      clock.advance(delay);
  }
  LinTab_SetStart(*rec, false);
  runTimer();  // the posted exchange completes, no further one starts
  LinView v = LinTab_View();
  EXPECT_EQ(v.sent, 3);
  EXPECT_EQ(v.ok, 3);
  EXPECT_EQ(v.failed, 0);
  LinTab_SetStart(*rec, true);
  v = LinTab_View();
  EXPECT_EQ(v.sent + v.ok + v.failed, 0);
  LinTab_Hidden();
  EXPECT_EQ(LinTab_Step(), -1);
}

}  // namespace
