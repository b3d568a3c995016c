#include "master/BusMaster.h"

#include "SimServer.h"
#include "protocol/WireConstants.h"

using namespace Wire;

BusMaster::BusMaster(SimNetwork& network, ClientSink toClient)
    : network_(network), toClient_(std::move(toClient)) {}

void BusMaster::fromClient(const SimFrame& frame, int64_t nowUs, SimServerStats& stats) {
  if (frame.isControl()) {
    control(frame, nowUs, stats);
    return;
  }
  if (frame.bus >= network_.busCount()) {
    ++stats.unknownBusFrames;  // no such bus: the frame goes nowhere
    return;
  }
  network_.hostTransmit(frame.bus, frame, nowUs);
}

void BusMaster::answer(const SimFrame& request, uint8_t value, int64_t nowUs) {
  SimFrame reply(request.id, request.bus, {value});
  toClient_(reply, nowUs);
}

void BusMaster::control(const SimFrame& frame, int64_t nowUs, SimServerStats& stats) {
  if (silent_) return;  // a plain bridge has no control frames
  switch (frame.id) {
    case ETH_CTRL_KEEPALIVE:
      ++stats.keepAlives;
      break;
    case ETH_CTRL_BUS_COUNT:
      answer(frame, static_cast<uint8_t>(faults_.reportedBusCount >= 0 ? faults_.reportedBusCount
                                                                       : network_.busCount()),
             nowUs);
      break;
    case ETH_CTRL_BUS_BITRATE:
      if (frame.bus < 8 && (faults_.silentBitRateBuses >> frame.bus & 1)) break;
      if (frame.bus < network_.busCount())
        answer(frame, network_.busBitRateCode(frame.bus), nowUs);
      else
        ++stats.unknownBusFrames;  // a bus the master does not have: no answer
      break;
    case ETH_CTRL_LOGGER_FORWARD:
      if (frame.len >= 1) forwarding_ = frame.data[0];
      break;
    case ETH_CTRL_GET_RUN_STATE:
      if (!faults_.silentRunState) answer(frame, runState_, nowUs);
      break;
    case ETH_CTRL_SET_RUN_STATE:
      if (frame.len < 1) break;
      if (frame.data[0] == 1) {  // start: a stopped program runs, a debug stop runs in debug
        if (runState_ == ETH_RUN_STATE_STOP) runState_ = ETH_RUN_STATE_RUN;
        else if (runState_ == ETH_RUN_STATE_STOP_DEBUG) runState_ = ETH_RUN_STATE_RUN_DEBUG;
      } else if (frame.data[0] == 0) {
        if (runState_ == ETH_RUN_STATE_RUN) runState_ = ETH_RUN_STATE_STOP;
        else if (runState_ == ETH_RUN_STATE_RUN_DEBUG || runState_ == ETH_RUN_STATE_RUN_DEBUG2)
          runState_ = ETH_RUN_STATE_STOP_DEBUG;
      }
      break;
    default:
      ++stats.unknownControl;
      break;
  }
}

void BusMaster::fromBus(int bus, const SimFrame& frame, int64_t timeUs, FrameOrigin origin) {
  if (origin == FrameOrigin::Host) return;
  uint32_t id = frame.id & 0x1FFFFFFFu;
  uint32_t base = network_.baseId();
  bool protocol = (frame.id & 0xE0000000u) == 0 && id >= base && id <= base + VORN_PROT_MAX_NODE;
  if (!protocol && forwarding_ == 0 && !silent_) return;  // a plain bridge passes everything
  SimFrame f = frame;
  f.bus = static_cast<uint8_t>(bus);
  toClient_(f, timeUs);
}
