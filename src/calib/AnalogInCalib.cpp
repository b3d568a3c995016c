#include "calib/AnalogInCalib.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "bus/Interface.h"
#include "calib/CalibDataFile.h"
#include "calib/Calibrator.h"
#include "calib/SamBaseCalib.h"
#include "calib/Testo.h"
#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleStatus.h"
#include "protocol/ModuleType.h"
#include "protocol/VornProtCommands.h"

namespace {

constexpr const char* kSection = "AnalogIn";

int KindOf(int code) { return (code >> 8) & 0xFF; }
bool IsThermocoupleKJ(int kind) { return kind == 3 || kind == 4; }
bool IsTemperature(int kind) { return (kind >= 3 && kind <= 8) || kind == 11; }

int PointOfKind(int kind) { return kind == CALIB_KIND_LOW ? 1 : kind == CALIB_KIND_HIGH ? 2 : 0; }

bool UseTesto() { return Option_GetInt("ANALOGCALIB_USE_TESTO") != 0; }

}  // namespace

AnalogInCalib::AnalogInCalib(ModuleRec& module, const ChanInfo& channels)
    : AnalogCalibChannels(module, channels, false) {
  valueTimer_.setCallback([this] {
    NestedCalls::Scope call(calls());
    valueTick();
  });
  runnerTimer_.setCallback([this] {
    NestedCalls::Scope call(calls());
    runnerTick();
  });
  testoTimer_.setCallback([this] {
    NestedCalls::Scope call(calls());
    testoTick();
  });
}

AnalogInCalib::~AnalogInCalib() {
  valueTimer_.stop();
  runnerTimer_.stop();
  testoTimer_.stop();
}

std::string AnalogInCalib::orderCode() const {
  return module().typeInfo ? module().typeInfo->orderCode : "";
}

// ---- opening and closing -----------------------------------------------------------

bool AnalogInCalib::prepare() {
  sequence_ = CalibSequence{};
  if (module().typeInfo) CalibSeq_Read(orderCode(), kSection, sequence_);
  if (CalibData_CheckUserPoints(module(), channels(), false) < 0) return false;

  // Only SAMC21 modules know the base calibration command; asking others
  // would cost a time-out and an error box each time the dialog opens.
  SamBaseCalib_ClearStatus();
  ModuleRec& rec = module();
  if (!rec.infoValid) ModuleStatus_ReadInfo(rec);
  if (rec.infoValid && rec.info6 == Wire::VORN_CPU_SAMC21) {
    SamBaseCalib_Read(rec, 0, SAMBASE_STATUS);
    SamBaseCalib_Read(rec, 1, SAMBASE_STATUS);
  }
  samShown_ = SamBaseCalib_Status(0).available || SamBaseCalib_Status(1).available;
  runner_ = CalibRunner{};
  trace_ = AnalogTrace{};
  return true;
}

void AnalogInCalib::initialise() {
  buildConfigList();
  readConfigFlags();
  refresh();
  if (UseTesto() && !readThermometer()) thermometerFailed();
  if (module().autoUpdate) startTimers();
}

void AnalogInCalib::close(bool restore) {
  markClosed();
  valueTimer_.stop();
  testoTimer_.stop();
  runnerTimer_.stop();
  runner_.stop();
  if (restore && selectedEntry() != 0) restoreOriginal();
}

void AnalogInCalib::readConfigFlags() {
  tcPresent_ = tempPresent_ = false;
  for (int i = 1; i < configCount(); ++i) {
    const int kind = KindOf(configCode(i));
    tcPresent_ = tcPresent_ || IsThermocoupleKJ(kind);
    tempPresent_ = tempPresent_ || IsTemperature(kind);
  }
}

void AnalogInCalib::startTimers() {
  valueTimer_.start(Option_GetInt("AUTOUPDATE_INTERVAL_MS"));
  testoTimer_.start(Option_GetInt("TESTO_INTERVAL_MS"));
}

void AnalogInCalib::changed() {
  if (onChanged) onChanged();
}

// ---- what the controls show -----------------------------------------------------------

const CalibStep* AnalogInCalib::selectedStep() const {
  const int step = sequence_.currentStep;
  if (step < 1 || step > sequence_.stepCount || step > CALIB_SEQ_MAX_STEPS) return nullptr;
  return &sequence_.steps[size_t(step - 1)];
}

bool AnalogInCalib::hasCalibrator() const {
  return sequence_.calibrator != CALIBRATOR_NONE && sequence_.stepCount > 0;
}

AnalogInCalib::Controls AnalogInCalib::controls() const {
  Controls c;
  const bool idle = !runner_.running();
  const CalibStep* step = selectedStep();
  const int stepNumber = step ? sequence_.currentStep : 0;
  const bool configChosen = selectedEntry() != 0;

  c.running = !idle;
  c.runText = step ? "Cont." : "Run";
  c.runEnabled = idle;
  c.stopEnabled = !idle;
  c.firstEnabled = c.prevEnabled = idle && step;
  c.nextEnabled = c.lastEnabled = idle && stepNumber < sequence_.stepCount;
  c.editEnabled = c.reloadEnabled = idle && module().typeInfo != nullptr;
  c.sequenceShown = hasCalibrator();
  c.calibratorName = Calibrator_Name(sequence_.calibrator);
  c.stepText = step ? Text_Format("Step: %d / %d", stepNumber, sequence_.stepCount)
                    : Text_Format("Step: - / %d", sequence_.stepCount);
  if (!idle) {
    c.progress = runner_.progress(sequence_, channelCount());
    c.runnerLine = runner_.line(sequence_);
  }
  c.newValueEditable = configChosen && !step;
  c.outToAllEnabled = hasCalibrator() && configChosen && !(step && step->chanSelectMode == CALIB_SELECT_SINGLE);
  c.hiZEnabled = sequence_.calibrator != CALIBRATOR_NONE;
  c.refEnabled = hasCalibrator() && tcPresent_;
  c.refEditable = c.refEnabled && !UseTesto();
  for (int p = 1; p <= 2; ++p) {
    c.setAllEnabled[p - 1] = configChosen && !(step && PointOfKind(step->kind) == p);
  }
  c.autoUpdate = module().autoUpdate != 0;
  c.traceActive = trace_.active();
  c.samShown = samShown_;
  for (int adc = 0; adc < 2; ++adc) c.samGreen[adc] = SamBaseCalib_Status(adc).status == SAMBASE_ALL_SET;
  return c;
}

bool AnalogInCalib::rowSetEnabled(int channel, int point) const {
  return rowActive(channel) && controls().setAllEnabled[point == 2 ? 1 : 0];
}

bool AnalogInCalib::rowOutEnabled(int channel) const {
  const CalibStep* step = selectedStep();
  return rowActive(channel) && hasCalibrator() && selectedEntry() != 0 &&
         (!step || step->chanSelectMode == CALIB_SELECT_SINGLE);
}

// ---- refresh -------------------------------------------------------------------------

void AnalogInCalib::refresh() {
  if (const CalibStep* step = selectedStep()) {
    // The step's configuration index, limited to the list's entries 1..last.
    const int last = configCount() - 1;
    forceEntry(last >= 1 ? std::clamp(step->config, 1, last) : 0);
    newValue_ = Text_Format("%g", step->value);
    setCalibMode(0);
  }
  refreshRows();
}

// ---- buttons -------------------------------------------------------------------------

void AnalogInCalib::rowSet(int channel, int point) {
  setPoint(channel, point, newValue_);
  refresh();
}

void AnalogInCalib::rowClear(int channel, int point) {
  clearPoint(channel, point);
  refresh();
}

void AnalogInCalib::setAllPoints(int point) { setAll(point, newValue_); }

void AnalogInCalib::clearAllPoints(int point) { clearAll(point); }

void AnalogInCalib::outToRow(int channel) { output(rowCode(channel)); }

void AnalogInCalib::outToAll() { output(selectedCode()); }

void AnalogInCalib::output(int code) {
  double value = 0;
  if (!CalibData_ParseValue(value, code, calibMode(), newValue_)) {
    runner_.fail("No calibration value specified");
    // Pressed by hand, the button says why it did nothing.
    if (!runner_.running()) ShowError("%s", runner_.errorText().c_str());
    return;
  }
  const int calibrator = sequence_.calibrator;
  if (tcPresent_) {
    const char* start = refText_.c_str();
    char* end = nullptr;
    const double reference = std::strtod(start, &end);
    const bool number = end != start && std::isfinite(reference);
    Calibrator_SetTcReference(calibrator, number ? 1 : 0, number ? reference : 0.0);
  }
  SetWaitCursor(1);
  const int ok = Calibrator_SetOutput(calibrator, KindOf(code), value);
  SetWaitCursor(0);
  if (!ok) {
    runner_.fail(Text_Format("Calibrator error:\n%s", Calibrator_ErrorText(calibrator).c_str()));
    if (!runner_.running()) ShowError("%s", runner_.errorText().c_str());
  }
}

void AnalogInCalib::outputOff() { Calibrator_SetOutput(sequence_.calibrator, -1, 0.0); }

void AnalogInCalib::chooseConfig(int entry) {
  selectEntry(entry);
  sequence_.currentStep = 0;
  refresh();
}


void AnalogInCalib::setAutoUpdate(bool on) {
  module().autoUpdate = on ? 1 : 0;
  if (on) {
    startTimers();
  } else {
    valueTimer_.stop();
    testoTimer_.stop();
    runnerTimer_.stop();
    runner_.stop();
  }
}

void AnalogInCalib::toggleTrace() {
  trace_.toggle([this] { return traceHeader(); });
}

AnalogTraceHeader AnalogInCalib::traceHeader() const {
  AnalogTraceHeader h;
  h.channelCount = channelCount();
  h.orderCode = orderCode();
  h.busName = BusName(module().bus);
  h.node = module().node;
  h.started = Clock_LocalTime();
  h.refColumn = tempPresent_ && UseTesto();
  for (int c = 0; c < channelCount(); ++c) {
    std::string unit;
    if (rowActive(c)) ChanType_GetInfo(rowCode(c), false, nullptr, &unit);
    h.channelHeads.push_back(AnalogTrace_ChannelHead(c, rowActive(c), unit));
  }
  return h;
}

void AnalogInCalib::editSequence() { CalibSeq_Edit(orderCode()); }

void AnalogInCalib::reloadSequence() {
  if (CalibSeq_Read(orderCode(), kSection, sequence_) != CALIB_SEQ_OK) {
    ShowErrorBox("Error in calibration sequence file:\n%s", sequence_.errorText.c_str());
  }
  runnerTimer_.stop();
  runner_.stop();
  sequence_.currentStep = 0;
  refresh();
}

void AnalogInCalib::selectStep(int step) {
  sequence_.currentStep = std::clamp(step, 0, sequence_.stepCount);
  refresh();
}

void AnalogInCalib::firstStep() { selectStep(0); }
void AnalogInCalib::previousStep() { selectStep(sequence_.currentStep - 1); }
void AnalogInCalib::nextStep() { selectStep(sequence_.currentStep + 1); }
void AnalogInCalib::lastStep() { selectStep(sequence_.stepCount); }

void AnalogInCalib::run() {
  if (sequence_.stepCount <= 0) return;
  if (!selectedStep()) sequence_.currentStep = 1;
  runner_.start();
  runnerTimer_.start(SEQ_TICK_MS);
}

void AnalogInCalib::stop() {
  runnerTimer_.stop();
  runner_.stop();
  refresh();
}

// ---- timers --------------------------------------------------------------------------

void AnalogInCalib::valueTick() {
  valueTimer_.stop();
  updateValues();
  if (closed()) return;
  if (module().autoUpdate) valueTimer_.start(Option_GetInt("AUTOUPDATE_INTERVAL_MS"));
  changed();
}

void AnalogInCalib::updateValues() {
  const double seconds = trace_.elapsedSeconds();
  if (!readValues()) {
    // The module stopped answering: no more polling (the line of this
    // update is not written).
    module().autoUpdate = 0;
    return;
  }
  if (!trace_.active()) return;
  std::vector<double> values;
  for (int c = 0; c < channelCount(); ++c)
    if (rowActive(c)) values.push_back(readingOf(c));
  trace_.writeLine(seconds, refTemp_, values);
}

bool AnalogInCalib::reading(int channel, long afterUpdates, double& value) const {
  if (!rowActive(channel) || readingUpdate(channel) <= afterUpdates) return false;
  value = readingOf(channel);
  return true;
}

void AnalogInCalib::runnerTick() {
  runnerTimer_.stop();
  const int result = runner_.tick(sequence_, *this, Clock_NowMs());
  if (closed()) return;
  if (result == SEQ_RESULT_FINISHED) {
    Ui_MessageBox("Calibration sequence finished successfully", "Success", UiButtons::Ok,
                  UiIcon::Information);
    sequence_.currentStep = 0;
  } else if (result == SEQ_RESULT_ERROR) {
    const CalibStep* step = selectedStep();
    ShowErrorBox("Error in calibration sequence during step %d (line %d):\n%s", step ? sequence_.currentStep : 0,
                 step ? step->line : 0, runner_.errorText().c_str());
  }
  if (closed()) return;
  if (result != SEQ_RESULT_CONTINUE) refresh();
  if (result == SEQ_RESULT_CONTINUE || result == SEQ_RESULT_REFRESH) runnerTimer_.start(SEQ_TICK_MS);
  changed();
}

bool AnalogInCalib::readThermometer() {
  Testo_SetString("comPortName", Option_GetString("TESTO_COMPORTNAME"));
  Testo_SetInt("channel", Option_GetInt("TESTO_CHAN"));
  double celsius = 0;
  if (!Testo_Get(celsius)) return false;
  refTemp_ = celsius;
  refText_ = Text_Format("%.1f", celsius);
  return true;
}

void AnalogInCalib::thermometerFailed() {
  refTemp_ = 0.0;
  Option_SetInt("ANALOGCALIB_USE_TESTO", 0);
  refText_.clear();
  ShowError("TESTO 701 not available, disabled.\n%s", Testo_LastError().c_str());
}

void AnalogInCalib::testoTick() {
  testoTimer_.stop();
  if (UseTesto() && !readThermometer()) {
    refTemp_ = 0.0;
    refresh();
    thermometerFailed();
  }
  if (closed()) return;
  if (module().autoUpdate) testoTimer_.start(Option_GetInt("TESTO_INTERVAL_MS"));
  changed();
}
