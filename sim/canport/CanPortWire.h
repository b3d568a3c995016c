// The simulator's raw CAN port: a TCP stream of fixed 20-byte records, one
// per frame, in both directions. A client is one more node on a simulated
// bus, the way a CAN adapter is: it hears every frame completed on the bus
// (except its own) and its frames take part in arbitration like any other.
//
//   byte 0      kind: kCanPortFrame, kCanPortStatus (port -> client) or
//               kCanPortHello (client -> port, first record)
//   byte 1      flags of a frame: kCanPortRemote, kCanPortExtended
//   byte 2      data length 0..8
//   byte 3      0
//   bytes 4-7   frame: identifier; status: the adapter status bits;
//               hello: the client's bit rate in bit/s
//   bytes 8-11  time stamp in ms of the simulator's clock (port -> client)
//   bytes 12-19 data bytes
// Numbers are big-endian.
//
// Until its hello arrives the port sends the client nothing. A client whose
// bit rate is not the bus's never gets onto the bus: the port passes it no
// frames and answers each of its frames with a status record (bus heavy).
// Error reports of the simulated master become status records too.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kCanPortRecordSize = 20;

enum : uint8_t {
  kCanPortFrame = 0x00,
  kCanPortHello = 0x40,
  kCanPortStatus = 0x80,
};

enum : uint8_t {
  kCanPortRemote = 0x01,
  kCanPortExtended = 0x02,
};

// Status bits the port reports (the adapter library's own bits).
constexpr uint32_t kCanPortStatusBusLight = 0x0004;
constexpr uint32_t kCanPortStatusBusHeavy = 0x0008;
constexpr uint32_t kCanPortStatusBusOff = 0x0010;

struct CanPortRecord {
  uint8_t kind = kCanPortFrame;
  uint8_t flags = 0;
  uint8_t len = 0;
  uint32_t value = 0;  // identifier, status bits or bit rate
  uint32_t stamp = 0;
  uint8_t data[8] = {};
};

inline void CanPort_Encode(const CanPortRecord& r, uint8_t out[kCanPortRecordSize]) {
  auto put32 = [](uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
  };
  out[0] = r.kind;
  out[1] = r.flags;
  out[2] = r.len;
  out[3] = 0;
  put32(out + 4, r.value);
  put32(out + 8, r.stamp);
  for (int i = 0; i < 8; ++i) out[12 + i] = r.data[i];
}

// False for a record no client or port sends (unknown kind, length above 8).
inline bool CanPort_Decode(const uint8_t in[kCanPortRecordSize], CanPortRecord& r) {
  auto get32 = [](const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
  };
  r.kind = in[0];
  r.flags = in[1];
  r.len = in[2];
  r.value = get32(in + 4);
  r.stamp = get32(in + 8);
  for (int i = 0; i < 8; ++i) r.data[i] = in[12 + i];
  if (r.kind != kCanPortFrame && r.kind != kCanPortHello && r.kind != kCanPortStatus) return false;
  return r.len <= 8;
}
