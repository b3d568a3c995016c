// The driver of the maker's calibrator box ("Vorn Box"): "OUT <output>
// <value>" and "OUT OFF" over a serial line, addressed with "ADDR n".
#pragma once

#include <string>

#include "calib/LineCalibrator.h"

class VornCalib : public LineCalibrator {
 public:
  VornCalib();

  // Sets the output for the configured outputType (-1 switches it off): 1
  // success, 0 failure with the error text.
  int setOutput(double value);
};

// The box's output name for a channel type number ("VOLTAGE"; "OFF" for -1),
// nullptr for a type it cannot produce.
const char* VornCalib_OutputName(int outputType);

// The driver of the current session.
const std::string& VornCalib_LastError();
int VornCalib_SetInt(const char* name, int value);
int VornCalib_SetDouble(const char* name, double value);
int VornCalib_SetString(const char* name, const char* value);
int VornCalib_SetOutput(double value);
int VornCalib_Off();
int VornCalib_Send(const char* format, ...) __attribute__((format(printf, 1, 2)));
