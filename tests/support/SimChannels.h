// Channel groups for the tests' simulated modules, and the bit patterns of
// the float values their analog channels carry.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "module/IoBuilder.h"

// `count` channels of a type (type entry 0x3100 + type) with these
// configuration codes, values at valueIndex.1, .2, ..., in configuration `config`.
inline SimChannelGroup Group(SimIoGroup group, int type, std::vector<uint16_t> configs, int count,
                             uint16_t valueIndex, int config = 0) {
  SimChannelGroup g;
  g.group = group;
  g.typeNumber = type;
  g.configs = std::move(configs);
  g.count = count;
  g.valueIndex = valueIndex;
  g.config = config;
  return g;
}

inline uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}
inline float Float(uint32_t b) {
  float f;
  std::memcpy(&f, &b, sizeof f);
  return f;
}
