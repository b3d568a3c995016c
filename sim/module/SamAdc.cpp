#include "module/SamAdc.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "module/IoChannels.h"
#include "module/SimChanCodes.h"
#include "module/SimModule.h"
#include "protocol/WireConstants.h"

using namespace Wire;

namespace {

constexpr uint8_t kAllSet = VORN_BASECAL_LOW_VALID | VORN_BASECAL_HIGH_VALID | VORN_BASECAL_ENABLED;

int Digits(double v) { return int(std::clamp<long>(std::lround(v), 0, SIM_SAM_FULL_SCALE)); }

void Put16(uint8_t* at, int v) {
  at[0] = uint8_t(v & 0xFF);
  at[1] = uint8_t((v >> 8) & 0xFF);
}

int16_t Get16(const uint8_t* at) { return int16_t(uint16_t(at[0] | at[1] << 8)); }

// The correction and clipping the base calibration set, on a raw result.
int Corrected(const SimSamAdc& adc, int raw) {
  int result = raw;
  if ((adc.status & kAllSet) == kAllSet && adc.highActual != adc.lowActual) {
    const double slope = double(adc.highWanted - adc.lowWanted) / double(adc.highActual - adc.lowActual);
    result = Digits(adc.lowWanted + (raw - adc.lowActual) * slope);
  }
  return adc.clipping > 0 && result <= adc.clipping ? 0 : result;
}

void Read(SimModule& m, const ModuleRequest& rq, const SimSamAdc* adc, int sub) {
  uint8_t b[7] = {};  // data bytes 1..7
  if (!adc) {
    m.reply(rq, b);  // no such converter: status 0, empty mask
    return;
  }
  const int64_t now = m.host() ? m.host()->nowUs() : 0;
  b[0] = adc->status;
  Put16(&b[1], SimSam_Result(m, *adc, now));
  switch (sub) {
    case VORN_BASECAL_CLIPPING: Put16(&b[3], adc->clipping); break;
    case VORN_BASECAL_LOW_PAIR: Put16(&b[3], adc->lowActual), Put16(&b[5], adc->lowWanted); break;
    case VORN_BASECAL_HIGH_PAIR: Put16(&b[3], adc->highActual), Put16(&b[5], adc->highWanted); break;
    case VORN_BASECAL_STATUS: Put16(&b[3], adc->inputs); break;
    case VORN_BASECAL_LOW_REFERENCE:
    case VORN_BASECAL_HIGH_REFERENCE: {
      const double reference = sub == VORN_BASECAL_LOW_REFERENCE ? adc->lowReference : adc->highReference;
      const float single = float(reference);
      b[0] = uint8_t(adc->status | (adc->current ? VORN_BASECAL_MODE_CURRENT : VORN_BASECAL_MODE_VOLTAGE));
      std::memcpy(&b[1], &single, 4);  // little-endian, as the wire wants it
      Put16(&b[5], SimSam_ReferenceDigits(*adc, reference));
      break;
    }
    default: break;  // status and result only
  }
  m.reply(rq, b);
}

void Write(SimSamAdc& adc, int sub, const SimFrame& f) {
  const bool values = f.len >= 8;
  const int16_t first = values ? Get16(&f.data[4]) : 0, second = values ? Get16(&f.data[6]) : 0;
  switch (sub) {
    case VORN_BASECAL_CLIPPING:
      if (values) adc.clipping = first;
      break;
    case VORN_BASECAL_LOW_PAIR:
      if (!values) break;
      adc.lowActual = first, adc.lowWanted = second;
      adc.status |= VORN_BASECAL_LOW_VALID;
      break;
    case VORN_BASECAL_HIGH_PAIR:
      if (!values) break;
      adc.highActual = first, adc.highWanted = second;
      adc.status |= VORN_BASECAL_HIGH_VALID;
      break;
    case VORN_BASECAL_RESET_PAIRS:
      adc.lowActual = adc.lowWanted = adc.highActual = adc.highWanted = 0;
      adc.status &= uint8_t(~(VORN_BASECAL_LOW_VALID | VORN_BASECAL_HIGH_VALID));
      break;
    case VORN_BASECAL_ENABLE:
      // A correction without both pairs would be no correction: refused.
      if ((adc.status & (VORN_BASECAL_LOW_VALID | VORN_BASECAL_HIGH_VALID)) ==
          (VORN_BASECAL_LOW_VALID | VORN_BASECAL_HIGH_VALID))
        adc.status |= VORN_BASECAL_ENABLED;
      break;
    case VORN_BASECAL_DISABLE:
      adc.status &= uint8_t(~VORN_BASECAL_ENABLED);
      break;
    default: break;
  }
}

void BaseCalibCommand(SimModule& m, const ModuleRequest& rq) {
  const SimFrame& f = rq.frame;
  if (f.len < 2 || !m.firmwareRunning()) return;
  const int index = (f.data[1] & VORN_BASECAL_ADC1) ? 1 : 0;
  const int sub = f.data[1] & 0x7F;
  SimSamAdc* adc = SimSam_Adc(m, index);
  if (rq.wantsReply) {
    Read(m, rq, adc, sub);
    return;
  }
  if (adc) Write(*adc, sub, f);
  if (rq.wantsAck) m.acknowledge(rq);
}

}  // namespace

void InstallSamAdcCommands(SimModule& module) { module.setHandler(VORN_CODE_BASE_CALIB, BaseCalibCommand); }

const SimSamAdc* SimSam_AdcOf(const SimModule& m, int channel) {
  if (channel < 0 || channel > 15) return nullptr;
  for (const SimSamAdc& adc : m.config().io.samAdcs)
    if (adc.inputs & (1u << channel)) return &adc;
  return nullptr;
}

SimSamAdc* SimSam_Adc(SimModule& m, int index) {
  for (SimSamAdc& adc : m.config().io.samAdcs)
    if (adc.index == index) return &adc;
  return nullptr;
}

int SimSam_Convert(const SimSamAdc& adc, double physical, double min, double max) {
  const double span = max - min;
  const double ideal = span > 0 ? (physical - min) / span * SIM_SAM_FULL_SCALE : 0;
  return Corrected(adc, Digits(ideal * (1 + adc.gain) + adc.offset));
}

int SimSam_ReferenceDigits(const SimSamAdc& adc, double reference) {
  return Digits(reference / (adc.current ? 20.0 : 10.0) * SIM_SAM_FULL_SCALE);
}

int SimSam_Result(const SimModule& m, const SimSamAdc& adc, int64_t nowUs) {
  for (int channel = 0; channel < 16; ++channel) {
    if (!(adc.inputs & (1u << channel))) continue;
    SimChannelInfo ch;
    SimCodeInfo info;
    double physical = 0;
    if (!SimIo_Channel(m, SimIoGroup::AnalogIn, channel, ch) || !SimChanCode_Find(ch.code, info) ||
        !SimIo_TerminalLevel(m, channel, nowUs, physical))
      return 0;
    return SimSam_Convert(adc, physical, info.physMin, info.physMax);
  }
  return 0;
}
