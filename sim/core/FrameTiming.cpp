#include "core/FrameTiming.h"

#include "protocol/WireConstants.h"

int CanFrameBits(int dataLen) {
  if (dataLen < 0) dataLen = 0;
  if (dataLen > 8) dataLen = 8;
  int stuffable = 34 + 8 * dataLen;
  return 47 + 8 * dataLen + (stuffable - 1) / 4;
}

int CanBitRateKbits(uint8_t code) {
  return code < Wire::CAN_BITRATE_CODE_COUNT ? Wire::CAN_BITRATE_KBITS[code] : 0;
}

int64_t CanFrameTimeUs(int dataLen, uint8_t bitRateCode) {
  int kbits = CanBitRateKbits(bitRateCode);
  if (kbits == 0) return 0;
  return static_cast<int64_t>(CanFrameBits(dataLen)) * 1000 / kbits;
}
