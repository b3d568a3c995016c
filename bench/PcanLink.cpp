// Frames through the CAN adapter link: the carried adapter library on the
// raw CAN port of a simulator running in this process.
//
//   bench_PcanLink [--frames N] [--seconds S]
//
// 1. send: N 8-byte frames through SendCanMsg as fast as the link takes
//    them, counted when they are on the simulated bus (no bus timing);
// 2. receive: CANopen traffic of the simulator, as fast as it comes, taken
//    with PollReceive for S seconds (no bus timing);
// 3. send at 1 Mbit/s with bus timing: the bus is the limit (worst-case
//    stuff bits: 135 bits an 8-byte frame, 7407 frames/s);
// 4. request/reply round trips to a module (identify), for S seconds.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "bus/PcanLink.h"
#include "canport/SimCanPort.h"
#include "core/Options.h"
#include "core/Session.h"
#include "traffic/CanOpenTraffic.h"

namespace {

constexpr uint32_t kBase = 0x680;
constexpr int kNode = 5;

CanMsg DataFrame(uint32_t id) {
  CanMsg m;
  m.id = id;
  m.len = 8;
  for (uint32_t i = 0; i < 8; ++i) m.data[i] = i * 17;
  return m;
}

// Sends count frames; a full transmit queue is waited out. The wall time
// until the port has put them all on the bus, in ms (-1 on a failure).
double SendFrames(SimCanPort& port, int64_t count, int64_t& retries) {
  const int64_t before = port.stats().framesFromClient;
  const double start = NowMs();
  retries = 0;
  for (int64_t i = 0; i < count;) {
    if (SendCanMsg(DataFrame(0x181 + uint32_t(i % 64))) == 0) {
      ++i;
      continue;
    }
    if (std::string(GetInterfaceError()).find("XMTFULL") == std::string::npos) {
      std::fprintf(stderr, "bench_PcanLink: %s\n", GetInterfaceError());
      return -1;
    }
    ++retries;
    PollReceive();  // also lets the library hand its queue to the socket
    SleepMs(0.05);
  }
  while (port.stats().framesFromClient - before < count) {
    PollReceive();
    if (!port.waitForFramesFromClient(before + count, 1000) && NowMs() - start > 60000) return -1;
  }
  return NowMs() - start;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t frames = std::atoll(ArgValue(argc, argv, "--frames", "200000"));
  const double seconds = std::atof(ArgValue(argc, argv, "--seconds", "3"));
  char home[] = "/tmp/bench_pcan.XXXXXX";
  if (!mkdtemp(home)) return 1;
  setenv("HOME", home, 1);
  unsetenv("HOMEDRIVE");
  unsetenv("HOMEPATH");

  Session session;
  Option_Init(nullptr);
  ScreenlessUi ui;
  Ui_Install(&ui);
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

  int64_t retries = 0;
  double ms = SendFrames(port, frames, retries);
  if (ms < 0) return 1;
  std::printf("send:    %lld frames in %.0f ms = %.0f frames/s onto the bus (%lld waits for a full queue)\n",
              (long long)frames, ms, frames * 1000.0 / ms, (long long)retries);

  CanOpenTrafficConfig config;
  config.framesPerSecond = kCanOpenTrafficMaxRate;
  config.errorShare = 0;
  sim.addTrafficSource(0, std::make_unique<CanOpenTraffic>(config));
  Interface_SetFrameLogger([](const CanMsg&) {});
  const double start = NowMs();
  const int64_t portBefore = port.stats().framesToClient;
  while (NowMs() - start < seconds * 1000) PollReceive();
  sim.clearBusTraffic();
  const int64_t received = port.stats().framesToClient - portBefore;
  ms = NowMs() - start;
  std::printf("receive: %lld frames sent by the port in %.0f ms = %.0f frames/s taken by PollReceive\n",
              (long long)received, ms, received * 1000.0 / ms);
  for (int i = 0; i < 200; ++i) {  // drain what is still under way
    PollReceive();
    SleepMs(1);
  }

  sim.setBusTiming(true);
  const int64_t timed = int64_t(seconds * 7407);
  ms = SendFrames(port, timed, retries);
  if (ms < 0) return 1;
  std::printf("send at 1 Mbit/s with bus timing: %lld frames in %.0f ms = %.0f frames/s (bus bound 7407/s: %.1f %%)\n",
              (long long)timed, ms, timed * 1000.0 / ms, timed * 1000.0 / ms / 7407.0 * 100.0);
  sim.setBusTiming(false);

  int64_t trips = 0;
  const double tripStart = NowMs();
  while (NowMs() - tripStart < seconds * 1000) {
    CanMsg m;
    m.id = kBase + kNode;
    m.len = 1;
    m.data[0] = 0x80;
    if (RequestReply(m.id, 0x80, m) != 0) {
      std::fprintf(stderr, "bench_PcanLink: %s\n", GetInterfaceError());
      return 1;
    }
    ++trips;
  }
  ms = NowMs() - tripStart;
  std::printf("request/reply: %lld round trips in %.0f ms = %.0f/s (%.3f ms each)\n", (long long)trips, ms,
              trips * 1000.0 / ms, ms / double(trips));

  CloseInterface();
  port.stop();
  sim.stop();
  Ui_Install(nullptr);
  unlink((std::string(home) + "/PCAN_USB.DLL").c_str());
  rmdir(home);
  return 0;
}
