// Fuzzes the simulator from its client's side: kvxsim takes a TCP byte stream
// from whoever connects. The first input byte is the size of the reads the
// stream arrives in (0: all at once), the rest is the stream: frames for the
// master and for the demo modules (their requests, firmware and memory
// commands included), decoded, handed to the master and run on the
// simulated buses. What the master sends back must decode to the frames it
// sent, with the program's own stream buffer.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "SimServer.h"
#include "bus/EthFrame.h"
#include "core/SimNetwork.h"
#include "master/BusMaster.h"
#include "master/WireFormat.h"
#include "population/Population.h"

namespace {

// Time between the reads of the stream, and after the last one.
constexpr int64_t kReadGapUs = 2000;
constexpr int64_t kSettleUs = 5'000'000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t readSize = data[0] == 0 ? size : data[0];
  static const SimPopulation population = SimPopulation::demo();

  SimNetwork network;
  std::vector<SimFrame> toClient;
  BusMaster master(network, [&](const SimFrame& f, int64_t) {
    if (toClient.size() < 10000) toClient.push_back(f);
  });
  network.setListener([&](int bus, const SimFrame& f, int64_t t, FrameOrigin origin) {
    master.fromBus(bus, f, t, origin);
  });
  network.setPopulation(population);
  master.setRunState(population.plcRunState);
  master.clientConnected();

  SimServerStats stats;
  HostStreamDecoder decoder;
  int64_t now = 0;
  for (size_t at = 1; at < size; at += readSize) {
    now += kReadGapUs;
    network.advance(now);
    decoder.feed(data + at, std::min(readSize, size - at), [&](const DecodedFrame& d) {
      if (d.legal()) master.fromClient(d.frame, now, stats);
    });
  }
  FUZZ_CHECK(decoder.buffered() < 5 + 15);
  network.advance(now + kSettleUs);

  // The replies, as the program's stream buffer takes them.
  std::vector<uint8_t> stream;
  for (const SimFrame& f : toClient) {
    FUZZ_CHECK(f.len <= 8);
    const std::vector<uint8_t> bytes = EncodeMasterFrame(f, 1);
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  }
  EthStreamBuffer buffer;
  size_t fed = 0, taken = 0;
  while (fed < stream.size() || buffer.frontComplete()) {
    EthFrameIn frame;
    if (buffer.pop(frame)) {
      FUZZ_CHECK(taken < toClient.size());
      const SimFrame& sent = toClient[taken++];
      FUZZ_CHECK(frame.id == sent.id && frame.lengthNibble() == sent.len);
      continue;
    }
    size_t room = 0;
    uint8_t* space = buffer.space(room);
    const size_t n = std::min(room, stream.size() - fed);
    std::copy(stream.begin() + long(fed), stream.begin() + long(fed + n), space);
    buffer.commit(n);
    fed += n;
  }
  FUZZ_CHECK(taken == toClient.size());
  return 0;
}
