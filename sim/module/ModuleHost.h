// What a simulated module may do on its bus: send frames, set timers, and
// learn the time and the bus settings. The network implements it; a module
// never sees the transport that carries its frames to the program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/SimFrame.h"

class SimAnalogSource;
class SimModule;

class ModuleHost {
 public:
  virtual ~ModuleHost() = default;
  virtual int64_t nowUs() const = 0;
  virtual uint32_t baseId() const = 0;
  virtual uint8_t busBitRateCode(int bus) const = 0;
  virtual int64_t rebootTimeUs() const = 0;
  // Queues a frame for transmission on the module's bus after delayUs.
  virtual void transmit(SimModule& from, const SimFrame& frame, int64_t delayUs) = 0;
  // Calls fn after delayUs, unless the module has been removed by then.
  virtual void startTimer(SimModule& module, int64_t delayUs, std::function<void(SimModule&)> fn) = 0;
  // The outside source an analog input names with `from=` (a simulated
  // calibrator), or none when nothing of that name is connected.
  virtual const SimAnalogSource* analogSource(const std::string& name) const { return nullptr; }
  // The physical level at the terminals of analog output `channel` of the
  // module answering on `node` of `bus` (an input wired with
  // from=ao:<bus>:<node>:<channel> measures it); false when there is none.
  virtual bool analogOutputLevel(int bus, int node, int channel, double& level) const { return false; }
};
