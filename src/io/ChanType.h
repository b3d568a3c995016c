// Channel type knowledge shared by the I/O pages and the calibration dialogs:
// texts, units and ranges of a 16-bit configuration code, and the packing of a
// channel value into the four value bytes of an object read or write.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// The four value bytes of an object read reply or write request (data bytes
// 4..7 of the frame), least significant byte first.
using ChanValueBytes = std::array<uint8_t, 4>;

// A configuration code that no table row describes (also used for a channel
// that is switched off).
constexpr int CHANTYPE_CODE_INVALID = 0xFFFF;

// Texts and range of a configuration code. The name is the kind's name with
// its range text (", -10...+10 V"); with `physical` set the unit and range are
// the physical ones, else the raw ones. Every output is optional.
// 0 for a valid code; -1 otherwise, with name "?", unit "" and range 0..0.
int ChanType_GetInfo(int code, bool physical, std::string* name = nullptr,
                     std::string* unit = nullptr, double* minimum = nullptr,
                     double* maximum = nullptr);

// Direction 'g' decodes `bytes` into `value`; direction 's' encodes `value`
// into `bytes`, replacing `value` by the value times the code's divisor for
// integer encodings. With `aligned` 0 no shift is applied either way.
// Integer values outside the encoding's range wrap; callers limit them first.
// 0 on success; 1 for an unknown code (decoding gives 0, encoding all bytes 0),
// for encoding a signed 8-bit (i8) value, which the modules take from no
// writer (all bytes 0), or an unknown direction (nothing changed).
int ChanType_ConvertValue(char direction, double& value, int code, ChanValueBytes& bytes,
                          int aligned);
