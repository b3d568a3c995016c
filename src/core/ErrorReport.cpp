#include "core/ErrorReport.h"

#include <cstdarg>
#include <cstdio>

#include "core/DebugLog.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "platform/Paths.h"
#include "ui/Ui.h"

namespace {

const char* const kErrorTitle = "KVXconfig Error";

struct ShellFlags {
  bool factoryDecided = false;
  bool factoryMode = false;
  bool scanRunning = false;
  bool busy = false;
  std::string statusText;
  UiTimer statusTimer{[] { ClearStatusText(); }};  // clears the status bar
};

ShellFlags& flags() { return Session_Part<ShellFlags>(); }

UiTimer& statusTimer() { return flags().statusTimer; }

// An empty text clears the bar and stops the timer; any other (re)starts it.
void applyStatus(bool clear, std::string text) {
  flags().statusText = std::move(text);
  if (clear) {
    statusTimer().stop();
    Ui_ShowStatusText(std::string());  // a cleared bar is really empty
  } else {
    statusTimer().start(Option_GetInt("ERRCLEAR_INTERVAL_MS"));
    Ui_ShowStatusText(" " + flags().statusText);  // shown with one leading blank
  }
}

void showStatus(const char* format, va_list args) {
  const bool clear = !format || !*format;
  applyStatus(clear, clear ? std::string() : Text_FormatV(format, args));
}

// Log and status bar; the message for the box, or false for an empty format.
bool recordError(const char* format, va_list args, std::string& message) {
  if (!format || !*format) return false;
  message = Text_FormatV(format, args);
  DebugLog("*** Error: %s", message.c_str());
  applyStatus(false, "*** Error: " + message);
  return true;
}

void showErrorBox(const std::string& message) {
  Ui_MessageBox(message, kErrorTitle, UiButtons::Ok, UiIcon::Error, true);
}

}  // namespace

void ShowError(const char* format, ...) {
  std::string message;
  va_list args;
  va_start(args, format);
  const bool any = recordError(format, args, message);
  va_end(args);
  if (!any) return;
  if (Option_GetInt("ERRORS_IN_STATUSBAR")) {
    if (Option_GetInt("PLAY_SOUNDS")) Ui_Beep();
  } else {
    showErrorBox(message);
  }
}

void ShowErrorBox(const char* format, ...) {
  std::string message;
  va_list args;
  va_start(args, format);
  const bool any = recordError(format, args, message);
  va_end(args);
  if (any) showErrorBox(message);
}

void SetStatusText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  showStatus(format, args);
  va_end(args);
}

void ClearStatusText() { applyStatus(true, std::string()); }

const std::string& GetStatusText() { return flags().statusText; }

void SetWaitCursor(int on) { Ui_SetWaitCursor(on == 1); }

bool FactoryMode() { return flags().factoryMode; }

std::string FactoryMode_AccessFilePath() {
  return Platform_HomeFile(GetProgramBaseName() + ".access");
}

bool FactoryMode_AccessFileGrants(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  // Only the first line matters; a few bytes more than "FACTORY\r\n" tell enough.
  char buffer[16];
  const size_t n = std::fread(buffer, 1, sizeof buffer, file);
  std::fclose(file);
  std::string first(buffer, n);
  const size_t end = first.find('\n');
  if (end != std::string::npos) first.resize(end);
  if (!first.empty() && first.back() == '\r') first.pop_back();
  return first == "FACTORY";
}

void FactoryMode_DecideAtStart() {
  ShellFlags& f = flags();
  if (f.factoryDecided) return;
  f.factoryDecided = true;
  f.factoryMode = FactoryMode_AccessFileGrants(FactoryMode_AccessFilePath());
}

void FactoryMode_Set(bool on) {
  flags().factoryDecided = true;
  flags().factoryMode = on;
}

bool ScanRunning() { return flags().scanRunning; }
void SetScanRunning(bool running) { flags().scanRunning = running; }
bool Busy() { return flags().busy; }
void SetBusy(bool busy) { flags().busy = busy; }

