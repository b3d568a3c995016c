// Ping: does a host answer ICMP echo requests at all? The interface settings
// dialog asks before the user connects to a bus master over Ethernet.
//
// Each request is 45 bytes: type 8, code 0, the Internet checksum, the
// identifier and sequence counters (both start at 1 and count up with every
// request sent, least significant byte first), a 0, the millisecond tick
// (least significant byte first) and the bytes 0x20..0x3F. Any datagram that
// comes back within 5 s counts as the answer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class PingSocket;

inline constexpr int kPingRequestSize = 45;
inline constexpr int kPingWaitMs = 5000;

// Sends count requests to host, one at a time. 1 when every one was
// answered, else 0; Ping_ResultText() then says whom it reached or what failed.
int Ping_Host(const char* host, int count);
// The target description after success ("'name' (a.b.c.d)" or "'a.b.c.d'"),
// else the error text.
const char* Ping_ResultText();

// The echo request with the given counters and tick.
void Ping_BuildRequest(uint16_t identifier, uint16_t sequence, uint32_t tickMs,
                       uint8_t out[kPingRequestSize]);

// Where the ping gets its sockets (the system's ICMP socket unless replaced).
using PingSocketFactory = std::function<std::unique_ptr<PingSocket>()>;
void Ping_SetSocketFactory(PingSocketFactory factory);
