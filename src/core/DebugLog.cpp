#include "core/DebugLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "core/CanMsg.h"
#include "core/DateText.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace {

// Lines further apart than this get a gap line between them.
constexpr int64_t kGapMs = 3000;

struct LogState {
  bool enabled = false;
  std::string path;
  bool truncateNext = false;  // the next successful open truncates
  bool havePrevious = false;
  int64_t previousMs = 0;
  bool timeStamps = false;
  bool firstOpen = true;
  std::string frameText;  // FormatCanMsg's shared buffer
};

LogState& state() { return Session_Part<LogState>(); }

// Appends (or, the first time, truncates and writes) one line. A file that
// cannot be opened loses the line: the log never reports anything.
void writeLine(const std::string& text) {
  LogState& s = state();
  FILE* file = std::fopen(s.path.c_str(), s.truncateNext ? "w" : "a");
  if (!file) return;
  s.truncateNext = false;
  const int64_t now = Clock_NowMs();
  if (s.havePrevious && now - s.previousMs > kGapMs)
    std::fprintf(file, "\n-- %d secs. --\n\n", int((now - s.previousMs) / 1000));
  s.havePrevious = true;
  s.previousMs = now;
  if (s.timeStamps) {
    const LocalTime t = Clock_LocalTime();
    std::fprintf(file, "%02d:%02d:%02d.%03d:  %s\n", t.hour, t.minute, t.second, t.millisecond,
                 text.c_str());
  } else {
    std::fprintf(file, "%s\n", text.c_str());
  }
  std::fclose(file);
}

}  // namespace

std::string DebugLog_DefaultPath() { return Platform_HomeFile(GetProgramBaseName() + ".log"); }

void DebugLog_Open(const char* path, char mode) {
  LogState& s = state();
  s.path = path ? std::string(path) : DebugLog_DefaultPath();
  s.truncateNext = mode == 'w' || s.firstOpen;
  s.enabled = true;
  s.havePrevious = false;
  s.timeStamps = false;
  if (s.firstOpen) writeLine(Text_Format("%s logfile", "KVXconfig"));
  writeLine(Text_Format("Logging started on %s\n", VornProt_DateText().c_str()));
  // The header is no previous line: the first line after it never gets a gap line.
  s.havePrevious = false;
  s.timeStamps = true;
  s.firstOpen = false;
}

void DebugLog_Close() {
  LogState& s = state();
  s.havePrevious = false;
  if (s.enabled) {
    s.timeStamps = false;
    writeLine(Text_Format("\nLogging stopped on %s", VornProt_DateText().c_str()));
  }
  s.enabled = false;
}

bool DebugLog_IsOpen() { return state().enabled; }

void DebugLog(const char* format, ...) {
  if (!state().enabled) return;
  va_list args;
  va_start(args, format);
  const std::string text = Text_FormatV(format, args);
  va_end(args);
  writeLine(text);
}

const char* FormatCanMsg(const CanMsg& msg) {
  std::string& buffer = state().frameText;
  buffer = Text_Format("[%03X]#%u", unsigned(msg.id), unsigned(msg.len));
  const uint32_t count = msg.len < 8 ? msg.len : 8;
  for (uint32_t i = 0; i < count; ++i) buffer += Text_Format("[%02x]", unsigned(msg.data[i]));
  return buffer.c_str();
}

