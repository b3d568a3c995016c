#include "core/SimNetwork.h"

#include <algorithm>

#include "core/FrameTiming.h"
#include "instruments/SimReferenceSource.h"
#include "module/AnalogSource.h"
#include "module/IoChannels.h"
#include "module/SimModule.h"
#include "population/Population.h"
#include "protocol/WireConstants.h"

bool PeriodicTraffic::next(int64_t afterUs, SimFrame& frame, int64_t& atUs) {
  if (periodUs_ <= 0) return false;
  frame = frame_;
  atUs = afterUs + periodUs_;
  return true;
}

SimNetwork::SimNetwork() { buses_.resize(1); }

SimNetwork::~SimNetwork() = default;

void SimNetwork::setPopulation(const SimPopulation& population) {
  events_.clear();
  modules_.clear();
  buses_.clear();
  ++generation_;
  size_t count = std::clamp<size_t>(population.busBitRates.size(), 1, Wire::ETH_MASTER_MAX_BUSES);
  buses_.resize(count);
  for (size_t i = 0; i < count && i < population.busBitRates.size(); ++i)
    buses_[i].bitRateCode = population.busBitRates[i];
  baseId_ = population.baseId;
  refSource_.reset();
  if (population.refSource.present) refSource_ = std::make_unique<SimReferenceSource>(population.refSource);
  for (const SimModuleConfig& config : population.modules) addModule(config);
}

void SimNetwork::setBusBitRateCode(int bus, uint8_t code) {
  if (bus >= 0 && bus < busCount()) buses_[bus].bitRateCode = code;
}

uint8_t SimNetwork::busBitRateCode(int bus) const {
  return bus >= 0 && bus < busCount() ? buses_[bus].bitRateCode : Wire::CAN_BITRATE_DEFAULT_CODE;
}

int SimNetwork::addModule(const SimModuleConfig& config) {
  if (config.bus < 0 || config.bus >= busCount()) return -1;
  int id = nextModuleId_++;
  auto module = std::make_unique<SimModule>(id, config);
  module->attach(this);
  modules_.emplace(id, std::move(module));
  return id;
}

void SimNetwork::setAnalogSource(const std::string& name, std::shared_ptr<const SimAnalogSource> source) {
  if (source) {
    analogSources_[name] = std::move(source);
  } else {
    analogSources_.erase(name);
  }
}

const SimAnalogSource* SimNetwork::analogSource(const std::string& name) const {
  auto it = analogSources_.find(name);
  if (it != analogSources_.end()) return it->second.get();
  return name == "refsource" ? refSource_.get() : nullptr;
}

bool SimNetwork::analogOutputLevel(int bus, int node, int channel, double& level) const {
  const SimModule* m = module(findModule(bus, node));
  if (!m || channel < 0 || channel >= SimIo_ChannelCount(*m, SimIoGroup::AnalogOut)) return false;
  level = SimIo_OutputLevel(*m, channel);
  return true;
}

bool SimNetwork::removeModule(int id) { return modules_.erase(id) > 0; }

SimModule* SimNetwork::module(int id) {
  auto it = modules_.find(id);
  return it == modules_.end() ? nullptr : it->second.get();
}

const SimModule* SimNetwork::module(int id) const {
  auto it = modules_.find(id);
  return it == modules_.end() ? nullptr : it->second.get();
}

int SimNetwork::findModule(int bus, int node) const {
  for (const auto& [id, m] : modules_)
    if (m->bus() == bus && m->node() == node) return id;
  return -1;
}

std::vector<int> SimNetwork::moduleIds() const {
  std::vector<int> ids;
  for (const auto& [id, m] : modules_) ids.push_back(id);
  return ids;
}

void SimNetwork::addTraffic(int bus, std::unique_ptr<BusTrafficSource> source, int64_t nowUs) {
  if (bus < 0 || bus >= busCount() || !source) return;
  BusTrafficSource* raw = source.get();
  buses_[bus].traffic.push_back(std::move(source));
  scheduleTraffic(bus, raw, nowUs);
}

void SimNetwork::clearTraffic() {
  ++generation_;  // pending traffic events find their generation gone
  for (Bus& b : buses_) b.traffic.clear();
}

void SimNetwork::scheduleTraffic(int bus, BusTrafficSource* source, int64_t afterUs) {
  SimFrame frame;
  int64_t at = 0;
  if (!source->next(afterUs, frame, at)) return;
  uint64_t generation = generation_;
  events_.schedule(std::max(at, afterUs), [this, bus, source, frame, generation](int64_t t) {
    if (generation != generation_) return;
    enqueue(bus, frame, t, FrameOrigin::Other);
    scheduleTraffic(bus, source, t);
  });
}

void SimNetwork::hostTransmit(int bus, const SimFrame& frame, int64_t nowUs) {
  if (bus < 0 || bus >= busCount()) return;
  enqueue(bus, frame, std::max(nowUs, currentUs_), FrameOrigin::Host);
}

void SimNetwork::inject(int bus, const SimFrame& frame, int64_t nowUs, FrameOrigin origin) {
  if (bus < 0 || bus >= busCount()) return;
  enqueue(bus, frame, std::max(nowUs, currentUs_), origin);
}

void SimNetwork::advance(int64_t nowUs) {
  events_.runDue(nowUs);
  currentUs_ = std::max(currentUs_, nowUs);
}

void SimNetwork::transmit(SimModule& from, const SimFrame& frame, int64_t delayUs) {
  SimFrame f = frame;
  f.bus = static_cast<uint8_t>(from.bus());
  enqueue(from.bus(), f, currentUs_ + std::max<int64_t>(0, delayUs), FrameOrigin::Module);
}

void SimNetwork::startTimer(SimModule& owner, int64_t delayUs, std::function<void(SimModule&)> fn) {
  int id = owner.id();
  events_.schedule(currentUs_ + std::max<int64_t>(0, delayUs), [this, id, fn = std::move(fn)](int64_t t) {
    currentUs_ = std::max(currentUs_, t);
    if (SimModule* m = module(id)) fn(*m);
  });
}

void SimNetwork::enqueue(int bus, const SimFrame& frame, int64_t readyUs, FrameOrigin origin) {
  Bus& b = buses_[bus];
  if (b.pending() >= kMaxPending) {
    ++overflowFrames_;  // the bus is hopelessly behind (bus timing and a flood): the frame is lost
    return;
  }
  SimFrame f = frame;
  f.bus = static_cast<uint8_t>(bus);
  b.waiting.emplace(readyUs, Pending{readyUs, seq_++, f, origin});
  scheduleService(bus, std::max(readyUs, b.freeAtUs));
}

void SimNetwork::scheduleService(int bus, int64_t atUs) {
  uint64_t generation = generation_;
  events_.schedule(atUs, [this, bus, generation](int64_t t) {
    if (generation == generation_ && bus < busCount()) service(bus, t);
  });
}

// Puts the winner of arbitration on the wire: among the frames ready now,
// the lowest identifier (then the one queued first).
void SimNetwork::service(int bus, int64_t atUs) {
  currentUs_ = std::max(currentUs_, atUs);
  Bus& b = buses_[bus];
  if (b.freeAtUs > atUs) return;  // another service event is due when the bus frees up
  while (!b.waiting.empty() && b.waiting.begin()->first <= atUs) {
    Pending p = b.waiting.begin()->second;
    b.waiting.erase(b.waiting.begin());
    b.ready.emplace(std::make_pair(p.frame.id & 0x1FFFFFFFu, p.seq), p);
  }
  if (b.ready.empty()) return;
  Pending p = b.ready.begin()->second;
  b.ready.erase(b.ready.begin());
  int64_t wire = busTiming_ ? CanFrameTimeUs(p.frame.len, b.bitRateCode) : 0;
  int64_t doneUs = atUs + wire;
  b.freeAtUs = doneUs;
  uint64_t generation = generation_;
  events_.schedule(doneUs, [this, bus, p, generation](int64_t t) {
    if (generation == generation_ && bus < busCount()) complete(bus, p.frame, p.origin, t);
  });
  if (!b.ready.empty())
    scheduleService(bus, doneUs);
  else if (!b.waiting.empty())
    scheduleService(bus, std::max(doneUs, b.waiting.begin()->first));
}

// A frame has been sent: every module on the bus hears it (except from other
// modules: modules only talk to masters), and so do the reference source and
// the listener.
void SimNetwork::complete(int bus, const SimFrame& frame, FrameOrigin origin, int64_t atUs) {
  currentUs_ = std::max(currentUs_, atUs);
  if (origin != FrameOrigin::Module) {
    std::vector<int> ids = moduleIds();  // a handler may not remove modules, but stay safe
    for (int id : ids) {
      SimModule* m = module(id);
      if (m && m->bus() == bus) m->receive(frame);
    }
    SimFrame answer;
    if (refSource_ && refSource_->config().bus == bus && refSource_->receive(frame, answer))
      enqueue(bus, answer, atUs, FrameOrigin::Other);
  }
  if (listener_) listener_(bus, frame, atUs, origin);
}
