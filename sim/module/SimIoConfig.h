// How a simulated module's I/O channels behave beyond what their objects
// hold: what an analog input measures (a level, optionally swinging, with an
// offset and gain error), how digital inputs change over time, whether the
// module's own program drives its digital outputs, and the calibration
// points it keeps. The channels themselves (descriptors, type entries,
// configuration selection, alignment flags, value objects) are ordinary
// objects of the module; module/IoBuilder.h adds them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The four channel groups, in the order of their list entries 0x3000, 0x3001, 0x3004, 0x3005.
enum class SimIoGroup : uint8_t { AnalogIn, AnalogOut, DigitalIn, DigitalOut };

struct SimIoSignal {
  SimIoGroup group = SimIoGroup::AnalogIn;
  int channel = 0;      // 0-based within the group
  // Analog input: the physical value at the terminals (V, mA, °C, ...).
  // Digital input: the bit pattern at time 0.
  double level = 0;
  double swing = 0;     // analog input: amplitude of a sine around the level
  int periodMs = 0;     // sine period; digital input: time per one-bit rotation; 0 = still
  double offset = 0;    // analog input: offset error as a share of the value span
  double gain = 0;      // analog input: gain error as a share (0.01 = reads 1 % high)
  // Digital output: while the module is Operational its own program drives
  // the output, a running light stepping every periodMs (at least 1 ms).
  bool program = false;
  // Analog input: the name of an outside source wired to the terminals (a
  // simulated calibrator, "metrahit" or "vornbox"). While that source drives
  // them, the input measures its value instead of level and swing; offset
  // and gain error stay. Empty = not wired.
  std::string from;
};

// One point set as the module stores it: X1, Y1, X2, Y2 as single-precision
// bit patterns; 0xFFFFFFFF = not set.
struct SimCalibPoints {
  uint32_t values[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  bool operator==(const SimCalibPoints&) const = default;
};

// Type number of the user point set, which has one pair per channel whatever
// the configuration (its range byte is ignored).
constexpr uint8_t SIM_CALIB_USER_TYPE = 31;
// Added to the channel number for output channels.
constexpr uint8_t SIM_CALIB_OUTPUT = 0x80;

// Key of a point set: channel byte (channel + 0x80 for outputs), type, range.
constexpr uint32_t SimCalibKey(uint8_t channelByte, uint8_t type, uint8_t range) {
  return (uint32_t(channelByte) << 16) | (uint32_t(type & 0x1F) << 8) |
         (type == SIM_CALIB_USER_TYPE ? 0u : range);
}

struct SimIoConfig {
  std::vector<SimIoSignal> ioSignals;
  // The point sets the module has stored, by SimCalibKey. A set whose four
  // values are all empty is not kept.
  std::map<uint32_t, SimCalibPoints> calibration;
  // While running: the value bytes the module last put into each analog input
  // value object (key index << 8 | subindex), so that a value set from
  // outside is noticed. Not part of a population.
  std::map<uint32_t, uint32_t> lastReported;
};
