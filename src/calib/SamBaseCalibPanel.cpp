#include "calib/SamBaseCalibPanel.h"

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"

namespace {

constexpr int kWriteWaitMs = 200;
constexpr int kSourceWaitMs = 1000;

int Interval() { return Option_GetInt("AUTOUPDATE_INTERVAL_MS"); }

}  // namespace

bool SamBaseCalib_Probe(const ModuleRec& module) {
  SamBaseCalib_ClearStatus();
  SamBaseCalib_Read(module, 0, SAMBASE_STATUS);
  SamBaseCalib_Read(module, 1, SAMBASE_STATUS);
  if (SamBaseCalib_Status(0).available || SamBaseCalib_Status(1).available) return true;
  ShowErrorBox("ADC0/ADC1 no base calibration support.");
  return false;
}

SamBaseCalibPanel::SamBaseCalibPanel(ModuleRec& module) : module_(module) {
  statusTimer_.setCallback([this] {
    NestedCalls::Scope call(calls_);
    statusTick();
  });
  autoTimer_.setCallback([this] {
    NestedCalls::Scope call(calls_);
    autoTick();
  });
}

SamBaseCalibPanel::~SamBaseCalibPanel() {
  statusTimer_.stop();
  autoTimer_.stop();
}

void SamBaseCalibPanel::initialise() {
  statusTimer_.stop();
  autoTimer_.stop();
  auto_ = SamAutoCalib{};
  SamBaseCalib_SendCalibrator(SAMBASE_SOURCE_OFF);
  for (int adc = 0; adc < 2; ++adc) {
    if (!status(adc).available) continue;
    for (int sub : {SAMBASE_CLIPPING, SAMBASE_LOW_PAIR, SAMBASE_HIGH_PAIR, SAMBASE_LOW_REFERENCE,
                    SAMBASE_HIGH_REFERENCE}) {
      SamBaseCalib_Read(module_, adc, sub);
    }
  }
  show(0);
  show(1);
  statusTimer_.start(Interval());
}

void SamBaseCalibPanel::close() {
  closed_ = true;
  statusTimer_.stop();
  autoTimer_.stop();
  auto_.stop();
  SamBaseCalib_SendCalibrator(SAMBASE_SOURCE_OFF);
}

void SamBaseCalibPanel::show(int adc) {
  const SamAdcStatus& r = status(adc);
  SamAdcFields& f = fields(adc);
  f.lowActual = Text_Format("%d", r.lowActual);
  f.lowWanted = Text_Format("%d", r.lowWanted);
  f.highActual = Text_Format("%d", r.highActual);
  f.highWanted = Text_Format("%d", r.highWanted);
  f.clipping = Text_Format("%d", r.zeroClipping);
}

std::string SamBaseCalibPanel::stateText(int adc) const {
  return adc == auto_.adc() ? auto_.text() : std::string();
}

bool SamBaseCalibPanel::correctionEnabled(int adc) const {
  return calibratorEnabled(adc) && Option_GetInt("DEBUG_MODE") != 0;
}

bool SamBaseCalibPanel::calibratorEnabled(int adc) const {
  return status(adc).available && !auto_.running();
}

// ---- buttons -------------------------------------------------------------------------

void SamBaseCalibPanel::validClicked(int adc, bool high) {
  const int bit = high ? SAMBASE_HIGH_VALID : SAMBASE_LOW_VALID;
  if (!(status(adc).status & bit)) return;  // only a set pair can be given up
  SamBaseCalib_Write(module_, adc, SAMBASE_RESET_PAIRS, 0, 0);
  Clock_SleepMs(kWriteWaitMs);
  SamBaseCalib_Read(module_, adc, SAMBASE_LOW_PAIR);
  SamBaseCalib_Read(module_, adc, SAMBASE_HIGH_PAIR);
  show(adc);
}

void SamBaseCalibPanel::enabledClicked(int adc) {
  const bool enabled = status(adc).status & SAMBASE_ENABLED;
  SamBaseCalib_Write(module_, adc, enabled ? SAMBASE_DISABLE : SAMBASE_ENABLE, 0, 0);
  Clock_SleepMs(kWriteWaitMs);
  SamBaseCalib_Read(module_, adc, SAMBASE_HIGH_PAIR);
  show(adc);
}

void SamBaseCalibPanel::sourceClicked(int adc, int n) {
  if (!SamBaseCalib_SendCalibrator(n)) {
    ShowErrorBox("Cannot send CAN message to calibrator");
    return;
  }
  Clock_SleepMs(kSourceWaitMs);
  SamBaseCalib_Read(module_, adc, SAMBASE_STATUS);
  const SamAdcStatus& r = status(adc);
  SamAdcFields& f = fields(adc);
  const std::string actual = Text_Format("%d", r.actualResult);
  if (n == SAMBASE_SOURCE_OFF) {
    f.clipping = actual;
    return;
  }
  const bool high = n == SAMBASE_SOURCE_HIGH;
  if (!(r.status & SAMBASE_ENABLED)) (high ? f.highActual : f.lowActual) = actual;
  (high ? f.highWanted : f.lowWanted) = Text_Format("%d", high ? r.highReferenceDigits : r.lowReferenceDigits);
}

void SamBaseCalibPanel::setPair(int adc, bool high) {
  SamAdcFields& f = fields(adc);
  int actual = 0, wanted = 0;
  if (!SamBaseCalib_ParseField(high ? f.highActual : f.lowActual, actual) ||
      !SamBaseCalib_ParseField(high ? f.highWanted : f.lowWanted, wanted)) {
    return;  // not a 16-bit number: nothing is sent
  }
  const int sub = high ? SAMBASE_HIGH_PAIR : SAMBASE_LOW_PAIR;
  SamBaseCalib_Write(module_, adc, sub, actual, wanted);
  Clock_SleepMs(kWriteWaitMs);
  SamBaseCalib_Read(module_, adc, sub);
  show(adc);
  auto_.clearText();
}

void SamBaseCalibPanel::setClipping(int adc) {
  int clipping = 0;
  if (!SamBaseCalib_ParseField(fields(adc).clipping, clipping)) return;
  SamBaseCalib_Write(module_, adc, SAMBASE_CLIPPING, clipping, 0);
  Clock_SleepMs(kWriteWaitMs);
  SamBaseCalib_Read(module_, adc, SAMBASE_CLIPPING);
  show(adc);
  auto_.clearText();
}

void SamBaseCalibPanel::autoCalibrate(int adc) {
  auto_.start(adc);
  autoTimer_.start(SamAutoCalib::TICK_MS);
}

// ---- timers --------------------------------------------------------------------------

void SamBaseCalibPanel::statusTick() {
  statusTimer_.stop();
  for (int adc = 0; adc < 2; ++adc)
    if (status(adc).available) SamBaseCalib_Read(module_, adc, SAMBASE_STATUS);
  if (closed_) return;
  statusTimer_.start(Interval());
  if (onChanged) onChanged();
}

void SamBaseCalibPanel::autoTick() {
  autoTimer_.stop();
  const int adc = auto_.adc();
  const bool ended = auto_.tick(module_) == 1;
  if (closed_) return;
  show(adc);
  if (!ended) autoTimer_.start(SamAutoCalib::TICK_MS);
  if (onChanged) onChanged();
}
