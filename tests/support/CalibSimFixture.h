// Calibration operations against simulated modules: points as the module
// keeps them, and the calibration requests the program puts on the wire.
#pragma once

#include <cstdint>
#include <vector>

#include "io/SimIoFixture.h"

// A point value the module keeps as empty.
inline constexpr uint32_t kNone = 0xFFFFFFFFu;

// The points (x1, y1) and (x2, y2); a second point left out is empty.
inline SimCalibPoints P(uint32_t x1, uint32_t y1, uint32_t x2 = kNone, uint32_t y2 = kNone) {
  SimCalibPoints p;
  p.values[0] = x1;
  p.values[1] = y1;
  p.values[2] = x2;
  p.values[3] = y2;
  return p;
}

class CalibSimTest : public SimIoTest {
 protected:
  void setPoints(SimModuleId id, uint8_t channelByte, uint8_t type, uint8_t range, SimCalibPoints p) {
    sim.withModule(id, [&](SimModule& m) { SimIo_SetPoints(m, channelByte, type, range, p); });
  }
  // The calibration requests (command code 0x36) sent to a node.
  std::vector<SimFrame> calibFrames(int node) {
    std::vector<SimFrame> out;
    for (const SimFrame& f : framesTo(node)) {
      if ((f.data[0] & 0x3F) == 0x36) out.push_back(f);
    }
    return out;
  }
};
