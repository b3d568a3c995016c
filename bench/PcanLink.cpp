// Frames through the CAN adapter link: the carried adapter library on the
// raw CAN port of a simulator running in this process.
//
//   bench_PcanLink [--frames N] [--seconds S]
//
// 1. send: N 8-byte frames through SendCanMsg, counted when they have
//    completed on the simulated bus (no bus timing);
// 2. receive: CANopen traffic of the simulator, as fast as it can make it,
//    taken with pCAN_ReadEx for S seconds (no bus timing);
// 3. send at 1 Mbit/s with bus timing, at most 64 frames under way (an
//    adapter's transmit queue): the bus is the limit (worst-case stuff bits:
//    135 bits an 8-byte frame, 7407 frames/s);
// 0. first, request/reply round trips to a module (identify), for S seconds.
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "bus/PcanLibraryFile.h"
#include "bus/PcanLink.h"
#include "canport/SimCanPort.h"
#include "core/Options.h"
#include "core/Session.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "traffic/CanOpenTraffic.h"

namespace {

constexpr int kNode = 5;

CanMsg DataFrame(uint32_t id) {
  CanMsg m;
  m.id = id;
  m.len = 8;
  for (uint32_t i = 0; i < 8; ++i) m.data[i] = i * 17;
  return m;
}

// Sends count frames, keeping at most `window` of them not yet completed on
// the bus (an adapter's transmit queue); a full queue of the library is
// waited out. The wall time until the last one completed on the bus, in ms
// (-1 on a failure).
double SendFrames(const std::atomic<int64_t>& completed, int64_t count, int64_t window, int64_t& waits) {
  const int64_t before = completed.load();
  const double start = NowMs();
  waits = 0;
  for (int64_t i = 0; i < count;) {
    if (i - (completed.load() - before) >= window) {
      ++waits;
      PollReceive();
      SleepMs(0.02);
      continue;
    }
    if (SendCanMsg(DataFrame(0x181 + uint32_t(i % 64))) == 0) {
      ++i;
      continue;
    }
    if (std::string(GetInterfaceError()).find("XMTFULL") == std::string::npos) {
      std::fprintf(stderr, "bench_PcanLink: %s\n", GetInterfaceError());
      return -1;
    }
    ++waits;
    SleepMs(0.05);
  }
  while (completed.load() - before < count) {
    PollReceive();
    SleepMs(0.1);
    if (NowMs() - start > 120000) return -1;
  }
  return NowMs() - start;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t frames = std::atoll(ArgValue(argc, argv, "--frames", "200000"));
  const double seconds = std::atof(ArgValue(argc, argv, "--seconds", "3"));
  char home[] = "/tmp/bench_pcan.XXXXXX";
  if (!mkdtemp(home)) return 1;
  struct RemoveHome {
    const char* folder;
    ~RemoveHome() {
      unlink((std::string(folder) + "/PCAN_USB.DLL").c_str());
      rmdir(folder);
    }
  } removeHome{home};
  setenv("HOME", home, 1);
  unsetenv("HOMEDRIVE");
  unsetenv("HOMEPATH");

  Session session;
  Option_Init(nullptr);
  Ui_Install(nullptr);
  SimServer sim;
  SimPopulation population;
  population.busBitRates = {7};
  population.modules.push_back(SimModuleConfig::make(0, kNode, 16, 7));
  sim.setPopulation(population);
  SimCanPort port(sim, 0);
  if (!sim.start() || !port.start()) {
    std::fprintf(stderr, "bench_PcanLink: cannot start the simulator\n");
    return 1;
  }
  setenv("KVX_CAN_CHANNEL", ("tcp:127.0.0.1:" + std::to_string(port.port())).c_str(), 1);
  pCAN_SetBaudrate(7);
  if (OpenInterface("PCAN USB") != 0) {
    std::fprintf(stderr, "bench_PcanLink: %s\n", GetInterfaceError());
    return 1;
  }
  std::printf("adapter library %s (%zu bytes carried)\n", pCAN_LibraryPath(), kPcanLibraryImageSize);

  int64_t trips = 0;
  const double tripStart = NowMs();
  while (NowMs() - tripStart < seconds * 1000) {
    CanMsg m;
    if (!VornProt_RequestMessage(m, kNode, 1, VORN_CMD_IDENTIFY, {})) {
      std::fprintf(stderr, "bench_PcanLink: %s\n", GetInterfaceError());
      return 1;
    }
    ++trips;
  }
  double ms = NowMs() - tripStart;
  std::printf("request/reply: %lld round trips in %.0f ms = %.0f/s (%.3f ms each)\n", (long long)trips, ms,
              trips * 1000.0 / ms, ms / double(trips));

  // Frames of the adapter completed on the bus.
  std::atomic<int64_t> completed{0};
  sim.addBusTap([&completed](int, const SimFrame&, int64_t, bool fromAdapter) {
    if (fromAdapter) ++completed;
  });

  int64_t waits = 0;
  ms = SendFrames(completed, frames, 4096, waits);
  if (ms < 0) return 1;
  std::printf("send:    %lld frames in %.0f ms = %.0f frames/s completed on the bus (%lld waits)\n",
              (long long)frames, ms, frames * 1000.0 / ms, (long long)waits);

  CanOpenTrafficConfig config;
  config.framesPerSecond = kCanOpenTrafficMaxRate;
  config.errorShare = 0;
  sim.addTrafficSource(0, std::make_unique<CanOpenTraffic>(config));
  int64_t received = 0;
  const double start = NowMs();
  while (NowMs() - start < seconds * 1000) {
    CanMsg m;
    int got = 0;
    if (pCAN_ReadEx(m, got) != 0) {
      std::fprintf(stderr, "bench_PcanLink: %s\n", GetInterfaceError());
      return 1;
    }
    received += got;
  }
  ms = NowMs() - start;
  std::printf("receive: %lld frames taken with pCAN_ReadEx in %.0f ms = %.0f frames/s\n", (long long)received, ms,
              received * 1000.0 / ms);
  // The simulator may be behind the flood: let the bus run empty first.
  sim.clearBusTraffic();
  for (int64_t last = -1, quiet = 0; quiet < 3;) {
    for (int i = 0; i < 50; ++i) {
      PollReceive();
      SleepMs(1);
    }
    const int64_t now = port.stats().framesToClient;
    quiet = now == last ? quiet + 1 : 0;
    last = now;
  }

  sim.setBusTiming(true);
  const int64_t timed = int64_t(seconds * 7407);
  ms = SendFrames(completed, timed, 64, waits);
  if (ms < 0) return 1;
  std::printf("send at 1 Mbit/s with bus timing: %lld frames in %.0f ms = %.0f frames/s (bus bound 7407/s: %.1f %%)\n",
              (long long)timed, ms, timed * 1000.0 / ms, timed * 1000.0 / ms / 7407.0 * 100.0);
  sim.setBusTiming(false);

  CloseInterface();
  port.stop();
  sim.stop();
  Ui_Install(nullptr);
  return 0;
}
