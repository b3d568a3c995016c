// Population file statements for I/O channels (docs/simulator.md):
//
//   channels ai type=1 configs=0x0100,0x0104 count=2 value=0x6401.1 config=1 aligned=1
//   signal ai 0 level=2.5 swing=0.5 period=4000 offset=0.002 gain=-0.001
//   signal di 0 level=0x81 period=500
//   signal do 0 program period=250
//   calib 0 1.4 100 -2 4000 3
//   samadc 0 inputs=0x0003 mode=voltage ref=1/9 offset=12 gain=-0.004
//
// `channels` adds the channels' objects to the module on the line before (a
// written population shows them as object lines); `signal` and `calib` set
// its I/O behaviour and stored calibration points (channel byte, type.range,
// X1 Y1 X2 Y2, "-" for a value not set); `samadc` gives a SAMC21 module a
// converter.
#pragma once

#include <string>
#include <vector>

#include "module/SimModuleConfig.h"

// True for the keywords (lower case) handled here.
bool IoStatement_Is(const std::string& keyword);
// Applies one statement (its words, keyword first) to the module. False with a reason.
bool IoStatement_Apply(const std::vector<std::string>& words, SimModuleConfig& module,
                       std::string& error);
// The signal and calib lines that give a module's I/O behaviour back.
std::string IoStatement_Format(const SimModuleConfig& module);
