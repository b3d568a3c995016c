#include "calib/AnalogOutCalib.h"

#include <algorithm>

#include "calib/CalibDataFile.h"
#include "core/Options.h"
#include "io/ObjectAccess.h"
#include "protocol/ModuleList.h"

AnalogOutCalib::AnalogOutCalib(ModuleRec& module, const ChanInfo& channels)
    : AnalogCalibChannels(module, channels, true) {
  valueTimer_.setCallback([this] {
    NestedCalls::Scope call(calls());
    valueTick();
  });
}

AnalogOutCalib::~AnalogOutCalib() { valueTimer_.stop(); }

bool AnalogOutCalib::prepare() { return CalibData_CheckUserPoints(module(), channels(), true) >= 0; }

void AnalogOutCalib::initialise() {
  buildConfigList();
  refreshRows();
  if (module().autoUpdate && channelCount() > 0) valueTimer_.start(Option_GetInt("AUTOUPDATE_INTERVAL_MS"));
}

void AnalogOutCalib::close(bool restore) {
  markClosed();
  valueTimer_.stop();
  if (restore && selectedEntry() != 0) restoreOriginal();
}

AnalogOutCalib::Controls AnalogOutCalib::controls() const {
  Controls c;
  const bool configChosen = selectedEntry() != 0;
  c.newValueEnabled = configChosen;
  c.setOutputEnabled = configChosen && module().autoUpdate;
  c.setAllEnabled = configChosen;
  c.autoUpdate = module().autoUpdate != 0;
  return c;
}

void AnalogOutCalib::rowSet(int channel, int point) {
  setPoint(channel, point, newValue_);
  refreshRows();
}

void AnalogOutCalib::rowClear(int channel, int point) {
  clearPoint(channel, point);
  refreshRows();
}

void AnalogOutCalib::setOutput() {
  const int code = selectedCode();
  double entered = 0;
  if (selectedEntry() != 0 && CalibData_ParseValue(entered, code, valueMode(), outputValue_)) {
    double minimum = 0, maximum = 0;
    ChanType_GetInfo(code, false, nullptr, nullptr, &minimum, &maximum);
    for (int c = 0; c < channelCount(); ++c) {
      if (rowCode(c) != code) continue;
      const ChanEntry& entry = channels().channels[c];
      // Limited to the range, as a value beyond it would wrap in its encoding.
      double value = std::clamp(entered, minimum, maximum);
      ChanValueBytes bytes{};
      if (ChanType_ConvertValue('s', value, code, bytes, entry.aligned) != 0) continue;
      ObjectAccess_Write(module().node, int(entry.valueIndex), int(entry.valueSubindex), bytes);
    }
  }
  refreshRows();
}

void AnalogOutCalib::chooseConfig(int entry) {
  selectEntry(entry);
  refreshRows();
}


void AnalogOutCalib::setAutoUpdate(bool on) {
  module().autoUpdate = on ? 1 : 0;
  if (on && channelCount() > 0)
    valueTimer_.start(Option_GetInt("AUTOUPDATE_INTERVAL_MS"));
  else
    valueTimer_.stop();
  refreshRows();
}

void AnalogOutCalib::valueTick() {
  valueTimer_.stop();
  if (!readValues()) module().autoUpdate = 0;
  if (closed()) return;
  if (module().autoUpdate) valueTimer_.start(Option_GetInt("AUTOUPDATE_INTERVAL_MS"));
  if (onChanged) onChanged();
}
