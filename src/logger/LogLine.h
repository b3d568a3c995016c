// The texts of a logger line: the display columns, the CANopen meaning of an
// identifier, and the line of the log file. Made on demand from a LogEntry.
#pragma once

#include <string>

#include "logger/LogEntry.h"

enum LogColumn : int { kColTime = 0, kColCobId, kColLen, kColData, kColCanOpen, kColumnCount };

// Header of the first column for raw stamps or times since the time base.
const char* LogLine_TimeHeader(bool rawTime);
const char* LogLine_ColumnHeader(int column, bool rawTime);

// The text of a fixed event ("-- START", "-- START (CAN 1)", ...); bus < 0
// leaves the bus out. Bus-error codes give "** Bus error: BOFF ..."; the
// filter line has its own text (LoggerFilter::lineText).
std::string LogLine_EventText(uint32_t code, int bus = -1);

// Appends one display column. eventText is the text of an event entry.
void LogLine_AppendColumn(const LogEntry& entry, int column, const std::string& eventText,
                          bool factoryMode, std::string& out);
std::string LogLine_Column(const LogEntry& entry, int column, const std::string& eventText,
                           bool factoryMode);

// The CANopen meaning of a frame: "5: TxPDO1", "NMT start", "SYNC", "(?)" ...
// The module protocol's identifiers are named only in factory mode.
void LogLine_AppendCanOpen(const LogEntry& entry, bool factoryMode, std::string& out);

// Appends the log file line of an entry, line end included.
void LogLine_AppendFileLine(const LogEntry& entry, const std::string& eventText, bool factoryMode,
                            std::string& out);

// An entry for a received frame; len is cut to 8 and each data value to its low byte.
LogEntry LogEntry_FromFrame(const CanMsg& msg);
