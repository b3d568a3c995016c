// The simulated buses and the modules on them, independent of any transport.
// A host (the bus master over TCP, later a Modbus slave) puts frames on a bus
// with hostTransmit() and hears every frame that other nodes complete through
// its listener. Time is the caller's: advance() runs everything due, so tests
// can drive the network with made-up time stamps.
//
// Each bus sends one frame at a time. Frames waiting at the same instant go
// out lowest identifier first, as bus arbitration decides; with bus timing on,
// each frame holds the bus for its worst-case time on the wire.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "core/EventQueue.h"
#include "core/SimFrame.h"
#include "module/ModuleHost.h"
#include "module/SimModuleConfig.h"

class SimModule;
class SimReferenceSource;
struct SimPopulation;

// Something on a bus that sends frames by itself (background traffic).
class BusTrafficSource {
 public:
  virtual ~BusTrafficSource() = default;
  // The next frame this source sends after time afterUs, and when; false when it is done.
  virtual bool next(int64_t afterUs, SimFrame& frame, int64_t& atUs) = 0;
};

// The same frame again and again at a fixed period.
class PeriodicTraffic : public BusTrafficSource {
 public:
  PeriodicTraffic(const SimFrame& frame, int64_t periodUs) : frame_(frame), periodUs_(periodUs) {}
  bool next(int64_t afterUs, SimFrame& frame, int64_t& atUs) override;

 private:
  SimFrame frame_;
  int64_t periodUs_;
};

// Host: the bus master's client; Adapter: a CAN adapter on the bus (the raw
// CAN port's client); Other: background traffic and injected frames.
enum class FrameOrigin { Host, Module, Other, Adapter };

class SimNetwork : public ModuleHost {
 public:
  using Listener = std::function<void(int bus, const SimFrame& frame, int64_t timeUs, FrameOrigin origin)>;

  SimNetwork();
  ~SimNetwork() override;

  // Replaces buses, modules and everything pending.
  void setPopulation(const SimPopulation& population);
  int busCount() const { return static_cast<int>(buses_.size()); }
  void setBusBitRateCode(int bus, uint8_t code);
  void setBaseId(uint32_t base) { baseId_ = base; }
  void setBusTiming(bool on) { busTiming_ = on; }
  bool busTiming() const { return busTiming_; }
  void setRebootTimeUs(int64_t us) { rebootTimeUs_ = us < 0 ? 0 : us; }

  int addModule(const SimModuleConfig& config);  // -1 when the bus does not exist
  bool removeModule(int id);
  SimModule* module(int id);
  const SimModule* module(int id) const;
  int findModule(int bus, int node) const;
  std::vector<int> moduleIds() const;

  // Background traffic on a bus; the network owns the source.
  void addTraffic(int bus, std::unique_ptr<BusTrafficSource> source, int64_t nowUs);
  void clearTraffic();

  // Connects an outside source under a name (nullptr disconnects it); it
  // stays connected across population changes.
  void setAnalogSource(const std::string& name, std::shared_ptr<const SimAnalogSource> source);
  // The population's reference source of the base calibration (a node on
  // one bus, analog source "refsource"), or none.
  const SimReferenceSource* referenceSource() const { return refSource_.get(); }

  // Hears every frame completed on any bus, the host's own included (origin Host).
  void setListener(Listener listener) { listener_ = std::move(listener); }
  // A frame of the host, ready to go on the bus at nowUs.
  void hostTransmit(int bus, const SimFrame& frame, int64_t nowUs);
  // A frame of some other node on the bus; modules hear it like the host's.
  void inject(int bus, const SimFrame& frame, int64_t nowUs, FrameOrigin origin = FrameOrigin::Other);

  void advance(int64_t nowUs);
  int64_t nextEventUs() const { return events_.nextTime(); }
  // Frames lost because a bus had kMaxPending frames waiting already.
  int overflowFrames() const { return overflowFrames_; }
  static constexpr size_t kMaxPending = 16384;

  // ModuleHost
  int64_t nowUs() const override { return currentUs_; }
  uint32_t baseId() const override { return baseId_; }
  uint8_t busBitRateCode(int bus) const override;
  int64_t rebootTimeUs() const override { return rebootTimeUs_; }
  void transmit(SimModule& from, const SimFrame& frame, int64_t delayUs) override;
  void startTimer(SimModule& module, int64_t delayUs, std::function<void(SimModule&)> fn) override;
  const SimAnalogSource* analogSource(const std::string& name) const override;
  bool analogOutputLevel(int bus, int node, int channel, double& level) const override;

 private:
  struct Pending {
    int64_t readyUs;
    uint64_t seq;
    SimFrame frame;
    FrameOrigin origin;
  };
  struct Bus {
    uint8_t bitRateCode = 4;
    int64_t freeAtUs = 0;
    std::multimap<int64_t, Pending> waiting;                 // not ready yet, by ready time
    std::map<std::pair<uint32_t, uint64_t>, Pending> ready;  // by identifier, then order: arbitration
    size_t pending() const { return waiting.size() + ready.size(); }
    std::vector<std::unique_ptr<BusTrafficSource>> traffic;
  };

  void enqueue(int bus, const SimFrame& frame, int64_t readyUs, FrameOrigin origin);
  void scheduleService(int bus, int64_t atUs);
  void service(int bus, int64_t atUs);
  void complete(int bus, const SimFrame& frame, FrameOrigin origin, int64_t atUs);
  void scheduleTraffic(int bus, BusTrafficSource* source, int64_t afterUs);

  std::vector<Bus> buses_;
  std::map<int, std::unique_ptr<SimModule>> modules_;
  std::map<std::string, std::shared_ptr<const SimAnalogSource>> analogSources_;
  std::unique_ptr<SimReferenceSource> refSource_;
  EventQueue events_;
  Listener listener_;
  uint32_t baseId_ = 1664;
  bool busTiming_ = false;
  int64_t rebootTimeUs_ = 300000;
  int64_t currentUs_ = 0;
  int nextModuleId_ = 1;
  int overflowFrames_ = 0;
  uint64_t seq_ = 0;
  uint64_t generation_ = 0;  // bumped by setPopulation and clearTraffic: stale events do nothing
};
