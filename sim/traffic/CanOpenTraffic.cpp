#include "traffic/CanOpenTraffic.h"

#include <algorithm>
#include <cmath>

#include "core/FrameTiming.h"

namespace {

// What the mix is made of, with weights out of 1000. Process data dominates,
// as on a real machine; the rest is the network's housekeeping.
enum Kind { Pdo, Sync, Heartbeat, Sdo, Emergency, Nmt, Bootup, Guarding, kKinds };
constexpr int kWeights[kKinds] = {700, 80, 90, 80, 15, 5, 10, 20};

constexpr uint32_t kTxPdoBases[] = {0x180, 0x280, 0x380, 0x480};
constexpr uint32_t kRxPdoBases[] = {0x200, 0x300, 0x400, 0x500};

// Average data length of each kind above, for the mix average.
constexpr double kKindLengths[kKinds] = {4.5, 0.0, 1.0, 8.0, 8.0, 2.0, 1.0, 0.0};

}  // namespace

CanOpenTraffic::CanOpenTraffic(const CanOpenTrafficConfig& config)
    : config_(config), state_(config.seed ? config.seed : 1) {
  config_.nodes.erase(std::remove_if(config_.nodes.begin(), config_.nodes.end(),
                                     [](int n) { return n < 1 || n > 127; }),
                      config_.nodes.end());
  if (config_.nodes.empty())
    for (int n = 1; n <= 8; ++n) config_.nodes.push_back(n);
  config_.fixedLength = std::clamp(config_.fixedLength, -1, 8);
  config_.framesPerSecond = std::min(config_.framesPerSecond, kCanOpenTrafficMaxRate);
  // NaN or <= 0: no traffic.
  intervalUs_ = config_.framesPerSecond > 0 ? 1e6 / config_.framesPerSecond : 0.0;
}

uint32_t CanOpenTraffic::random() {
  // xorshift64*: fast and repeatable.
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return uint32_t((state_ * 0x2545F4914F6CDD1DULL) >> 32);
}

int CanOpenTraffic::pickNode() { return config_.nodes[random() % config_.nodes.size()]; }

void CanOpenTraffic::fill(SimFrame& frame, int count) {
  frame.len = uint8_t(count);
  for (int i = 0; i < count; ++i) frame.data[i] = uint8_t(random());
}

SimFrame CanOpenTraffic::pdo(uint32_t base) {
  SimFrame f;
  f.id = base + uint32_t(pickNode());
  fill(f, 1 + int(random() % 8));
  return f;
}

// An SDO upload request to a node; its answer follows as the next frame.
SimFrame CanOpenTraffic::sdoPair() {
  const int node = pickNode();
  const uint16_t index = uint16_t(0x1000 + random() % 0x2000);
  const uint8_t sub = uint8_t(random() % 4);
  SimFrame request(0x600 + uint32_t(node), 0, {0x40, uint8_t(index), uint8_t(index >> 8), sub, 0, 0, 0, 0});
  sdoAnswer_ = SimFrame(0x580 + uint32_t(node), 0,
                        {0x43, uint8_t(index), uint8_t(index >> 8), sub, uint8_t(random()),
                         uint8_t(random()), uint8_t(random()), uint8_t(random())});
  sdoAnswerDue_ = true;
  return request;
}

SimFrame CanOpenTraffic::nextFrame() {
  SimFrame f;
  if (sdoAnswerDue_) {
    sdoAnswerDue_ = false;
    f = sdoAnswer_;
  } else if (config_.errorShare > 0 && random() % 1000000 < uint32_t(config_.errorShare * 1e6)) {
    static constexpr uint32_t kKinds[] = {kSimErrorBusOff, kSimErrorBus, kSimErrorAck, kSimErrorReset,
                                          kSimErrorBus | kSimErrorAck};
    f.id = kSimErrorReportFlag | kKinds[random() % 5];
  } else {
    int pick = int(random() % 1000);
    int kind = 0;
    while (kind < kKinds - 1 && pick >= kWeights[kind]) pick -= kWeights[kind++];
    switch (kind) {
      case Pdo:
        f = pdo(random() % 2 ? kTxPdoBases[random() % 4] : kRxPdoBases[random() % 4]);
        break;
      case Sync: f.id = 0x080; break;
      case Heartbeat: f = SimFrame(0x700 + uint32_t(pickNode()), 0, {0x05}); break;
      case Sdo: f = sdoPair(); break;
      case Emergency:
        f = SimFrame(0x080 + uint32_t(pickNode()), 0, {0x10, 0x81, 0x11, 0, 0, 0, 0, 0});
        break;
      case Nmt: {
        static constexpr uint8_t kCommands[] = {1, 2, 128, 129, 130};
        const uint8_t target = random() % 4 == 0 ? 0 : uint8_t(pickNode());
        f = SimFrame(0x000, 0, {kCommands[random() % 5], target});
        break;
      }
      case Bootup: f = SimFrame(0x700 + uint32_t(pickNode()), 0, {0x00}); break;
      default: f.id = kSimRemoteFlag | (0x700 + uint32_t(pickNode())); break;  // node guarding
    }
  }
  const uint32_t id = f.id & 0x1FFFFFFFu;
  if (!(f.id & kSimErrorReportFlag) && id >= config_.protocolBase && id <= config_.protocolBase + 127)
    f.id = (f.id & ~0x1FFFFFFFu) | (0x180 + (id & 0x7F));
  if (config_.fixedLength >= 0 && !(f.id & kSimErrorReportFlag)) {
    for (int i = f.len; i < config_.fixedLength; ++i) f.data[i] = uint8_t(random());
    f.len = uint8_t(config_.fixedLength);
  }
  ++made_;
  return f;
}

bool CanOpenTraffic::next(int64_t afterUs, SimFrame& frame, int64_t& atUs) {
  if (intervalUs_ <= 0) return false;
  if (nextUs_ < 0) nextUs_ = double(afterUs);
  nextUs_ += intervalUs_;
  frame = nextFrame();
  atUs = std::max<int64_t>(afterUs, int64_t(std::llround(nextUs_)));
  return true;
}

double CanOpenTraffic_FullBusRate(uint8_t bitRateCode, double dataLen) {
  const int kbits = CanBitRateKbits(bitRateCode);
  if (kbits == 0) return 0.0;
  dataLen = std::clamp(dataLen, 0.0, 8.0);
  return kbits * 1000.0 / (47.0 + 8.0 * dataLen);
}

double CanOpenTraffic_AverageLength(const CanOpenTrafficConfig& config) {
  // Per frame that is no SDO answer: an error report (no data) with the error
  // share, else a pick from the mix; an SDO pick brings its 8-byte answer.
  const double error = std::clamp(config.errorShare, 0.0, 1.0);
  const double sdo = kWeights[Sdo] / 1000.0;
  const double frames = 1.0 + (1.0 - error) * sdo;
  if (config.fixedLength >= 0)
    return (1.0 - error) * (1.0 + sdo) * std::min(config.fixedLength, 8) / frames;
  double pick = 0;
  for (int k = 0; k < kKinds; ++k) pick += kWeights[k] * kKindLengths[k];
  pick /= 1000.0;
  return (1.0 - error) * (pick + sdo * 8.0) / frames;
}
