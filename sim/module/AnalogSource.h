// Something outside a module that drives the terminals of its analog inputs:
// a simulated calibrator or the reference source of the base calibration
// wired to them (population keyword `from=`). A calibrator lives on a thread
// of its own, the reference source on the simulation thread; level() and
// openLevel() must be safe to call from the simulation thread at any time.
#pragma once

class SimAnalogSource {
 public:
  virtual ~SimAnalogSource() = default;
  // The value at the terminals, in the unit of the input's configuration,
  // while the source drives them; false while its output is off.
  virtual bool level(double& value) const = 0;
  // A source that is connected but drives nothing (high impedance) leaves the
  // terminals open: true with what an open input reads.
  virtual bool openLevel(double& value) const {
    (void)value;
    return false;
  }
};
