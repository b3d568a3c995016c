// The CAN logger's cost per frame - filtering, making the file line, writing
// it, the whole step a received frame takes - and, with --capture, sustained
// capture of a kvxsim's traffic over the Ethernet link the way the program's
// timers drive it.
//
//   bench_Logger [Google Benchmark flags]
//   bench_Logger --capture HOST PORT MAX_SECONDS LOG_FILE
//   bench_Logger --capture-pcan CHANNEL MAX_SECONDS LOG_FILE
//
// --capture-pcan records through the "PCAN USB" interface at 1000 kbit/s: the
// carried adapter library (written to $HOME) on KVX_CAN_CHANNEL=CHANNEL, e.g.
// the raw CAN port of a kvxsim (tcp:127.0.0.1:PORT).
//
// Capture records until the master closes the connection (or MAX_SECONDS
// pass), then prints what it took, its CPU share and its memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "core/Session.h"
#include "bus/EthMaster.h"
#include "bus/Interface.h"
#include "bus/PcanLink.h"
#include "core/Options.h"
#include "logger/LogFile.h"
#include "logger/LogLine.h"
#include "logger/Logger.h"
#include "platform/Clock.h"
#include "traffic/CanOpenTraffic.h"
#include "ui/Ui.h"

namespace {

// A realistic stream: the simulator's CANopen mix.
std::vector<CanMsg> MixFrames(size_t count) {
  CanOpenTrafficConfig config;
  config.nodes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  CanOpenTraffic traffic(config);
  std::vector<CanMsg> frames(count);
  uint32_t time = 1000;
  for (CanMsg& m : frames) {
    const SimFrame f = traffic.nextFrame();
    m.id = f.id;
    m.len = f.len;
    for (int i = 0; i < 8; ++i) m.data[i] = f.data[i];
    m.time = time++;
  }
  return frames;
}

const std::vector<CanMsg>& Frames() {
  static const std::vector<CanMsg> frames = MixFrames(4096);
  return frames;
}

// Runs the mixed frames, round and round, through a filter of this mode and list.
void RunFilter(benchmark::State& state, int mode, const char* numbers) {
  LoggerFilter filter;
  filter.mode = mode;
  filter.numbers = LoggerFilter_ParseList(numbers, false);
  const auto& frames = Frames();
  size_t i = 0, shown = 0;
  for (auto _ : state) shown += filter.shows(frames[i++ & 4095]);
  benchmark::DoNotOptimize(shown);
}

void BM_FilterNodeIds(benchmark::State& state) { RunFilter(state, kFilterShowNodes, "1-5, 9"); }
BENCHMARK(BM_FilterNodeIds);

// The worst case: 200 COB-IDs, the frame in none of them.
void BM_FilterCobIds200(benchmark::State& state) { RunFilter(state, kFilterHideCobIds, "0x800-0x8C7"); }
BENCHMARK(BM_FilterCobIds200);

void BM_FormatFileLine(benchmark::State& state) {
  std::vector<LogEntry> entries;
  for (const CanMsg& m : Frames()) {
    LogEntry e = LogEntry_FromFrame(m);
    e.time = m.time * 7;
    entries.push_back(e);
  }
  std::string line;
  size_t i = 0;
  for (auto _ : state) {
    line.clear();
    LogLine_AppendFileLine(entries[i++ & 4095], std::string(), false, line);
    benchmark::DoNotOptimize(line.data());
  }
}
BENCHMARK(BM_FormatFileLine);

// What the list asks for each row it paints: all five columns.
void BM_FormatDisplayRow(benchmark::State& state) {
  std::vector<LogEntry> entries;
  for (const CanMsg& m : Frames()) entries.push_back(LogEntry_FromFrame(m));
  const std::string none;
  std::string cell;
  size_t i = 0;
  for (auto _ : state) {
    const LogEntry& e = entries[i++ & 4095];
    for (int c = 0; c < kColumnCount; ++c) {
      cell.clear();
      LogLine_AppendColumn(e, c, none, false, cell);
      benchmark::DoNotOptimize(cell.data());
    }
  }
}
BENCHMARK(BM_FormatDisplayRow);

void BM_WriteFileLine(benchmark::State& state) {
  const std::string path = "/tmp/bench_logger_write.log";
  LogFile file;
  if (!file.open(path, "bench", "none", "now")) {
    state.SkipWithError("cannot create the file");
    return;
  }
  const std::string line = "12.345      [185] #8 [01][02][03][04][05][06][07][08]    5: TxPDO1\n";
  for (auto _ : state) file.write(line);
  file.close("then");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(line.size()));
  std::remove(path.c_str());
}
BENCHMARK(BM_WriteFileLine);

// The whole step of a received frame while recording to a file: count,
// filter, keep for the display, make and write the file line. The display is
// emptied (outside the timing) before it overflows, so every frame pays for it.
void BM_AddFrame(benchmark::State& state) {
  const bool withFilter = state.range(0) != 0;
  const std::string path = "/tmp/bench_logger_add.log";
  {
    LoggerSession session;
    if (withFilter) session.filterControlsChanged(kFilterHideNodes, "7, 8", false);
    if (!session.openLogFile(path)) {
      state.SkipWithError("cannot create the file");
      return;
    }
    session.startStop();
    const auto& frames = Frames();
    size_t i = 0;
    for (auto _ : state) {
      session.addFrame(false, frames[i & 4095]);
      if ((++i & 16383) == 0) {
        state.PauseTiming();
        session.resetRestart();
        state.ResumeTiming();
      }
    }
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_AddFrame)->Arg(0)->Arg(1);

// ---- sustained capture ----------------------------------------------------------

double ProcessCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Lines of received frames: CAN frames and the link's error reports.
long CountFrameLines(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  long frames = 0;
  while (std::getline(in, line))
    if ((line.size() > 12 && line.compare(10, 3, "  [") == 0) || line.compare(0, 13, "** Bus error:") == 0)
      ++frames;
  return frames;
}

// host nullptr: the "PCAN USB" interface on the channel in KVX_CAN_CHANNEL.
int Capture(const char* host, int port, int maxSeconds, const std::string& path) {
  Option_Init(nullptr);
  Ui_Install(nullptr);
  EthMaster_SetHostName(host ? host : "");
  EthMaster_SetPort(port);
  pCAN_SetBaudrate(7);
  if (OpenInterface(host ? "KVX Master (Ethernet)" : "PCAN USB") != 0) {
    std::fprintf(stderr, "bench_Logger: %s\n", GetInterfaceError());
    return 1;
  }
  LoggerSession session;
  if (!session.openLogFile(path)) {
    std::fprintf(stderr, "bench_Logger: cannot create %s\n", path.c_str());
    return 1;
  }
  // An adapter hears its bus from the moment it is on it; the logger's start
  // empties the link's input. What arrived before is taken and counted here,
  // so that the count can be set against what the bus carried.
  int64_t beforeStart = 0;
  for (CanMsg m; !host;) {
    int got = 0;
    if (pCAN_ReadEx(m, got) != 0 || !got) break;
    ++beforeStart;
  }
  const double cpuStart = ProcessCpuMs();
  const int64_t start = Clock_NowMs();
  session.startStop();
  int64_t nextTick = start + kLoggerPollMs;
  int ticks = 0;
  int64_t worstTickMs = 0;
  std::string lastRate = "0", lastLoad = "0";
  // The program's timers: poll and display every 100 ms, statistics every second.
  while (session.state() == LoggerState::Running && Clock_NowMs() - start < maxSeconds * 1000LL) {
    const int64_t wait = nextTick - Clock_NowMs();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    nextTick += kLoggerPollMs;
    const int64_t tickStart = Clock_NowMs();
    session.pollTick();
    session.displayTick();
    if (++ticks % 10 == 0) {
      session.statsTick();
      if (session.state() == LoggerState::Running) {
        lastRate = session.rateText();
        lastLoad = session.loadText();
      }
    }
    worstTickMs = std::max(worstTickMs, Clock_NowMs() - tickStart);
  }
  const int64_t end = Clock_NowMs();
  const double cpu = ProcessCpuMs() - cpuStart;
  if (session.state() == LoggerState::Running) session.startStop();
  const int64_t received = session.framesReceived();
  const size_t displayLines = session.lines().count();
  const long rssKb = StatusKb("VmRSS:");
  const long peakKb = StatusKb("VmHWM:");
  session.close();
  CloseInterface();
  const long fileFrames = CountFrameLines(path);
  std::printf("capture: %.1f s, %lld frames received (%.0f/s), %ld frame lines in the file\n",
              (end - start) / 1000.0, (long long)received, received * 1000.0 / double(end - start), fileFrames);
  std::printf("capture: last shown %s msg/s, bus load %s %%; display %zu lines; worst tick %lld ms\n",
              lastRate.c_str(), lastLoad.c_str(), displayLines, (long long)worstTickMs);
  std::printf("capture: CPU %.0f ms = %.1f %% of one core; memory at the end %ld kB (peak %ld kB)\n", cpu,
              cpu * 100.0 / double(end - start), rssKb, peakKb);
  std::printf("RESULT received=%lld file=%ld cpu_pct=%.1f rss_kb=%ld peak_kb=%ld before_start=%lld\n",
              (long long)received, fileFrames, cpu * 100.0 / double(end - start), rssKb, peakKb,
              (long long)beforeStart);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Session session;  // the program state the benchmarks work in
  if (argc >= 2 && std::strcmp(argv[1], "--capture") == 0) {
    if (argc != 6) {
      std::fprintf(stderr, "usage: bench_Logger --capture HOST PORT MAX_SECONDS LOG_FILE\n");
      return 2;
    }
    return Capture(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
  }
  if (argc >= 2 && std::strcmp(argv[1], "--capture-pcan") == 0) {
    if (argc != 5) {
      std::fprintf(stderr, "usage: bench_Logger --capture-pcan CHANNEL MAX_SECONDS LOG_FILE\n");
      return 2;
    }
    setenv("KVX_CAN_CHANNEL", argv[2], 1);
    return Capture(nullptr, 0, std::atoi(argv[3]), argv[4]);
  }
  Option_Init(nullptr);
  Ui_Install(nullptr);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
