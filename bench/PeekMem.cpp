// Memory dump of 64 KiB of program flash from a simulated module over the
// Ethernet master with the CAN bus paced by its bit rate, driven as the peek
// page drives it: PeekDump::step() back to back, as a zero-interval timer
// would call it. The time is compared with the bus-time lower bound (the time
// on the wire of every frame of the exchange, requests and answers, back to
// back); the longest single step is what the window waits at most. A last
// run without bus timing shows what the program and the loopback link cost
// per request on their own.
//
//   bench_PeekMem [--kib N] [--cpu SAMC21|dsPIC33F|PIC18F]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "core/FrameTiming.h"
#include "core/Options.h"
#include "core/Session.h"
#include "module/PeekMem.h"
#include "module/SimModule.h"
#include "protocol/ModuleList.h"
#include "protocol/WireConstants.h"

namespace {

constexpr int kNode = 5;
constexpr uint32_t kId = 0x680 + kNode;

// The dump needs no timer of the interface: the loop below is its timer.
class BenchUi : public ScreenlessUi {
 public:
  void armTimer(UiTimer*, int) override {}
  void disarmTimer(UiTimer*) override {}
};

struct Result {
  bool ok = false;
  double ms = 0, boundMs = 0, longestStepMs = 0;
  size_t frames = 0;
  std::string message;
};

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

// The bytes of a byte-layout dump, in order.
std::string DumpBytes(const std::string& text) {
  std::string out;
  size_t pos = text.find("\r\n\r\n");
  while ((pos = text.find("\r\n", pos)) != std::string::npos) {
    pos += 2;
    size_t end = text.find("\r\n", pos);
    const std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    for (size_t i = 9; i + 2 <= line.size(); ++i) {
      if (line[i] == ' ') continue;
      out += char(std::strtoul(line.substr(i, 2).c_str(), nullptr, 16));
      ++i;
    }
  }
  return out;
}

Result RunOne(uint8_t code, uint8_t cpu, uint32_t bytes, BenchUi& ui, bool busTiming) {
  Result r;
  const bool words = cpu == Wire::VORN_CPU_DSPIC33F;
  SimPopulation population;
  population.busBitRates = {code};
  SimModuleConfig c = SimModuleConfig::make(0, kNode, 0x110, code);
  c.cpu = cpu;
  c.state = Wire::VORN_STATE_BOOTLOADER;
  SimMemoryFill fill;
  fill.memoryType = Wire::VORN_MEMORY_FLASH;
  fill.patternLength = bytes;
  c.service.memory.push_back(fill);
  population.modules.push_back(c);
  SimServer sim;
  sim.setPopulation(population);
  sim.setBusTiming(busTiming);
  if (!StartAndConnect(sim, r.message)) return r;
  sim.clearTraffic();

  ModuleRec rec;
  rec.node = kNode;
  // A word layout takes four transfer bytes per word of two address units.
  PeekFields fields{0, "0", std::to_string(words ? bytes / 2 : bytes)};
  PeekDump dump;
  const double start = NowMs();
  bool going = dump.start(rec, fields, false);
  while (going) {
    const double stepStart = NowMs();
    going = dump.step();
    r.longestStepMs = std::max(r.longestStepMs, NowMs() - stepStart);
  }
  r.ms = NowMs() - start;
  r.boundMs = BusBoundMs(sim, code, r.frames);
  r.ok = dump.text().find("error") == std::string::npos && dump.text().find("exceeded") == std::string::npos;
  if (!r.ok) r.message = ui.lastMessage.empty() ? dump.text().substr(dump.text().size() - 40) : ui.lastMessage;
  if (r.ok && !words) {
    const std::string got = DumpBytes(dump.text());
    bool same = got.size() == bytes;
    for (uint32_t i = 0; same && i < bytes; ++i) same = uint8_t(got[i]) == SimMemoryPattern(i);
    if (!same) {
      r.ok = false;
      r.message = "the dump differs from the flash";
    }
  }
  CloseInterface();
  sim.stop();
  return r;
}

uint8_t CpuCode(const char* name) {
  if (std::strcmp(name, "SAMC21") == 0) return Wire::VORN_CPU_SAMC21;
  if (std::strcmp(name, "dsPIC33F") == 0) return Wire::VORN_CPU_DSPIC33F;
  if (std::strcmp(name, "PIC18F") == 0) return Wire::VORN_CPU_PIC18F;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int kib = std::atoi(ArgValue(argc, argv, "--kib", "64"));
  const char* cpuName = ArgValue(argc, argv, "--cpu", "SAMC21");
  const uint8_t cpu = CpuCode(cpuName);
  if (kib < 1 || kib > 96 || cpu == 0) {
    std::fprintf(stderr, "usage: bench_PeekMem [--kib 1..96] [--cpu SAMC21|dsPIC33F|PIC18F]\n");
    return 2;
  }
  Session session;
  Option_Init(nullptr);
  BenchUi ui;
  Ui_Install(&ui);
  const uint32_t bytes = uint32_t(kib) * 1024;

  std::printf("Dump of %d KiB of program flash from a simulated %s, bus timing on\n", kib, cpuName);
  std::printf("bound = time on the wire of every frame of the exchange (requests and answers)\n\n");
  std::printf("%7s %8s %11s %11s %9s %10s %14s %16s\n", "kbit/s", "frames", "bound ms", "dump ms", "/bound", "kB/s",
              "longest step", "above bound/req");
  bool allOk = true, targetMet = true;
  for (uint8_t code : {uint8_t(4), uint8_t(6), uint8_t(7)}) {
    const Result r = RunOne(code, cpu, bytes, ui, true);
    if (!r.ok) {
      std::printf("%7d  FAILED: %s\n", CanBitRateKbits(code), r.message.c_str());
      allOk = false;
      continue;
    }
    const double ratio = r.ms / r.boundMs;
    if (code == 4 && ratio > 1.15) targetMet = false;
    std::printf("%7d %8zu %11.1f %11.1f %9.3f %10.1f %11.2f ms %13.0f us\n", CanBitRateKbits(code), r.frames,
                r.boundMs, r.ms, ratio, bytes / r.ms, r.longestStepMs, (r.ms - r.boundMs) * 2000.0 / double(r.frames));
  }
  const Result free = RunOne(4, cpu, bytes, ui, false);
  if (free.ok)
    std::printf("%7s %8zu %11s %11.1f %9s %10.1f %11.2f ms %13.0f us  (no bus timing: program and link alone)\n", "-",
                free.frames, "-", free.ms, "-", bytes / free.ms, free.longestStepMs, free.ms * 2000.0 / double(free.frames));
  std::printf("\ntarget: at 125 kbit/s within 15%% of the bus-time bound: %s\n", targetMet && allOk ? "met" : "NOT met");
  Ui_Install(nullptr);
  return targetMet && allOk ? 0 : 2;
}
