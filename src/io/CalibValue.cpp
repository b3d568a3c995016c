#include "io/CalibValue.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "core/TextFormat.h"
#include "io/ChanType.h"

namespace {

constexpr double kZeroCelsius = 273.15;
// Stored values smaller than this are noise of the single-precision form.
constexpr double kSmallestShown = 1e-38;

bool IsVoltageOrCurrent(int type) { return type == 1 || type == 2; }

bool IsCelsius(int type) {
  return (type >= 3 && type <= 8) || type == 11 || type == 13 || type == 14;
}

bool IsKelvin(int type) { return type == 15; }

bool IsDigits(int type) { return type == 9; }

struct Ranges {
  std::string unit;  // the physical unit
  double rawMin = 0, rawMax = 0, physMin = 0, physMax = 0;
};

Ranges RangesOf(int code) {
  Ranges r;
  ChanType_GetInfo(code, false, nullptr, nullptr, &r.rawMin, &r.rawMax);
  ChanType_GetInfo(code, true, nullptr, &r.unit, &r.physMin, &r.physMax);
  return r;
}

// "-0x1A": the sign, then the magnitude truncated to a 32-bit unsigned number.
std::string HexText(double value) {
  if (!std::isfinite(value)) return Text_Format("%g", value);
  const double magnitude = std::fmod(std::trunc(std::fabs(value)), 4294967296.0);
  return Text_Format("%s0x%X", value < 0 ? "-" : "", unsigned(uint32_t(magnitude)));
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool HasHexPrefix(std::string_view text) {
  return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Hexadecimal digits making up the whole text, up to 32 bits.
bool ReadHexDigits(std::string_view digits, double& value) {
  uint32_t number = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, number, 16);
  if (digits.empty() || error != std::errc() || stop != end) return false;
  value = number;
  return true;
}

// An optional "-", then a "0x" prefix (optional when `bare` is set) and the digits.
bool ReadHex(std::string_view text, bool bare, double& value) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  if (HasHexPrefix(text)) text.remove_prefix(2);
  else if (!bare) return false;
  if (!ReadHexDigits(text, value)) return false;
  if (negative) value = -value;
  return true;
}

// A decimal number making up the whole text; no "inf", "nan" or hexadecimal forms.
bool ReadDecimal(std::string_view text, double& value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) {
    return false;
  }
  double number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end) return false;
  value = negative ? -number : number;
  return true;
}

// The unit the display shows after a value of `type` in `displayMode`.
std::string ShownUnit(int type, int displayMode, const Ranges& r) {
  if (displayMode == CALIB_DISPLAY_ALTERNATIVE) {
    if (IsCelsius(type)) return "K";
    if (IsKelvin(type)) return "\u00B0C";
    if (IsVoltageOrCurrent(type) || IsDigits(type)) return "";
  }
  if (IsVoltageOrCurrent(type) && displayMode != CALIB_DISPLAY_PHYSICAL) return "";
  return r.unit;
}

// The entry without the unit the display shows, so that a shown text reads back.
std::string_view WithoutUnit(std::string_view entry, const std::string& unit) {
  if (unit.empty() || entry.size() <= unit.size()) return entry;
  if (entry.substr(entry.size() - unit.size()) != unit) return entry;
  return Trimmed(entry.substr(0, entry.size() - unit.size()));
}

double ShownValue(double value) { return std::fabs(value) < kSmallestShown ? 0.0 : value; }

}  // namespace

std::string CalibData_FormatValue(double value, int code, int displayMode) {
  const int type = code >> 8;
  const Ranges r = RangesOf(code);
  const char* unit = r.unit.c_str();
  if (IsVoltageOrCurrent(type)) {
    if (displayMode == CALIB_DISPLAY_ALTERNATIVE) return HexText(value);
    const double rawSpan = r.rawMax - r.rawMin;
    // A code without ranges cannot be scaled; it shows as stored.
    if (displayMode == CALIB_DISPLAY_PHYSICAL && rawSpan != 0) {
      return Text_Format("%.3f %s", value / rawSpan * (r.physMax - r.physMin), unit);
    }
    return Text_Format("%g", value);
  }
  if (IsCelsius(type)) {
    if (displayMode == CALIB_DISPLAY_ALTERNATIVE) {
      return Text_Format("%.2f K", value + kZeroCelsius);
    }
    return Text_Format("%.2f %s", value, unit);
  }
  if (IsKelvin(type)) {
    if (displayMode == CALIB_DISPLAY_ALTERNATIVE) {
      return Text_Format("%.2f \u00B0C", value - kZeroCelsius);
    }
    return Text_Format("%.2f %s", value, unit);
  }
  if (IsDigits(type) && displayMode == CALIB_DISPLAY_ALTERNATIVE) return HexText(value);
  return Text_Format("%g %s", value, unit);
}

int CalibData_ParseValue(double& value, int code, int displayMode, const std::string& text) {
  const int type = code >> 8;
  const Ranges r = RangesOf(code);
  const std::string_view entry = WithoutUnit(Trimmed(text), ShownUnit(type, displayMode, r));
  double number = 0;
  bool read;
  if (ReadHex(entry, false, number)) {
    read = true;
  } else if (IsVoltageOrCurrent(type) && displayMode == CALIB_DISPLAY_ALTERNATIVE) {
    read = ReadHex(entry, true, number);
  } else {
    read = ReadDecimal(entry, number);
  }
  if (!read) return 0;

  if (IsVoltageOrCurrent(type) && displayMode == CALIB_DISPLAY_PHYSICAL) {
    const double physSpan = r.physMax - r.physMin;
    if (physSpan == 0) return 0;  // no physical range to convert from
    number = (number - r.physMin) * (r.rawMax - r.rawMin) / physSpan;
  } else if (IsCelsius(type) && displayMode == CALIB_DISPLAY_ALTERNATIVE) {
    number -= kZeroCelsius;
  } else if (IsKelvin(type) && displayMode == CALIB_DISPLAY_ALTERNATIVE) {
    number += kZeroCelsius;
  }
  value = number;
  return 1;
}

bool CalibValue_IsEmpty(const CalibValueBytes& bytes) {
  return bytes[0] == 0xFF && bytes[1] == 0xFF && bytes[2] == 0xFF && bytes[3] == 0xFF;
}

double CalibValue_Decode(const CalibValueBytes& bytes) {
  const uint32_t bits = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                        uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

CalibValueBytes CalibValue_Encode(double value) {
  const float single = std::fabs(value) > FLT_MAX ? float(std::copysign(INFINITY, value))
                                                  : float(value);
  uint32_t bits;
  std::memcpy(&bits, &single, sizeof bits);
  return {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
}

void CalibData_PointTexts(const CalibValueBytes& x, const CalibValueBytes& y, int code,
                          int displayMode, std::string& xText, std::string& yText) {
  if (CalibValue_IsEmpty(x)) {
    // Without X there is no reference value to show, whatever Y holds.
    xText = "-";
    yText = "-";
    return;
  }
  const double raw = ShownValue(CalibValue_Decode(x));
  xText = CalibData_FormatValue(raw, code, displayMode);
  yText = CalibValue_IsEmpty(y)
              ? "-"
              : CalibData_FormatValue(raw + ShownValue(CalibValue_Decode(y)), code, displayMode);
}
