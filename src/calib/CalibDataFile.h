// The text of a calibration data file (*.cal): how a data line is written and
// how each line is read back. One record per line, fields of data lines
// separated by tabs when written and by any white space when read; the file
// uses the single-byte (Latin-1) character set.
//
//   # KVX700 module calibration data
//   # KVX 740-04, Firmware 1.8
//   # MODULETYPE 14
//   # NUMCHAN 2
//
//   # CHAN  TYPE+RANGE  X1  Y1  X2  Y2
//
//   # Channel 0
//   #   Voltage, 0...10 V
//   0	0	105	-5	ffffffff	ffffffff
//   ...
//   # End of data
#pragma once

#include <cstdio>
#include <string>

#include "io/CalibValue.h"

struct ChanInfo;
struct ModuleRec;

// Longest line the loader looks at; the rest of a longer line is ignored.
constexpr int CALIB_FILE_MAX_LINE = 1023;

// The written form of an empty point value.
inline constexpr const char* CALIB_FILE_EMPTY = "ffffffff";

// "%d\t%d\t" channel and configuration index, then X1, Y1, X2, Y2 ("%g", or
// "ffffffff" for both values of a point when either is empty), then "\n".
std::string CalibFile_DataLine(int channel, int configIndex, const CalibValueBytes values[4]);

// UTF-8 text in the file's character set; characters beyond Latin-1 become '?'.
std::string CalibFile_ToLatin1(const std::string& utf8);

// One line as the loader sees it (leading white space skipped).
struct CalibFileLine {
  enum Kind {
    Comment,     // empty, or starting with '#'
    ModuleType,  // the comment "# MODULETYPE <n>"
    Data,        // channel, configuration index and the four value fields
    Short,       // a data line with fewer than six fields
  } kind = Comment;
  int moduleType = 0;
  int channel = 0;
  int configIndex = 0;
  std::string fields[4];  // X1, Y1, X2, Y2 as written
};
CalibFileLine CalibFile_ParseLine(const std::string& line);

// Reads the next line without its line feed; a line longer than
// CALIB_FILE_MAX_LINE characters keeps only its beginning, and text after a
// NUL byte is dropped. False at the end of the file.
bool CalibFile_ReadLine(std::FILE* file, std::string& line);

// True when a value field stands for an empty point (it begins with "f").
bool CalibFile_IsEmptyField(const std::string& field);
// The number at the start of a value field as single precision. False when
// there is none or it is not finite.
bool CalibFile_ReadValue(const std::string& field, float& value);

// Results of CalibData_SaveFile.
constexpr int CALIB_SAVE_DONE = 0;       // also after a reported transmission failure
constexpr int CALIB_SAVE_CANCELLED = 1;  // in the file dialog
constexpr int CALIB_SAVE_NO_FILE = 2;    // the file could not be written (reported)
// Saves the factory points of every configuration of every channel to a file
// the user chooses (remembered in CALIB_LOADSAVE_FILE).
int CalibData_SaveFile(const ModuleRec& module, const ChanInfo& channels, bool outputs);

// Results of CalibData_LoadFile.
constexpr int CALIB_LOAD_DONE = 0;       // errors, if any, have been reported
constexpr int CALIB_LOAD_CANCELLED = 1;  // in the file dialog
constexpr int CALIB_LOAD_DECLINED = 2;   // the user did not agree to overwrite
constexpr int CALIB_LOAD_NO_FILE = 3;    // the file could not be opened (reported)
// Loads a calibration data file chosen by the user into the module's factory points.
int CalibData_LoadFile(const ModuleRec& module, const ChanInfo& channels, bool outputs);
