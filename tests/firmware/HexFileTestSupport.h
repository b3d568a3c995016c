// Helpers of the HEX file tests: images as plain values, files from text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "firmware/HexFile.h"
#include "support/TestEnvironment.h"

struct SegmentValue {
  uint32_t address = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const SegmentValue&) const = default;
};

inline void PrintTo(const SegmentValue& s, std::ostream* os) {
  char head[32];
  snprintf(head, sizeof head, "{0x%X, %zu bytes}", s.address, s.bytes.size());
  *os << head;
}

inline std::vector<SegmentValue> SegmentsOf(const HexSegment* head) {
  std::vector<SegmentValue> out;
  for (const HexSegment* s = head; s; s = s->next) {
    SegmentValue v;
    v.address = s->address;
    if (s->length > 0) v.bytes.assign(s->data, s->data + s->length);
    out.push_back(std::move(v));
  }
  return out;
}

// A list owning copies of the values, to hand to the writer.
inline HexSegmentList ListOf(const std::vector<SegmentValue>& values) {
  HexSegment* head = nullptr;
  HexSegment** tail = &head;
  for (const SegmentValue& v : values) {
    *tail = HexSegment_New(v.address, v.bytes.data(), static_cast<int32_t>(v.bytes.size()));
    tail = &(*tail)->next;
  }
  return HexSegmentList(head);
}

inline std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> out;
  for (int b : list) out.push_back(static_cast<uint8_t>(b));
  return out;
}

inline std::vector<uint8_t> Counting(size_t n, int start = 0) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; i++) out[i] = static_cast<uint8_t>(start + i);
  return out;
}

// Reads HEX text through a file in a temporary folder.
struct HexTextReader {
  TempFolder folder;
  HexSegmentList image;
  std::string path = folder.file("image.hex");

  int read(const std::string& text) {
    WriteWholeFile(path, text);
    return HexFile_Read(image.out(), path);
  }
  std::vector<SegmentValue> segments() const { return SegmentsOf(image.head()); }
  std::string errorText(const std::string& message, int line) const {
    return message + ", file '" + path + "'" + (line > 0 ? ", line " + std::to_string(line) : "");
  }
};

// One record with a correct checksum (no line end).
inline std::string Record(int type, uint32_t offset, const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text(1 + 2 * (5 + bytes.size()), ':');
  char* out = text.data() + 1;
  uint32_t sum = 0;
  auto put = [&out, &sum](uint32_t b) {
    *out++ = digits[b >> 4 & 0xF];
    *out++ = digits[b & 0xF];
    sum += b;
  };
  put(static_cast<uint32_t>(bytes.size()));
  put(offset >> 8 & 0xFF);
  put(offset & 0xFF);
  put(static_cast<uint32_t>(type));
  for (uint8_t b : bytes) put(b);
  put(-sum & 0xFF);
  return text;
}

inline bool HaveSrecCat() { return std::system("command -v srec_cat >/dev/null 2>&1") == 0; }
