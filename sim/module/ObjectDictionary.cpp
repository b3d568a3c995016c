#include "module/ObjectDictionary.h"

void ObjectDictionary::set(const SimObject& object) {
  entries_[key(object.index, object.subindex)] = object;
}

const SimObject* ObjectDictionary::find(uint16_t index, uint8_t subindex) const {
  auto it = entries_.find(key(index, subindex));
  return it == entries_.end() ? nullptr : &it->second;
}

SimObject* ObjectDictionary::find(uint16_t index, uint8_t subindex) {
  auto it = entries_.find(key(index, subindex));
  return it == entries_.end() ? nullptr : &it->second;
}

bool ObjectDictionary::remove(uint16_t index, uint8_t subindex) {
  return entries_.erase(key(index, subindex)) > 0;
}

std::vector<SimObject> ObjectDictionary::all() const {
  std::vector<SimObject> out;
  out.reserve(entries_.size());
  for (const auto& [k, object] : entries_) out.push_back(object);
  return out;
}
