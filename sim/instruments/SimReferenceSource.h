// The reference source of the base calibration of SAMC21 modules (the
// program's "VAR Eriz Ivirizaruz"): a CANopen node (124) on a simulated CAN
// bus with one object, 0x3200.0, that selects its output. The program sets
// it with an expedited SDO download of one byte (0x81 low point, 0x82 high
// point, 0x83 high impedance) through the CAN adapter; the source answers
// like any SDO server: a download confirmation, an upload answer with the
// present output, or an abort (0x06020000 no such object, 0x06090011 no such
// subindex, 0x06070010 wrong length, 0x06090030 value out of range,
// 0x05040001 unknown command).
//
// It is an analog source ("refsource"): module inputs wired to it with
// from=refsource measure its low or high value while it puts one out. Until
// it is first told something it counts as not connected; switched to high
// impedance it leaves the inputs open (they read 0).
//
// Lives on the simulation thread: the network hands it every frame completed
// on its bus and sends its answers.
#pragma once

#include <cstdint>

#include "core/SimFrame.h"
#include "module/AnalogSource.h"
#include "protocol/WireConstants.h"

// Population statement refsource (docs/simulator.md).
struct SimRefSourceConfig {
  bool present = false;
  int bus = 0;
  int node = Wire::VORN_REFSOURCE_NODE;
  double low = 1.0;   // value of the low point, in the unit of the inputs
  double high = 9.0;  // and of the high point
};

class SimReferenceSource : public SimAnalogSource {
 public:
  enum Output { NotConnected = 0, Low = 1, High = 2, HighImpedance = 3 };

  explicit SimReferenceSource(const SimRefSourceConfig& config) : config_(config) {}
  const SimRefSourceConfig& config() const { return config_; }

  // A frame completed on its bus: true with the answer when it was an SDO
  // request to the source.
  bool receive(const SimFrame& frame, SimFrame& answer);

  Output output() const { return output_; }
  int requests() const { return requests_; }  // SDO requests heard

  bool level(double& value) const override;
  bool openLevel(double& value) const override;

 private:
  SimRefSourceConfig config_;
  Output output_ = NotConnected;
  int requests_ = 0;
};
