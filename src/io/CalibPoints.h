// A module's calibration points, read, set and cleared through the
// calibration point command (0x36). The calibration data file (*.cal) that
// holds all factory points of a module is in calib/CalibDataFile.h.
//
// Every analog channel has two points per configuration (the factory set,
// addressed by the configuration's type and range) and one pair that does
// not depend on the configuration (the user set, addressed as type 31). A
// point is X, the channel's raw value at the point, and Y, the correction
// there; the point's reference value is X + Y.
//
// All operations block until the module has answered; a failed exchange is
// reported by the module protocol. The channel byte is the channel number,
// plus 0x80 for an output channel (the list operations add it themselves
// when `outputs` is set).
#pragma once

#include <string>

#include "io/CalibValue.h"
#include "io/ChanInfo.h"

struct ModuleRec;

// Type number of the user calibration set in the point command.
constexpr int CALIB_USER_TYPE = 31;
// Added to the channel number for output channels.
constexpr int CALIB_OUTPUT_CHANNEL = 0x80;

// The texts of a point's two fields: X, and the reference value X + Y.
struct CalibPointTexts {
  std::string x;
  std::string y;
};

// Reads X and Y of point 1 or 2 and shows them in `texts` as
// CalibData_FormatValue gives them for `code` and `displayMode` ("-" for a
// value that is not set). 0, or -1 when a read failed; a field that the
// reads did not reach keeps what the caller put into `texts`. With `factory`
// false the user set is read (the range byte stays code's low byte).
int CalibData_ShowPoint(const ModuleRec& module, int point, bool factory, int channelByte,
                        int code, int displayMode, CalibPointTexts& texts);

// Clears point 1 or 2 (X and Y). 1 on success, 0 on failure or for another point number.
int CalibData_ClearPoint(const ModuleRec& module, int point, bool factory, int channelByte,
                         int code);

// Calibrates point 1 or 2: the module takes `reference` as the true value of
// the channel's present raw value and stores the point. 1 on success, 0 otherwise.
int CalibData_CalibratePoint(const ModuleRec& module, int point, bool factory, int channelByte,
                             int code, double reference);

// Run before a calibration dialog opens: looks for user points on every
// channel and offers to clear them. 0 to go on (cleared or kept), -1 when
// the user cancelled.
int CalibData_CheckUserPoints(const ModuleRec& module, const ChanInfo& channels, bool outputs);

// Asks, then clears both factory points of every configuration of every
// channel. 0 (a failure has been reported), -1 when the user declined.
int CalibData_ClearFactoryPoints(const ModuleRec& module, const ChanInfo& channels, bool outputs);

