// How long a standard CAN frame occupies the bus.
#pragma once

#include <cstdint>

// Bits of a standard (11-bit identifier) data frame with dataLen bytes,
// including the intermission, with the largest possible number of stuff bits:
// 47 + 8n fixed bits, plus one stuff bit per four bits of the 34 + 8n bits
// from the start bit to the end of the checksum. 8 data bytes: 135 bits.
int CanFrameBits(int dataLen);
// Bit rate in kbit/s of a bit-rate code 0..7; 0 for any other code.
int CanBitRateKbits(uint8_t code);
// Time on the wire in microseconds; 0 for an unknown bit-rate code.
int64_t CanFrameTimeUs(int dataLen, uint8_t bitRateCode);
