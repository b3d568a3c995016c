// Numbers on the instruments' lines, read and written with a decimal point
// whatever locale the process runs in.
#pragma once

#include <string>

// The whole text as a decimal number ("0.500000E+1", "-12", "+23.5"); false
// when it is not one.
bool InstrumentText_Number(const std::string& text, double& value);
// printf-style formatting of one number in the "C" conventions.
std::string InstrumentText_Format(const char* format, double value);
