// Calibration sequence files: plain text, one file per module type
// ("<order code>.calib"), found in up to three folders (options
// CALIB_SEQ_DIR1..3). A file holds sections ("MODE AnalogIn"); a section
// selects the calibrator and lists the steps of an automatic calibration:
//
//   # KVXconfig calibration sequence for KVX 740-02
//   MODE AnalogIn
//   DEVICE METRAHIT
//   SETTLETIME 3
//   STEP
//     CONFIG 1
//     CALIBLOW 0
//   ENDSTEP
//   STEP
//     CALIBHIGH 10
//   ENDSTEP
//
// Settings before the first STEP are defaults for every step; settings after
// a STEP line belong to that step and carry over to the following ones.
#pragma once

#include <array>
#include <istream>
#include <string>

enum { CALIB_SEQ_MAX_STEPS = 16 };

// Results of CalibSeq_Read.
enum {
  CALIB_SEQ_OK = 0,
  CALIB_SEQ_NO_FILE = 1,
  CALIB_SEQ_UNKNOWN_COMMAND = 2,
  CALIB_SEQ_UNKNOWN_CALIBRATOR = 3,
  CALIB_SEQ_ILLEGAL_SELECT_MODE = 4,
  CALIB_SEQ_TOO_MANY_STEPS = 5,
};

// What a step does with its value.
enum { CALIB_KIND_LOW = -1, CALIB_KIND_CHECK = 0, CALIB_KIND_HIGH = 1 };
// How a step goes through the channels.
enum { CALIB_SELECT_ALL = 0, CALIB_SELECT_SINGLE = 1 };

struct CalibStep {
  int line = 0;             // the STEP line, for messages
  int config = 0;           // configuration list index to select (1 = first)
  int chanSelectMode = CALIB_SELECT_ALL;
  int kind = CALIB_KIND_CHECK;
  double value = 0.0;       // calibrator output and reference value
  double settleTime = 2.0;  // seconds after the output was set
  double timeout = 10.0;    // seconds allowed for reaching a deviation window
  double initialDeviation = 5.0;
  double finalDeviation = 1.0;
};

struct CalibSequence {
  std::string filePath;   // "" when no file was found
  std::string errorText;  // "" after a successful read
  int calibrator = 0;     // 0 none, 1 Metrahit 28c, 2 Vorn Box
  int stepCount = 0;
  int currentStep = 0;    // 1-based while the runner works through the steps; 0 = none
  std::array<CalibStep, CALIB_SEQ_MAX_STEPS> steps{};
};

// The first line of a new sequence file.
std::string CalibSeq_Template(const std::string& typeName);
// "<folder>/<typeName>.calib"; an empty folder stands for the root folder.
std::string CalibSeq_PathIn(const std::string& folder, const std::string& typeName);
// The first of the three folders' files that can be read, or "".
std::string CalibSeq_FindFile(const std::string& typeName);

// Reads the section of the module type's sequence file into sequence. Returns
// a CALIB_SEQ_* result; on failure the error text says what and where (the
// steps read up to there stay). Shows nothing.
int CalibSeq_Read(const std::string& typeName, const std::string& section, CalibSequence& sequence);
// The same over text already open; path names it in the messages.
int CalibSeq_ReadFrom(std::istream& in, const std::string& path, const std::string& section,
                      CalibSequence& sequence);

// Opens the module type's sequence file in the text editor; when there is
// none, offers to create it in the first folder from the template.
void CalibSeq_Edit(const std::string& typeName);
