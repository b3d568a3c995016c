// The texts of a logger line: CANopen meanings, display columns and the log
// file line, byte for byte.
#include <gtest/gtest.h>

#include "LoggerTestSupport.h"
#include "logger/LogLine.h"

namespace {

std::string CanOpen(const CanMsg& msg, bool factory = false) {
  std::string text;
  LogLine_AppendCanOpen(LogEntry_FromFrame(msg), factory, text);
  return text;
}

TEST(LogLineCanOpen, NamesEveryIdentifierRange) {
  struct Case {
    uint32_t id;
    const char* text;
  };
  const Case cases[] = {
      {0x080, "SYNC"},          {0x081, "1: Emgcy"},      {0x0FF, "127: Emgcy"},    {0x105, "5: RxPDO5"},
      {0x185, "5: TxPDO1"},     {0x205, "5: RxPDO1"},     {0x285, "5: TxPDO2"},     {0x305, "5: RxPDO2"},
      {0x385, "5: TxPDO3"},     {0x405, "5: RxPDO3"},     {0x485, "5: TxPDO4"},     {0x505, "5: RxPDO4"},
      {0x585, "5: TxSDO"},      {0x605, "5: RxSDO"},      {0x785, "5: TxPDO5"},     {0x7FF, "127: TxPDO5"},
      {0x005, "(?)"},           {0x800, "(?)"},           {0x12345678, "(?)"},      {0x685, "(?)"},
  };
  for (const Case& c : cases) EXPECT_EQ(CanOpen(Msg(c.id, {1, 2})), c.text) << std::hex << c.id;
  EXPECT_EQ(CanOpen(Msg(0x185 | CANMSG_FLAG_LONG)), "5: TxPDO1");
}

TEST(LogLineCanOpen, NmtBootupAndTheModuleProtocolInFactoryMode) {
  const struct {
    CanMsg msg;
    bool factory;
    const char* text;
  } cases[] = {
      {Msg(0x000, {1, 0}), false, "NMT start"},     {Msg(0x000, {2, 6}), false, "6: NMT stop"},
      {Msg(0x000, {129, 7}), false, "7: NMT reset"}, {Msg(0x000, {130, 0}), false, "NMT reset"},
      {Msg(0x000, {128, 3}), false, "3: NMT (?)"},   {Msg(0x000, {1}), false, "NMT"},
      {Msg(0x000, {1, 2, 3}), false, "NMT"},
      // A bootup message needs a zero byte and no remote flag.
      {Msg(0x705, {0}), false, "5: Bootup"},         {Msg(0x705, {5}), false, "5: NodeGuarding"},
      {Msg(0x705), false, "5: NodeGuarding"},        {Msg(0x705 | CANMSG_FLAG_REMOTE, {0}), false, "5: NodeGuarding"},
      {Msg(0x700, {0}), false, "0: Bootup"},
      {Msg(0x685, {0x80}), true, "5: VnProt"},       {Msg(0x680), true, "0: VnProt"},
      {Msg(0x6FF), true, "127: VnProt"},
  };
  for (const auto& c : cases) EXPECT_EQ(CanOpen(c.msg, c.factory), c.text) << c.text;
}

std::string Column(const LogEntry& e, int column, const std::string& event = "") {
  return LogLine_Column(e, column, event, false);
}

TEST(LogLineColumns, TimeIdLengthAndData) {
  LogEntry e = LogEntry_FromFrame(Msg(0x185, {0x01, 0xAB, 0x100 + 0x0F}));
  e.time = 61234;
  EXPECT_EQ(Column(e, kColTime), "61.234");
  EXPECT_EQ(Column(e, kColCobId), "185");
  EXPECT_EQ(Column(e, kColLen), "3");
  EXPECT_EQ(Column(e, kColData), "01 AB 0F ") << "each data value shows its low byte";
  EXPECT_EQ(Column(e, kColCanOpen), "5: TxPDO1");
  e.time = uint32_t(-1500);
  EXPECT_EQ(Column(e, kColTime), "-1.500") << "a frame stamped before the time base";
  e.time = 7;
  EXPECT_EQ(Column(e, kColTime), "0.007");
  e.rawTime = 1;
  e.time = 4000000000u;
  EXPECT_EQ(Column(e, kColTime), "4000000000");

  const LogEntry extended = LogEntry_FromFrame(Msg(0x185 | CANMSG_FLAG_LONG));
  EXPECT_EQ(Column(extended, kColCobId), "00000185");
  EXPECT_EQ(Column(LogEntry_FromFrame(Msg(0x5)), kColCobId), "005");
}

TEST(LogLineColumns, RemoteFramesShowRtrOrTheirLength) {
  const LogEntry rtr = LogEntry_FromFrame(Msg(0x705 | CANMSG_FLAG_REMOTE));
  EXPECT_EQ(Column(rtr, kColLen), "RTR");
  CanMsg two = Msg(0x285 | CANMSG_FLAG_REMOTE, {9, 9});
  EXPECT_EQ(Column(LogEntry_FromFrame(two), kColLen), "R2");
  EXPECT_EQ(Column(LogEntry_FromFrame(two), kColData), "") << "a remote frame carries no data";
}

TEST(LogLineColumns, ALengthAbove8IsCutTo8) {
  CanMsg m = Msg(0x181, {1, 2, 3, 4, 5, 6, 7, 8});
  m.len = 200;
  const LogEntry e = LogEntry_FromFrame(m);
  EXPECT_EQ(Column(e, kColLen), "8");
  EXPECT_EQ(Column(e, kColData), "01 02 03 04 05 06 07 08 ");
}

TEST(LogLineColumns, EventsFillOnlyTheFirstColumn) {
  LogEntry e;
  e.kind = LogEntry::Event;
  e.id = kEventStart;
  EXPECT_EQ(Column(e, kColTime, "-- START"), "-- START");
  for (int c = kColCobId; c < kColumnCount; ++c) EXPECT_EQ(Column(e, c, "-- START"), "");
  EXPECT_STREQ(LogLine_ColumnHeader(kColTime, true), "Timestamp");
  EXPECT_STREQ(LogLine_ColumnHeader(kColTime, false), "Time (s.ms)");
}

TEST(LogLineEvents, Texts) {
  EXPECT_EQ(LogLine_EventText(kEventStart), "-- START");
  EXPECT_EQ(LogLine_EventText(kEventStart, 1), "-- START (CAN 1)");
  EXPECT_EQ(LogLine_EventText(kEventContinue, 0), "-- CONTINUE (CAN 0)");
  EXPECT_EQ(LogLine_EventText(kEventRestart, 3), "-- RESTART (CAN 3)");
  EXPECT_EQ(LogLine_EventText(kEventStop, 3), "-- STOP");
  EXPECT_EQ(LogLine_EventText(kEventReset, 3), "-- RESET");
  EXPECT_EQ(LogLine_EventText(kEventOverflow), "-- DISPLAY OVERFLOW");
  EXPECT_EQ(LogLine_EventText(LoggerEvent_FromErrorReport(CANMSG_FLAG_ERROR | CANMSG_ERROR_BUSOFF)),
            "** Bus error: BOFF");
  EXPECT_EQ(LogLine_EventText(LoggerEvent_FromErrorReport(CANMSG_FLAG_ERROR | 0x1E0)),
            "** Bus error: BOFF BERR ACK RST");
  EXPECT_EQ(LogLine_EventText(LoggerEvent_FromErrorReport(CANMSG_FLAG_ERROR)), "** Bus error:");
}

std::string FileLine(const LogEntry& e, const std::string& event = "", bool factory = false) {
  std::string line;
  LogLine_AppendFileLine(e, event, factory, line);
  return line;
}

TEST(LogLineFile, FramesByteForByte) {
  LogEntry e = LogEntry_FromFrame(Msg(0x185, {0x01, 0xAB, 0xFF}));
  e.time = 1234;
  EXPECT_EQ(FileLine(e), "1.234       [185] #3 [01][AB][FF]                        5: TxPDO1\n");
  LogEntry empty = LogEntry_FromFrame(Msg(0x080));
  EXPECT_EQ(FileLine(empty), "0.000       [080] #0                                     SYNC\n");
  LogEntry rtr = LogEntry_FromFrame(Msg(0x705 | CANMSG_FLAG_REMOTE));
  rtr.time = 12345678;
  EXPECT_EQ(FileLine(rtr), "12345.678   [705] R0                                     5: NodeGuarding\n");
  LogEntry full = LogEntry_FromFrame(Msg(0x685, {1, 2, 3, 4, 5, 6, 7, 8}));
  full.rawTime = 1;
  full.time = 99;
  EXPECT_EQ(FileLine(full, "", true), "99          [685] #8 [01][02][03][04][05][06][07][08]    5: VnProt\n");
  LogEntry longTime = LogEntry_FromFrame(Msg(0x1ABCDEF | CANMSG_FLAG_LONG));
  longTime.rawTime = 1;
  longTime.time = 4000000000u;
  EXPECT_EQ(FileLine(longTime), "4000000000  [1ABCDEF] #0                                     (?)\n");
}

TEST(LogLineFile, EventsByteForByte) {
  LogEntry e;
  e.kind = LogEntry::Event;
  e.id = kEventStart;
  EXPECT_EQ(FileLine(e, "-- START"), "-- START      \n");
  e.id = kEventFilter;
  EXPECT_EQ(FileLine(e, "-- Filter OFF"), "-- Filter OFF    \n");
  LogEntry error = LogEntry_FromFrame(Msg(CANMSG_FLAG_ERROR | CANMSG_ERROR_BUSOFF, {1, 2}));
  error.kind = LogEntry::Event;
  error.id = LoggerEvent_FromErrorReport(CANMSG_FLAG_ERROR | CANMSG_ERROR_BUSOFF);
  EXPECT_EQ(FileLine(error, "** Bus error: BOFF"), "** Bus error: BOFF    \n");
  EXPECT_EQ(Column(error, kColData), "");
  LogEntry unknown = LogEntry_FromFrame(Msg(CANMSG_FLAG_ERROR, {0x12, 0x34}));
  unknown.kind = LogEntry::Event;
  unknown.id = LoggerEvent_FromErrorReport(CANMSG_FLAG_ERROR);
  EXPECT_EQ(Column(unknown, kColData), "12 34 ") << "an error report of no known kind shows its bytes";
  EXPECT_EQ(FileLine(unknown, "** Bus error:"), "** Bus error:  [12][34]    \n");
}

}  // namespace
