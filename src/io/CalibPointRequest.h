// The calibration point command (0x36) as the calibration data operations
// send it: byte 1 the channel byte, byte 2 the operation in bits 7..5 and the
// type in bits 4..0, byte 3 the range, bytes 4..7 a single-precision value.
// Reads wait for the reply, everything else for the acknowledgement.
#pragma once

#include "io/CalibValue.h"

// Operations (bits 7..5 of byte 2).
enum CalibOperation {
  CALIB_OP_X1 = 0,
  CALIB_OP_Y1 = 1,
  CALIB_OP_X2 = 2,
  CALIB_OP_Y2 = 3,
  CALIB_OP_CALIBRATE1 = 4,
  CALIB_OP_CALIBRATE2 = 5,
  CALIB_OP_CLEAR1 = 6,
  CALIB_OP_CLEAR2 = 7,
};

// Byte 2 of a request: operation and the low five bits of the type.
inline int CalibRequest_OpByte(int operation, int type) {
  return ((operation & 7) << 5) | (type & 0x1F);
}

// Reads one stored value (4-byte request). 1 with the value bytes, 0 failed (reported).
int CalibRequest_Read(int node, int channelByte, int opByte, int range, CalibValueBytes& value);
// Sends an 8-byte request carrying value. 1 acknowledged, 0 failed (reported).
int CalibRequest_Send8(int node, int channelByte, int opByte, int range, double value);
// Sends a 4-byte request (a clear without value). 1 acknowledged, 0 failed (reported).
int CalibRequest_Send4(int node, int channelByte, int opByte, int range);
