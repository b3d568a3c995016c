// The converters of a simulated SAMC21 module and their base calibration
// command (53): an input in a converter's mask is measured through it, so
// that its error and the correction the program sets show in the values the
// module reports.
//
// Reads (0xB5) answer with the status and the latest result of the lowest
// input of the mask; sub-command 6 adds the mask, 0..2 the clipping and the
// pairs, 7 and 8 the wanted behaviour (reference value as a float and its
// digits, the input mode in the status byte). Writes (0x35) set the
// clipping (0) or a pair (1, 2; the pair becomes valid), reset both pairs
// (3), enable (4; only with both pairs valid) or disable (5) the correction.
// A converter the module lacks answers with an empty mask.
#pragma once

#include <cstdint>

#include "module/SimIoConfig.h"

class SimModule;

// Full scale of a converter in digits.
constexpr int SIM_SAM_FULL_SCALE = 4095;

// Installs the base calibration command (SAMC21 modules only).
void InstallSamAdcCommands(SimModule& module);

// The converter of analog input `channel`, or none.
const SimSamAdc* SimSam_AdcOf(const SimModule& module, int channel);
SimSamAdc* SimSam_Adc(SimModule& module, int index);

// The result for a level at the terminals of an input whose configuration
// spans min..max: the converter's error, then its correction and clipping.
int SimSam_Convert(const SimSamAdc& adc, double physical, double min, double max);
// The digits the wanted behaviour expects at an input value.
int SimSam_ReferenceDigits(const SimSamAdc& adc, double reference);
// The latest result of the converter: its lowest input as it is now (0 for
// an empty mask or an input without configuration).
int SimSam_Result(const SimModule& module, const SimSamAdc& adc, int64_t nowUs);
