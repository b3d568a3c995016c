// Program-wide shell services that logic code calls and the main window
// provides: recomputing control states, and the start-up option corrections.
#pragma once

#include <functional>

// Recomputes menu and module-list control states (installed by the main window;
// does nothing before).
void UpdateControls();
void Shell_SetUpdateControlsHook(std::function<void()> hook);

// Option corrections made once at start, after the INI file was read: the
// calibration folder default, interval clamping, module test mode outside
// factory mode.
void Shell_CorrectOptionsAtStart();

// A rectangle in screen coordinates (left, top, width, height).
struct ShellRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool contains(const ShellRect& r) const {
    return r.x >= x && r.y >= y && r.x + r.w <= x + w && r.y + r.h <= y + h;
  }
};

// While the main window moves, a module dialog lying entirely inside its
// previous rectangle moves by the same offset. Returns true with the dialog's
// new rectangle when it follows.
bool Shell_DialogFollows(const ShellRect& previousMain, const ShellRect& currentMain,
                         const ShellRect& dialog, ShellRect& moved);
