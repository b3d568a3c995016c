// The I/O behaviour of a simulated module. Its channels are described by
// ordinary objects (module/IoBuilder.h); this part makes their values live:
//
// - analog inputs report what their signal makes them measure, in the
//   encoding of the channel's active configuration (float, 16 or 8 bit,
//   aligned or not), with the signal's noise, offset and gain error (and,
//   on a SAMC21 module, through its converter: module/SamAdc.h), corrected
//   by the channel's factory points of that configuration and then its user
//   points; a channel without a signal keeps measuring the value its object
//   held at power-up, and a value put into the object from outside becomes
//   its new level; wired sources (a calibrator, the reference source,
//   another module's analog output) drive the terminals while they are on;
// - digital inputs with a signal rotate their bit pattern over time;
// - digital outputs hold what was written, unless the module's own program
//   drives them (signal with `program`) while the module is Operational;
// - analog outputs hold what was written and put out its level through
//   their points: a point says what the output put out (X + Y) when it
//   drove X, so the output drives the inverse of that correction and puts
//   out what it is given;
// - the calibration point command (0x36) reads, writes, calibrates against
//   the present raw value and clears the points of every configuration and
//   of the user set.
#pragma once

#include <cstdint>

#include "module/SimIoConfig.h"

class SimModule;

// Installs the behaviour (called when a module is made).
void InstallIoCommands(SimModule& module);

struct SimChannelInfo {
  uint16_t valueIndex = 0;
  uint8_t valueSubindex = 0;
  int typeNumber = 0;    // type entry 0x3100 + typeNumber
  int config = 0;        // active configuration number (0 for digital channels)
  uint16_t code = 0xFFFF;  // active configuration code; 0xFFFF when off or unknown
  bool aligned = false;
};
int SimIo_ChannelCount(const SimModule& module, SimIoGroup group);
// False when the channel does not exist.
bool SimIo_Channel(const SimModule& module, SimIoGroup group, int channel, SimChannelInfo& out);

// Adds or replaces the signal of (group, channel).
void SimIo_SetSignal(SimModule& module, const SimIoSignal& signal);

// Analog input: the physical level at its terminals at nowUs (wired source
// or own signal, noise included); false when the channel or its
// configuration is unknown.
bool SimIo_TerminalLevel(const SimModule& module, int channel, int64_t nowUs, double& physical);
// Analog input: the value it measures at nowUs, in the unit it reports
// (before the calibration corrections), and the corrected value it reports.
double SimIo_MeasuredInput(const SimModule& module, int channel, int64_t nowUs);
double SimIo_ReportedInput(const SimModule& module, int channel, int64_t nowUs);
// Digital input: the bits it shows at nowUs.
uint32_t SimIo_DigitalInput(const SimModule& module, int channel, int64_t nowUs);
// Analog output: the value last written (the unit it is written in) and the
// physical level at its terminals: what its points make it drive, held
// within its range, with the signal's offset and gain error.
double SimIo_OutputValue(const SimModule& module, int channel);
double SimIo_OutputLevel(const SimModule& module, int channel);

// The stored point set of a channel byte (channel + 0x80 for outputs), type
// (31 = user set, whose range is ignored) and range.
SimCalibPoints SimIo_Points(const SimModule& module, uint8_t channelByte, uint8_t type,
                            uint8_t range);
void SimIo_SetPoints(SimModule& module, uint8_t channelByte, uint8_t type, uint8_t range,
                     const SimCalibPoints& points);
// The correction a point set makes at value v (linear through both points,
// the one point's Y when only one is set, 0 when none is).
double SimIo_Correction(const SimCalibPoints& points, double v);
// The value d with d + correction(d) = w: what an output drives to put out w.
double SimIo_Uncorrected(const SimCalibPoints& points, double w);
