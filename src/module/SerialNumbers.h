// The "Module Serial Number" dialog: writes user serial numbers and, in
// factory mode, manufacturer serial numbers into the listed modules in one
// pass, reads them back to check, and keeps the next number in a small text
// file so that numbering continues across program runs.
//
// The dialog keeps one SerialNumbers object. Programming is a state machine:
// after apply() returned true the dialog calls step() every 50 ms
// (kSerialStepMs) until it returns false, then shows the rows again.
//
//   open:     sn.open();                       rows: sn.rows(), sn.cellText(r, c)
//   check box: sn.setSelected(r, on); sn.refresh();
//   buttons:  sn.deselectAll() ... sn.apply(SERIAL_USER) ... sn.chooseSaveFile()
//   close:    sn.close();
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ModuleRec;

enum SerialKind { SERIAL_USER = 0, SERIAL_MANUF = 1 };

// ModuleRec::serialFlags while the dialog is open.
inline constexpr uint16_t kSerialUserKnown = 0x01;
inline constexpr uint16_t kSerialManufKnown = 0x02;
inline constexpr uint16_t kSerialSelected = 0x80;

inline constexpr int kSerialStepMs = 50;

enum SerialColumn { kSnColSelect, kSnColNode, kSnColName, kSnColUser, kSnColManuf, kSnColResult, kSnColumnCount };

// ---- numbers and the serial file -------------------------------------------------
// "0x" + hexadecimal, else unsigned decimal; false when unreadable or beyond 32 bits.
bool SerialNumber_Parse(const std::string& text, uint32_t& value);
// "0x%08lx" when `like` begins with 0x, else "%lu".
std::string SerialNumber_Text(uint32_t value, const std::string& like);

struct SerialFileNumbers {
  std::string user = "0";
  std::string manuf = "0";
};
// "<home>/<program>-serial.txt"
std::string SerialFile_DefaultPath();
// SERIALNUM_SAVE_FILE, or the default when it is empty.
std::string SerialFile_Path();
// The NEXTUSERSERIAL= and NEXTMANUFSERIAL= lines; "0" for what is missing.
SerialFileNumbers SerialFile_Read(const std::string& path);
// Both lines in factory mode, else the user line only. False when it cannot be written.
bool SerialFile_Write(const std::string& path, const SerialFileNumbers& numbers, bool factory);

struct SerialRow {
  ModuleRec* rec = nullptr;
  std::string result;
};

class SerialNumbers {
 public:
  // Reads the file and the options, one row per listed module by node, the
  // serials read. "The Module list is emtpy" when there is none.
  void open();
  // "Close": stores the options and writes the file.
  void close();

  // ---- what the dialog shows ----
  const std::vector<SerialRow>& rows() const { return rows_; }
  std::string cellText(int row, int column) const;
  static std::string columnTitle(int column);  // "CAN ID" or "LIN ID" by the modules' bus
  static int columnWidth(int column);
  bool selected(int row) const;
  bool running() const { return running_; }
  bool applyEnabled() const { return !running_ && !rows_.empty(); }

  // The two number fields, their "Auto Increment" boxes, "Display serial in hex".
  std::string number[2];
  bool autoIncrement[2] = {false, false};
  bool hexDisplay = false;
  const std::string& filePath() const { return path_; }

  // ---- actions (each refreshes: unknown serials are read) ----
  void refresh();
  void setSelected(int row, bool on);
  void deselectAll();
  void selectAll();                 // modules with at least one known serial
  void selectZero(SerialKind kind); // modules whose known serial of that kind is 0
  void sortBy(int column);          // "Module Name" by order code, others by node; again reverses
  // "Select save file for serial...": the chosen file is used and written at once.
  void chooseSaveFile();

  // "Apply to selected modules...": checks, asks; true when programming started.
  bool apply(SerialKind kind);
  // One step of programming; false when finished (file written, summary shown).
  bool step();
  int failures() const { return failures_; }

 private:
  bool readSerial(ModuleRec& rec, SerialKind kind, uint32_t& value, int& error) const;
  void sendSerial(ModuleRec& rec, SerialKind kind, uint32_t value) const;
  void finish();
  SerialFileNumbers numbers() const;

  std::vector<SerialRow> rows_;
  std::string path_;
  int sortColumn_ = kSnColNode;
  bool ascending_ = true;

  bool running_ = false;
  bool readBack_ = false;  // the next step reads back what was sent
  SerialKind kind_ = SERIAL_USER;
  size_t row_ = 0;
  uint32_t value_ = 0;
  int failures_ = 0;
};
