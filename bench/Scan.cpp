// Wall time of a bus scan of nodes 1..127 against a simulated bus master
// holding 127 modules, in flash mode (one identify request to node 0) and node
// by node, driven exactly as the module list window drives it: BusScan and its
// three timers, run here by a timer loop that behaves like the GUI's periodic
// timers. Each time is set beside the time the timers alone fix: the collect
// interval for flash mode, 127 send intervals plus the collect interval node
// by node.
//
//   bench_Scan [--population FILE] [--runs N] [--send-interval MS] [--no-bus-timing]
//              [--modbus BAUD]
//
// With --modbus the scan runs node by node over the Modbus serial link to the
// simulator's Modbus RTU line (8N1 at BAUD, with line timing) instead of the
// Ethernet master; opening that link presets the same 100 ms send interval.
//
// The default population is sim/population/load-127.txt (relative to the
// working folder); the CAN bus is paced by its bit rate unless told otherwise.
// The send interval is the one opening the Ethernet master presets (100 ms)
// unless given.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "core/Session.h"
#include "core/Options.h"
#include "protocol/BusScan.h"
#include "protocol/ModuleList.h"

namespace {

// A user interface without a screen whose timers are periodic like the GUI's:
// a late tick is not caught up, the next one comes a full period later.
class BenchUi : public ScreenlessUi {
 public:
  void armTimer(UiTimer* timer, int periodMs) override { armed_[timer] = {NowMs() + periodMs, periodMs}; }
  void disarmTimer(UiTimer* timer) override { armed_.erase(timer); }

  // Ticks the due timers, earliest first, while busy() holds and a timer is
  // armed; afterTick() runs after every tick.
  template <typename Busy, typename AfterTick>
  void runWhile(Busy busy, AfterTick afterTick) {
    while (busy() && !armed_.empty()) {
      auto next = std::min_element(armed_.begin(), armed_.end(),
                                   [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
      UiTimer* timer = next->first;
      const double due = next->second.due;
      SleepMs(due - NowMs());
      // Scheduled before the tick: the callback may stop or re-arm its timer.
      const double now = NowMs();
      next->second.due = due + next->second.period >= now ? due + next->second.period
                                                         : now + next->second.period;
      timer->tick();
      afterTick();
    }
  }

 private:
  struct Armed {
    double due;
    int period;
  };
  std::map<UiTimer*, Armed> armed_;
};

struct Run {
  double ms = 0;        // start to the end of the scan
  double listedMs = 0;  // start to the tick that listed the last module
  int found = 0;
};

Run ScanOnce(BenchUi& ui, bool flash, int expected) {
  Option_SetInt("SCAN_FLASHMODE", flash ? 1 : 0);
  Option_SetInt("SCAN_RANGE_START", 1);
  Option_SetInt("SCAN_RANGE_STOP", 127);
  Run r;
  const double start = NowMs();
  BusScan_Start();
  ui.runWhile([] { return BusScan_Running(); },
              [&] {
                if (r.listedMs == 0 && ModuleList_Count() >= expected) r.listedMs = NowMs() - start;
              });
  r.ms = NowMs() - start;
  r.found = ModuleList_Count();
  return r;
}

void Report(const char* name, std::vector<Run> runs, double timersMs, int expected) {
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.ms < b.ms; });
  const Run& median = runs[runs.size() / 2];
  bool allFound = true;
  for (const Run& r : runs) allFound = allFound && r.found == expected;
  std::printf("%-13s median %8.1f ms  min %8.1f  max %8.1f  timers alone %6.0f ms  "
              "overhead %+5.1f ms  all listed after %7.1f ms  found %d/%d%s\n",
              name, median.ms, runs.front().ms, runs.back().ms, timersMs, median.ms - timersMs,
              median.listedMs, median.found, expected,
              allFound ? "" : "  (NOT ALL RUNS FOUND EVERY MODULE)");
}

}  // namespace

int main(int argc, char** argv) {
  Session session;  // the program state the benchmarks work in
  const std::string file = ArgValue(argc, argv, "--population", "sim/population/load-127.txt");
  const int runs = std::atoi(ArgValue(argc, argv, "--runs", "5"));
  const bool busTiming = !HasFlag(argc, argv, "--no-bus-timing");
  const int sendInterval = std::atoi(ArgValue(argc, argv, "--send-interval", "0"));
  const long modbusBaud = std::atol(ArgValue(argc, argv, "--modbus", "0"));
  if (runs < 1 || sendInterval < 0) {
    std::fprintf(stderr,
                 "usage: bench_Scan [--population FILE] [--runs N] [--send-interval MS] "
                 "[--no-bus-timing] [--modbus BAUD]\n");
    return 2;
  }

  SimPopulation population;
  std::string error;
  if (!SimPopulation::load(file, population, error)) {
    std::fprintf(stderr, "bench_Scan: %s\n", error.c_str());
    return 1;
  }
  int expected = 0;
  for (const SimModuleConfig& m : population.modules) expected += m.bus == 0 && m.type != 133 ? 1 : 0;

  Option_Init(nullptr);
  BenchUi ui;
  Ui_Install(&ui);
  ModuleList_Create();

  SimServer sim;
  sim.setPopulation(population);
  sim.setBusTiming(busTiming);
  if (modbusBaud > 0) {
    sim.setModbusLineTiming(true);
    const std::string device = sim.start() ? sim.startModbus(0) : std::string();
    Option_SetString("MODBUS_COMPORTNAME", device.c_str());
    Option_SetLong("MODBUS_BAUDRATE", int32_t(modbusBaud));
    Option_SetString("MODBUS_PROTOCOL", "8N1");
    ApplyLinkSettings();
    if (device.empty() || OpenInterface("Modbus (Serial)") != 0) {
      std::fprintf(stderr, "bench_Scan: no Modbus line: %s %s\n", sim.lastError().c_str(), GetInterfaceError());
      return 1;
    }
    std::printf("over the Modbus line %s at %ld baud 8N1\n", device.c_str(), modbusBaud);
  } else if (!StartAndConnect(sim, error)) {
    std::fprintf(stderr, "bench_Scan: %s\n", error.c_str());
    return 1;
  }

  if (sendInterval > 0) Option_SetInt("SCAN_SEND_INTERVAL_MS", sendInterval);
  const int send = Option_GetInt("SCAN_SEND_INTERVAL_MS");
  const int check = Option_GetInt("SCAN_CHECK_INTERVAL_MS");
  const int collect = Option_GetInt("SCAN_COLLECT_INTERVAL_MS");
  std::printf("%zu modules on bus 0 (%s), bus timing %s; send %d ms, check %d ms, collect %d ms; "
              "%d runs each\n",
              population.modules.size(), file.c_str(), busTiming ? "on" : "off", send, check, collect,
              runs);

  // A Modbus line answers one slave at a time: only the node-by-node scan.
  const bool flashToo = modbusBaud == 0;
  ScanOnce(ui, flashToo, expected);  // warm-up: connection, caches
  std::vector<Run> flash, nodes;
  for (int i = 0; flashToo && i < runs; ++i) flash.push_back(ScanOnce(ui, true, expected));
  for (int i = 0; i < runs; ++i) nodes.push_back(ScanOnce(ui, false, expected));
  if (flashToo) Report("flash mode", flash, collect, expected);
  Report("node by node", nodes, 127.0 * send + collect, expected);
  if (!ui.lastMessage.empty()) std::printf("last message: %s\n", ui.lastMessage.c_str());

  CloseInterface();
  sim.stop();
  Ui_Install(nullptr);
  return 0;
}
