// The byte stream between the program and the Ethernet bus master.
//
// Program to master, 5 + n bytes: identifier (4 bytes, most significant
// first; bit 31 marks a control frame of the master), then (bus << 4) | n,
// then the n data bytes.
// Master to program, 9 + n bytes: time stamp in ms (4 bytes, most significant
// first; 0 = none), identifier (4 bytes), (bus << 4) | n, the n data bytes.
// Nothing else delimits the frames: the length nibble alone does.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/CanMsg.h"

constexpr uint32_t kEthCtrlKeepAlive = 0x80000000;
constexpr uint32_t kEthCtrlBusCount = 0x80000001;
constexpr uint32_t kEthCtrlBusBaud = 0x80000002;
constexpr uint32_t kEthCtrlLogger = 0x80000003;
constexpr uint32_t kEthCtrlRunStateQuery = 0x80000004;
constexpr uint32_t kEthCtrlRunStateSet = 0x80000005;

constexpr size_t kEthSendFrameMax = 5 + 8;
constexpr size_t kEthHeaderSize = 9;
// A length nibble of 15 makes the longest frame the stream can announce.
constexpr size_t kEthReceiveFrameMax = kEthHeaderSize + 15;

// Encodes msg for the given bus; returns the frame length (5 + len, len cut to 8).
size_t EthFrame_Encode(const CanMsg& msg, int bus, uint8_t out[kEthSendFrameMax]);

// One frame from the master as it came off the stream.
struct EthFrameIn {
  uint32_t stamp = 0;
  uint32_t id = 0;
  uint8_t busLength = 0;  // bus nibble and length nibble
  uint8_t data[15] = {};
  int bus() const { return busLength >> 4; }
  int lengthNibble() const { return busLength & 15; }
};

// Bytes read from the stream and not yet taken as frames. Reading ahead lets
// one read bring in many frames; they are still taken one at a time, in
// stream order, and a partial frame stays until the rest arrives.
class EthStreamBuffer {
 public:
  static constexpr size_t kCapacity = 4096;

  // Where the next read may put up to room bytes (moves pending bytes to the
  // front when that makes room).
  uint8_t* space(size_t& room);
  void commit(size_t bytes);
  // The bus/length byte of the front frame, -1 while its header is incomplete.
  int frontLengthByte() const;
  bool frontComplete() const;
  // Takes the complete front frame.
  bool pop(EthFrameIn& out);
  void clear() { head_ = tail_ = 0; }
  size_t pending() const { return tail_ - head_; }

 private:
  uint8_t bytes_[kCapacity];
  size_t head_ = 0;
  size_t tail_ = 0;
};
