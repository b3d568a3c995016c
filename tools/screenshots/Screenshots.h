// The screenshot tool: renders the program's windows against the in-process
// simulator to PNG files. Each area adds its shots in a file of its own with
// KVX_SCREENSHOT(name) { ...; return widget-to-grab; }.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class MainWindow;
class SimServer;

struct ScreenshotContext {
  MainWindow* mainWindow;  // started and connected to the simulator (bus 0)
  SimServer* sim;
};

// Returns the widget to grab (nullptr: the shot failed, with a message on stderr).
using ScreenshotFn = std::function<QWidget*(ScreenshotContext&)>;

struct ScreenshotRegistration {
  ScreenshotRegistration(const char* name, ScreenshotFn fn);
};

const std::vector<std::pair<QString, ScreenshotFn>>& Screenshot_All();

#define KVX_SCREENSHOT_CAT2(a, b) a##b
#define KVX_SCREENSHOT_CAT(a, b) KVX_SCREENSHOT_CAT2(a, b)
#define KVX_SCREENSHOT(name)                                                            \
  static QWidget* KVX_SCREENSHOT_CAT(shot_, __LINE__)(ScreenshotContext&);              \
  static ScreenshotRegistration KVX_SCREENSHOT_CAT(shotReg_, __LINE__)(                 \
      name, KVX_SCREENSHOT_CAT(shot_, __LINE__));                                       \
  static QWidget* KVX_SCREENSHOT_CAT(shot_, __LINE__)(ScreenshotContext & ctx)
