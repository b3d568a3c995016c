// Request/reply round trips per second over the Modbus serial link to a
// module behind the simulator's Modbus RTU line, with line timing: the
// simulator passes a request on and writes a reply only after the time their
// characters and the RTU silent intervals need at the baud rate set on the
// line. Each rate is set beside that bound:
//
//   bound = (request + reply characters) x bits per character / baud
//           + 2 x silent interval (3.5 characters; 1.75 ms above 19200 baud)
//
//   bench_ModbusRoundTrip [--requests N] [--bauds 19200,57600]
//
// The line runs 8N1 (a pseudo-terminal carries no parity, so the simulator
// times 8N1 whatever the program asks for). An identify request is 8
// characters on the line, its reply 13.
#include <sys/prctl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "bus/Interface.h"
#include "bus/ModbusLink.h"
#include "core/Options.h"
#include "core/Session.h"

namespace {

constexpr int kNode = 3;
constexpr int kRequestChars = 8;
constexpr int kReplyChars = 13;
constexpr int kBitsPerChar = 10;  // 8N1

// No timers run here: the requests are made in a plain loop.
class NoTimersUi : public ScreenlessUi {
 public:
  void armTimer(UiTimer*, int) override {}
  void disarmTimer(UiTimer*) override {}
};

double SilenceMs(long baud) { return baud > 19200 ? 1.75 : 3.5 * kBitsPerChar * 1000.0 / baud; }

double BoundMs(long baud) {
  return (kRequestChars + kReplyChars) * kBitsPerChar * 1000.0 / baud + 2 * SilenceMs(baud);
}

}  // namespace

int main(int argc, char** argv) {
  // Sleeps and timed waits end when due, not up to 50 us later: the line's
  // times are a few milliseconds. The simulator's thread, made below, inherits it.
  prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
  Session session;
  const int requests = std::atoi(ArgValue(argc, argv, "--requests", "300"));
  std::vector<long> bauds;
  std::stringstream list(ArgValue(argc, argv, "--bauds", "19200,57600"));
  for (std::string item; std::getline(list, item, ',');) bauds.push_back(std::atol(item.c_str()));
  if (requests < 10 || bauds.empty()) {
    std::fprintf(stderr, "usage: bench_ModbusRoundTrip [--requests N>=10] [--bauds 19200,57600]\n");
    return 2;
  }

  Option_Init(nullptr);
  NoTimersUi ui;
  Ui_Install(&ui);
  SimPopulation population;
  population.busBitRates = {4};
  population.modules.push_back(SimModuleConfig::make(0, kNode, 16, 4));
  SimServer sim;
  sim.setPopulation(population);
  sim.setModbusLineTiming(true);
  if (!sim.start()) {
    std::fprintf(stderr, "bench_ModbusRoundTrip: %s\n", sim.lastError().c_str());
    return 1;
  }
  const std::string device = sim.startModbus(0);
  if (device.empty()) {
    std::fprintf(stderr, "bench_ModbusRoundTrip: %s\n", sim.lastError().c_str());
    return 1;
  }
  std::printf("%d identify round trips per rate to a module behind the simulator's Modbus line %s\n",
              requests, device.c_str());

  int failures = 0;
  for (long baud : bauds) {
    Option_SetString("MODBUS_COMPORTNAME", device.c_str());
    Option_SetLong("MODBUS_BAUDRATE", int32_t(baud));
    Option_SetString("MODBUS_PROTOCOL", "8N1");
    CloseInterface();
    ApplyLinkSettings();
    if (OpenInterface("Modbus (Serial)") != 0) {
      std::fprintf(stderr, "bench_ModbusRoundTrip: %s\n", GetInterfaceError());
      return 1;
    }
    const uint32_t id = uint32_t(Option_GetInt("VORN_PROT_BASE_ID") + kNode);
    auto ask = [&] {
      CanMsg msg;
      msg.id = id;
      msg.len = 1;
      msg.data[0] = 0x80;
      return RequestReply(id, 0, msg) == 0 && msg.len == 8;
    };
    for (int i = 0; i < 10; ++i) ask();  // warm-up
    int answered = 0;
    const double start = NowMs();
    for (int i = 0; i < requests; ++i) answered += ask() ? 1 : 0;
    const double elapsed = NowMs() - start;
    failures += requests - answered;
    const double perTrip = elapsed / requests;
    const double bound = BoundMs(baud);
    std::printf("%6ld baud 8N1: %7.1f round trips/s (%.2f ms each); line bound %.1f/s (%.2f ms): %5.1f %%  "
                "answered %d/%d\n",
                baud, 1000.0 / perTrip, perTrip, 1000.0 / bound, bound, 100.0 * bound / perTrip, answered,
                requests);
  }
  CloseInterface();
  sim.stop();
  Ui_Install(nullptr);
  return failures ? 1 : 0;
}
