#include "module/SimChanCodes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using E = SimEncoding;

// Voltage (kind 1) and current (kind 2): raw range in digits, physical in V / mA.
struct SpanRow {
  uint16_t code;
  E encoding;
  int shift;
  double rawMin, rawMax, physMin, physMax;
};
const SpanRow kSpanRows[] = {
    {0x0100, E::Float32, 0, 0, 65535, 0, 10},      {0x0101, E::Float32, 0, 0, 65535, -1, 1},
    {0x0102, E::Float32, 0, 0, 65535, -5, 5},      {0x0103, E::Float32, 0, 0, 65535, -10, 10},
    {0x0104, E::U16, 4, 0, 4095, 0, 10},           {0x0105, E::I16, 4, -2048, 2047, -1, 1},
    {0x0106, E::I16, 4, -2048, 2047, -5, 5},       {0x0107, E::I16, 4, -2048, 2047, -10, 10},
    {0x0108, E::U16, 6, 0, 1023, 0, 10},           {0x0109, E::I16, 6, -512, 511, -1, 1},
    {0x010A, E::I16, 6, -512, 511, -5, 5},         {0x010B, E::I16, 6, -512, 511, -10, 10},
    {0x010C, E::U16, 0, 0, 65535, 0, 10},          {0x010D, E::I16, 0, -32768, 32767, -1, 1},
    {0x010E, E::I16, 0, -32768, 32767, -5, 5},     {0x010F, E::I16, 0, -32768, 32767, -10, 10},
    {0x0110, E::I16, 0, -32768, 32767, -1.25, 1.25}, {0x0111, E::I16, 0, -32768, 32767, -2.5, 2.5},
    {0x0112, E::I16, 0, -32768, 32767, -5, 5},     {0x0113, E::I16, 0, -32768, 32767, -10, 10},
    {0x0200, E::Float32, 0, 0, 65535, 0, 20},      {0x0201, E::Float32, 0, 0, 65535, 4, 20},
    {0x0202, E::U16, 4, 0, 4095, 0, 20},           {0x0203, E::U16, 4, 0, 4095, 4, 20},
    {0x0204, E::U16, 6, 0, 1023, 0, 20},           {0x0205, E::U16, 6, 0, 1023, 4, 20},
    {0x0206, E::U16, 0, 0, 65535, 0, 20},          {0x0207, E::U16, 0, 0, 65535, 4, 20},
    {0x0208, E::I16, 0, -32768, 32767, -2.5, 2.5}, {0x0209, E::I16, 0, -32768, 32767, -5, 5},
    {0x020A, E::I16, 0, -32768, 32767, -10, 10},   {0x020B, E::I16, 0, -32768, 32767, -20, 20},
    {0x020C, E::Float32, 0, 0, 65535, 0, 22},      {0x020D, E::U16, 4, 0, 4095, 0, 22},
    {0x020E, E::U16, 6, 0, 1023, 0, 22},
};

// Every other kind: the value is in the physical unit.
struct SameRow {
  uint8_t kind, config;
  E encoding;
  int divisor, shift;
  double min, max;
};
const SameRow kSameRows[] = {
    // thermocouples K, J and S share their ranges
    {3, 0, E::Float32, 1, 0, 0, 800}, {3, 1, E::Float32, 1, 0, 0, 400}, {3, 2, E::Float32, 1, 0, 0, 200},
    {3, 3, E::I16, 10, 0, 0, 800},    {3, 4, E::I16, 10, 0, 0, 400},    {3, 5, E::I16, 10, 0, 0, 200},
    {5, 0, E::Float32, 1, 0, 0, 650}, {5, 1, E::Float32, 1, 0, -50, 150}, {5, 2, E::I16, 10, 0, 0, 650},
    {5, 3, E::I16, 10, 0, -50, 150},  {5, 4, E::I16, 10, 0, -50, 650},  {5, 5, E::I16, 10, 0, -50, 250},
    {5, 6, E::I16, 10, 0, -200, 200},
    {6, 0, E::Float32, 1, 0, 0, 650}, {6, 1, E::Float32, 1, 0, -50, 150}, {6, 2, E::Float32, 1, 0, 0, 400},
    {6, 3, E::I16, 10, 0, 0, 650},    {6, 4, E::I16, 10, 0, -50, 150},  {6, 5, E::I16, 10, 0, 0, 400},
    {6, 6, E::I16, 10, 0, -50, 250},  {6, 7, E::I16, 10, 0, -50, 400},  {6, 8, E::I16, 10, 0, -50, 650},
    {7, 0, E::Float32, 1, 0, -50, 150}, {7, 1, E::I16, 10, 0, -50, 150},
    {8, 0, E::Float32, 1, 0, -50, 150}, {8, 1, E::I16, 10, 0, -50, 150}, {8, 2, E::I16, 10, 0, -50, 250},
    {9, 0, E::U8, 1, 0, 0, 255},      {9, 1, E::U16, 1, 6, 0, 1023},    {9, 2, E::U16, 1, 4, 0, 4095},
    {9, 3, E::U16, 1, 0, 0, 65535},   {9, 4, E::I8, 1, 0, -128, 127},   {9, 5, E::I16, 1, 6, -512, 511},
    {9, 6, E::I16, 1, 4, -2048, 2047}, {9, 7, E::I16, 1, 0, -32768, 32767},
    {10, 0, E::U16, 1000, 0, 0, 5},   {10, 1, E::U16, 100, 0, 0, 50},   {10, 2, E::U16, 10, 0, 0, 500},
    {11, 0, E::I16, 10, 0, -50, 150}, {11, 1, E::I16, 10, 0, 0, 650},   {11, 2, E::I16, 10, 0, -273, 50},
    {11, 3, E::Float32, 1, 0, -273, 999},
    {12, 0, E::I16, 1, 0, 0, 100},    {12, 1, E::I16, 10, 0, 0, 100},   {12, 2, E::Float32, 1, 0, 0, 100},
    {14, 0, E::I16, 10, 0, -50, 150},
    {15, 0, E::I16, 10, 0, 0, 350},
    {16, 0, E::U16, 1, 0, 0, 10},     {16, 1, E::U16, 10, 0, 0, 10},    {16, 2, E::Float32, 1, 0, 0, 10},
    {16, 3, E::I16, 1, 0, -10, 10},   {16, 4, E::I16, 10, 0, -10, 10},  {16, 5, E::Float32, 1, 0, -10, 10},
    {17, 0, E::U16, 1, 0, 0, 10000},  {17, 1, E::U16, 10, 0, 0, 3200},  {17, 2, E::Float32, 1, 0, 0, 10000},
    {17, 3, E::U16, 1, 0, 0, 5000},
    {18, 0, E::Float32, 1, 0, -2.5, 2.5}, {18, 1, E::Float32, 1, 0, -25, 25}, {18, 2, E::Float32, 1, 0, -250, 250},
    {19, 0, E::Float32, 1, 0, 0, 100}, {19, 1, E::Float32, 1, 0, 0, 100},
    {20, 0, E::Float32, 1, 0, 0.5, 2.5},
};

constexpr int kDigitalKind = 30;

// Limits of the integer an encoding holds.
void IntegerLimits(E encoding, double& low, double& high) {
  switch (encoding) {
    case E::U16: low = 0; high = 65535; break;
    case E::I16: low = -32768; high = 32767; break;
    case E::U8: low = 0; high = 255; break;
    case E::I8: low = -128; high = 127; break;
    case E::Float32: low = high = 0; break;
  }
}

// Float channels and codes whose raw range is the physical one carry the value itself.
bool Scaled(const SimCodeInfo& info) {
  return info.encoding != E::Float32 && (info.rawMin != info.physMin || info.rawMax != info.physMax);
}

}  // namespace

bool SimChanCode_Find(uint16_t code, SimCodeInfo& out) {
  const int kind = code >> 8;
  const int config = code & 0xFF;
  for (const SpanRow& r : kSpanRows) {
    if (r.code != code) continue;
    out = SimCodeInfo{r.encoding, 1, r.shift, r.rawMin, r.rawMax, r.physMin, r.physMax};
    return true;
  }
  // Thermocouples J and S have the ranges of type K.
  const int tableKind = (kind == 4 || kind == 13) ? 3 : kind;
  for (const SameRow& r : kSameRows) {
    if (r.kind != tableKind || r.config != config) continue;
    out = SimCodeInfo{r.encoding, r.divisor, r.shift, r.min, r.max, r.min, r.max};
    return true;
  }
  if (kind == kDigitalKind && config <= 15) {
    const double max = std::ldexp(1.0, config + 1) - 1;
    out = config <= 7 ? SimCodeInfo{E::U8, 1, 7 - config, 0, max, 0, max}
                      : SimCodeInfo{E::U16, 1, 15 - config, 0, max, 0, max};
    return true;
  }
  return false;
}

double SimChanCode_ToValue(const SimCodeInfo& info, double physical) {
  const double physSpan = info.physMax - info.physMin;
  if (!Scaled(info) || physSpan == 0) return physical;
  return info.rawMin + (physical - info.physMin) * (info.rawMax - info.rawMin) / physSpan;
}

double SimChanCode_ToPhysical(const SimCodeInfo& info, double value) {
  const double rawSpan = info.rawMax - info.rawMin;
  if (!Scaled(info) || rawSpan == 0) return value;
  return info.physMin + (value - info.rawMin) * (info.physMax - info.physMin) / rawSpan;
}

uint32_t SimChanCode_Encode(const SimCodeInfo& info, double value, bool aligned) {
  if (info.encoding == E::Float32) {
    const float single = float(value);
    uint32_t bits;
    std::memcpy(&bits, &single, sizeof bits);
    return bits;
  }
  if (!std::isfinite(value)) value = 0;
  double low = 0, high = 0;
  IntegerLimits(info.encoding, low, high);
  const double held = std::clamp(value, info.rawMin, info.rawMax);
  const double scaled = std::clamp(std::round(held * info.divisor), low, high);
  uint32_t bits = uint32_t(int32_t(scaled));
  const bool wide = info.encoding == E::U16 || info.encoding == E::I16;
  bits &= wide ? 0xFFFFu : 0xFFu;
  if (aligned) bits = (bits << info.shift) & (wide ? 0xFFFFu : 0xFFu);
  return bits;
}

double SimChanCode_Decode(const SimCodeInfo& info, uint32_t bytes, bool aligned) {
  const int shift = aligned ? info.shift : 0;
  int32_t number = 0;
  switch (info.encoding) {
    case E::Float32: {
      float single;
      std::memcpy(&single, &bytes, sizeof single);
      return single;
    }
    case E::U16: number = int32_t((bytes & 0xFFFF) >> shift); break;
    case E::I16: number = int16_t(bytes & 0xFFFF) >> shift; break;
    case E::U8: number = int32_t((bytes & 0xFF) >> shift); break;
    case E::I8: number = int8_t(bytes & 0xFF) >> shift; break;
  }
  return double(number) / info.divisor;
}
