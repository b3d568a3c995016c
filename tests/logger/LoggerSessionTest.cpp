// The logger without its window: control sequence, event lines, filter,
// time base, display overflow, statistics, log file and options, on a fake
// CAN adapter behind the interface layer.
#include <gtest/gtest.h>

#include <algorithm>

#include "LoggerTestSupport.h"
#include "core/WideText.h"
#include "logger/LogLine.h"
#include "logger/Logger.h"

namespace {

class LoggerSessionTest : public LoggerStateTest {
 protected:
  void SetUp() override {
    LoggerStateTest::SetUp();
    Clock_Install(&clock);
    activateFakeCanLink();
    ASSERT_EQ(GetInterfaceType(), kInterfacePcanUsb);
  }

  // One display line: the columns joined by "|".
  static std::string Row(const LoggerSession& s, size_t row) {
    const LogEntry& e = s.lines().at(row);
    std::string text;
    for (int c = 0; c < kColumnCount; ++c) {
      if (c) text += "|";
      text += LogLine_Column(e, c, s.lines().textOf(e), s.factoryMode());
    }
    while (!text.empty() && text.back() == '|') text.pop_back();
    return text;
  }
  static std::vector<std::string> Rows(const LoggerSession& s) {
    std::vector<std::string> rows;
    for (size_t r = 0; r < s.lines().count(); ++r) rows.push_back(Row(s, r));
    return rows;
  }
  // Queues frames on the fake adapter and lets the poll timer take them.
  void Receive(LoggerSession& s, std::vector<CanMsg> frames) {
    for (const CanMsg& m : frames) fake->incoming.push_back(m);
    s.pollTick();
  }

  ManualClock clock{1000};
};

using Strings = std::vector<std::string>;

TEST_F(LoggerSessionTest, OpensOnlyOnTheAdapterOrTheEthernetMaster) {
  EXPECT_TRUE(Logger_InterfaceSupported());
  OpenInterface("LIN Adapter");
  ui.expectMessage("CAN Logger not available with current interface LIN Adapter", UiAnswer::Ok);
  EXPECT_FALSE(Logger_InterfaceSupported());
  OpenInterface("None");
  ui.expectMessage("No interface selected", UiAnswer::Ok);
  EXPECT_FALSE(Logger_InterfaceSupported());
}

TEST_F(LoggerSessionTest, StartStopContinueRestartAndResetWriteTheirLines) {
  LoggerSession s;
  EXPECT_STREQ(s.startCaption(), "Start");
  EXPECT_STREQ(s.resetCaption(), "Reset");
  EXPECT_FALSE(s.resetEnabled());
  EXPECT_TRUE(ui.isArmed(&s.displayTimer()));
  EXPECT_EQ(ui.armedPeriod(&s.statsTimer()), 1000);

  fake->incoming.push_back(Msg(0x181, {1}));  // stale: dropped when recording starts
  s.startStop();
  EXPECT_EQ(fake->resets, 1);
  EXPECT_TRUE(Interface_LoggerRecording());
  EXPECT_EQ(ui.armedPeriod(&s.pollTimer()), 100);
  EXPECT_STREQ(s.startCaption(), "Stop");
  EXPECT_STREQ(s.resetCaption(), "Restart");
  Receive(s, {Msg(0x185, {0x11, 0x22}, 5000)});
  EXPECT_EQ(Rows(s), (Strings{"-- START", "-- Filter OFF", "0.000|185|2|11 22 |5: TxPDO1"}));

  s.startStop();
  EXPECT_FALSE(Interface_LoggerRecording());
  EXPECT_FALSE(ui.isArmed(&s.pollTimer()));
  EXPECT_STREQ(s.startCaption(), "Continue");
  EXPECT_STREQ(s.resetCaption(), "Reset");
  EXPECT_TRUE(s.resetEnabled());
  s.startStop();
  Receive(s, {Msg(0x186, {}, 6500)});
  EXPECT_EQ(Rows(s), (Strings{"-- START", "-- Filter OFF", "0.000|185|2|11 22 |5: TxPDO1", "-- STOP",
                              "-- CONTINUE", "-- Filter OFF", "1.500|186|0||6: TxPDO1"}))
      << "the time base stays across stop and continue";

  s.resetRestart();
  Receive(s, {Msg(0x187, {}, 9000)});
  EXPECT_EQ(Rows(s), (Strings{"-- RESTART", "-- Filter OFF", "0.000|187|0||7: TxPDO1"}))
      << "a restart clears the display and takes a new time base";
  EXPECT_EQ(s.state(), LoggerState::Running);

  s.startStop();
  s.resetRestart();
  EXPECT_EQ(s.state(), LoggerState::Stopped);
  EXPECT_EQ(Rows(s), (Strings{"-- RESET"}));
  EXPECT_FALSE(s.resetEnabled());
  s.resetRestart();  // nothing when stopped
  EXPECT_EQ(Rows(s), (Strings{"-- RESET"}));
  s.startStop();
  EXPECT_EQ(Rows(s), (Strings{"-- RESET", "-- START", "-- Filter OFF"}));
}

TEST_F(LoggerSessionTest, NodeFilterOfTheEdgeCasesAndItsAnnouncement) {
  LoggerSession s;
  s.filterControlsChanged(kFilterShowNodes, "5", false);
  EXPECT_EQ(Option_GetInt("LOGGER_FILTER_MODE"), 1);
  EXPECT_EQ(Text_Narrow(Option_GetWString("LOGGER_FILTER_LIST")), "5");
  s.startStop();
  Receive(s, {Msg(0x185, {}, 10), Msg(0x705, {5}, 10), Msg(0x186, {}, 10), Msg(0x080, {}, 10),
              Msg(0x000, {2, 6}, 10), Msg(0x000, {1, 0}, 10)});
  EXPECT_EQ(Rows(s), (Strings{"-- START", "-- Filter ON: show only Node ID(s) 5", "0.000|185|0||5: TxPDO1",
                              "0.000|705|1|05 |5: NodeGuarding", "0.000|080|0||SYNC",
                              "0.000|000|2|01 00 |NMT start"}));
  EXPECT_EQ(s.framesReceived(), 6) << "filtered frames still count";

  s.filterControlsChanged(kFilterShowNodes, "5", true);  // same mode: nothing announced
  EXPECT_EQ(s.lines().count(), 6u);
  EXPECT_EQ(Option_GetInt("LOGGER_FILTER_LISTHEX"), 1);
  s.filterControlsChanged(kFilterOff, "5", true);
  EXPECT_EQ(Row(s, 6), "-- Filter OFF");
  Receive(s, {Msg(0x186, {}, 10)});
  EXPECT_EQ(s.lines().count(), 8u);
}

TEST_F(LoggerSessionTest, FilterControlsOnlyEditableWhenNotRunningAndNotOff) {
  Option_SetInt("LOGGER_FILTER_MODE", 3);
  Option_SetWString("LOGGER_FILTER_LIST", L"1-3");
  Option_SetInt("LOGGER_FILTER_LISTHEX", 1);
  LoggerSession s;
  EXPECT_EQ(s.filterControlMode(), kFilterOff) << "the selector always opens at Off";
  EXPECT_EQ(s.filterControlText(), "1-3");
  EXPECT_TRUE(s.filterControlHex());
  EXPECT_FALSE(s.filterEditable());
  s.filterControlsChanged(kFilterHideNodes, "1-3", true);
  EXPECT_TRUE(s.filterEditable());
  s.startStop();
  EXPECT_FALSE(s.filterEditable());
  EXPECT_EQ(Row(s, 1), "-- Filter ON: suppress Node ID(s) 0x1 0x2 0x3");
}

TEST_F(LoggerSessionTest, AFilterTextOfAnyLengthIsParsedAndStoredCut) {
  LoggerSession s;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += std::to_string(i % 128) + ",";
  s.filterControlsChanged(kFilterShowNodes, text, false);
  EXPECT_EQ(Option_GetWString("LOGGER_FILTER_LIST").size(), 1024u) << "the option's own limit";
  s.startStop();
  const std::string line = Row(s, 1);
  EXPECT_EQ(line.rfind("-- Filter ON: show only Node ID(s) 0 1 2 ", 0), 0u);
  EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 6 + 200) << "200 numbers at most";
}

TEST_F(LoggerSessionTest, ErrorReportsAreNeverFilteredAndNameTheirKinds) {
  LoggerSession s;
  s.filterControlsChanged(kFilterShowCobIds, "0x999", false);
  s.startStop();
  Receive(s, {Msg(0x185), Msg(CANMSG_FLAG_ERROR | CANMSG_ERROR_BUSOFF),
              Msg(CANMSG_FLAG_ERROR | CANMSG_ERROR_ACK | CANMSG_ERROR_RESET), Msg(CANMSG_FLAG_ERROR, {0xEE})});
  EXPECT_EQ(Rows(s), (Strings{"-- START", "-- Filter ON: show only COB ID(s) 0x999", "** Bus error: BOFF",
                              "** Bus error: ACK RST", "** Bus error:|||EE "}));
}

TEST_F(LoggerSessionTest, TheLinksOwnStampsWhenAsked) {
  Option_SetInt("LOGGER_ORIGTIMESTAMP", 1);
  LoggerSession s;
  s.startStop();
  Receive(s, {Msg(0x181, {}, 123456), Msg(0x182, {}, 123999)});
  EXPECT_TRUE(s.rawTimeHeader());
  EXPECT_EQ(Row(s, 2), "123456|181|0||1: TxPDO1");
  EXPECT_EQ(Row(s, 3), "123999|182|0||2: TxPDO1");
}

TEST_F(LoggerSessionTest, RemoteFramesAndOverlongFramesFromTheLink) {
  TempFolder folder;
  LoggerSession s;
  ASSERT_TRUE(s.openLogFile(folder.file("rtr.log")));
  s.startStop();
  CanMsg overlong = Msg(0x181, {1, 2, 3, 4, 5, 6, 7, 8}, 7);
  overlong.len = 4000;
  Receive(s, {Msg(0x705 | CANMSG_FLAG_REMOTE, {}, 7), overlong});
  EXPECT_EQ(Row(s, 2), "0.000|705|RTR||5: NodeGuarding");
  EXPECT_EQ(Row(s, 3), "0.000|181|8|01 02 03 04 05 06 07 08 |1: TxPDO1");
  s.close();
  const std::string text = ReadWholeFile(folder.file("rtr.log"));
  EXPECT_NE(text.find("  [705] R0 "), std::string::npos) << text;
  EXPECT_NE(text.find("  [181] #8 [01][02][03][04][05][06][07][08]"), std::string::npos) << text;
}

TEST_F(LoggerSessionTest, ModuleProtocolFramesAreNamedInFactoryModeOnly) {
  for (bool factory : {false, true}) {
    FactoryMode_Set(factory);
    LoggerSession s;
    s.startStop();
    Receive(s, {Msg(0x685, {0x80}, 1)});
    EXPECT_EQ(Row(s, 2), factory ? "0.000|685|1|80 |5: VnProt" : "0.000|685|1|80 |(?)");
  }
}

TEST_F(LoggerSessionTest, ASmallBufferHolds1000LinesThenTheOverflowLineAndTheFileGoesOn) {
  Option_SetLong("LOGGER_BUFFERSIZE", 500);
  Option_SetInt("LOGGER_SHOWLAST", 1);
  TempFolder folder;
  LoggerSession s;
  ASSERT_TRUE(s.openLogFile(folder.file("overflow.log")));
  s.startStop();  // two lines: START and the filter line
  std::vector<CanMsg> frames;
  for (int i = 0; i < 1500; ++i) frames.push_back(Msg(0x181, {uint32_t(i & 0xFF)}, uint32_t(i)));
  Receive(s, frames);
  ASSERT_EQ(s.lines().count(), 1001u);
  EXPECT_EQ(Row(s, 999), "0.997|181|1|E5 |1: TxPDO1");
  EXPECT_EQ(Row(s, 1000), "-- DISPLAY OVERFLOW");
  EXPECT_TRUE(s.lines().overflowed());
  EXPECT_EQ(s.fillText(), "100 %");
  s.startStop();
  EXPECT_EQ(s.lines().count(), 1001u) << "nothing more reaches the display";
  s.close();

  const std::vector<std::string> lines = Lines(ReadWholeFile(folder.file("overflow.log")));
  int frameLines = 0;
  for (const std::string& line : lines)
    if (line.find("  [181] #1 ") != std::string::npos) ++frameLines;
  EXPECT_EQ(frameLines, 1500) << "the file holds every frame";
  EXPECT_NE(std::find(lines.begin(), lines.end(), "-- STOP       "), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "-- DISPLAY OVERFLOW    "), lines.end());
}

TEST_F(LoggerSessionTest, MessagesPerSecondAndBusLoadWithTheInterfacesBitRate) {
  fake->rate = 125000;
  LoggerSession s;
  s.statsTick();
  EXPECT_EQ(s.rateText(), "0");
  EXPECT_EQ(s.activityText(), "");
  s.startStop();
  s.statsTick();  // opens the period
  EXPECT_EQ(s.rateText(), "0");
  EXPECT_EQ(s.loadText(), "0");
  std::vector<CanMsg> frames(250, Msg(0x181, {1, 2, 3, 4, 5, 6, 7, 8}));
  Receive(s, frames);
  clock.advance(500);
  s.statsTick();
  EXPECT_EQ(s.rateText(), "500");
  // 250 frames x 111 bits in 0.5 s at 125 kbit/s.
  EXPECT_EQ(s.loadText(), "44");
  clock.advance(1000);
  s.statsTick();
  EXPECT_EQ(s.rateText(), "0");
  fake->rate = 0;
  clock.advance(1000);
  s.statsTick();
  EXPECT_EQ(s.loadText(), "?") << "an unknown bit rate gives no load";
  s.startStop();
  EXPECT_EQ(s.rateText(), "0");
  EXPECT_EQ(s.loadText(), "0");
}

TEST_F(LoggerSessionTest, ActivityTurnsOnlyWhileFramesArrive) {
  LoggerSession s;
  s.startStop();
  s.displayTick();
  EXPECT_EQ(s.activityText(), "");
  const char* steps[] = {"/", "--", "\\", "|", "/"};
  for (const char* step : steps) {
    Receive(s, {Msg(0x181)});
    s.displayTick();
    EXPECT_EQ(s.activityText(), step);
    s.displayTick();
    EXPECT_EQ(s.activityText(), step) << "no frame, no turn";
  }
  EXPECT_EQ(s.fillText(), "0 %");
}

TEST_F(LoggerSessionTest, LogFileThroughTheSaveDialogByteForByte) {
  TempFolder folder;
  const std::string path = folder.file("session.log");
  Option_SetWString("RECENT_LOGFILE", Text_Widen(folder.path() + "/"));
  LoggerSession s;
  s.startStop();
  ui.expectSaveFile(path);
  s.logFileButton();
  ASSERT_TRUE(s.logFileOpen());
  EXPECT_EQ(Text_Narrow(Option_GetWString("RECENT_LOGFILE")), path);
  Receive(s, {Msg(0x185, {0x01, 0xAB}, 2000), Msg(0x705 | CANMSG_FLAG_REMOTE, {}, 2500),
              Msg(CANMSG_FLAG_ERROR | CANMSG_ERROR_BUSOFF, {}, 2600)});
  s.startStop();
  s.logFileButton();  // closes
  EXPECT_FALSE(s.logFileOpen());
  EXPECT_EQ(ReadWholeFile(path),
            "# VORN KVXconfig CAN logger\n"
            "# Interface: PCAN USB (1000 kBaud)\n"
            "# ----------------------------------------------------------------------\n"
            "# Time(s.ms)  COB-ID  #Len  Data                         CANopen\n"
            "# ----------------------------------------------------------------------\n"
            "\n"
            "# started on 06 Dec 2026, 12:00:00\n"
            "\n"
            "-- Filter OFF    \n"
            "0.000       [185] #2 [01][AB]                            5: TxPDO1\n"
            "0.500       [705] R0                                     5: NodeGuarding\n"
            "** Bus error: BOFF    \n"
            "-- STOP       \n"
            "\n"
            "# stopped on 06 Dec 2026, 12:00:00\n");
}

// Lines wait in memory while recording; a paused or reset logger has
// everything on disk, its own STOP or RESET line included.
TEST_F(LoggerSessionTest, TheFileOnDiskIsCompleteAfterStopAndReset) {
  TempFolder folder;
  const std::string path = folder.file("flush.log");
  LoggerSession s;
  ASSERT_TRUE(s.openLogFile(path));
  s.startStop();
  Receive(s, {Msg(0x185, {1}, 100), Msg(0x186, {2}, 200)});
  EXPECT_EQ(ReadWholeFile(path).find("[186]"), std::string::npos) << "no write per line";
  s.startStop();
  std::vector<std::string> lines = Lines(ReadWholeFile(path));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 2].substr(0, 17), "0.100       [186]");
  EXPECT_EQ(lines.back(), "-- STOP       ");
  s.startStop();
  Receive(s, {Msg(0x187, {3}, 300)});
  s.startStop();
  s.resetRestart();
  lines = Lines(ReadWholeFile(path));
  EXPECT_EQ(lines.back(), "-- RESET      ");
  EXPECT_EQ(lines[lines.size() - 3].substr(0, 17), "0.200       [187]");
}

TEST_F(LoggerSessionTest, AFileThatCannotBeCreatedIsReportedAndLoggingGoesOn) {
  TempFolder folder;
  LoggerSession s;
  s.startStop();
  const std::string bad = folder.file("missing/x.log");
  ui.expectSaveFile(bad);
  s.logFileButton();
  EXPECT_FALSE(s.logFileOpen());
  EXPECT_EQ(GetStatusText(), "*** Error: Cannot write log file '" + bad + "'");
  Receive(s, {Msg(0x181)});
  EXPECT_EQ(s.lines().count(), 3u);
  ui.expectSaveFile("");  // cancelled
  s.logFileButton();
  EXPECT_FALSE(s.logFileOpen());
}

TEST_F(LoggerSessionTest, ALinkFailurePausesWithOneReport) {
  LoggerSession s;
  s.startStop();
  Option_SetInt("ERRORS_IN_STATUSBAR", 0);  // errors in a message box
  fake->receiveResult = -1;
  ui.expectMessage("Interface error:\nadapter unplugged", UiAnswer::Ok);
  s.pollTick();
  EXPECT_EQ(s.state(), LoggerState::Paused);
  s.pollTick();  // no second report
  EXPECT_EQ(Row(s, s.lines().count() - 1), "-- STOP");
}

TEST_F(LoggerSessionTest, CloseStoresTheOptionsAndStopsRecording) {
  TempFolder folder;
  {
    LoggerSession s;
    ASSERT_TRUE(s.openLogFile(folder.file("c.log")));
    s.setShowLast(true);
    s.setFilterText("0x10-0x12");
    s.startStop();
    s.close();
    EXPECT_FALSE(Interface_LoggerRecording());
    EXPECT_FALSE(s.logFileOpen());
    EXPECT_FALSE(ui.isArmed(&s.displayTimer()));
    EXPECT_FALSE(ui.isArmed(&s.statsTimer()));
    EXPECT_EQ(Logger_Session(), &s);
  }
  EXPECT_EQ(Logger_Session(), nullptr);
  Logger_AddFrame(0, Msg(0x181));  // no logger: nothing happens
  EXPECT_EQ(Option_GetInt("LOGGER_SHOWLAST"), 1);
  EXPECT_EQ(Text_Narrow(Option_GetWString("LOGGER_FILTER_LIST")), "0x10-0x12");
  EXPECT_NE(ReadWholeFile(folder.file("c.log")).find("# stopped on "), std::string::npos);
}

TEST_F(LoggerSessionTest, AnIllegalLengthPausesARunningLogger) {
  LoggerSession s;
  s.startStop();
  s.illegalLength();
  EXPECT_EQ(s.state(), LoggerState::Paused);
  EXPECT_FALSE(Interface_LoggerRecording());
  EXPECT_EQ(Row(s, 2), "-- STOP");
}

}  // namespace
