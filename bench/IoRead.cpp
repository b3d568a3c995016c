// What the I/O pages cost a module over loopback TCP to the simulated bus
// master: reading the channel description when a page becomes visible (32
// analog inputs of one type with 16 configurations: 2 + 3 x 32 + 1 + 16
// object reads), one Analog In poll (one read) and one Digital In poll of
// four channels (four reads). A poll has AUTOUPDATE_INTERVAL_MS (250 ms) of
// room before the next one.
//
//   bench_IoRead [Google Benchmark options]
#include <benchmark/benchmark.h>

#include <cstdio>

#include "SimServer.h"
#include "core/Session.h"
#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "core/Options.h"
#include "io/AnalogChannel.h"
#include "io/ChanInfo.h"
#include "io/DigitalChannels.h"
#include "module/IoBuilder.h"
#include "protocol/ModuleList.h"

namespace {

constexpr int kNode = 5;

SimServer* g_sim = nullptr;

ModuleRec Record() {
  ModuleRec rec;
  rec.node = kNode;
  rec.type = 30;
  rec.bus = 'c';
  return rec;
}

bool StartSimulator() {
  Option_Init(nullptr);
  SimModuleConfig c = SimModuleConfig::make(0, kNode, 30);
  SimChannelGroup ai;
  ai.group = SimIoGroup::AnalogIn;
  ai.typeNumber = 1;
  for (int i = 0; i < 16; ++i) ai.configs.push_back(uint16_t(0x0100 + i));
  ai.count = 32;
  ai.valueIndex = 0x6401;
  SimIo_AddChannels(c, ai);
  SimChannelGroup di;
  di.group = SimIoGroup::DigitalIn;
  di.typeNumber = 0x1E;
  di.configs = {0x1E0F};
  di.count = 8;
  di.valueIndex = 0x6000;
  SimIo_AddChannels(c, di);
  SimPopulation population;
  population.modules.push_back(c);
  static SimServer sim;
  sim.setPopulation(population);
  if (!sim.start()) {
    std::fprintf(stderr, "cannot start the simulator: %s\n", sim.lastError().c_str());
    return false;
  }
  g_sim = &sim;
  EthMaster_SetHostName("127.0.0.1");
  EthMaster_SetPort(sim.port());
  if (OpenInterface("KVX Master (Ethernet)") != 0) {
    std::fprintf(stderr, "cannot open the link: %s\n", GetInterfaceError());
    return false;
  }
  return true;
}

void BM_ChannelDescription32AnalogInputs(benchmark::State& state) {
  const ModuleRec rec = Record();
  for (auto _ : state) {
    ChanInfo info;
    ChanInfo_GetChannelInfo(rec, info, CHANINFO_ANALOG_IN);
    if (info.channelCount != 32) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(info);
  }
}
BENCHMARK(BM_ChannelDescription32AnalogInputs)->Unit(benchmark::kMillisecond);

void BM_AnalogInPoll(benchmark::State& state) {
  const ModuleRec rec = Record();
  ChanInfo info;
  ChanInfo_GetChannelInfo(rec, info, CHANINFO_ANALOG_IN);
  for (auto _ : state) {
    AnalogReading reading;
    if (AnalogIn_ReadValue(rec, info, 7, reading) == 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(reading);
  }
}
BENCHMARK(BM_AnalogInPoll)->Unit(benchmark::kMicrosecond);

void BM_DigitalInPollFourRows(benchmark::State& state) {
  const ModuleRec rec = Record();
  ChanInfo info;
  ChanInfo_GetChannelInfo(rec, info, CHANINFO_DIGITAL_IN);
  for (auto _ : state) {
    for (int c = 0; c < DIGITAL_ROWS; ++c) {
      uint32_t value = 0;
      if (!DigitalChannels_Read(rec, info, c, value)) state.SkipWithError("read failed");
      benchmark::DoNotOptimize(value);
    }
  }
}
BENCHMARK(BM_DigitalInPollFourRows)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  Session session;  // the program state the benchmarks work in
  if (!StartSimulator()) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  CloseInterface();
  g_sim->stop();
  return 0;
}
