// The simulator's own knowledge of channel configuration codes (kind in the
// high byte, configuration in the low byte): how a value is packed into the
// four value bytes and which ranges it covers. Kept apart from the program's
// table on purpose: the simulator is the other end of the wire.
#pragma once

#include <cstdint>

enum class SimEncoding : uint8_t { Float32, U16, I16, U8, I8 };

struct SimCodeInfo {
  SimEncoding encoding = SimEncoding::U16;
  int divisor = 1;   // stored integer = value x divisor
  int shift = 0;     // left shift of an aligned integer
  double rawMin = 0, rawMax = 0;    // range of the value the module reports
  double physMin = 0, physMax = 0;  // range at the terminals
};

// False for a code no table row describes.
bool SimChanCode_Find(uint16_t code, SimCodeInfo& out);

// The value a channel reports for a physical level: the physical value itself
// for float codes and for kinds whose raw and physical ranges agree, else the
// level mapped linearly onto the raw range (digits).
double SimChanCode_ToValue(const SimCodeInfo& info, double physical);
double SimChanCode_ToPhysical(const SimCodeInfo& info, double value);

// The four value bytes (least significant first) of a value. Integer codes
// are rounded and held within their raw range, then shifted when aligned.
uint32_t SimChanCode_Encode(const SimCodeInfo& info, double value, bool aligned);
// The value four value bytes stand for.
double SimChanCode_Decode(const SimCodeInfo& info, uint32_t bytes, bool aligned);
