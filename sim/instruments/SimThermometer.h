// A simulated thermometer with two probe inputs (the program's "Testo 701")
// on a pseudo-terminal. The program asks with "J1" or "J2" (no line end); the
// thermometer answers with nine characters and no line end: the probe letter
// ("B" for probe 1, "C" for probe 2), the temperature in seven characters
// ("+023.50") and "C" for Celsius. A probe without a sensor answers its letter
// alone. Anything else on the line is ignored.
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "instruments/SimSerialDevice.h"

class SimThermometer {
 public:
  SimThermometer();
  ~SimThermometer();

  bool start() { return device_.start(); }
  void stop() { device_.stop(); }
  std::string devicePath() const { return device_.devicePath(); }
  SimSerialDevice& device() { return device_; }

  // The temperature at probe 1 or 2 in degrees Celsius; none = no sensor.
  void setTemperature(int probe, std::optional<double> celsius);
  std::optional<double> temperature(int probe) const;

 private:
  std::optional<std::string> respond(const std::string& command);

  mutable std::mutex m_;
  std::optional<double> probes_[2] = {23.5, std::nullopt};
  SimSerialDevice device_;  // last: its thread stops before the state above goes
};

// The nine-character reading of a probe (1 or 2).
std::string SimThermometer_Reading(int probe, double celsius);
// "J<digit>" out of the input; bytes that cannot start one are dropped.
bool SimThermometer_FrameQuery(std::string& input, std::string& command);
