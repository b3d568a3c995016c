#include "instruments/SimThermometer.h"

#include "calib/InstrumentWire.h"
#include "instruments/InstrumentText.h"

std::string SimThermometer_Reading(int probe, double celsius) {
  // The number between the letters: two decimals while they fit, fewer for large values.
  const size_t width = InstrumentWire::THERMOMETER_ANSWER_LENGTH - 2;
  std::string number;
  for (const char* format : {"%+07.2f", "%+07.1f", "%+07.0f"}) {
    number = InstrumentText_Format(format, celsius);
    if (number.size() <= width) break;
  }
  number.resize(width, ' ');
  return std::string(1, char('A' + probe)) + number + "C";
}

bool SimThermometer_FrameQuery(std::string& input, std::string& command) {
  for (;;) {
    const size_t j = input.find('J');
    if (j == std::string::npos) {
      input.clear();
      return false;
    }
    input.erase(0, j);
    if (input.size() < 2) return false;
    if (input[1] >= '0' && input[1] <= '9') {
      command = input.substr(0, 2);
      input.erase(0, 2);
      return true;
    }
    input.erase(0, 1);
  }
}

SimThermometer::SimThermometer()
    : device_(SimThermometer_FrameQuery, [this](const std::string& c) { return respond(c); }, "") {}

SimThermometer::~SimThermometer() { device_.stop(); }

void SimThermometer::setTemperature(int probe, std::optional<double> celsius) {
  std::lock_guard<std::mutex> lock(m_);
  if (probe == 1 || probe == 2) probes_[probe - 1] = celsius;
}

std::optional<double> SimThermometer::temperature(int probe) const {
  std::lock_guard<std::mutex> lock(m_);
  return probe == 1 || probe == 2 ? probes_[probe - 1] : std::nullopt;
}

std::optional<std::string> SimThermometer::respond(const std::string& command) {
  const int probe = command[1] - '0';
  if (probe != 1 && probe != 2) return std::nullopt;  // no such input
  std::lock_guard<std::mutex> lock(m_);
  const std::optional<double>& t = probes_[probe - 1];
  if (!t) return std::string(1, char('A' + probe));
  return SimThermometer_Reading(probe, *t);
}
