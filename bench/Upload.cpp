// Firmware upload of a 64 KiB image into a simulated module over the Ethernet
// master with the CAN bus paced by its bit rate, driven exactly as the upload
// dialog drives it (FwUploadRun and its timer). The time is compared with the
// bus-time lower bound: the time on the wire of every frame of the exchange,
// requests and answers, back to back.
//
//   bench_Upload [--kib N] [--cpu PIC18F|dsPIC30F|dsPIC33F|SAMC21]
//
// Modes: asynchronous (PROGRAM_SEND_SYNC 0) with PROGRAM_SEND_INTERVAL_MS 0.1,
// the same with the timer re-armed a full period after each tick's end, and
// synchronous with the same interval.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "core/Session.h"
#include "core/FrameTiming.h"
#include "core/Options.h"
#include "firmware/FwUploadRun.h"
#include "firmware/HexImageBuilder.h"
#include "module/Bootloader.h"
#include "module/SimModule.h"
#include "protocol/ModuleList.h"
#include "protocol/WireConstants.h"

namespace {

constexpr int kNode = 5;
constexpr uint32_t kId = 0x680 + kNode;

// A user interface without a screen whose timers are kept as due times for
// the loop below.
class BenchUi : public ScreenlessUi {
 public:
  void armTimer(UiTimer* timer, int periodMs) override { due[timer] = NowMs() + periodMs; }
  void disarmTimer(UiTimer* timer) override { due.erase(timer); }

  // Sleeps until the timer is due and ticks it; false when it is not armed.
  bool runTimer(UiTimer* timer) {
    auto it = due.find(timer);
    if (it == due.end()) return false;
    SleepMs(it->second - NowMs());
    timer->tick();
    return true;
  }

  std::map<UiTimer*, double> due;
};

struct Mode {
  const char* name;
  int sync;
  FwUploadRun::Cadence cadence;
};

struct Result {
  bool ok = false;
  double ms = 0;
  double boundMs = 0;
  size_t frames = 0;
  std::string message;
};

// Bus time of every module protocol frame of the exchange, both directions.
double BusBoundMs(const SimServer& sim, uint8_t code, size_t& frames) {
  int64_t us = 0;
  frames = 0;
  for (const auto& list : {sim.receivedFrames(), sim.sentFrames()}) {
    for (const SimTimedFrame& f : list) {
      if (f.frame.id != kId) continue;
      us += CanFrameTimeUs(f.frame.len, code);
      ++frames;
    }
  }
  return us / 1e3;
}

Result RunOne(BenchUi& ui, uint8_t code, uint8_t cpu, const Mode& mode, const std::string& file,
              const FwImageBlock& image) {
  Result r;
  SimPopulation population;
  population.busBitRates = {code};
  SimModuleConfig c = SimModuleConfig::make(0, kNode, 0x110, code);
  c.cpu = cpu;
  c.state = Wire::VORN_STATE_BOOTLOADER;
  population.modules.push_back(c);
  SimServer sim;
  sim.setPopulation(population);
  sim.setBusTiming(true);
  if (!StartAndConnect(sim, r.message)) return r;
  Option_SetInt("PROGRAM_SEND_SYNC", mode.sync);
  Option_SetDouble("PROGRAM_SEND_INTERVAL_MS", 0.1);
  sim.clearTraffic();

  ModuleRec rec;
  rec.node = kNode;
  FwUploadRun run;
  run.setCadence(mode.cadence);
  const double start = NowMs();
  run.begin(rec, file);
  while (run.active() && ui.runTimer(&run.timer())) {
  }
  r.ms = NowMs() - start;
  r.ok = run.result() == 1;
  r.message = r.ok ? "" : ui.lastMessage;
  r.boundMs = BusBoundMs(sim, code, r.frames);

  std::vector<uint8_t> written;
  sim.withModule(sim.findModule(0, kNode),
                 [&](SimModule& m) { written = m.bootloader().readFlash(image.address, image.bytes.size()); });
  if (r.ok && written != image.bytes) {
    r.ok = false;
    r.message = "flash differs from the image";
  }
  CloseInterface();
  sim.stop();
  return r;
}

uint8_t CpuCode(const char* name) {
  const struct {
    const char* name;
    uint8_t code;
  } cpus[] = {{"PIC18F", 1}, {"dsPIC30F", 2}, {"dsPIC33F", 4}, {"SAMC21", 6}};
  for (const auto& c : cpus)
    if (std::strcmp(c.name, name) == 0) return c.code;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Session session;  // the program state the benchmarks work in
  const int kib = std::atoi(ArgValue(argc, argv, "--kib", "64"));
  const char* cpuName = ArgValue(argc, argv, "--cpu", "SAMC21");
  const uint8_t cpu = CpuCode(cpuName);
  if (kib < 1 || kib > 200 || cpu == 0) {
    std::fprintf(stderr, "usage: bench_Upload [--kib 1..200] [--cpu PIC18F|dsPIC30F|dsPIC33F|SAMC21]\n");
    return 2;
  }

  Option_Init(nullptr);
  BenchUi ui;
  Ui_Install(&ui);

  // The image sits at the simulated bootloader's firmware start.
  const BootCpu& part = BootCpu_For(cpu);
  FwImageLayout layout;
  layout.address = part.codeStart * (part.wordAddressed ? 2 : 1);
  layout.wordData = part.wordAddressed;
  layout.codeBytes = size_t(kib) * 1024 / (part.wordAddressed ? 2 : 1);
  layout.info.moduleType = 0x110;
  layout.info.softwareMajor = 1;
  layout.info.softwareMinor = 0;
  HexImageBuilder builder;
  builder.addFirmware(layout);
  char path[] = "/tmp/kvx-bench-upload-XXXXXX.hex";
  int fd = mkstemps(path, 4);
  if (fd < 0 || !builder.writeHexFile(path)) {
    std::fprintf(stderr, "cannot write the image file\n");
    return 1;
  }
  close(fd);
  const FwImageBlock& image = builder.blocks().front();

  const Mode modes[] = {
      {"async 0.1 ms", 0, FwUploadRun::Cadence::FromTickStart},
      {"async 0.1 ms, re-armed after tick", 0, FwUploadRun::Cadence::FromTickEnd},
      {"sync 0.1 ms", 1, FwUploadRun::Cadence::FromTickStart},
  };
  const uint8_t rates[] = {4, 6, 7};

  std::printf("Upload of %d KiB (%zu image bytes at 0x%X) into a simulated %s, bus timing on\n", kib,
              image.bytes.size(), unsigned(image.address), cpuName);
  std::printf("bound = time on the wire of every frame of the exchange (requests and answers)\n\n");
  std::printf("%-36s %7s %8s %11s %11s %9s %10s\n", "mode", "kbit/s", "frames", "bound ms", "upload ms",
              "/bound", "kB/s");
  bool targetMet = true, allOk = true;
  for (uint8_t code : rates) {
    double asyncBound = 0;
    for (const Mode& mode : modes) {
      Result r = RunOne(ui, code, cpu, mode, path, image);
      if (!r.ok) {
        std::printf("%-36s %7d  FAILED: %s\n", mode.name, CanBitRateKbits(code), r.message.c_str());
        allOk = false;
        continue;
      }
      const double ratio = r.ms / r.boundMs;
      if (mode.sync == 0 && mode.cadence == FwUploadRun::Cadence::FromTickStart) {
        asyncBound = r.boundMs;
        if (ratio > 1.15) targetMet = false;
      }
      std::printf("%-36s %7d %8zu %11.1f %11.1f %9.3f %10.1f", mode.name, CanBitRateKbits(code), r.frames,
                  r.boundMs, r.ms, ratio, image.bytes.size() / r.ms);
      if (mode.sync && asyncBound > 0) std::printf("   (%.3f of the asynchronous bound)", r.ms / asyncBound);
      std::printf("\n");
    }
  }
  std::remove(path);
  std::printf("\ntarget: asynchronous upload within 15%% of the bus-time bound: %s\n",
              targetMet && allOk ? "met" : "NOT met");
  Ui_Install(nullptr);
  return targetMet && allOk ? 0 : 2;
}
