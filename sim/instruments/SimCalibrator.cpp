#include "instruments/SimCalibrator.h"

#include <cstdlib>

#include "calib/InstrumentWire.h"
#include "instruments/InstrumentText.h"
#include "instruments/SimThermometer.h"

namespace {

// A source function of the process calibrator and what it can produce.
struct SourceFunction {
  const char* text;
  double min;
  double max;
};

constexpr SourceFunction kFunctions[] = {
    {"VOLT:RANG 0.15E+2,", -15.0, 15.0},
    {"VOLT:RANG 0.1E+2,", -1e9, 1e9},  // the millivolt range: left unchecked
    {"CURR:ISOUR,RANG 0-24,", 0.0, 24.0},
    {"TEMP:TC K::", -270.0, 1372.0},
    {"TEMP:TC J::", -210.0, 1200.0},
    {"TEMP:TC S::", -50.0, 1768.0},
    {"TEMP:RTD PT100::", -200.0, 850.0},
    {"TEMP:RTD PT1000::", -200.0, 850.0},
    {"TEMP:RTD NI100::", -60.0, 180.0},
    {"TEMP:RTD NI1000::", -60.0, 180.0},
};

constexpr const char* kBoxOutputs[] = {"VOLTAGE", "CURRENT", "TCK", "TCJ", "TCS",
                                       "PT100", "PT1000", "NI100", "NI1000"};

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The rest of command after prefix, when it begins with it.
bool After(const std::string& command, const std::string& prefix, std::string& rest) {
  if (!StartsWith(command, prefix)) return false;
  rest = command.substr(prefix.size());
  return true;
}

}  // namespace

bool SimCalibrator_FrameLine(std::string& input, std::string& command) {
  const size_t lf = input.find('\n');
  if (lf == std::string::npos) return false;
  command = input.substr(0, lf);
  if (!command.empty() && command.back() == '\r') command.pop_back();
  input.erase(0, lf + 1);
  return true;
}

SimCalibrator::SimCalibrator(SimCalibratorModel model, int address)
    : model_(model),
      address_(address),
      device_(SimCalibrator_FrameLine, [this](const std::string& c) { return respond(c); }, "\r\n") {}

SimCalibrator::~SimCalibrator() { device_.stop(); }

void SimCalibrator::setAddress(int address) {
  std::lock_guard<std::mutex> lock(m_);
  address_ = address;
}

int SimCalibrator::address() const {
  std::lock_guard<std::mutex> lock(m_);
  return address_;
}

SimCalibratorOutput SimCalibrator::output() const {
  std::lock_guard<std::mutex> lock(m_);
  return output_;
}

SimCalibratorTemperature SimCalibrator::temperature() const {
  std::lock_guard<std::mutex> lock(m_);
  return temperature_;
}

void SimCalibrator::setThermometer(std::shared_ptr<const SimThermometer> thermometer) {
  std::lock_guard<std::mutex> lock(m_);
  thermometer_ = std::move(thermometer);
}

bool SimCalibrator::level(double& value) const {
  std::lock_guard<std::mutex> lock(m_);
  if (!output_.on) return false;
  value = output_.value;
  if (StartsWith(output_.function, "TEMP:TC") && temperature_.externalReference && thermometer_) {
    if (const std::optional<double> terminals = thermometer_->temperature(1))
      value += *terminals - temperature_.referenceValue;
  }
  return true;
}

std::optional<std::string> SimCalibrator::respond(const std::string& command) {
  std::lock_guard<std::mutex> lock(m_);
  std::string rest;
  if (After(command, "ADDR ", rest)) {
    char* end = nullptr;
    const long address = std::strtol(rest.c_str(), &end, 10);
    selected_ = !rest.empty() && *end == '\0' &&
                (address == address_ || address == InstrumentWire::BROADCAST_ADDRESS);
    if (selected_) return std::string(InstrumentWire::CALIBRATOR_OK);
    return std::nullopt;
  }
  if (!selected_) return std::nullopt;
  return model_ == SimCalibratorModel::ProcessCalibrator ? processCommand(command) : boxCommand(command);
}

std::string SimCalibrator::processCommand(const std::string& command) {
  std::string rest;
  double number = 0;
  if (After(command, "SET:TEMP:UNIT ", rest)) {
    if (rest != "C" && rest != "F" && rest != "K") return "ERR:RANGE";
    temperature_.unit = rest;
    return InstrumentWire::CALIBRATOR_OK;
  }
  if (After(command, "SET:TEMP:COMP ", rest)) {
    if (rest != "EXT" && rest != "INT") return "ERR:RANGE";
    temperature_.externalReference = rest == "EXT";
    return InstrumentWire::CALIBRATOR_OK;
  }
  if (After(command, "SET:TEMP:EREF ", rest) || After(command, "SET:TEMP:R_L ", rest)) {
    if (!InstrumentText_Number(rest, number)) return "ERR:NUMBER";
    (StartsWith(command, "SET:TEMP:EREF") ? temperature_.referenceValue : temperature_.leadResistance) = number;
    return InstrumentWire::CALIBRATOR_OK;
  }
  if (After(command, "SOUR:", rest)) {
    for (const SourceFunction& f : kFunctions) {
      std::string value;
      if (!After(rest, std::string(f.text) + "VAL ", value)) continue;
      if (!InstrumentText_Number(value, number)) return "ERR:NUMBER";
      if (number < f.min || number > f.max) return "ERR:RANGE";
      output_ = SimCalibratorOutput{true, f.text, number};
      return InstrumentWire::CALIBRATOR_OK;
    }
  }
  return "ERR:SYNTAX";
}

std::string SimCalibrator::boxCommand(const std::string& command) {
  std::string rest;
  if (!After(command, "OUT ", rest)) return "ERROR: unknown command";
  if (rest == "OFF") {
    output_ = SimCalibratorOutput{};
    return InstrumentWire::CALIBRATOR_OK;
  }
  const size_t blank = rest.find(' ');
  const std::string name = rest.substr(0, blank);
  for (const char* output : kBoxOutputs) {
    if (name != output) continue;
    double number = 0;
    if (blank == std::string::npos || !InstrumentText_Number(rest.substr(blank + 1), number)) {
      return "ERROR: bad value";
    }
    output_ = SimCalibratorOutput{true, name, number};
    return InstrumentWire::CALIBRATOR_OK;
  }
  return "ERROR: unknown output";
}
