// What the Analog In and Analog Out pages show and do for the selected
// channel: its configuration text, its value with unit and level bar, the
// output value caption, and writing an entered output value.
#pragma once

#include <string>

#include "io/ChanInfo.h"

struct ModuleRec;

// "(off)" for a channel switched off, else the configuration's name with its
// range ("Voltage, 0...10 V"), "?" for a code the table does not know.
std::string AnalogChannel_ConfigText(const ChanInfo& info, int channel);

// The level bar: (value - minimum) x 100 / (maximum - minimum), truncated
// toward zero and limited to 0..100 (0 for an empty range).
int AnalogChannel_Bar(double value, double minimum, double maximum);

struct AnalogReading {
  std::string text;  // "" when there is nothing to show
  int bar = 0;
};

// Analog In: reads the channel's value and shows it in physical units,
// "%g %s" with the unit (none for voltage and current). 1 on success; 0 when
// the read failed (reported; the page clears its auto-update flag); -1 for a
// channel switched off or of an unknown code (empty text, bar 0).
int AnalogIn_ReadValue(const ModuleRec& module, const ChanInfo& info, int channel,
                       AnalogReading& out);

// Analog Out: the value caption, "<captured caption> (<raw min>...<raw max>):".
std::string AnalogOut_Caption(const std::string& captured, const ChanInfo& info, int channel);

// Analog Out: reads the output's value in its raw range; shown as "0x%lX" of
// the value truncated when the entry shows hexadecimal (`hexEntry`), else "%g".
// 1 on success, 0 when the read failed (reported; `out` untouched).
int AnalogOut_ReadValue(const ModuleRec& module, const ChanInfo& info, int channel, bool hexEntry,
                        AnalogReading& out);

// True when an output entry is shown and read as hexadecimal (it begins with "0x").
bool AnalogOut_IsHexEntry(const std::string& entry);
// An output entry: "0x" and an unsigned 32-bit hexadecimal number, else a
// decimal number at its start. False when nothing can be read.
bool AnalogOut_ParseEntry(const std::string& entry, double& value);

// "Set": reads the entry, limits it to the channel's raw range, encodes it
// with the channel's alignment flag and sends the object write (no answer).
// 0 sent, -1 nothing sent (no number in the entry, no such channel, or the
// send failed and was reported). The page reads the value back afterwards.
int AnalogOut_SetValue(const ModuleRec& module, const ChanInfo& info, int channel,
                       const std::string& entry);
