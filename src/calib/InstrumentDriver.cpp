#include "calib/InstrumentDriver.h"

#include "core/TextFormat.h"

int InstrumentDriver::setInt(const std::string& name, int value) {
  Take t = Take::Unknown;
  if (name == "autoInit") {
    autoInit_ = value != 0;
    t = Take::Taken;
  } else {
    t = takeInt(name, value);
  }
  if (t == Take::Taken) return 1;
  setError(Text_Format(t == Take::Refused ? "Cannot set INT parameter %s to %d"
                                          : "Cannot set unknown INT parameter %s to %d",
                       name.c_str(), value));
  return 0;
}

int InstrumentDriver::setDouble(const std::string& name, double value) {
  if (takeDouble(name, value) == Take::Taken) return 1;
  setError(Text_Format("Cannot set unknown DOUBLE parameter %s to %lf", name.c_str(), value));
  return 0;
}

int InstrumentDriver::setString(const std::string& name, const std::string& value) {
  if (name == "comPortName") {
    comPortName_ = value;
    return 1;
  }
  if (takeString(name, value) == Take::Taken) return 1;
  setError(Text_Format("Cannot set unknown STRING parameter %s to %s", name.c_str(), value.c_str()));
  return 0;
}

bool InstrumentDriver::begin() {
  if (port_.isOpen() || !autoInit_) return true;
  lastError_.clear();
  std::string error;
  if (port_.open(comPortName_, error)) return true;
  lastError_ = error;
  return false;
}

void InstrumentDriver::end() {
  if (autoInit_) port_.close();
}
