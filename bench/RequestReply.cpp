// Round trip of the interface layer's blocking request to a simulated module
// over loopback TCP, and the CPU a request to a silent module burns while it
// waits: the layer's poll() wait beside a busy-spinning wait loop.
//
//   bench_RequestReply [--requests N] [--silent N]
//
// The simulated master runs in a thread of this process, so CPU time is taken
// per thread (RUSAGE_THREAD): only the requesting thread is counted.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SimServer.h"
#include "core/Session.h"
#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "core/Options.h"
#include "platform/Clock.h"

namespace {

constexpr int kNode = 5;
constexpr int kSilentNode = 99;
constexpr uint32_t kBaseId = 0x680;

using RequestFn = int (*)(uint32_t id, int command, CanMsg& msg);

// The waiting loop as a plain spin: poll the link, look for the reply, read the
// clock, again, with no pause.
int SpinningRequestReply(uint32_t id, int command, CanMsg& msg) {
  FlushReplies(id, command);
  if (SendCanMsg(msg) != 0) return -1;
  const int64_t deadline = Clock_NowMs() + Option_GetInt("MSGREQUEST_TIMEOUT_MS");
  for (;;) {
    if (PollReceive() < 0) return -1;
    if (FetchReply(id, command, msg)) return 0;
    if (Clock_NowMs() > deadline) {
      SetInterfaceError("Module timeout");
      return -1;
    }
  }
}

double ThreadCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double NowUs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() / 1e3;
}

CanMsg ModuleInfoRequest(int node) {
  CanMsg msg;
  msg.id = kBaseId + node;
  msg.len = 1;
  msg.data[0] = 0x85;
  return msg;
}

struct RoundTrips {
  double medianUs = 0, p99Us = 0, meanUs = 0, maxUs = 0, cpuUsPerRequest = 0;
  int failures = 0;
};

RoundTrips MeasureRoundTrips(RequestFn request, int count) {
  for (int i = 0; i < 200; ++i) {  // warm up caches and the connection
    CanMsg msg = ModuleInfoRequest(kNode);
    request(kBaseId + kNode, 5, msg);
  }
  std::vector<double> times;
  times.reserve(count);
  RoundTrips r;
  const double cpuStart = ThreadCpuMs();
  for (int i = 0; i < count; ++i) {
    CanMsg msg = ModuleInfoRequest(kNode);
    const double start = NowUs();
    const int result = request(kBaseId + kNode, 5, msg);
    times.push_back(NowUs() - start);
    if (result != 0 || msg.data[0] != 5 || msg.len != 8) ++r.failures;
  }
  r.cpuUsPerRequest = (ThreadCpuMs() - cpuStart) * 1e3 / count;
  std::sort(times.begin(), times.end());
  r.medianUs = times[times.size() / 2];
  r.p99Us = times[std::min(times.size() - 1, size_t(times.size() * 0.99))];
  r.maxUs = times.back();
  double sum = 0;
  for (double t : times) sum += t;
  r.meanUs = sum / count;
  return r;
}

struct SilentWait {
  double wallMs = 0, cpuMs = 0;
  int timeouts = 0;
};

SilentWait MeasureSilentWait(RequestFn request, int count) {
  SilentWait w;
  const double cpuStart = ThreadCpuMs();
  const double wallStart = NowUs();
  for (int i = 0; i < count; ++i) {
    CanMsg msg = ModuleInfoRequest(kSilentNode);
    if (request(kBaseId + kSilentNode, 5, msg) != 0 &&
        std::strcmp(GetInterfaceError(), "Module timeout") == 0)
      ++w.timeouts;
  }
  w.wallMs = (NowUs() - wallStart) / 1e3 / count;
  w.cpuMs = (ThreadCpuMs() - cpuStart) / count;
  return w;
}

int ArgValue(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::atoi(argv[i + 1]);
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  Session session;  // the program state the benchmarks work in
  const int requests = std::max(100, ArgValue(argc, argv, "--requests", 10000));
  const int silent = std::max(1, ArgValue(argc, argv, "--silent", 3));

  Option_Init(nullptr);
  SimPopulation population;
  population.modules.push_back(SimModuleConfig::make(0, kNode, 0x1234));
  SimServer sim;
  sim.setPopulation(population);
  if (!sim.start()) {
    std::fprintf(stderr, "cannot start the simulator: %s\n", sim.lastError().c_str());
    return 1;
  }
  EthMaster_SetHostName("127.0.0.1");
  EthMaster_SetPort(sim.port());
  if (OpenInterface("KVX Master (Ethernet)") != 0) {
    std::fprintf(stderr, "cannot open the link: %s\n", GetInterfaceError());
    return 1;
  }

  const RoundTrips polled = MeasureRoundTrips(RequestReply, requests);
  const RoundTrips spun = MeasureRoundTrips(SpinningRequestReply, requests);
  std::printf("RequestReply to a simulated module over loopback TCP, %d requests each\n", requests);
  std::printf("%-10s %10s %10s %10s %10s %14s %8s\n", "wait", "median us", "p99 us", "mean us",
              "max us", "CPU us/request", "failed");
  for (const auto& [name, r] : {std::pair{"poll()", polled}, std::pair{"busy spin", spun}})
    std::printf("%-10s %10.1f %10.1f %10.1f %10.1f %14.1f %8d\n", name, r.medianUs, r.p99Us,
                r.meanUs, r.maxUs, r.cpuUsPerRequest, r.failures);

  Option_SetInt("MSGREQUEST_TIMEOUT_MS", 1000);
  const SilentWait pollWait = MeasureSilentWait(RequestReply, silent);
  const SilentWait spinWait = MeasureSilentWait(SpinningRequestReply, silent);
  std::printf("\nRequest to a silent module, MSGREQUEST_TIMEOUT_MS = 1000, %d requests each\n",
              silent);
  std::printf("%-10s %14s %14s %10s %9s\n", "wait", "wall ms/req", "CPU ms/req", "CPU share",
              "timeouts");
  for (const auto& [name, w] : {std::pair{"poll()", pollWait}, std::pair{"busy spin", spinWait}})
    std::printf("%-10s %14.1f %14.2f %9.2f%% %9d\n", name, w.wallMs, w.cpuMs,
                100.0 * w.cpuMs / w.wallMs, w.timeouts);
  const double share = 100.0 * pollWait.cpuMs / pollWait.wallMs;
  std::printf("\ntarget: CPU during the silent wait at most 5%% of the wall time: %s (%.2f%%)\n",
              share <= 5.0 ? "met" : "NOT met", share);

  CloseInterface();
  sim.stop();
  return polled.failures == 0 && pollWait.timeouts == silent && share <= 5.0 ? 0 : 2;
}
