// Simulated calibrators on pseudo-terminals: the process calibrator (the
// program's "Metrahit 28c") and the maker's calibrator box ("Vorn Box").
//
// Both take one command per line (CR LF) and answer each with one line: "OK"
// when the command was carried out, an error text otherwise. A calibrator
// listens only while addressed: "ADDR n" with its own address or the
// broadcast address 15 selects it and is answered "OK"; any other address
// deselects it, and a deselected calibrator stays silent.
//
// Process calibrator commands:
//   SET:TEMP:UNIT C|F|K        SET:TEMP:COMP EXT|INT
//   SET:TEMP:EREF <number>     SET:TEMP:R_L <number>
//   SOUR:<function>VAL <number>, the function one of
//     VOLT:RANG 0.15E+2,  VOLT:RANG 0.1E+2,  CURR:ISOUR,RANG 0-24,
//     TEMP:TC K::  TEMP:TC J::  TEMP:TC S::
//     TEMP:RTD PT100::  TEMP:RTD PT1000::  TEMP:RTD NI100::  TEMP:RTD NI1000::
// Errors: "ERR:SYNTAX" (unknown command), "ERR:NUMBER" (no number),
// "ERR:RANGE" (a value the function cannot produce). The output keeps the
// function and value it was last set to.
//
// Calibrator box commands:
//   OUT OFF
//   OUT VOLTAGE|CURRENT|TCK|TCJ|TCS|PT100|PT1000|NI100|NI1000 <number>
// Errors: "ERROR: unknown command", "ERROR: unknown output", "ERROR: bad value".
//
// The calibrator is an analog source: wired to module inputs (population
// keyword from=), they measure its output value while it is on. A
// thermocouple output with an external reference junction is made for the
// reference temperature it was given, while the inputs' terminals are at the
// temperature the thermometer's probe 1 shows (when a thermometer is
// connected): an input then measures value - reference + terminal
// temperature, so a wrong reference shows as an error of the same size.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "instruments/SimSerialDevice.h"
#include "module/AnalogSource.h"

class SimThermometer;

enum class SimCalibratorModel { ProcessCalibrator, CalibratorBox };

// What a calibrator's output is set to.
struct SimCalibratorOutput {
  bool on = false;
  std::string function;  // "VOLT:RANG 0.15E+2," or "VOLTAGE", as the command named it
  double value = 0;
};

// The temperature settings of the process calibrator.
struct SimCalibratorTemperature {
  std::string unit = "C";
  bool externalReference = false;
  double referenceValue = 0;
  double leadResistance = 0;
};

class SimCalibrator : public SimAnalogSource {
 public:
  explicit SimCalibrator(SimCalibratorModel model, int address = 1);
  ~SimCalibrator() override;

  bool start() { return device_.start(); }
  void stop() { device_.stop(); }
  std::string devicePath() const { return device_.devicePath(); }
  SimSerialDevice& device() { return device_; }
  SimCalibratorModel model() const { return model_; }

  void setAddress(int address);
  int address() const;
  SimCalibratorOutput output() const;
  SimCalibratorTemperature temperature() const;

  // The thermometer whose probe 1 measures the temperature at the inputs' terminals.
  void setThermometer(std::shared_ptr<const SimThermometer> thermometer);

  bool level(double& value) const override;

 private:
  std::optional<std::string> respond(const std::string& command);
  std::string processCommand(const std::string& command);
  std::string boxCommand(const std::string& command);

  const SimCalibratorModel model_;
  mutable std::mutex m_;
  int address_;
  bool selected_ = false;
  SimCalibratorOutput output_;
  SimCalibratorTemperature temperature_;
  std::shared_ptr<const SimThermometer> thermometer_;
  SimSerialDevice device_;  // last: its thread stops before the state above goes
};

// Commands end at a line feed; a carriage return before it is dropped.
bool SimCalibrator_FrameLine(std::string& input, std::string& command);
