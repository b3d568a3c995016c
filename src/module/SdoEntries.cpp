#include "module/SdoEntries.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/CanMsg.h"
#include "core/ErrorReport.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "core/WideText.h"
#include "module/SdoListFile.h"
#include "module/TextLines.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "protocol/VornProtText.h"

namespace {

// The display format shared by every SDO page.
struct SdoDisplay {
  int format = SDO_FORMAT_DEC;
};

enum SdoType : uint8_t {
  T_BOOL = 1, T_INT8 = 2, T_INT16 = 3, T_INT32 = 4, T_UINT8 = 5, T_UINT16 = 6, T_UINT32 = 7, T_REAL32 = 8,
};

int WidthOf(uint8_t type) {
  switch (type) {
    case T_BOOL: case T_INT8: case T_UINT8: return 1;
    case T_INT16: case T_UINT16: return 2;
    default: return 4;
  }
}

std::string Trim(const std::string& text) {
  const size_t a = text.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  const size_t b = text.find_last_not_of(" \t");
  return text.substr(a, b - a + 1);
}

bool HasPrefix(const std::string& text, const char* prefix) {
  return text.size() >= 2 && text[0] == prefix[0] && (text[1] == prefix[1] || text[1] == char(prefix[1] - 32));
}

// All of text as an unsigned number in base; false when empty, malformed or beyond 32 bits.
bool WholeNumber(const std::string& text, int base, uint64_t& value) {
  if (text.empty()) return false;
  for (char c : text) {
    const bool ok = base == 16 ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : (c >= '0' && c <= '9');
    if (!ok) return false;
  }
  if (text.size() > 20) return false;
  errno = 0;
  value = std::strtoull(text.c_str(), nullptr, base);
  return errno == 0 && value <= 0xFFFFFFFFull;
}

// One byte of a value in the character forms.
char Shown(uint32_t byte) { return (byte < 32 || byte >= 128) ? '.' : char(byte); }

std::string Chars(uint32_t value, int bytes) {
  std::string out = "\"";
  for (int i = bytes - 1; i >= 0; --i) out += Shown((value >> (8 * i)) & 0xFF);
  return out + "\"";
}

void ValueBytes(const CanMsg& msg, uint32_t& value) {
  value = uint32_t(msg.data[4] & 0xFF) | uint32_t(msg.data[5] & 0xFF) << 8 | uint32_t(msg.data[6] & 0xFF) << 16 |
          uint32_t(msg.data[7] & 0xFF) << 24;
}

bool Request(int node, int index, int subindex, CanMsg& msg) {
  return VornProt_RequestMessage(msg, node, 4, VORN_CMD_OBJECT_READ, {(index >> 8) & 0xFF, index & 0xFF, subindex}) != 0;
}

bool ParseValue(const SdoEntry& entry, uint32_t& bytes) {
  if (entry.type == T_REAL32) {
    float f = 0;
    if (!SdoNumber_ParseReal(entry.value, f)) return false;
    std::memcpy(&bytes, &f, sizeof bytes);
    return true;
  }
  int64_t v = 0;
  if (!SdoNumber_Parse(entry.value, WidthOf(entry.type), v)) return false;
  bytes = uint32_t(v);
  return true;
}

}  // namespace

const char* SdoFormat_Name(int format) {
  switch (format) {
    case SDO_FORMAT_HEX: return "Hex";
    case SDO_FORMAT_ASCII: return "Ascii";
    default: return "Dec";
  }
}

int SdoFormat_Current() { return Session_Part<SdoDisplay>().format; }

// ---- number syntax ------------------------------------------------------------------

bool SdoNumber_Parse(const std::string& input, int widthBytes, int64_t& value) {
  const std::string text = Trim(input);
  const int64_t umax = widthBytes == 1 ? 0xFF : widthBytes == 2 ? 0xFFFF : 0xFFFFFFFFll;
  const int64_t smin = widthBytes == 1 ? -0x80 : widthBytes == 2 ? -0x8000 : -0x80000000ll;
  uint64_t u = 0;
  if (HasPrefix(text, "0x")) {
    if (!WholeNumber(text.substr(2), 16, u) || int64_t(u) > umax) return false;
    value = int64_t(u);
    return true;
  }
  if (!text.empty() && text[0] == '"') {
    std::wstring chars = Text_Widen(text.substr(1));
    if (chars.size() > 1 && chars.back() == L'"') chars.pop_back();  // the closing quote
    const size_t needed = widthBytes == 1 ? 1 : 2;
    if (chars.size() < needed || chars.size() > size_t(widthBytes)) return false;
    int64_t v = 0;
    for (int i = 0; i < widthBytes; ++i) {
      const wchar_t c = i < int(chars.size()) ? chars[size_t(i)] : 0;
      if (c < 0 || c > 0xFF) return false;
      v = v * 256 + c;
    }
    value = v;
    return true;
  }
  const bool negative = !text.empty() && text[0] == '-';
  if (!WholeNumber(negative ? text.substr(1) : text, 10, u)) return false;
  const int64_t v = negative ? -int64_t(u) : int64_t(u);
  if (v < smin || v > umax) return false;
  value = v;
  return true;
}

bool SdoNumber_ParseReal(const std::string& input, float& value) {
  const std::string text = Trim(input);
  uint64_t u = 0;
  if (HasPrefix(text, "0x")) {
    if (!WholeNumber(text.substr(2), 16, u)) return false;
    value = float(u);
    return true;
  }
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const float f = std::strtof(text.c_str(), &end);
  if (*end != '\0' || errno != 0 || !std::isfinite(f)) return false;
  value = f;
  return true;
}

bool SdoEntry_ParseAddress(const SdoEntry& entry, int& index, int& subindex) {
  int64_t i = 0;
  if (!SdoNumber_Parse(entry.index, 2, i) || i < 0) return false;
  const std::string sub = Trim(entry.subindex);
  int64_t s = 0;
  if (HasPrefix(sub, "0a")) {
    uint64_t u = 0;
    if (sub.size() == 2) {
      s = 0;
    } else if (WholeNumber(sub.substr(2), 10, u)) {
      s = int64_t(u);
    } else {
      return false;
    }
  } else if (!SdoNumber_Parse(sub, 1, s)) {
    return false;
  }
  if (s < 0 || s > 255) return false;
  index = int(i);
  subindex = int(s);
  return true;
}

int SdoEntry_FormatFor(const std::string& subindex, int format) {
  const std::string sub = Trim(subindex);
  if (HasPrefix(sub, "0x")) return SDO_FORMAT_HEX;
  if (HasPrefix(sub, "0a")) return SDO_FORMAT_ASCII;
  return format;
}

bool SdoValue_Format(uint8_t type, uint32_t v, int format, std::string& text) {
  switch (type) {
    case T_BOOL:
    case T_UINT8: {
      const uint32_t b = v & 0xFF;
      if (format == SDO_FORMAT_DEC) text = Text_Format("%d", int(b));
      else if (format == SDO_FORMAT_HEX || b < 32) text = Text_Format("0x%02x", unsigned(b));
      else text = Text_Format("\"%c\"", b >= 128 ? '.' : char(b));
      return true;
    }
    case T_INT8: {
      const int32_t s = int8_t(v & 0xFF);
      if (format == SDO_FORMAT_DEC) text = Text_Format("%d", int(s));
      else if (format == SDO_FORMAT_HEX || s < 32) text = Text_Format("0x%02x", unsigned(s));
      else text = Text_Format("\"%c\"", char(s));
      return true;
    }
    case T_INT16:
    case T_UINT16: {
      const int32_t s = type == T_INT16 ? int32_t(int16_t(v & 0xFFFF)) : int32_t(v & 0xFFFF);
      if (format == SDO_FORMAT_DEC) text = Text_Format("%d", int(s));  // an UINT16 is never negative here
      else if (format == SDO_FORMAT_HEX) text = Text_Format("0x%04x", unsigned(s));
      else text = Chars(v & 0xFFFF, 2);
      return true;
    }
    case T_INT32:
    case T_UINT32:
      if (format == SDO_FORMAT_DEC) text = type == T_INT32 ? Text_Format("%ld", long(int32_t(v))) : Text_Format("%lu", (unsigned long)v);
      else if (format == SDO_FORMAT_HEX) text = Text_Format("0x%08lx", (unsigned long)v);
      else text = Chars(v, 4);
      return true;
    case T_REAL32: {
      float f = 0;
      std::memcpy(&f, &v, sizeof f);
      text = Text_Format("%g", double(f));
      return true;
    }
    default:
      return false;
  }
}

// ---- one entry ------------------------------------------------------------------------

int SdoEntry_Query(int node, SdoEntry& entry) {
  int index = 0, sub = 0;
  if (!SdoEntry_ParseAddress(entry, index, sub)) {
    entry.flags &= ~kSdoFlagCyclic;
    return 0;
  }
  CanMsg msg;
  if (!Request(node, index, sub, msg)) return -1;
  const uint32_t status = msg.data[1] & 0xFF;
  if (status & kSdoFlagNotAvailable) {
    entry.flags &= kSdoFlagCyclic;
    entry.type = kSdoTypeUnknown;
    return 0;
  }
  entry.flags = (entry.flags & kSdoFlagCyclic) | status;
  entry.type = uint8_t(msg.data[3]);
  return 1;
}

int SdoEntry_Read(int node, SdoEntry& entry, int format) {
  int index = 0, sub = 0;
  if (!SdoEntry_ParseAddress(entry, index, sub)) {
    entry.flags &= ~kSdoFlagCyclic;
    entry.type = kSdoTypeUnknown;
    return 0;
  }
  entry.value.clear();
  CanMsg msg;
  if (!Request(node, index, sub, msg)) return -1;
  const uint32_t status = msg.data[1] & 0xFF;
  if (status & kSdoFlagNotAvailable) {
    entry.value = "(?)";
    entry.type = kSdoTypeUnknown;
    entry.flags = status;  // not writable, not cyclic
    return 0;
  }
  entry.flags = (entry.flags & kSdoFlagCyclic) | status;
  entry.type = uint8_t(msg.data[3]);
  uint32_t value = 0;
  ValueBytes(msg, value);
  return SdoValue_Format(entry.type, value, SdoEntry_FormatFor(entry.subindex, format), entry.value) ? 1 : 0;
}

int SdoEntry_Write(int node, SdoEntry& entry) {
  int index = 0, sub = 0;
  if (!SdoEntry_ParseAddress(entry, index, sub)) {
    entry.type = kSdoTypeUnknown;
    return 0;
  }
  if (entry.type < T_BOOL || entry.type > T_REAL32) return 0;
  uint32_t v = 0;
  if (!ParseValue(entry, v)) {
    ShowError("Cannot write '%s': not a value of type %s", entry.value.c_str(), VornProt_DataTypeText(entry.type));
    return 0;
  }
  CanMsg msg;
  return VornProt_RequestMessage(msg, node, 8, VORN_CMD_OBJECT_WRITE_ACK,
                                 {(index >> 8) & 0xFF, index & 0xFF, sub, int(v & 0xFF), int((v >> 8) & 0xFF),
                                  int((v >> 16) & 0xFF), int(v >> 24)})
             ? 1
             : -1;
}

// ---- the page -----------------------------------------------------------------------------

namespace {

bool Factory() { return FactoryMode(); }

int MaxEntries() { return Factory() ? kSdoMaxEntries : kSdoMaxEntriesUser; }

bool WritableNotCyclic(const SdoEntry& e) { return (e.flags & kSdoFlagWritable) && !(e.flags & kSdoFlagCyclic); }

// Runs fn over the entries that pass `which`; at the first failed exchange
// Auto Update goes off and the run ends.
template <class Which, class Fn>
void Bulk(ModuleRec& module, SdoList& list, Which which, Fn fn) {
  for (int i = 0; i < list.count; ++i) {
    if (!which(list.entries[i])) continue;
    if (fn(list.entries[i]) < 0) {
      module.autoUpdate = 0;
      return;
    }
  }
}

bool RoomFor(const SdoList& list) {
  if (list.count < MaxEntries()) return true;
  ShowError("Too many SDOs (max. %d)", MaxEntries());
  return false;
}

}  // namespace

void SdoTab_TakeRows(SdoList& list, const SdoRowEdits& rows) {
  for (int r = 0; r < kSdoRows; ++r) {
    const int i = list.top + r;
    if (i < 0 || i >= list.count) continue;
    SdoEntry& e = list.entries[i];
    const SdoRowEdit& row = rows.rows[r];
    e.name = TextLines_CutChars(row.name, kSdoNameChars);
    e.index = TextLines_CutChars(row.index, kSdoIndexChars);
    e.subindex = TextLines_CutChars(row.subindex, kSdoSubChars);
    e.value = TextLines_CutChars(row.value, kSdoValueChars);
    e.flags = row.cyclic ? (e.flags | kSdoFlagCyclic) : (e.flags & ~kSdoFlagCyclic);
  }
}

SdoView SdoTab_View(const ModuleRec& module, const SdoList& list) {
  SdoView v;
  v.format = SdoFormat_Current();
  v.fixedFont = v.format != SDO_FORMAT_DEC;
  v.scrollVisible = Factory();
  v.scrollMax = std::max(0, list.count - 1);
  v.scrollPage = std::max(0, std::min(kSdoRows, list.count - list.top));
  v.scrollPos = list.top;
  v.autoUpdate = module.autoUpdate != 0;
  for (int r = 0; r < kSdoRows; ++r) {
    const int i = list.top + r;
    if (i < 0 || i >= list.count) continue;
    const SdoEntry& e = list.entries[i];
    SdoView::Row& row = v.rows[r];
    row.visible = true;
    row.cyclic = (e.flags & kSdoFlagCyclic) != 0;
    row.name = e.name;
    row.index = e.index;
    row.subindex = e.subindex;
    row.type = VornProt_DataTypeText(e.type);
    row.value = e.value;
    const bool watched = row.cyclic && v.autoUpdate;
    row.valueReadOnly = watched;
    row.readEnabled = !watched;
    row.writeEnabled = !watched && (e.flags & kSdoFlagWritable);
  }
  return v;
}

void SdoTab_Shown(const ModuleRec& module, SdoList& list) {
  list.count = 0;
  list.top = 0;
  Session_Part<SdoDisplay>().format = SDO_FORMAT_DEC;
  SdoListFile_Load(module, list);
  if (list.count == 0) list.entries[list.count++] = SdoEntry{};
  for (int i = 0; i < list.count; ++i)
    if (SdoEntry_Query(module.node, list.entries[i]) < 0) break;
}

void SdoTab_Hidden(const ModuleRec& module, SdoList& list, const SdoRowEdits& rows) {
  SdoTab_TakeRows(list, rows);
  SdoListFile_Save(module, list);
}

void SdoTab_ReadRow(ModuleRec& module, SdoList& list, const SdoRowEdits& rows, int row) {
  SdoTab_TakeRows(list, rows);
  const int i = list.top + row;
  if (i >= 0 && i < list.count) SdoEntry_Read(module.node, list.entries[i], SdoFormat_Current());
}

void SdoTab_WriteRow(ModuleRec& module, SdoList& list, const SdoRowEdits& rows, int row) {
  SdoTab_TakeRows(list, rows);
  const int i = list.top + row;
  if (i >= 0 && i < list.count) SdoEntry_Write(module.node, list.entries[i]);
}

void SdoTab_ReadAll(ModuleRec& module, SdoList& list, const SdoRowEdits& rows) {
  SdoTab_TakeRows(list, rows);
  const int format = SdoFormat_Current();
  Bulk(module, list, [](const SdoEntry&) { return true; },
       [&](SdoEntry& e) { return SdoEntry_Read(module.node, e, format); });
}

void SdoTab_WriteAll(ModuleRec& module, SdoList& list, const SdoRowEdits& rows) {
  SdoTab_TakeRows(list, rows);
  Bulk(module, list, WritableNotCyclic, [&](SdoEntry& e) { return SdoEntry_Write(module.node, e); });
}

void SdoTab_SetFormat(ModuleRec& module, SdoList& list, const SdoRowEdits& rows, const std::string& name) {
  SdoTab_TakeRows(list, rows);
  for (int f = SDO_FORMAT_DEC; f <= SDO_FORMAT_ASCII; ++f)
    if (name == SdoFormat_Name(f)) Session_Part<SdoDisplay>().format = f;
  const int format = SdoFormat_Current();
  Bulk(module, list, [](const SdoEntry& e) { return !WritableNotCyclic(e); },
       [&](SdoEntry& e) { return SdoEntry_Read(module.node, e, format); });
}

void SdoTab_Append(SdoList& list, const SdoRowEdits& rows) {
  SdoTab_TakeRows(list, rows);
  if (!RoomFor(list)) return;
  list.entries[list.count++] = SdoEntry{};
  list.top = std::max(0, list.count - kSdoRows);
}

void SdoTab_Insert(SdoList& list, const SdoRowEdits& rows, int row) {
  SdoTab_TakeRows(list, rows);
  const int at = list.top + row;
  if (at < 0 || at >= list.count || !RoomFor(list)) return;
  for (int i = list.count; i > at; --i) list.entries[i] = list.entries[i - 1];
  list.entries[at] = SdoEntry{};
  ++list.count;
  list.top = std::min(list.top, list.count - 1);
}

void SdoTab_Delete(SdoList& list, const SdoRowEdits& rows, int row) {
  SdoTab_TakeRows(list, rows);
  const int at = list.top + row;
  if (at < 0 || at >= list.count) return;
  if (list.count < 2) {
    list.entries[at] = SdoEntry{};
    return;
  }
  for (int i = at; i + 1 < list.count; ++i) list.entries[i] = list.entries[i + 1];
  list.entries[--list.count] = SdoEntry{};
  list.top = std::max(0, list.count - kSdoRows);
}

void SdoTab_SetAutoUpdate(ModuleRec& module, bool on) { module.autoUpdate = on ? 1 : 0; }

void SdoTab_Scroll(SdoList& list, const SdoRowEdits& rows, SdoScroll action, int thumb) {
  SdoTab_TakeRows(list, rows);
  int top = list.top;
  switch (action) {
    case SdoScroll::LineUp: --top; break;
    case SdoScroll::LineDown: ++top; break;
    case SdoScroll::PageUp: top -= kSdoRows; break;
    case SdoScroll::PageDown: top += kSdoRows; break;
    case SdoScroll::Thumb: top = thumb; break;
  }
  list.top = std::max(0, std::min(top, list.count - kSdoRows));
}

void SdoTab_Tick(ModuleRec& module, SdoList& list, const SdoRowEdits& rows) {
  if (!module.autoUpdate) return;
  SdoTab_TakeRows(list, rows);
  const int format = SdoFormat_Current();
  Bulk(module, list, [](const SdoEntry& e) { return (e.flags & kSdoFlagCyclic) != 0; },
       [&](SdoEntry& e) { return SdoEntry_Read(module.node, e, format); });
}
