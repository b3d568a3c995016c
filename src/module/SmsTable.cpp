#include "module/SmsTable.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/AtomicFile.h"
#include "core/CanMsg.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "core/WideText.h"
#include "module/SmsListFile.h"
#include "module/TextLines.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "ui/Ui.h"

namespace {

constexpr uint8_t kErased = 0xFF;
constexpr int kPhoneField = kSmsPhoneMax + 1;  // with its NUL
constexpr int kTextField = kSmsTextMax + 1;

// A NUL-terminated field of a record as bytes.
std::string Field(const uint8_t* record, int offset, int size) {
  const uint8_t* p = record + offset;
  const void* nul = std::memchr(p, 0, size_t(size));
  const size_t n = nul ? size_t(static_cast<const uint8_t*>(nul) - p) : size_t(size);
  return std::string(reinterpret_cast<const char*>(p), n);
}

void SetField(uint8_t* record, int offset, int size, const std::string& latin1) {
  std::memset(record + offset, 0, size_t(size));
  std::memcpy(record + offset, latin1.data(), std::min(latin1.size(), size_t(size - 1)));
}

bool ReadLayoutValue(int node, int subindex, int32_t& value, int32_t* memType, bool& exchanged) {
  CanMsg msg;
  exchanged = VornProt_RequestMessage(msg, node, 4, VORN_CMD_OBJECT_READ,
                                      {(kSmsLayoutIndex >> 8) & 0xFF, kSmsLayoutIndex & 0xFF, subindex}) != 0;
  if (!exchanged || (msg.data[1] & Wire::VORN_OBJECT_NOT_AVAILABLE)) return false;
  value = int32_t(msg.data[4] | (msg.data[5] << 8) | (msg.data[6] << 16));
  if (memType) *memType = int32_t(msg.data[7]);
  return true;
}

int StartTransfer(const SmsState& sms, int node, int index) {
  CanMsg msg;
  const uint32_t a = uint32_t(sms.baseAddress) + uint32_t(index) * uint32_t(sms.entrySize);
  return VornProt_SendMessage(msg, node, 8, VORN_CMD_BLOCK_START,
                              {sms.memType, 0, 0, int(a >> 24), int((a >> 16) & 0xFF), int((a >> 8) & 0xFF),
                               int(a & 0xFF)});
}

bool IndexOk(const SmsState& sms, int index, const char* format) {
  const int limit = std::min(int(sms.count), kSmsMaxEntries);
  if (index >= 0 && index < limit) return true;
  ShowError(format, index, limit);
  return false;
}

// Stores one edited field; a field too long is reported (with `format`) and cut.
void TakeField(uint8_t* record, int offset, int maxChars, const std::string& utf8, const char* format,
               int index) {
  std::string latin1 = TextLines_Utf8ToLatin1(utf8);
  if (int(latin1.size()) > maxChars) {
    ShowErrorBox(format, index, maxChars);
    latin1.resize(size_t(maxChars));
  }
  // An unchanged field keeps its bytes (whatever follows its NUL), so that
  // only edited entries differ from what the module holds.
  if (latin1 != Field(record, offset, maxChars + 1)) SetField(record, offset, maxChars + 1, latin1);
}

std::string OptionPath() {
  std::string path = Text_Narrow(Option_GetWString("SMS_LOADSAVE_FILE"));
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

UiFileRequest FileRequest(const char* title) {
  UiFileRequest r;
  r.title = title;
  r.filter = "SMS files (*.xml)|*.xml|All files (*.*)|*.*";
  r.initialPath = OptionPath();
  r.defaultExtension = "xml";
  return r;
}

}  // namespace

std::string SmsTab_Phone(const SmsState& sms, int index) {
  if (index < 0 || index >= kSmsMaxEntries) return "";
  return TextLines_Latin1ToUtf8(Field(sms.records[index], kSmsPhoneOffset, kPhoneField));
}

std::string SmsTab_Text(const SmsState& sms, int index) {
  if (index < 0 || index >= kSmsMaxEntries) return "";
  return TextLines_Latin1ToUtf8(Field(sms.records[index], kSmsTextOffset, kTextField));
}

SmsView SmsTab_Show(const SmsState& sms) {
  SmsView v;
  v.buttonsVisible = sms.count >= 1;
  v.scrollMax = std::max(0, sms.count - 1);
  v.scrollPage = std::max(0, std::min(kSmsRows, sms.count - sms.first));
  v.scrollPos = sms.first;
  for (int r = 0; r < kSmsRows; ++r) {
    const int i = sms.first + r;
    if (i >= sms.count) continue;
    v.rows[r].visible = true;
    v.rows[r].number = Text_Format("%d", i);
    v.rows[r].phone = SmsTab_Phone(sms, i);
    v.rows[r].text = SmsTab_Text(sms, i);
  }
  return v;
}

void SmsTab_Shown(const ModuleRec& module, SmsState& sms) {
  sms.count = 0;
  sms.entrySize = sms.baseAddress = sms.memType = -1;
  int32_t count = -1;
  bool exchanged = true;
  const struct {
    int sub;
    int32_t* value;
    int32_t* memType;
  } reads[] = {{kSmsSubCount, &count, &sms.memType}, {kSmsSubBase, &sms.baseAddress, nullptr},
               {kSmsSubSize, &sms.entrySize, nullptr}};
  // After a failed exchange the module is not asked again (one report is enough).
  for (const auto& r : reads)
    if (exchanged) ReadLayoutValue(module.node, r.sub, *r.value, r.memType, exchanged);
  const bool known = count >= 0 && sms.baseAddress >= 0 && sms.entrySize > 0 && sms.memType >= 0;
  sms.count = known ? std::min(count, int32_t(kSmsMaxEntries)) : 0;
  sms.first = 0;
  if (sms.count > 0) SmsTab_ReadAll(module, sms);
  sms.first = 0;
}

int SmsTab_ReadEntry(const ModuleRec& module, SmsState& sms, int index) {
  if (!IndexOk(sms, index, "Cannot load SMS idx %d from module (max. %d)")) return 0;
  if (StartTransfer(sms, module.node, index) != 0) {
    ShowError("Module SMS read error");
    return 0;
  }
  uint8_t bytes[kSmsRecordSize + 7];
  for (int at = 0; at < kSmsRecordSize; at += 7) {
    CanMsg msg;
    if (!VornProt_RequestMessage(msg, module.node, 1, VORN_CMD_BLOCK_READ)) {
      ShowError("Module SMS read error");
      return 0;
    }
    for (int i = 0; i < 7; ++i) bytes[at + i] = uint8_t(msg.data[i + 1]);
  }
  uint8_t* record = sms.records[index];
  std::memcpy(record, bytes, kSmsRecordSize);
  // Erased EEPROM reads as an empty field; fields are cut at their limits.
  if (record[kSmsPhoneOffset] == kErased) record[kSmsPhoneOffset] = 0;
  record[kSmsPhoneOffset + kSmsPhoneMax] = 0;
  if (record[kSmsTextOffset] == kErased) record[kSmsTextOffset] = 0;
  record[kSmsTextOffset + kSmsTextMax] = 0;
  std::memcpy(sms.copies[index], record, kSmsRecordSize);
  return 1;
}

int SmsTab_WriteEntry(const ModuleRec& module, SmsState& sms, int index, bool onlyIfChanged) {
  if (!IndexOk(sms, index, "Cannot write SMS idx %d to module (max. %d)")) return 0;
  const uint8_t* record = sms.records[index];
  if (onlyIfChanged && std::memcmp(record, sms.copies[index], kSmsRecordSize) == 0) return 1;
  if (StartTransfer(sms, module.node, index) != 0) {
    ShowError("Cannot write module eeprom");
    return 0;
  }
  // A module entry larger than the record gets the record only.
  const int size = std::min(int(sms.entrySize), kSmsRecordSize);
  CanMsg msg;
  int at = 0;
  for (; size - at > 6; at += 7) {
    const uint8_t* b = record + at;
    if (!VornProt_RequestMessage(msg, module.node, 8, VORN_CMD_BLOCK_WRITE_ACK,
                                 {b[0], b[1], b[2], b[3], b[4], b[5], b[6]})) {
      ShowError("Module SMS write error");
      return 0;
    }
  }
  if (size > at) {
    int six[6] = {};
    for (int i = 0; i < 6 && at + i < kSmsRecordSize; ++i) six[i] = record[at + i];
    if (!VornProt_RequestMessage(msg, module.node, 8, VORN_CMD_BLOCK_WRITE_LAST,
                                 {size - at, six[0], six[1], six[2], six[3], six[4], six[5]})) {
      ShowError("Module SMS write error");
      return 0;
    }
  }
  std::memcpy(sms.copies[index], record, kSmsRecordSize);
  return 1;
}

void SmsTab_TakeEdits(SmsState& sms, const SmsRowEdits& rows) {
  for (int r = 0; r < kSmsRows; ++r) {
    const int i = sms.first + r;
    if (i < 0 || i >= sms.count) continue;
    TakeField(sms.records[i], kSmsPhoneOffset, kSmsPhoneMax, rows.phone[r],
              "Phone number of outgoing SMS %d\nis too long (max. %d chars),\ntruncated", i);
    TakeField(sms.records[i], kSmsTextOffset, kSmsTextMax, rows.text[r],
              "Text of outgoing SMS %d\nis too long (max. %d chars),\ntruncated", i);
  }
}

void SmsTab_Scroll(SmsState& sms, const SmsRowEdits& rows, SmsScroll action, int thumb) {
  SmsTab_TakeEdits(sms, rows);
  const int last = std::max(0, sms.count - kSmsRows);
  switch (action) {
    case SmsScroll::LineUp: sms.first = std::max(0, sms.first - 1); break;
    case SmsScroll::PageUp: sms.first = std::max(0, sms.first - kSmsRows); break;
    case SmsScroll::LineDown: sms.first = std::max(0, std::min(last, sms.first + 1)); break;
    case SmsScroll::PageDown: sms.first = std::max(0, std::min(last, sms.first + kSmsRows)); break;
    case SmsScroll::Thumb: sms.first = std::max(0, std::min(thumb, std::max(0, sms.count - 1))); break;
  }
}

void SmsTab_ReadAll(const ModuleRec& module, SmsState& sms) {
  SetWaitCursor(1);
  for (int i = 0; i < sms.count; ++i)
    if (!SmsTab_ReadEntry(module, sms, i)) break;
  SetWaitCursor(0);
}

void SmsTab_WriteAll(const ModuleRec& module, SmsState& sms, const SmsRowEdits& rows) {
  SmsTab_TakeEdits(sms, rows);
  SetWaitCursor(1);
  for (int i = 0; i < sms.count; ++i)
    if (!SmsTab_WriteEntry(module, sms, i, true)) break;
  SetWaitCursor(0);
}

void SmsFile_SaveTo(const SmsState& sms, const std::string& path) {
  std::vector<SmsFileEntry> entries;
  for (int i = 0; i < sms.count; ++i)
    entries.push_back({Field(sms.records[i], kSmsPhoneOffset, kPhoneField),
                       Field(sms.records[i], kSmsTextOffset, kTextField)});
  if (!AtomicFile_Write(path, SmsFile_Format(entries)))
    ShowErrorBox("Cannot write SMS data file\n'%s'", path.c_str());
}

void SmsFile_Save(SmsState& sms, const SmsRowEdits& rows) {
  SmsTab_TakeEdits(sms, rows);
  std::string path;
  if (!Ui_SaveFile(FileRequest("Save SMS data to file"), path) || path.empty()) return;
  Option_SetWString("SMS_LOADSAVE_FILE", Text_Widen(path));
  SmsFile_SaveTo(sms, path);
}

void SmsFile_LoadFrom(SmsState& sms, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ShowErrorBox("Cannot read SMS data file\n'%s'", path.c_str());
    return;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  for (int i = 0; i < sms.count; ++i) {
    SetField(sms.records[i], kSmsPhoneOffset, kPhoneField, "");
    SetField(sms.records[i], kSmsTextOffset, kTextField, "");
  }
  const SmsFileContents file = SmsFile_Parse(bytes.str(), sms.count);
  for (size_t n = 0; n < file.entries.size(); ++n) {
    const int i = int(n);
    std::string phone = file.entries[n].phone, text = file.entries[n].text;
    if (file.phoneSeen[n]) {
      if (int(phone.size()) > kSmsPhoneMax) {
        ShowErrorBox("SMS %d:\nphone number too long (max. %d chars),\ntruncated", i, kSmsPhoneMax);
        phone.resize(kSmsPhoneMax);
      }
      SetField(sms.records[i], kSmsPhoneOffset, kPhoneField, phone);
    }
    if (file.textSeen[n]) {
      if (int(text.size()) > kSmsTextMax) {
        ShowErrorBox("SMS %d:\ntext too long (max. %d chars),\ntruncated", i, kSmsTextMax);
        text.resize(kSmsTextMax);
      }
      SetField(sms.records[i], kSmsTextOffset, kTextField, text);
    }
  }
  if (file.tooMany) ShowErrorBox("Too many SMS' in file,\nskipping them");
  sms.first = 0;
}

void SmsFile_Load(SmsState& sms) {
  std::string path;
  if (!Ui_OpenFile(FileRequest("Load SMS data from file"), path) || path.empty()) return;
  Option_SetWString("SMS_LOADSAVE_FILE", Text_Widen(path));
  SmsFile_LoadFrom(sms, path);
}
