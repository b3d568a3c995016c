// The driver of the thermometer "Testo 701": asks a probe input for its
// temperature with "J1" or "J2" and reads the nine-character answer.
#pragma once

#include <string>

#include "calib/InstrumentDriver.h"

class Testo : public InstrumentDriver {
 public:
  // Reads in a row without a byte before the answer is taken as it is.
  static constexpr int IDLE_READS = 50;

  Testo();

  // Sends the command (no line end) and collects the answer: 1 with a
  // non-empty answer, 0 with the error text.
  int cmd(const std::string& command, std::string& answer);
  // The temperature at the configured probe in degrees Celsius: 1, or 0 with
  // the error text (no answer, no sensor, an answer of another form).
  int get(double& celsius);
  // 2 sensor present, 1 the instrument answers but without a reading, 0 no answer.
  int check();

  int channel() const { return channel_; }

 protected:
  Take takeInt(const std::string& name, int value) override;

 private:
  int channel_ = 1;
};

// The driver of the current session.
const std::string& Testo_LastError();
int Testo_SetInt(const char* name, int value);
int Testo_SetDouble(const char* name, double value);
int Testo_SetString(const char* name, const char* value);
int Testo_Cmd(std::string& answer, const char* format, ...) __attribute__((format(printf, 2, 3)));
int Testo_Get(double& celsius);
int Testo_Check();
