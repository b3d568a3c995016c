// The "SMS" page: a module's table of outgoing text messages (phone number
// and text per entry) in its EEPROM. The layout (entry count, base address,
// entry size, memory type) comes from object 0x3008; entries are read and
// written with block transfers, and loaded from and saved to SMS list files.
//
// The page keeps an SmsState in its dialog's shared area and passes its four
// rows' edit fields (UTF-8) to every action that takes the edits first:
//
//   shown:    SmsTab_Shown(*module, sms);            then show SmsTab_Show(sms)
//   hidden:   SmsTab_TakeEdits(sms, rows);
//   scroll:   SmsTab_Scroll(sms, rows, action, thumb);
//   buttons:  SmsTab_ReadAll / SmsTab_WriteAll / SmsFile_Save / SmsFile_Load
#pragma once

#include <cstdint>
#include <string>

struct ModuleRec;

inline constexpr int kSmsMaxEntries = 32;
inline constexpr int kSmsRecordSize = 192;
inline constexpr int kSmsPhoneOffset = 4;
inline constexpr int kSmsPhoneMax = 25;
inline constexpr int kSmsTextOffset = 30;
inline constexpr int kSmsTextMax = 160;
inline constexpr int kSmsRows = 4;
// The layout object and its subindices.
inline constexpr int kSmsLayoutIndex = 0x3008;
inline constexpr int kSmsSubCount = 8, kSmsSubBase = 9, kSmsSubSize = 10;

// Kept in the module dialog's shared area while the dialog is open.
struct SmsState {
  int32_t count = 0;   // entries of the module, at most kSmsMaxEntries; 0 when unknown
  int32_t first = 0;   // first visible entry
  int32_t entrySize = -1, baseAddress = -1, memType = -1;  // -1 until read
  uint8_t records[kSmsMaxEntries][kSmsRecordSize] = {};
  uint8_t copies[kSmsMaxEntries][kSmsRecordSize] = {};  // as last read from or written to the module
};

// Phone number and text of an entry as UTF-8.
std::string SmsTab_Phone(const SmsState& sms, int index);
std::string SmsTab_Text(const SmsState& sms, int index);

// The four rows' edit fields, UTF-8.
struct SmsRowEdits {
  std::string phone[kSmsRows];
  std::string text[kSmsRows];
};

struct SmsView {
  bool buttonsVisible = false;  // at least one entry
  int scrollMax = 0, scrollPage = 0, scrollPos = 0;
  struct Row {
    bool visible = false;
    std::string number, phone, text;
  } rows[kSmsRows];
};
SmsView SmsTab_Show(const SmsState& sms);

// Reads the layout, then every entry (stopping at the first failure); the
// first entry becomes the first visible one.
void SmsTab_Shown(const ModuleRec& module, SmsState& sms);
// 1 or 0 (reported).
int SmsTab_ReadEntry(const ModuleRec& module, SmsState& sms, int index);
int SmsTab_WriteEntry(const ModuleRec& module, SmsState& sms, int index, bool onlyIfChanged);
// The rows' fields into their entries; too long fields are reported and cut.
void SmsTab_TakeEdits(SmsState& sms, const SmsRowEdits& rows);

enum class SmsScroll { LineUp, LineDown, PageUp, PageDown, Thumb };
void SmsTab_Scroll(SmsState& sms, const SmsRowEdits& rows, SmsScroll action, int thumb = 0);

// "Read from module": every entry, stopping at the first failure.
void SmsTab_ReadAll(const ModuleRec& module, SmsState& sms);
// "Write to module": the edits, then every changed entry, stopping at the first failure.
void SmsTab_WriteAll(const ModuleRec& module, SmsState& sms, const SmsRowEdits& rows);
// "Save to file" and "Load from file": ask for the file, then save or load.
void SmsFile_Save(SmsState& sms, const SmsRowEdits& rows);
void SmsFile_Load(SmsState& sms);
// The same without the file dialog (the option SMS_LOADSAVE_FILE is set).
void SmsFile_SaveTo(const SmsState& sms, const std::string& path);
void SmsFile_LoadFrom(SmsState& sms, const std::string& path);
