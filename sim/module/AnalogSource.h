// Something outside a module that drives the terminals of its analog inputs:
// a simulated calibrator whose output is wired to them (population keyword
// `from=`). Sources live on threads of their own; level() must be safe to
// call from the simulation thread at any time.
#pragma once

class SimAnalogSource {
 public:
  virtual ~SimAnalogSource() = default;
  // The value at the terminals, in the unit of the input's configuration,
  // while the source drives them; false while its output is off.
  virtual bool level(double& value) const = 0;
};
