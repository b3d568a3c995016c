// The driver of the process calibrator "Metrahit 28c": sets its source
// function and output value over a serial line, addressed with "ADDR n".
#pragma once

#include <string>

#include "calib/LineCalibrator.h"

class MetraHit : public LineCalibrator {
 public:
  MetraHit();

  // Sets the output for the configured outputType to value: 1 success, 0
  // failure with the error text. outputType -1 (output off) sends nothing.
  int setOutput(double value);

  bool tempTcRefExt() const { return tempTcRefExt_; }
  double tempTcRefExtVal() const { return tempTcRefExtVal_; }
  double tempRtdRlead() const { return tempRtdRlead_; }
  const std::string& tempUnit() const { return tempUnit_; }

 protected:
  Take takeInt(const std::string& name, int value) override;
  Take takeDouble(const std::string& name, double value) override;
  Take takeString(const std::string& name, const std::string& value) override;

 private:
  // The temperature settings a source function needs before its value. 1 when all were taken.
  int sendTemperatureSettings(const std::string& function);

  bool tempTcRefExt_ = false;
  double tempTcRefExtVal_ = 0.0;
  double tempRtdRlead_ = 0.0;
  std::string tempUnit_ = "C";
};

// The source function text for a channel type number ("VOLT:RANG 0.15E+2,"),
// "" for output off (-1), nullptr for a type the calibrator cannot produce.
const char* MetraHit_SourceFunction(int outputType);

// A value as the calibrator reads it: sign, mantissa in [0.1, 1) with six
// decimals, "E", signed exponent ("0.500000E+1"); magnitudes below 1e-9
// are "0.999999E-9".
std::string MetraHit_FormatNumber(double value);

// The driver of the current session.
const std::string& MetraHit_LastError();
int MetraHit_SetInt(const char* name, int value);
int MetraHit_SetDouble(const char* name, double value);
int MetraHit_SetString(const char* name, const char* value);
int MetraHit_SetOutput(double value);
int MetraHit_Off();
// One printf-style command: 1 when answered "OK", else 0.
int MetraHit_Send(const char* format, ...) __attribute__((format(printf, 1, 2)));
