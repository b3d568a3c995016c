// The channel type table as data: every kind, its configurations, ranges and
// value encodings. Nothing else in the program lists configuration codes.
#include "io/ChanTypeTable.h"

#include <iterator>

namespace {

using E = ChanEncoding;

// A configuration whose raw and physical ranges differ (voltage and current).
constexpr ChanTypeConfig Scaled(double rawMin, double rawMax, double physMin, double physMax,
                                E encoding, int shift = 0) {
  return {rawMin, rawMax, physMin, physMax, encoding, 1, shift, nullptr};
}

// A configuration whose raw range is its physical range.
constexpr ChanTypeConfig Same(double min, double max, E encoding, int divisor = 1, int shift = 0,
                              const char* name = nullptr) {
  return {min, max, min, max, encoding, divisor, shift, name};
}

// An n-bit digital value left-aligned in one byte or one 16-bit word.
constexpr ChanTypeConfig Bits(int bits) {
  const double max = double((1u << bits) - 1);
  return bits <= 8 ? Same(0, max, E::U8, 1, 8 - bits) : Same(0, max, E::U16, 1, 16 - bits);
}

#define DEG_C "\u00B0C"

constexpr ChanTypeConfig kVoltage[] = {
    Scaled(0, 65535, 0, 10, E::Float32),         // 0x0100
    Scaled(0, 65535, -1, 1, E::Float32),         // 0x0101
    Scaled(0, 65535, -5, 5, E::Float32),         // 0x0102
    Scaled(0, 65535, -10, 10, E::Float32),       // 0x0103
    Scaled(0, 4095, 0, 10, E::U16, 4),           // 0x0104
    Scaled(-2048, 2047, -1, 1, E::I16, 4),       // 0x0105
    Scaled(-2048, 2047, -5, 5, E::I16, 4),       // 0x0106
    Scaled(-2048, 2047, -10, 10, E::I16, 4),     // 0x0107
    Scaled(0, 1023, 0, 10, E::U16, 6),           // 0x0108
    Scaled(-512, 511, -1, 1, E::I16, 6),         // 0x0109
    Scaled(-512, 511, -5, 5, E::I16, 6),         // 0x010A
    Scaled(-512, 511, -10, 10, E::I16, 6),       // 0x010B
    Scaled(0, 65535, 0, 10, E::U16),             // 0x010C
    Scaled(-32768, 32767, -1, 1, E::I16),        // 0x010D
    Scaled(-32768, 32767, -5, 5, E::I16),        // 0x010E
    Scaled(-32768, 32767, -10, 10, E::I16),      // 0x010F
    Scaled(-32768, 32767, -1.25, 1.25, E::I16),  // 0x0110
    Scaled(-32768, 32767, -2.5, 2.5, E::I16),    // 0x0111
    Scaled(-32768, 32767, -5, 5, E::I16),        // 0x0112
    Scaled(-32768, 32767, -10, 10, E::I16),      // 0x0113
};

constexpr ChanTypeConfig kCurrent[] = {
    Scaled(0, 65535, 0, 20, E::Float32),      // 0x0200
    Scaled(0, 65535, 4, 20, E::Float32),      // 0x0201
    Scaled(0, 4095, 0, 20, E::U16, 4),        // 0x0202
    Scaled(0, 4095, 4, 20, E::U16, 4),        // 0x0203
    Scaled(0, 1023, 0, 20, E::U16, 6),        // 0x0204
    Scaled(0, 1023, 4, 20, E::U16, 6),        // 0x0205
    Scaled(0, 65535, 0, 20, E::U16),          // 0x0206
    Scaled(0, 65535, 4, 20, E::U16),          // 0x0207
    Scaled(-32768, 32767, -2.5, 2.5, E::I16), // 0x0208
    Scaled(-32768, 32767, -5, 5, E::I16),     // 0x0209
    Scaled(-32768, 32767, -10, 10, E::I16),   // 0x020A
    Scaled(-32768, 32767, -20, 20, E::I16),   // 0x020B
    Scaled(0, 65535, 0, 22, E::Float32),      // 0x020C
    Scaled(0, 4095, 0, 22, E::U16, 4),        // 0x020D
    Scaled(0, 1023, 0, 22, E::U16, 6),        // 0x020E
};

// Thermocouples K, J and S share their configurations.
constexpr ChanTypeConfig kThermocouple[] = {
    Same(0, 800, E::Float32), Same(0, 400, E::Float32), Same(0, 200, E::Float32),
    Same(0, 800, E::I16, 10), Same(0, 400, E::I16, 10), Same(0, 200, E::I16, 10),
};

constexpr ChanTypeConfig kPt100[] = {
    Same(0, 650, E::Float32),   Same(-50, 150, E::Float32), Same(0, 650, E::I16, 10),
    Same(-50, 150, E::I16, 10), Same(-50, 650, E::I16, 10), Same(-50, 250, E::I16, 10),
    Same(-200, 200, E::I16, 10),
};

constexpr ChanTypeConfig kPt1000[] = {
    Same(0, 650, E::Float32),   Same(-50, 150, E::Float32), Same(0, 400, E::Float32),
    Same(0, 650, E::I16, 10),   Same(-50, 150, E::I16, 10), Same(0, 400, E::I16, 10),
    Same(-50, 250, E::I16, 10), Same(-50, 400, E::I16, 10), Same(-50, 650, E::I16, 10),
};

constexpr ChanTypeConfig kNi100[] = {
    Same(-50, 150, E::Float32), Same(-50, 150, E::I16, 10),
};

constexpr ChanTypeConfig kNi1000[] = {
    Same(-50, 150, E::Float32), Same(-50, 150, E::I16, 10), Same(-50, 250, E::I16, 10),
};

constexpr ChanTypeConfig kDigits[] = {
    Same(0, 255, E::U8),           Same(0, 1023, E::U16, 1, 6),   Same(0, 4095, E::U16, 1, 4),
    Same(0, 65535, E::U16),        Same(-128, 127, E::I8),        Same(-512, 511, E::I16, 1, 6),
    Same(-2048, 2047, E::I16, 1, 4), Same(-32768, 32767, E::I16),
};

constexpr ChanTypeConfig kFrequency[] = {
    Same(0, 5, E::U16, 1000), Same(0, 50, E::U16, 100), Same(0, 500, E::U16, 10),
};

constexpr ChanTypeConfig kTemperature[] = {
    Same(-50, 150, E::I16, 10), Same(0, 650, E::I16, 10), Same(-273, 50, E::I16, 10),
    Same(-273, 999, E::Float32),
};

constexpr ChanTypeConfig kAnalogValue[] = {
    Same(0, 100, E::I16), Same(0, 100, E::I16, 10), Same(0, 100, E::Float32),
};

constexpr ChanTypeConfig kNtc20k[] = {Same(-50, 150, E::I16, 10)};

constexpr ChanTypeConfig kKelvin[] = {Same(0, 350, E::I16, 10)};

constexpr ChanTypeConfig kVoltageV[] = {
    Same(0, 10, E::U16),        Same(0, 10, E::U16, 10),  Same(0, 10, E::Float32),
    Same(-10, 10, E::I16),      Same(-10, 10, E::I16, 10), Same(-10, 10, E::Float32),
};

constexpr ChanTypeConfig kVoltageMv[] = {
    Same(0, 10000, E::U16), Same(0, 3200, E::U16, 10), Same(0, 10000, E::Float32),
    Same(0, 5000, E::U16),
};

constexpr ChanTypeConfig kPressure[] = {
    Same(-2.5, 2.5, E::Float32), Same(-25, 25, E::Float32), Same(-250, 250, E::Float32),
};

constexpr ChanTypeConfig kConcentration[] = {
    Same(0, 100, E::Float32, 1, 0, "Oxygen"),
    Same(0, 100, E::Float32, 1, 0, "COe"),
};

constexpr ChanTypeConfig kLambda[] = {Same(0.5, 2.5, E::Float32)};

constexpr ChanTypeConfig kDigital[] = {
    Bits(1), Bits(2),  Bits(3),  Bits(4),  Bits(5),  Bits(6),  Bits(7),  Bits(8),
    Bits(9), Bits(10), Bits(11), Bits(12), Bits(13), Bits(14), Bits(15), Bits(16),
};

#define KIND(kind, name, rawUnit, physUnit, configs) \
  ChanTypeKind { kind, name, rawUnit, physUnit, configs, int(std::size(configs)) }

constexpr ChanTypeKind kKinds[] = {
    KIND(1, "Voltage", "V", "V", kVoltage),
    KIND(2, "Current", "mA", "mA", kCurrent),
    KIND(3, "TC Type K", DEG_C, DEG_C, kThermocouple),
    KIND(4, "TC Type J", DEG_C, DEG_C, kThermocouple),
    KIND(5, "Pt100", DEG_C, DEG_C, kPt100),
    KIND(6, "Pt1000", DEG_C, DEG_C, kPt1000),
    KIND(7, "Ni100", DEG_C, DEG_C, kNi100),
    KIND(8, "Ni1000", DEG_C, DEG_C, kNi1000),
    KIND(9, "Analog Digits", "", "Digits", kDigits),
    KIND(10, "Frequency", "Hz", "Hz", kFrequency),
    KIND(11, "Temp.", DEG_C, DEG_C, kTemperature),
    KIND(12, "Analog Val", "%", "%", kAnalogValue),
    KIND(13, "TC Type S", DEG_C, DEG_C, kThermocouple),
    KIND(14, "NTC 20K", DEG_C, DEG_C, kNtc20k),
    KIND(15, "Temp.", "K", "K", kKelvin),
    KIND(16, "Voltage", "V", "V", kVoltageV),
    KIND(17, "Voltage", "mV", "mV", kVoltageMv),
    KIND(18, "Pressure", "mbar", "mbar", kPressure),
    KIND(19, "Concentration", "%", "%", kConcentration),
    KIND(20, "Lambda", "Lambda", "", kLambda),
    KIND(CHANTYPE_KIND_DIGITAL, "Digital I/O", "", "", kDigital),
};

#undef KIND
#undef DEG_C

// Kind 0 has no texts or ranges; its values are plain 16-bit numbers.
constexpr ChanTypeConfig kUntyped = Same(0, 0, E::U16);

}  // namespace

const ChanTypeKind* ChanTypeTable_FindKind(int kind) {
  for (const ChanTypeKind& row : kKinds) {
    if (row.kind == kind) return &row;
  }
  return nullptr;
}

const ChanTypeConfig* ChanTypeTable_FindConfig(int code) {
  if (code < 0 || code > 0xFFFF) return nullptr;
  const ChanTypeKind* kind = ChanTypeTable_FindKind(code >> 8);
  const int config = code & 0xFF;
  if (kind == nullptr || config >= kind->configCount) return nullptr;
  return &kind->configs[config];
}

const ChanTypeConfig* ChanTypeTable_FindEncoding(int code) {
  if (code >= 0 && code <= 0xFF) return &kUntyped;
  return ChanTypeTable_FindConfig(code);
}
