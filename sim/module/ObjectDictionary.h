// A module's object dictionary: entries addressed by 16-bit index and 8-bit
// subindex, each holding four value bytes, a data type and status flags.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "module/SimModuleConfig.h"

class ObjectDictionary {
 public:
  void set(const SimObject& object);  // adds or replaces
  const SimObject* find(uint16_t index, uint8_t subindex) const;
  SimObject* find(uint16_t index, uint8_t subindex);
  bool remove(uint16_t index, uint8_t subindex);
  std::vector<SimObject> all() const;  // in index, subindex order
  size_t size() const { return entries_.size(); }

 private:
  static uint32_t key(uint16_t index, uint8_t subindex) { return (uint32_t(index) << 8) | subindex; }
  std::map<uint32_t, SimObject> entries_;
};
