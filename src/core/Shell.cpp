#include "core/Shell.h"

#include <string>

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"
#include "platform/Paths.h"

namespace {
struct ShellHooks {
  std::function<void()> updateControls;
};

std::function<void()>& updateHook() { return Session_Part<ShellHooks>().updateControls; }
}  // namespace

void UpdateControls() {
  if (updateHook()) updateHook()();
}

void Shell_SetUpdateControlsHook(std::function<void()> hook) { updateHook() = std::move(hook); }

void Shell_CorrectOptionsAtStart() {
  if (!*Option_GetText("CALIB_SEQ_DIR1")) {
    const std::string dir = Platform_HomeFile(GetProgramBaseName() + "-calib");
    Option_SetText("CALIB_SEQ_DIR1", dir);
  }
  int scan = Option_GetInt("SCAN_SEND_INTERVAL_MS");
  scan = scan <= 10 ? 10 : (scan > 1000 ? 1000 : scan);
  Option_SetInt("SCAN_SEND_INTERVAL_MS", scan);
  double program = Option_GetDouble("PROGRAM_SEND_INTERVAL_MS");
  // NaN from a garbled INI value also ends at the lower bound.
  program = !(program > 0.1) ? 0.1 : (program > 1000.0 ? 1000.0 : program);
  Option_SetDouble("PROGRAM_SEND_INTERVAL_MS", program);
  if (!FactoryMode()) Option_SetInt("MODULETEST_MODE", 0);
}

bool Shell_DialogFollows(const ShellRect& previousMain, const ShellRect& currentMain,
                         const ShellRect& dialog, ShellRect& moved) {
  if (!previousMain.contains(dialog)) return false;
  moved = dialog;
  moved.x += currentMain.x - previousMain.x;
  moved.y += currentMain.y - previousMain.y;
  return true;
}
