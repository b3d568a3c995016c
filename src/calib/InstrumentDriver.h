// What the three instrument drivers share: parameters set by name, the
// port opened for each device operation (autoInit) and the last error text.
#pragma once

#include <string>

#include "calib/InstrumentPort.h"

class InstrumentDriver {
 public:
  explicit InstrumentDriver(const char* lineSettings) : port_(lineSettings) {}
  virtual ~InstrumentDriver() = default;
  InstrumentDriver(const InstrumentDriver&) = delete;
  InstrumentDriver& operator=(const InstrumentDriver&) = delete;

  const std::string& lastError() const { return lastError_; }

  // 1 when name is a parameter of this driver and the value was taken, else
  // 0 with the error text.
  int setInt(const std::string& name, int value);
  int setDouble(const std::string& name, double value);
  int setString(const std::string& name, const std::string& value);

  bool autoInit() const { return autoInit_; }
  const std::string& comPortName() const { return comPortName_; }
  bool portOpen() const { return port_.isOpen(); }

 protected:
  enum class Take { Taken, Unknown, Refused };
  // The driver's own parameters beyond autoInit and comPortName.
  virtual Take takeInt(const std::string& name, int value) { return Take::Unknown; }
  virtual Take takeDouble(const std::string& name, double value) { return Take::Unknown; }
  virtual Take takeString(const std::string& name, const std::string& value) { return Take::Unknown; }

  // Opens the port when none is open and autoInit is set. False when the
  // opening failed (the error text says why); true otherwise, also when the
  // port stays closed (the exchange then fails at its write).
  bool begin();
  // Closes the port when autoInit is set.
  void end();

  void setError(std::string text) { lastError_ = std::move(text); }
  InstrumentPort& port() { return port_; }

 private:
  InstrumentPort port_;
  std::string lastError_;
  bool autoInit_ = true;
  std::string comPortName_ = "COM1";
};
