#include "firmware/FwInfo.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/ErrorReport.h"
#include "core/TextFormat.h"
#include "firmware/HexFile.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleStatus.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"

namespace {

constexpr int kKeyLength = 16;
constexpr int32_t kByteEntry = 20;
constexpr int32_t kWordEntry = 40;  // two useful bytes in every four

// Where the marker begins in a segment, and in which layout.
struct MarkerHit {
  const HexSegment* segment = nullptr;
  int32_t index = 0;
  bool wordData = false;
};

// Index of the first complete occurrence of the marker in the bytes, or -1.
// std::search restarts one byte after every partial match, so "~~KVX..." is found.
int32_t FindMarker(const uint8_t* begin, const uint8_t* end) {
  const size_t n = std::strlen(kFwInfoStructMarker);
  const auto* m = reinterpret_cast<const uint8_t*>(kFwInfoStructMarker);
  const uint8_t* hit = std::search(begin, end, m, m + n);
  return hit == end ? -1 : int32_t(hit - begin);
}

// Searches the segment as byte data, then over the first two bytes of every four.
bool SearchSegment(const HexSegment* s, MarkerHit& hit) {
  if (!s->data || s->length <= 0) return false;
  int32_t at = FindMarker(s->data, s->data + s->length);
  if (at >= 0) {
    hit = {s, at, false};
    return true;
  }
  std::vector<uint8_t> words;
  words.reserve(size_t(s->length) / 2 + 2);
  for (int32_t i = 0; i < s->length; ++i)
    if ((i & 2) == 0) words.push_back(s->data[i]);
  at = FindMarker(words.data(), words.data() + words.size());
  if (at < 0) return false;
  hit = {s, at / 2 * 4 + at % 2, true};
  return true;
}

// Offset of key character j (or of value byte j - 16) within an entry.
int32_t EntryOffset(int j, bool wordData) { return wordData ? j / 2 * 4 + j % 2 : j; }

// Applies one entry; false when it is the closing marker.
bool ApplyEntry(const uint8_t* entry, bool wordData, FwHexInfo& out) {
  char key[kKeyLength + 1] = {};
  for (int j = 0; j < kKeyLength; ++j) {
    const char c = char(entry[EntryOffset(j, wordData)]);
    if (c == '\0' || c == ' ' || c == '=') break;
    key[j] = c;
  }
  uint8_t v[4];
  for (int j = 0; j < 4; ++j) v[j] = entry[EntryOffset(kKeyLength + j, wordData)];

  if (std::strcmp(key, kFwInfoStructMarker) == 0) return false;
  if (std::strcmp(key, "INFO_TYPE") == 0) {
    out.infoType = v[3];
  } else if (std::strcmp(key, "MODULE_TYPE") == 0) {
    out.moduleType = v[2] * 256 + v[3];
  } else if (std::strcmp(key, "HARDW_VERSION") == 0) {
    out.hardwareVersion = v[2] * 256 + v[3];
  } else if (std::strcmp(key, "SOFTW_VERSION") == 0) {
    out.softwareVersion = Text_Format("%d.%d", v[1], v[3]);
  }
  return true;
}

// Reads the entries behind the marker's own one. Only entries that lie wholly
// inside the segment are read, the last one ending at the segment's end included.
void WalkEntries(const MarkerHit& hit, FwHexInfo& out) {
  const int32_t size = hit.wordData ? kWordEntry : kByteEntry;
  const HexSegment* s = hit.segment;
  for (int64_t at = int64_t(hit.index) + size; at + size <= s->length; at += size)
    if (!ApplyEntry(s->data + at, hit.wordData, out)) break;
}

}  // namespace

int FwInfo_ReadModule(ModuleRec& rec, FwModuleInfo& out) {
  out = FwModuleInfo{};
  out.type = rec.type;
  out.hardwareVersion = rec.version;
  if (!rec.infoValid && !ModuleStatus_ReadInfo(rec)) return -1;
  out.running = (rec.state & VORN_STATE_FIRMWARE_RUNNING) ? 1 : 0;
  out.fwPresent = rec.fwPresent;
  out.firmwareVersion = rec.fwMajor == 255 || rec.fwMinor == 255 || rec.fwPresent == 0
                            ? "(?)"
                            : Text_Format("%u.%u", rec.fwMajor, rec.fwMinor);

  CanMsg msg;
  if (VornProt_RequestMessage(msg, rec.node, 2, VORN_CMD_READ_CODE_START, {0}) != 1) return -1;
  out.codeStart = uint32_t(msg.data[4] & 0xFF) << 24 | uint32_t(msg.data[5] & 0xFF) << 16 |
                  uint32_t(msg.data[6] & 0xFF) << 8 | uint32_t(msg.data[7] & 0xFF);
  return 0;
}

int FwInfo_ScanImage(const HexSegment* image, FwHexInfo& out) {
  // The code start is the lowest address as an unsigned number: an image
  // reaching above 2 GiB must not turn its highest segment into the lowest.
  uint32_t lowest = kFwUnknownAddress;
  int64_t size = 0;
  MarkerHit hit;
  bool found = false;
  for (const HexSegment* s = image; s; s = s->next) {
    lowest = std::min(lowest, s->address);
    size += s->length > 0 ? s->length : 0;
    if (!found) found = SearchSegment(s, hit);
  }
  if (image) {
    out.wordData = found && hit.wordData ? 1 : 0;
    out.codeStart = out.wordData ? lowest / 2 : lowest;
    out.size = size;
  }
  if (!found) return -1;
  WalkEntries(hit, out);
  return out.infoType == 1 ? 0 : -1;
}

int FwInfo_ReadHexFile(const std::string& fileName, bool report, FwHexInfo& out) {
  out = FwHexInfo{};
  if (fileName.empty()) return -1;
  HexSegmentList image;
  if (HexFile_Read(image.out(), fileName) != HEXERR_NONE) {
    if (report) ShowError("Hex file read error:\n%s", HexFile_GetErrorText());
    return -1;
  }
  return FwInfo_ScanImage(image.head(), out);
}

std::string FormatSize(int64_t count) {
  if (count > 1048576) return Text_Format("%.1fM", double(count) / 1048576);
  if (count > 1024) return Text_Format("%.1fk", double(count) / 1024);
  return Text_Format("%.0f", double(count));
}
