// How the bus master's PLC run state is shown and which commands it allows.
#pragma once

#include <string>

// "Run", "Stop", "Stop (Debug)", "Run (Debug)", "? (#%d)" or, for 255 (the
// master did not answer), "? (unknown)".
std::string PlcState_Text(int state);
bool PlcState_CanStart(int state);  // stopped: 1 or 2
bool PlcState_CanStop(int state);   // running: 0

// What the dialog's poll does next: the run state 255 ends polling.
constexpr int kPlcFirstPollMs = 1000;
constexpr int kPlcPollMs = 3300;
constexpr int kPlcNoAnswer = 255;
