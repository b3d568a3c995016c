// One frame as the simulator moves it: a CAN frame on one of the master's
// buses, or a control frame of the bus master (bit 31 of the identifier).
#pragma once

#include <cstdint>
#include <initializer_list>

struct SimFrame {
  uint32_t id = 0;      // bits 0..28 identifier; bit 31 master control frame
  uint8_t bus = 0;      // bus nibble, 0..15 on the wire
  uint8_t len = 0;      // 0..8
  uint8_t data[8] = {};

  SimFrame() = default;
  SimFrame(uint32_t id_, uint8_t bus_, std::initializer_list<uint8_t> bytes) : id(id_), bus(bus_) {
    for (uint8_t b : bytes) {
      if (len < 8) data[len++] = b;
    }
  }
  bool isControl() const { return (id & 0x80000000u) != 0; }
  bool operator==(const SimFrame& o) const {
    if (id != o.id || bus != o.bus || len != o.len) return false;
    for (int i = 0; i < len; ++i)
      if (data[i] != o.data[i]) return false;
    return true;
  }
};

// A frame together with the simulator time at which it passed.
struct SimTimedFrame {
  int64_t timeUs = 0;  // microseconds since the server started
  SimFrame frame;
  // Frames to the client: when it may leave for the socket at the earliest
  // (later than timeUs when held back by a fault or by a frame before it).
  int64_t releaseUs = 0;
};
