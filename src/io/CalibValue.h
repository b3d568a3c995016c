// The text form of channel values and calibration point values: how they are
// shown in each display mode and how an entered text is read back into the
// stored form. Also the byte form in which a module keeps a point value.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Display modes of the calibration dialogs and the analog pages.
constexpr int CALIB_DISPLAY_STORED = 0;       // as stored: digits, or the channel's unit
constexpr int CALIB_DISPLAY_ALTERNATIVE = 1;  // hexadecimal, kelvin for Celsius, Celsius for kelvin
constexpr int CALIB_DISPLAY_PHYSICAL = 2;     // voltage and current in their physical unit

// A value in `code`'s stored form as text for `displayMode`; "-0x1A",
// "293.15 K", "12.5 Digits". Unknown modes show as mode 0.
std::string CalibData_FormatValue(double value, int code, int displayMode);

// Reads an entered text ("0x1A", "-0x1A", "20.5", "1A" as hexadecimal for
// voltage and current in mode 1) and converts it into the stored form of
// `code`. The whole text must be the number; blanks around it and the unit
// the display mode shows after it ("293.15 K") are allowed.
// 1 with `value` set when a number was read, 0 with `value` untouched otherwise.
int CalibData_ParseValue(double& value, int code, int displayMode, const std::string& text);

// A calibration point value as the module keeps it: single precision, least
// significant byte first; all four bytes 0xFF mean the value is not set.
using CalibValueBytes = std::array<uint8_t, 4>;

bool CalibValue_IsEmpty(const CalibValueBytes& bytes);
double CalibValue_Decode(const CalibValueBytes& bytes);
CalibValueBytes CalibValue_Encode(double value);

// The texts of a point's two fields: its raw value X and its reference value
// X + Y ("-" for a value that is not set). Magnitudes below 1e-38 show as 0.
void CalibData_PointTexts(const CalibValueBytes& x, const CalibValueBytes& y, int code,
                          int displayMode, std::string& xText, std::string& yText);
