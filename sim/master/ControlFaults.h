// Faults of the simulated master's answers to its control frames.
#pragma once

#include <cstdint>

struct SimControlFaults {
  int reportedBusCount = -1;        // >= 0: the bus-count answer (0..255) instead of the real count
  uint8_t silentBitRateBuses = 0;   // bit n set: the bit-rate query for bus n gets no answer
  bool silentRunState = false;      // the run-state query gets no answer
};
