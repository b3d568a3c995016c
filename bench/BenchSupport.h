// Pieces the simulator benchmarks share: wall time, resident memory, sleeping, command-line
// arguments, a user interface without a screen, and the program connected to
// a simulator through the Ethernet master.
#pragma once

#include <time.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "SimServer.h"
#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "ui/Ui.h"

inline double NowMs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count() / 1e3;
}

// A kB figure of this process from /proc/self/status ("VmRSS:", "VmHWM:"), -1 when missing.
inline long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(key);
  while (std::getline(in, line))
    if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n + 1);
  return -1;
}

inline void SleepMs(double ms) {
  if (ms <= 0) return;
  timespec ts{time_t(ms / 1000), long((ms - double(time_t(ms / 1000)) * 1000) * 1e6)};
  nanosleep(&ts, nullptr);
}

// The value after `name` on the command line, or the fallback.
inline const char* ArgValue(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

inline bool HasFlag(int argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return true;
  return false;
}

// A user interface without a screen: boxes are answered OK and the last one
// is kept, as is the last status text; file dialogs are cancelled. How its
// timers run is up to each benchmark.
class ScreenlessUi : public UiBackend {
 public:
  UiAnswer messageBox(const std::string& text, const std::string& title, UiButtons, UiIcon, bool) override {
    lastMessage = title + ": " + text;
    return UiAnswer::Ok;
  }
  bool openFileDialog(const UiFileRequest&, std::string&) override { return false; }
  bool saveFileDialog(const UiFileRequest&, std::string&) override { return false; }
  void setWaitCursor(bool) override {}
  void beep() override {}
  void showStatusText(const std::string& text) override { lastStatus = text; }

  std::string lastMessage, lastStatus;
};

// Starts the simulator with the population it has and makes its Ethernet
// master the program's interface. False with the reason in `error`.
inline bool StartAndConnect(SimServer& sim, std::string& error) {
  if (!sim.start()) {
    error = "cannot start the simulator: " + sim.lastError();
    return false;
  }
  EthMaster_SetHostName("127.0.0.1");
  EthMaster_SetPort(sim.port());
  if (OpenInterface("KVX Master (Ethernet)") != 0) {
    error = std::string("cannot open the link: ") + GetInterfaceError();
    return false;
  }
  return true;
}
