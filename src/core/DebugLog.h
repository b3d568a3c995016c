// The debug log: a plain text file of time-stamped lines, written only while
// open. Each line opens, appends and closes the file, so the file is complete
// even if the program stops abruptly. Nothing about the log is ever reported.
#pragma once

#include <string>

struct CanMsg;

// path nullptr = DebugLog_DefaultPath(). mode 'w' truncates; so does the first
// open of the run; otherwise lines are appended.
void DebugLog_Open(const char* path, char mode);
void DebugLog_Close();
bool DebugLog_IsOpen();
std::string DebugLog_DefaultPath();
// One line, printf-style; nothing while the log is closed.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Frame text for log lines: "[%03X]#%d" (identifier, length), then "[%02x]"
// per data byte (len of them, at most 8). One shared buffer, overwritten by
// the next call.
const char* FormatCanMsg(const CanMsg& msg);

