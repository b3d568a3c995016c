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
  // Analog input: noise at the terminals, within +/- this share of the
  // physical span; a new value every 10 ms of simulated time, the same in
  // every run (the sequence is seeded by bus, node and channel).
  double noise = 0;
  // Digital output: while the module is Operational its own program drives
  // the output, a running light stepping every periodMs (at least 1 ms).
  bool program = false;
  // Analog input: the names of outside sources wired to the terminals,
  // separated by commas: a simulated calibrator ("metrahit", "vornbox"), the
  // reference source of the base calibration ("refsource"), or an analog
  // output of a module ("ao:<bus>:<node>:<channel>"). The first source that
  // drives the terminals gives the level instead of level and swing; offset,
  // gain error and noise stay. A connected source that drives nothing (the
  // reference source switched to high impedance) leaves the terminals open.
  // Empty = not wired.
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

// One converter of a SAMC21 module (population statement samadc). It
// converts the inputs of its mask to 0..4095 digits over the range of each
// input's configuration, with an offset and gain error of its own; the base
// calibration command corrects it through two pairs of actual and wanted
// digits and a zero offset clipping.
struct SimSamAdc {
  int index = 0;              // 0 or 1
  uint16_t inputs = 0;        // bit n: analog input n is converted here
  bool current = false;       // current inputs (0..20 mA) rather than voltage inputs (0..10 V)
  double lowReference = 1.0;  // wanted behaviour: the input values of the low and
  double highReference = 9.0; //   high point (their digits follow from the full scale)
  double offset = 0;          // conversion error in digits
  double gain = 0;            // and as a share (0.01 = 1 % high)
  // What the base calibration command has set.
  uint8_t status = 0;         // bit 0 low pair valid, bit 1 high pair valid, bit 2 enabled
  int16_t lowActual = 0, lowWanted = 0, highActual = 0, highWanted = 0;
  int16_t clipping = 0;       // results up to this many digits read as 0
};

struct SimIoConfig {
  std::vector<SimIoSignal> ioSignals;
  // The point sets the module has stored, by SimCalibKey. A set whose four
  // values are all empty is not kept.
  std::map<uint32_t, SimCalibPoints> calibration;
  // The converters of a SAMC21 module (at most two).
  std::vector<SimSamAdc> samAdcs;
  // While running: the value bytes the module last put into each analog input
  // value object (key index << 8 | subindex), so that a value set from
  // outside is noticed. Not part of a population.
  std::map<uint32_t, uint32_t> lastReported;
};
