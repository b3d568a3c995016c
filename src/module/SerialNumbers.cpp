#include "module/SerialNumbers.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <strings.h>

#include "core/AtomicFile.h"
#include "core/CanMsg.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "core/WideText.h"
#include "module/TextLines.h"
#include "platform/Paths.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "ui/Ui.h"

namespace {

constexpr const char* kUserKey = "NEXTUSERSERIAL=";
constexpr const char* kManufKey = "NEXTMANUFSERIAL=";
constexpr size_t kMaxFileLine = 1023;

const char* KindName(SerialKind kind) { return kind == SERIAL_USER ? "user" : "manufacturer"; }
uint16_t KnownBit(SerialKind kind) { return kind == SERIAL_USER ? kSerialUserKnown : kSerialManufKnown; }
int ObjectOf(SerialKind kind) { return kind == SERIAL_USER ? Wire::VORN_OBJ_USER_SERIAL : Wire::VORN_OBJ_MANUF_SERIAL; }
uint32_t& SerialOf(ModuleRec& rec, SerialKind kind) { return kind == SERIAL_USER ? rec.userSerial : rec.manufSerial; }

std::string Trim(const std::string& text) {
  size_t a = 0, b = text.size();
  while (a < b && std::isspace(static_cast<unsigned char>(text[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1]))) --b;
  return text.substr(a, b - a);
}

bool StartsHex(const std::string& text) { return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'); }

std::string NameText(const ModuleRec& rec) { return rec.typeInfo ? rec.typeInfo->orderCode : "(unknown)"; }

}  // namespace

// ---- numbers and the file ----------------------------------------------------------

bool SerialNumber_Parse(const std::string& input, uint32_t& value) {
  const std::string text = Trim(input);
  const bool hex = StartsHex(text);
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 10) return false;
  for (char c : digits)
    if (hex ? !std::isxdigit(static_cast<unsigned char>(c)) : !std::isdigit(static_cast<unsigned char>(c))) return false;
  errno = 0;
  const unsigned long long v = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
  if (errno != 0 || v > 0xFFFFFFFFull) return false;
  value = uint32_t(v);
  return true;
}

std::string SerialNumber_Text(uint32_t value, const std::string& like) {
  return StartsHex(Trim(like)) ? Text_Format("0x%08lx", (unsigned long)value) : Text_Format("%lu", (unsigned long)value);
}

std::string SerialFile_DefaultPath() { return Platform_HomeFile(GetProgramBaseName() + "-serial.txt"); }

std::string SerialFile_Path() {
  const std::string option = Text_Narrow(Option_GetWString("SERIALNUM_SAVE_FILE"));
  return option.empty() ? SerialFile_DefaultPath() : option;
}

SerialFileNumbers SerialFile_Read(const std::string& path) {
  SerialFileNumbers n;
  std::vector<std::string> lines;
  TextLines_Read(path, kMaxFileLine, lines);
  for (const std::string& raw : lines) {
    const std::string line = TextLines_ToUtf8(raw);
    if (line.rfind(kUserKey, 0) == 0) n.user = Trim(line.substr(std::char_traits<char>::length(kUserKey)));
    if (line.rfind(kManufKey, 0) == 0) n.manuf = Trim(line.substr(std::char_traits<char>::length(kManufKey)));
  }
  return n;
}

bool SerialFile_Write(const std::string& path, const SerialFileNumbers& numbers, bool factory) {
  std::string text = Text_Format("%s%s\n", kUserKey, numbers.user.c_str());
  if (factory) text += Text_Format("%s%s\n", kManufKey, numbers.manuf.c_str());
  return AtomicFile_Write(path, text);
}

// ---- the dialog --------------------------------------------------------------------------

void SerialNumbers::open() {
  path_ = SerialFile_Path();
  const SerialFileNumbers n = SerialFile_Read(path_);
  number[SERIAL_USER] = n.user;
  number[SERIAL_MANUF] = n.manuf;
  const int autoBits = Option_GetInt("SERIALNUM_AUTOINCR");
  autoIncrement[SERIAL_USER] = (autoBits & 1) != 0;
  autoIncrement[SERIAL_MANUF] = (autoBits & 2) != 0;
  hexDisplay = Option_GetInt("SERIALNUM_HEXDISPLAY") != 0;
  if (ModuleList_Count() == 0) ShowError("The Module list is emtpy");
  rows_.clear();
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec)) {
    rec->serialFlags = 0;
    rows_.push_back({rec, ""});
  }
  sortColumn_ = -1;
  sortBy(kSnColNode);
}

SerialFileNumbers SerialNumbers::numbers() const { return {number[SERIAL_USER], number[SERIAL_MANUF]}; }

void SerialNumbers::close() {
  Option_SetInt("SERIALNUM_AUTOINCR", (autoIncrement[SERIAL_USER] ? 1 : 0) | (autoIncrement[SERIAL_MANUF] ? 2 : 0));
  Option_SetInt("SERIALNUM_HEXDISPLAY", hexDisplay ? 1 : 0);
  SerialFile_Write(path_, numbers(), FactoryMode());
}

std::string SerialNumbers::columnTitle(int column) {
  static const char* const kTitles[kSnColumnCount] = {"Select", "CAN ID", "Module Name", "User Ser.", "Manuf. Ser.", "Result"};
  if (column < 0 || column >= kSnColumnCount) return "";
  const ModuleRec* first = ModuleList_Next(nullptr);
  if (column == kSnColNode && first && first->bus == 'l') return "LIN ID";
  return kTitles[column];
}

int SerialNumbers::columnWidth(int column) {
  static const int kWidths[kSnColumnCount] = {46, 50, 90, 80, 80, 250};
  return (column >= 0 && column < kSnColumnCount) ? kWidths[column] : 0;
}

std::string SerialNumbers::cellText(int row, int column) const {
  const SerialRow& r = rows_[size_t(row)];
  const ModuleRec& rec = *r.rec;
  auto serial = [&](uint16_t bit, uint32_t value) {
    if (!(rec.serialFlags & bit)) return std::string("(?)");
    return hexDisplay ? Text_Format("0x%08lX", (unsigned long)value) : Text_Format("%lu", (unsigned long)value);
  };
  switch (column) {
    case kSnColNode: return rec.node ? Text_Format("%d", rec.node) : "-";
    case kSnColName: return NameText(rec);
    case kSnColUser: return serial(kSerialUserKnown, rec.userSerial);
    case kSnColManuf: return serial(kSerialManufKnown, rec.manufSerial);
    case kSnColResult: return r.result;
    default: return "";
  }
}

bool SerialNumbers::selected(int row) const { return (rows_[size_t(row)].rec->serialFlags & kSerialSelected) != 0; }

bool SerialNumbers::readSerial(ModuleRec& rec, SerialKind kind, uint32_t& value, int& error) const {
  CanMsg msg;
  const int object = ObjectOf(kind);
  if (!VornProt_RequestMessage(msg, rec.node, 4, VORN_CMD_OBJECT_READ, {object >> 8, object & 0xFF, 0})) {
    error = 1;
    return false;
  }
  if (msg.data[1] & Wire::VORN_OBJECT_NOT_AVAILABLE) {
    error = 2;
    return false;
  }
  value = uint32_t(msg.data[4] & 0xFF) | uint32_t(msg.data[5] & 0xFF) << 8 | uint32_t(msg.data[6] & 0xFF) << 16 |
          uint32_t(msg.data[7] & 0xFF) << 24;
  error = 0;
  return true;
}

void SerialNumbers::refresh() {
  for (SerialRow& r : rows_) {
    for (SerialKind kind : {SERIAL_USER, SERIAL_MANUF}) {
      if (r.rec->serialFlags & KnownBit(kind)) continue;
      uint32_t value = 0;
      int error = 0;
      if (!readSerial(*r.rec, kind, value, error)) continue;
      SerialOf(*r.rec, kind) = value;
      r.rec->serialFlags |= KnownBit(kind);
    }
  }
}

void SerialNumbers::setSelected(int row, bool on) {
  uint16_t& flags = rows_[size_t(row)].rec->serialFlags;
  flags = on ? uint16_t(flags | kSerialSelected) : uint16_t(flags & ~kSerialSelected);
}

void SerialNumbers::deselectAll() {
  for (size_t i = 0; i < rows_.size(); ++i) setSelected(int(i), false);
  refresh();
}

void SerialNumbers::selectAll() {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].rec->serialFlags & (kSerialUserKnown | kSerialManufKnown)) setSelected(int(i), true);
  refresh();
}

void SerialNumbers::selectZero(SerialKind kind) {
  for (size_t i = 0; i < rows_.size(); ++i) {
    ModuleRec& rec = *rows_[i].rec;
    if ((rec.serialFlags & KnownBit(kind)) && SerialOf(rec, kind) == 0) setSelected(int(i), true);
  }
  refresh();
}

void SerialNumbers::sortBy(int column) {
  ascending_ = column == sortColumn_ ? !ascending_ : true;
  sortColumn_ = column;
  const bool byName = column == kSnColName;
  const bool up = ascending_;
  std::stable_sort(rows_.begin(), rows_.end(), [byName, up](const SerialRow& a, const SerialRow& b) {
    int c = byName ? strcasecmp(NameText(*a.rec).c_str(), NameText(*b.rec).c_str())
                   : (a.rec->node < b.rec->node ? -1 : a.rec->node > b.rec->node ? 1 : 0);
    return up ? c < 0 : c > 0;
  });
  refresh();
}

void SerialNumbers::chooseSaveFile() {
  UiFileRequest request;
  request.title = "Select Save File for Serial Number";
  request.filter = "TXT files (*.txt)|*.txt";
  request.initialPath = path_;
  while (request.initialPath.size() > 1 && request.initialPath.back() == '/') request.initialPath.pop_back();
  request.defaultExtension = "txt";
  std::string chosen;
  if (Ui_SaveFile(request, chosen) && !chosen.empty()) {
    path_ = chosen;
    Option_SetWString("SERIALNUM_SAVE_FILE", Text_Widen(chosen));
    SerialFile_Write(path_, numbers(), FactoryMode());
  }
  refresh();
}

bool SerialNumbers::apply(SerialKind kind) {
  if (running_ || (kind == SERIAL_MANUF && !FactoryMode())) return false;
  refresh();
  uint32_t value = 0;
  if (!SerialNumber_Parse(number[kind], value)) {
    ShowError("Can't read %s serial", KindName(kind));
    return false;
  }
  int count = 0;
  for (SerialRow& r : rows_) {
    r.result.clear();
    if (r.rec->serialFlags & kSerialSelected) ++count;
  }
  if (count == 0) {
    ShowError("No module(s) selected");
    return false;
  }
  const std::string question = Text_Format("Set %s serial in %d module%s?", KindName(kind), count, count == 1 ? "" : "s");
  if (Ui_MessageBox(question, "Start Setting Serial", UiButtons::OkCancel, UiIcon::Question) != UiAnswer::Ok)
    return false;
  running_ = true;
  readBack_ = false;
  kind_ = kind;
  row_ = 0;
  value_ = value;
  failures_ = 0;
  SetWaitCursor(1);
  return true;
}

void SerialNumbers::sendSerial(ModuleRec& rec, SerialKind kind, uint32_t value) const {
  uint8_t auth[3] = {0, 0, 0};
  if (kind == SERIAL_MANUF) Wire::VornSerialAuthorisation(rec.type, rec.node, auth);
  CanMsg msg;
  VornProt_SendMessage(msg, rec.node, 8, VORN_CMD_WRITE_SERIAL,
                       {auth[0], auth[1], auth[2], int(value >> 24), int((value >> 16) & 0xFF),
                        int((value >> 8) & 0xFF), int(value & 0xFF)});
}

bool SerialNumbers::step() {
  if (!running_) return false;
  if (!readBack_) {
    while (row_ < rows_.size() && !(rows_[row_].rec->serialFlags & kSerialSelected)) ++row_;
    if (row_ >= rows_.size()) {
      finish();
      return false;
    }
    SerialRow& r = rows_[row_];
    r.result = "Setting Serial";
    r.rec->serialFlags &= uint16_t(~KnownBit(kind_));
    sendSerial(*r.rec, kind_, value_);
    readBack_ = true;
    return true;
  }
  SerialRow& r = rows_[row_];
  uint32_t got = 0;
  int error = 0;
  if (readSerial(*r.rec, kind_, got, error) && got != value_) error = 3;
  if (error) {
    ++failures_;
    r.rec->serialFlags = kSerialSelected;
    r.result = Text_Format("Error: Cannot set %s serial (Err #%d)", KindName(kind_), error);
  } else {
    r.rec->serialFlags = uint16_t((r.rec->serialFlags & ~kSerialSelected) | KnownBit(kind_));
    SerialOf(*r.rec, kind_) = got;
    r.result = "Ok";
    if (autoIncrement[kind_]) ++value_;
  }
  number[kind_] = SerialNumber_Text(value_, number[kind_]);
  readBack_ = false;
  ++row_;
  return true;
}

void SerialNumbers::finish() {
  running_ = false;
  SerialFile_Write(path_, numbers(), FactoryMode());
  SetWaitCursor(0);
  refresh();
  if (failures_ == 0)
    Ui_MessageBox("Setting serial finished, all modules ok.", "Setting serial finished", UiButtons::Ok,
                  UiIcon::Information);
  else
    Ui_MessageBox(Text_Format("Error: %d module(s) failed.", failures_), "Setting serial finished with errors",
                  UiButtons::Ok, UiIcon::Warning);
}
