// Object access by index and subindex (module protocol command 52), as the I/O
// pages and the channel description use it: a read waits for the reply, a
// write of a channel value goes out without an answer.
#pragma once

#include <cstdint>

#include "core/CanMsg.h"
#include "io/ChanType.h"

// Status byte of an object read reply (data byte 1): the entry is not there.
constexpr uint32_t OBJECT_FLAG_NOT_AVAILABLE = 0x80;

// Reads index.subindex of the module at node: request [0xB4, index high,
// index low, subindex]. 1 with the reply in `reply`, 0 on failure (reported
// by the module protocol).
int ObjectAccess_Read(int node, int index, int subindex, CanMsg& reply);

// Writes four value bytes to index.subindex without waiting: request [0x34,
// index high, index low, subindex, value bytes 0..3]. 0 ok, -1 failed (reported).
int ObjectAccess_Write(int node, int index, int subindex, const ChanValueBytes& value);

// The value bytes of a read reply (data bytes 4..7).
ChanValueBytes ObjectAccess_ValueBytes(const CanMsg& reply);
// Byte n (0..7) of a reply as a number 0..255.
inline int ObjectAccess_Byte(const CanMsg& reply, int n) { return int(reply.data[n] & 0xFF); }
