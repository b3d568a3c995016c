#include "instruments/SimReferenceSource.h"

using namespace Wire;

namespace {

// SDO command specifiers (bits 5..7 of byte 0) and abort codes.
constexpr int kDownloadRequest = 1;
constexpr int kUploadRequest = 2;
constexpr int kAbortRequest = 4;
constexpr uint8_t kDownloadConfirm = 0x60;
constexpr uint8_t kUploadAnswer1Byte = 0x4F;
constexpr uint8_t kAbort = 0x80;
constexpr uint32_t kNoObject = 0x06020000;
constexpr uint32_t kNoSubindex = 0x06090011;
constexpr uint32_t kWrongLength = 0x06070010;
constexpr uint32_t kOutOfRange = 0x06090030;
constexpr uint32_t kBadCommand = 0x05040001;

SimFrame Answer(const SimRefSourceConfig& c, const SimFrame& request, uint8_t command, uint32_t value) {
  return SimFrame(CANOPEN_SDO_ANSWER_BASE + uint32_t(c.node), request.bus,
                  {command, request.data[1], request.data[2], request.data[3], uint8_t(value), uint8_t(value >> 8),
                   uint8_t(value >> 16), uint8_t(value >> 24)});
}

}  // namespace

bool SimReferenceSource::receive(const SimFrame& f, SimFrame& answer) {
  if (f.isControl() || (f.id & 0x60000000u) || f.id != CANOPEN_SDO_REQUEST_BASE + uint32_t(config_.node)) return false;
  if (f.len < 8) return false;  // not an SDO request
  ++requests_;
  const int command = f.data[0] >> 5;
  if (command == kAbortRequest) return false;  // the client gave up: nothing to answer
  if (command != kDownloadRequest && command != kUploadRequest) {
    answer = Answer(config_, f, kAbort, kBadCommand);
    return true;
  }
  const int index = f.data[1] | f.data[2] << 8;
  uint32_t abort = index != VORN_REFSOURCE_OBJECT ? kNoObject : f.data[3] != 0 ? kNoSubindex : 0;
  if (!abort && command == kUploadRequest) {
    const Output shown = output_ == NotConnected ? HighImpedance : output_;
    answer = Answer(config_, f, kUploadAnswer1Byte, VORN_REFSOURCE_SET + shown);
    return true;
  }
  // A download: expedited, of one byte when the size is given.
  const bool expedited = f.data[0] & 0x02, sized = f.data[0] & 0x01;
  const int bytes = sized ? 4 - ((f.data[0] >> 2) & 3) : 1;
  if (!abort && (!expedited || bytes != 1)) abort = kWrongLength;
  const uint8_t value = f.data[4];
  if (!abort && (value < VORN_REFSOURCE_SET + VORN_REFSOURCE_LOW || value > VORN_REFSOURCE_SET + VORN_REFSOURCE_OFF))
    abort = kOutOfRange;
  if (abort) {
    answer = Answer(config_, f, kAbort, abort);
    return true;
  }
  output_ = Output(value - VORN_REFSOURCE_SET);
  answer = Answer(config_, f, kDownloadConfirm, 0);
  return true;
}

bool SimReferenceSource::level(double& value) const {
  if (output_ != Low && output_ != High) return false;
  value = output_ == Low ? config_.low : config_.high;
  return true;
}

bool SimReferenceSource::openLevel(double& value) const {
  if (output_ != HighImpedance) return false;
  value = 0;
  return true;
}
