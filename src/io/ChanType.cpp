#include "io/ChanType.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "core/TextFormat.h"
#include "io/ChanTypeTable.h"

namespace {

// ", <min>...<max> <unit>" in the physical unit, whatever range the caller asked
// for. Voltage ranges around zero show the sign of the maximum ("-5...+5").
std::string RangeText(const ChanTypeKind& kind, const ChanTypeConfig& config) {
  if (kind.kind == CHANTYPE_KIND_DIGITAL) return "";
  const bool plusSign = kind.kind == CHANTYPE_KIND_VOLTAGE && config.physMin < 0;
  std::string text = ", " + Text_Format("%g", config.physMin) + "..." +
                     Text_Format(plusSign ? "%+g" : "%g", config.physMax);
  if (kind.physUnit[0] != '\0') {
    text += ' ';
    text += kind.physUnit;
  }
  return text;
}

uint32_t ReadLittleEndian32(const ChanValueBytes& bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

double DecodeValue(const ChanTypeConfig& config, const ChanValueBytes& bytes, bool aligned) {
  if (config.encoding == ChanEncoding::Float32) {
    const uint32_t bits = ReadLittleEndian32(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  const int shift = aligned ? config.shift : 0;
  const uint16_t word = uint16_t(bytes[0] | bytes[1] << 8);
  int32_t number = 0;
  switch (config.encoding) {
    case ChanEncoding::U16: number = word >> shift; break;
    case ChanEncoding::I16: number = int16_t(word) >> shift; break;  // arithmetic shift
    case ChanEncoding::U8: number = bytes[0] >> shift; break;
    case ChanEncoding::I8: number = int8_t(bytes[0]) >> shift; break;
    case ChanEncoding::Float32: break;
  }
  return double(number) / config.divisor;
}

// The integer a scaled value stands for: truncated toward zero, except that a
// product lying within rounding noise of the next integer away from zero counts
// as that integer (0.57 Hz x 100 comes out as 56.99999999999999). The result is
// reduced modulo 2^32 so that any magnitude wraps instead of overflowing; a value
// that is not a number gives 0.
uint32_t IntegerOf(double product) {
  if (!std::isfinite(product)) return 0;
  double whole = std::trunc(product);
  const double next = whole + (product < 0 ? -1.0 : 1.0);
  const double noise = std::min(1e-12 * std::fabs(product), 1e-6);
  if (whole != product && std::fabs(next - product) <= noise) whole = next;
  return uint32_t(int64_t(std::fmod(whole, 4294967296.0)));
}

void EncodeValue(const ChanTypeConfig& config, double& value, ChanValueBytes& bytes,
                 bool aligned) {
  bytes = {0, 0, 0, 0};
  if (config.encoding == ChanEncoding::Float32) {
    // Beyond the single-precision range the float is infinite, as the FPU makes it.
    const float single = std::fabs(value) > FLT_MAX ? float(std::copysign(INFINITY, value))
                                                    : float(value);
    uint32_t bits;
    std::memcpy(&bits, &single, sizeof bits);
    for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(bits >> (8 * i));
    return;
  }
  value *= config.divisor;
  uint32_t bits = IntegerOf(value);
  if (aligned) bits <<= config.shift;
  bytes[0] = uint8_t(bits);
  if (config.encoding == ChanEncoding::U16 || config.encoding == ChanEncoding::I16) {
    bytes[1] = uint8_t(bits >> 8);
  }
}

}  // namespace

int ChanType_GetInfo(int code, bool physical, std::string* name, std::string* unit,
                     double* minimum, double* maximum) {
  const ChanTypeConfig* config = ChanTypeTable_FindConfig(code);
  if (config == nullptr) {
    if (name) *name = "?";
    if (unit) unit->clear();
    if (minimum) *minimum = 0;
    if (maximum) *maximum = 0;
    return -1;
  }
  const ChanTypeKind& kind = *ChanTypeTable_FindKind(code >> 8);
  if (name) *name = std::string(config->name ? config->name : kind.name) + RangeText(kind, *config);
  if (unit) *unit = physical ? kind.physUnit : kind.rawUnit;
  if (minimum) *minimum = physical ? config->physMin : config->rawMin;
  if (maximum) *maximum = physical ? config->physMax : config->rawMax;
  return 0;
}

int ChanType_ConvertValue(char direction, double& value, int code, ChanValueBytes& bytes,
                          int aligned) {
  if (direction != 'g' && direction != 's') return 1;
  const ChanTypeConfig* config = ChanTypeTable_FindEncoding(code);
  // An i8 value can be read but is never encoded.
  if (config == nullptr || (direction == 's' && config->encoding == ChanEncoding::I8)) {
    if (direction == 'g') value = 0;
    else bytes = {0, 0, 0, 0};
    return 1;
  }
  if (direction == 'g') value = DecodeValue(*config, bytes, aligned != 0);
  else EncodeValue(*config, value, bytes, aligned != 0);
  return 0;
}
