// The channel type table: for every configuration code (kind in the high
// byte, configuration in the low byte) its texts, ranges and how its value is
// packed into the four value bytes of an object read or write.
#pragma once

#include <cstdint>

// How a channel value sits in the four value bytes (least significant first).
enum class ChanEncoding : uint8_t {
  Float32,  // all four bytes, IEEE-754 single precision
  U16,      // bytes 0..1 unsigned
  I16,      // bytes 0..1 signed
  U8,       // byte 0 unsigned
  I8,       // byte 0 signed
};

// One configuration of a kind.
struct ChanTypeConfig {
  double rawMin, rawMax;    // range of the value as the module reports it
  double physMin, physMax;  // range in the physical unit
  ChanEncoding encoding;
  int divisor;              // stored integer = value x divisor
  int shift;                // bit position of an aligned integer value
  const char* name;         // replaces the kind's name when set
};

// One measurement kind (the high byte of a configuration code).
struct ChanTypeKind {
  int kind;
  const char* name;
  const char* rawUnit;
  const char* physUnit;
  const ChanTypeConfig* configs;
  int configCount;
};

// The kind that shows a "+" on the maximum of a range below zero.
constexpr int CHANTYPE_KIND_VOLTAGE = 1;
// The digital kind, which has no range text.
constexpr int CHANTYPE_KIND_DIGITAL = 30;

// The kind's row, or nullptr for a kind outside the table (kind 0 included).
const ChanTypeKind* ChanTypeTable_FindKind(int kind);
// The configuration of a valid code, or nullptr.
const ChanTypeConfig* ChanTypeTable_FindConfig(int code);
// How the value of a code is packed: the code's own configuration, the plain
// 16-bit encoding for kind 0 (codes 0x0000..0x00FF), else nullptr.
const ChanTypeConfig* ChanTypeTable_FindEncoding(int code);
