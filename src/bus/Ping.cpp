#include "bus/Ping.h"

#include <string>

#include "core/Session.h"
#include "core/TextFormat.h"
#include "platform/Clock.h"
#include "platform/IcmpSocket.h"
#include "platform/Tcp.h"

namespace {

constexpr int kReceiveSize = 321;

struct PingState {
  std::string result;
  uint16_t identifier = 1;
  uint16_t sequence = 1;
  PingSocketFactory factory;
};

PingState& state() { return Session_Part<PingState>(); }

void put16(uint8_t* at, uint16_t v) {
  at[0] = uint8_t(v & 0xFF);
  at[1] = uint8_t(v >> 8);
}

// RFC 1071 over the bytes as 16-bit words in memory order; an odd last byte
// is a word of its own with a zero second byte. Stored the same way round.
uint16_t internetChecksum(const uint8_t* bytes, int count) {
  uint32_t sum = 0;
  for (int i = 0; i + 1 < count; i += 2) sum += uint32_t(bytes[i]) | uint32_t(bytes[i + 1]) << 8;
  if (count % 2) sum += bytes[count - 1];
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return uint16_t(~sum);
}

}  // namespace

void Ping_BuildRequest(uint16_t identifier, uint16_t sequence, uint32_t tickMs,
                       uint8_t out[kPingRequestSize]) {
  out[0] = 8;  // echo request
  out[1] = 0;
  put16(out + 2, 0);
  put16(out + 4, identifier);
  put16(out + 6, sequence);
  out[8] = 0;
  for (int i = 0; i < 4; ++i) out[9 + i] = uint8_t(tickMs >> (8 * i));
  for (int i = 0; i < 32; ++i) out[13 + i] = uint8_t(0x20 + i);
  put16(out + 2, internetChecksum(out, kPingRequestSize));
}

int Ping_Host(const char* host, int count) {
  PingState& s = state();
  s.result.clear();
  const std::string name = host ? host : "";
  // The socket is released on every way out.
  std::unique_ptr<PingSocket> socket = s.factory ? s.factory() : std::make_unique<IcmpSocket>();
  if (!socket || !socket->open()) {
    s.result = "Can't create ICMP socket";
    return 0;
  }
  uint32_t address = 0;
  if (!Tcp_ResolveIPv4(name, &address, nullptr)) {
    s.result = Text_Format("Host not found (can't resolve '%s')", name.c_str());
    return 0;
  }
  const std::string dotted = Tcp_AddressText(address);
  const std::string target = dotted == name ? Text_Format("'%s'", name.c_str())
                                            : Text_Format("'%s' (%s)", name.c_str(), dotted.c_str());
  std::string failure;
  for (int i = 0; i < count && failure.empty(); ++i) {
    uint8_t request[kPingRequestSize];
    Ping_BuildRequest(s.identifier, s.sequence, uint32_t(Clock_NowMs()), request);
    socket->send(address, request, sizeof request);  // a lost request shows as the time-out
    ++s.identifier;
    ++s.sequence;
    const int ready = socket->waitReadable(kPingWaitMs);
    uint8_t reply[kReceiveSize];
    if (ready < 0)
      failure = "select()";
    else if (ready == 0)
      failure = Text_Format("Timeout, cannot reach %s", target.c_str());
    else if (socket->receive(reply, sizeof reply) < 0)
      failure = Text_Format("No response from %s", target.c_str());
  }
  socket->close();
  s.result = failure.empty() ? target : failure;
  return failure.empty() ? 1 : 0;
}

const char* Ping_ResultText() { return state().result.c_str(); }

void Ping_SetSocketFactory(PingSocketFactory factory) { state().factory = std::move(factory); }
