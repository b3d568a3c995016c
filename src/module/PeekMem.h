// The "Peek Memory" page: a hex dump of a module's program flash or data
// EEPROM, read through the bootloader's block transfers. The dump is read one
// block-transfer request per step, so the page stays responsive however long
// the range is; the page calls PeekDump::step() from a zero-interval timer
// until it returns false, and may cancel in between.
//
//   page shown:   view = PeekMem_Shown(*module);        // fields, CPU text, hint
//   page hidden:  PeekMem_StoreFields(fields);          // the options
//   "Read":       if (dump.start(*module, fields, toFile)) timer.start(0);
//   timer:        if (!dump.step()) timer.stop();  show dump.text(), dump.percent()
//   "Cancel":     dump.cancel();                        // ends at the next step
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ModuleRec;

inline constexpr int kPeekMemTypeFlash = 0;
inline constexpr int kPeekMemTypeEeprom = 1;
inline constexpr int kPeekMemTypeCount = 2;
inline constexpr long kPeekMemMaxAddress = 0xFFFFFF;
// The dump text's size, and the size at which reading stops.
inline constexpr int kPeekMemDumpSize = 400000;
inline constexpr int kPeekMemDumpStop = 399920;

// "Program Flash Memory", "Data EEPROM Memory" (list order = type byte).
const char* PeekMem_TypeName(int type);

// A number field: hexadecimal from the character after an "x" when the text
// holds one, else decimal; unreadable text gives 0.
long ParseNumber(const std::string& field);
// The field limits: start 0..0xFFFFFF, length 1..0xFFFFFF, memory type 0..1
// (anything else becomes 0).
long PeekMem_LimitStart(long start);
long PeekMem_LimitLength(long length);
int PeekMem_LimitMemType(long type);

// How a dump is laid out, by processor and memory type.
enum class PeekLayout {
  Bytes,    // "%02X " per byte, 16 a line
  Words24,  // dsPIC program flash: 4 transfer bytes per word, 4 words a line
  Words16,  // dsPIC30F data EEPROM: 2 transfer bytes per word, 8 words a line
};
PeekLayout PeekMem_Layout(int cpuCode, int memType);

// The page's fields as the user edits them.
struct PeekFields {
  int memType = 0;
  std::string start;   // "0x%x"
  std::string length;  // "%d"
};
// The options, limited, as the fields show them.
PeekFields PeekMem_FieldsFromOptions();
// Reads and limits the fields, writes them back in their shown form
// ("0x%lx", "%ld") and stores the three options.
void PeekMem_StoreFields(PeekFields& fields);

// What the page shows when it becomes visible.
struct PeekShownView {
  PeekFields fields;
  std::string cpuText;  // "CPU type: %s", "CPU type: (?)"
  std::string dump;     // empty, or the hint for a module running its firmware
  bool readEnabled = false;
};
// Loads the fields, asks the module for its state and processor (request
// 0x85) and marks the write dialog's fields for reloading.
PeekShownView PeekMem_Shown(ModuleRec& module);

// The text for a module that runs its firmware.
extern const char* const kPeekMemFirmwareHint;

// One dump, read request by request.
class PeekDump {
 public:
  // "Read": with toFile, asks for the file first (Cancel: false, nothing
  // read). Stores the fields, asks the module for its processor (failure:
  // false, the dump stays empty), chooses the layout (a word layout makes the
  // start even; fields.start shows it) and starts the block transfer. True
  // when step() is to be called; a dump that ended already (the start could
  // not be sent) is complete in text() and step() returns false.
  bool start(ModuleRec& module, PeekFields& fields, bool toFile);
  // One read request and what it brings into the dump. False when the dump is
  // complete: then the file (if any) has been written.
  bool step();
  // Ends the dump at the next step with a closing line.
  void cancel() { cancelled_ = true; }

  bool running() const { return running_; }
  // The last start() ended at the file question (Cancel): nothing changed.
  bool declined() const { return declined_; }
  const std::string& text() const { return text_; }
  const std::string& cpuText() const { return cpuText_; }
  // Share of the range read so far, 0..100.
  int percent() const;
  int requests() const { return requests_; }

 private:
  void header();
  void item(const uint8_t* bytes);
  void finish(const char* closingLine);
  int itemBytes() const;

  int node_ = 0;
  PeekLayout layout_ = PeekLayout::Bytes;
  long address_ = 0;
  long start_ = 0;
  long end_ = 0;
  long index_ = 0;  // items written so far
  std::vector<uint8_t> pending_;
  std::string text_;
  std::string cpuText_;
  std::string file_;
  bool running_ = false;
  bool cancelled_ = false;
  bool declined_ = false;
  int requests_ = 0;
};

// ---- the write dialog ("Write to memory") -------------------------------------

// At most this many values in the data field.
inline constexpr int kPeekWriteMaxValues = 1024;

// What the write dialog shows: memory type, start, data and hint line.
struct PeekWriteFields {
  int memType = 0;
  std::string start;
  std::string data;
  std::string hint;
};
// The hint line before anything was written.
extern const char* const kPeekWriteHint;

// Opening: the values of the last use, or, when the peek page has been shown
// since then, memory type and start from the options and empty data.
PeekWriteFields PeekWrite_Open();
// "Write Data": checks and writes the data into the module's EEPROM. The
// fields come back as shown afterwards (start normalised, hint line with the
// result) and are kept for the next opening.
void PeekWrite_Write(const ModuleRec& module, PeekWriteFields& fields);
// "Close": keeps the fields for the next opening.
void PeekWrite_Close(const PeekWriteFields& fields);
