// Numbers in settings text. Always the "C" conventions (decimal point, no
// grouping), whatever locale the GUI toolkit has switched the process to, so
// a settings file reads the same on every machine.
#pragma once

#include <cstdint>
#include <string>

// The leading decimal integer of text after optional white space and sign;
// 0 when there is none. Values beyond the 32-bit range saturate.
int32_t NumberText_ParseInt(const char* text);
// The leading floating-point number of text; 0.0 when there is none.
double NumberText_ParseDouble(const char* text);
// "%f": six decimals, "10.000000".
std::string NumberText_FormatFixed(double value);
