// The "SDOs" page: a list of a module's object entries (index and subindex)
// whose values the technician reads, writes and watches, through the module
// protocol's object access command. The list lives in the dialog's shared
// area (SdoList) and in a list file per module type (SdoListFile.h); the
// display format is one for all SDO pages of the program.
//
// The page shows eight rows from `top` on. Before every command it hands its
// rows' fields over (SdoRowEdits); after it, it shows SdoTab_View():
//
//   shown:     SdoTab_Shown(*module, list);     timer at AUTOUPDATE_INTERVAL_MS
//   hidden:    SdoTab_Hidden(*module, list, rows);
//   timer:     SdoTab_Tick(*module, list, rows);
//   buttons:   SdoTab_ReadRow / WriteRow / ReadAll / WriteAll / SetFormat /
//              Append / Insert / Delete / Scroll / SetAutoUpdate
#pragma once

#include <cstdint>
#include <string>

struct ModuleRec;
struct CanMsg;

inline constexpr int kSdoMaxEntries = 64;
inline constexpr int kSdoMaxEntriesUser = 2;  // outside factory mode
inline constexpr int kSdoRows = 8;
inline constexpr uint32_t kSdoFlagWritable = 0x01;
inline constexpr uint32_t kSdoFlagNotAvailable = 0x80;
inline constexpr uint32_t kSdoFlagCyclic = 0x100;
inline constexpr uint8_t kSdoTypeUnknown = 255;
// Field lengths in characters.
inline constexpr int kSdoNameChars = 40, kSdoIndexChars = 10, kSdoSubChars = 10, kSdoValueChars = 16;

struct SdoEntry {
  uint32_t flags = 0;  // bit 0 writable, bit 8 cyclic, other low bits the module's status
  std::string name;
  std::string index;
  std::string subindex;
  uint8_t type = kSdoTypeUnknown;
  std::string value;
};

// Kept in the module dialog's shared area while the dialog is open.
struct SdoList {
  int32_t count = 0;
  int32_t top = 0;
  SdoEntry entries[kSdoMaxEntries];
};

// The display format of all SDO pages.
enum SdoFormat { SDO_FORMAT_DEC = 0, SDO_FORMAT_HEX = 1, SDO_FORMAT_ASCII = 2 };
// "Dec", "Hex", "Ascii": the format box's entries in this order.
const char* SdoFormat_Name(int format);
int SdoFormat_Current();

// ---- number syntax ------------------------------------------------------------
// Width of the field a text is parsed for: 1 (the 1-byte types), 2 or 4 bytes.
// "0x" + hexadecimal digits; a double quote + characters (1 byte: one
// character; 2 bytes: first x 256 + second; 4 bytes: four characters from the
// most significant byte down, missing ones 0; a closing quote is not one of
// them); else a decimal number. The value must fit the width, signed or
// unsigned. False for anything else.
bool SdoNumber_Parse(const std::string& text, int widthBytes, int64_t& value);
// A REAL32 value: a floating-point number, or "0x" + hexadecimal digits whose
// value becomes the float.
bool SdoNumber_ParseReal(const std::string& text, float& value);
// Index (0..0xFFFF) and subindex (0..255, with the prefixes "0x" hexadecimal
// and "0a" decimal for the character form).
bool SdoEntry_ParseAddress(const SdoEntry& entry, int& index, int& subindex);
// The format a subindex text selects: "0x" Hex, "0a" Ascii, else `format`.
int SdoEntry_FormatFor(const std::string& subindex, int format);
// The value text of a read reply's value bytes for a data type in a format;
// false for types without a value text (STRING, PDOCOMPAR, unknown codes).
bool SdoValue_Format(uint8_t type, uint32_t value, int format, std::string& text);

// ---- one entry -------------------------------------------------------------------
// Reads the entry (request 0xB4) and formats its value: 1 ok, 0 not readable
// (bad address, not available, a type without value text), -1 exchange failed
// (reported).
int SdoEntry_Read(int node, SdoEntry& entry, int format);
// Writes the entry's value by its type (request 0x74): 1 acknowledged, 0
// nothing sent (bad address; a value that does not parse is reported), -1
// exchange failed (reported).
int SdoEntry_Write(int node, SdoEntry& entry);
// The read on showing: status and type only; 1, 0 or -1 as above.
int SdoEntry_Query(int node, SdoEntry& entry);

// ---- the page ----------------------------------------------------------------------
struct SdoRowEdit {
  bool cyclic = false;
  std::string name, index, subindex, value;
};
struct SdoRowEdits {
  SdoRowEdit rows[kSdoRows];
};

struct SdoView {
  int format = SDO_FORMAT_DEC;
  bool fixedFont = false;  // value fields in the fixed-pitch font (Hex, Ascii)
  bool scrollVisible = false;
  int scrollMax = 0, scrollPage = 0, scrollPos = 0;
  bool autoUpdate = false;
  struct Row {
    bool visible = false;
    bool cyclic = false;
    std::string name, index, subindex, type, value;
    bool valueReadOnly = false;
    bool readEnabled = false;
    bool writeEnabled = false;
  } rows[kSdoRows];
};
SdoView SdoTab_View(const ModuleRec& module, const SdoList& list);

// Showing: the list from the file of the module's type (one empty entry when
// there is none), format Dec, every entry queried until one exchange fails.
void SdoTab_Shown(const ModuleRec& module, SdoList& list);
// Hiding: the rows into the entries, the list into its file.
void SdoTab_Hidden(const ModuleRec& module, SdoList& list, const SdoRowEdits& rows);
// The visible rows' fields into their entries (cut to the field lengths).
void SdoTab_TakeRows(SdoList& list, const SdoRowEdits& rows);

void SdoTab_ReadRow(ModuleRec& module, SdoList& list, const SdoRowEdits& rows, int row);
void SdoTab_WriteRow(ModuleRec& module, SdoList& list, const SdoRowEdits& rows, int row);
// Bulk commands stop at the first failed exchange and switch Auto Update off.
void SdoTab_ReadAll(ModuleRec& module, SdoList& list, const SdoRowEdits& rows);
void SdoTab_WriteAll(ModuleRec& module, SdoList& list, const SdoRowEdits& rows);
// The format box: the format whose name is `name`, then every entry but the
// writable, not cyclic ones is read again.
void SdoTab_SetFormat(ModuleRec& module, SdoList& list, const SdoRowEdits& rows, const std::string& name);
void SdoTab_Append(SdoList& list, const SdoRowEdits& rows);
void SdoTab_Insert(SdoList& list, const SdoRowEdits& rows, int row);
void SdoTab_Delete(SdoList& list, const SdoRowEdits& rows, int row);
void SdoTab_SetAutoUpdate(ModuleRec& module, bool on);

enum class SdoScroll { LineUp, LineDown, PageUp, PageDown, Thumb };
void SdoTab_Scroll(SdoList& list, const SdoRowEdits& rows, SdoScroll action, int thumb = 0);

// The refresh timer: with Auto Update on, reads every cyclic entry.
void SdoTab_Tick(ModuleRec& module, SdoList& list, const SdoRowEdits& rows);
