// An automatic calibration in real time: the demo's two-channel analog input
// module (node 3, bus 0), its inputs wired to the simulated process
// calibrator, calibrated from its shipped sequence as the dialog does it -
// a runner tick every 100 ms, a value update every AUTOUPDATE_INTERVAL_MS.
// Reports the wall time against the sum of the sequence's settle times (the
// runner's own overhead per step) and the CPU the process used meanwhile
// (the simulator and the calibrator run in this process too).
//
//   bench_CalibRun
#include <sys/resource.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>

#include "BenchSupport.h"
#include "calib/AnalogInCalib.h"
#include "calib/Calibrator.h"
#include "core/Options.h"
#include "core/Session.h"
#include "core/WideText.h"
#include "instruments/SimCalibrator.h"
#include "io/ChanInfo.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleType.h"

namespace {

// Timers run as an event loop would run them: the earliest one due is
// ticked after sleeping until it is due.
class LoopUi : public ScreenlessUi {
 public:
  void armTimer(UiTimer* timer, int periodMs) override { due_[timer] = {NowMs() + periodMs, periodMs}; }
  void disarmTimer(UiTimer* timer) override { due_.erase(timer); }

  void runWhile(const std::function<bool()>& busy) {
    while (busy() && !due_.empty()) {
      auto next = due_.begin();
      for (auto it = due_.begin(); it != due_.end(); ++it)
        if (it->second.at < next->second.at) next = it;
      UiTimer* timer = next->first;
      SleepMs(next->second.at - NowMs());
      next->second.at += next->second.period;
      timer->tick();
    }
  }

 private:
  struct Due {
    double at;
    int period;
  };
  std::map<UiTimer*, Due> due_;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main() {
  Session session;
  LoopUi ui;
  Ui_Install(&ui);
  Option_Init(nullptr);

  auto metrahit = std::make_shared<SimCalibrator>(SimCalibratorModel::ProcessCalibrator);
  if (!metrahit->start()) {
    std::fprintf(stderr, "cannot start the calibrator: %s\n", metrahit->device().error().c_str());
    return 1;
  }
  Option_SetString("METRAHIT_COMPORTNAME", metrahit->devicePath().c_str());
  std::string samples = __FILE__;
  samples = samples.substr(0, samples.rfind("bench/")) + "sim/calib-sequences";
  Option_SetWString("CALIB_SEQ_DIR1", Text_Widen(samples));

  SimServer sim;
  sim.setPopulation(SimPopulation::demo());
  sim.connectAnalogSource("metrahit", metrahit);
  std::string error;
  if (!StartAndConnect(sim, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  ModuleRec rec;
  rec.node = 3;
  rec.type = 32;
  rec.bus = 'c';
  rec.typeInfo = ModuleType_Find(32);
  rec.infoValid = 1;
  rec.autoUpdate = 1;
  ChanInfo info;
  ChanInfo_GetChannelInfo(rec, info, CHANINFO_ANALOG_IN);
  int status = 0;
  {
    AnalogInCalib calib(rec, info);
    if (info.channelCount != 2 || !calib.prepare()) {
      std::fprintf(stderr, "the demo module is not there\n");
      return 1;
    }
    calib.initialise();
    const CalibSequence& seq = calib.sequence();
    double settle = 0;
    for (int i = 0; i < seq.stepCount; ++i)
      settle += seq.steps[size_t(i)].settleTime * (seq.steps[size_t(i)].kind == CALIB_KIND_CHECK ? 1 : 2);

    const double cpu0 = CpuSeconds();
    const double wall0 = NowMs();
    calib.run();
    ui.runWhile([&] { return calib.runnerTimer().active(); });
    const double wall = (NowMs() - wall0) / 1000.0;
    const double cpu = CpuSeconds() - cpu0;
    calib.close(true);

    const int steps = seq.stepCount > 0 ? seq.stepCount : 1;
    std::printf("sequence: %d steps, settle times %.1f s in all\n", seq.stepCount, settle);
    std::printf("result:   %s\n", ui.lastMessage.c_str());
    std::printf("wall:     %.2f s, %.2f s beyond the settle times (%.0f ms per step)\n", wall, wall - settle,
                (wall - settle) * 1000.0 / steps);
    std::printf("cpu:      %.2f s (%.1f %% of the wall time, simulator and calibrator included)\n", cpu,
                100.0 * cpu / wall);
    status = ui.lastMessage.find("finished successfully") == std::string::npos;
  }
  sim.connectAnalogSource("metrahit", nullptr);
  CloseInterface();
  sim.stop();
  Ui_Install(nullptr);
  return status;
}
