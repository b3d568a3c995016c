// Notices that the firmware file named in a firmware tab has changed and has
// settled: each call (once a second) compares the file's existence,
// modification time and size with the last call; a difference starts a
// countdown of three calls, and the change is reported when it runs out, two
// ticks after the file stopped changing. One watcher serves all firmware tabs.
#pragma once

#include <string>

// True when a settled change of the file is to be reported now.
bool FwFileWatch_Check(const std::string& fileName);
// The next call takes the file as it then is as the reference, without counting.
void FwFileWatch_Arm();
