#include "calib/AnalogCalibChannels.h"

#include <algorithm>

#include "calib/CalibDataFile.h"
#include "core/ErrorReport.h"
#include "io/AnalogChannel.h"
#include "io/CalibValue.h"
#include "io/ObjectAccess.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"

namespace {

int KindOf(int code) { return (code >> 8) & 0xFF; }

bool IsCelsius(int kind) {
  return (kind >= 3 && kind <= 8) || kind == 11 || kind == 13 || kind == 14;
}

}  // namespace

std::vector<std::string> AnalogCalib_DisplayChoices(int code, bool inputs) {
  std::string unit;
  ChanType_GetInfo(code, true, nullptr, &unit);
  const int kind = KindOf(code);
  if (kind == 1 || kind == 2) return {"Digits", "Digits hex", unit};
  if (kind == 9) return {"Digits", "Digits hex"};
  if (inputs && IsCelsius(kind)) return {unit, "K"};
  if (inputs && kind == 15) return {"K", "\xC2\xB0" "C"};
  return {unit};
}

AnalogCalibChannels::AnalogCalibChannels(ModuleRec& module, const ChanInfo& channels, bool outputs)
    : module_(module), channels_(channels), outputs_(outputs) {}

int AnalogCalibChannels::channelCount() const {
  return std::clamp(int(channels_.channelCount), 0, CHANINFO_MAX_CHANNELS);
}

int AnalogCalibChannels::clampChannel(int channel) const {
  return std::clamp(channel, 0, CHANINFO_MAX_CHANNELS - 1);
}

int AnalogCalibChannels::channelByte(int channel) const {
  return channel + (outputs_ ? CALIB_OUTPUT_CHANNEL : 0);
}

// ---- configuration list ------------------------------------------------------------

void AnalogCalibChannels::buildConfigList() {
  configCodes_.assign(1, ANALOGCALIB_ORIGINAL);
  selected_ = 0;
  bool tooMany = false;
  for (int c = 0; c < channelCount(); ++c) {
    const ChanConfigList* list = ChanInfo_ConfigListOf(channels_, c);
    const int count = list ? std::clamp(int(list->count), 0, CHANINFO_MAX_CONFIGS) : 0;
    for (int i = 0; i < count; ++i) {
      const int code = list->codes[i];
      if (std::find(configCodes_.begin(), configCodes_.end(), code) != configCodes_.end()) continue;
      if (int(configCodes_.size()) >= ANALOGCALIB_MAX_CONFIGS) {
        tooMany = true;
        continue;
      }
      configCodes_.push_back(code);
    }
  }
  if (tooMany) ShowError("Error: Too many configurations in list (> %d)", ANALOGCALIB_MAX_CONFIGS);
}

int AnalogCalibChannels::configCode(int entry) const {
  if (entry < 0 || entry >= configCount()) return ANALOGCALIB_ORIGINAL;
  return configCodes_[size_t(entry)];
}

std::string AnalogCalibChannels::configName(int entry) const {
  if (entry <= 0 || entry >= configCount()) return "(Original)";
  std::string name;
  ChanType_GetInfo(configCodes_[size_t(entry)], false, &name);
  return name;
}

void AnalogCalibChannels::selectEntry(int entry) {
  forceEntry(entry);
  valueMode_ = 0;
  calibMode_ = 0;
}

void AnalogCalibChannels::forceEntry(int entry) { selected_ = std::clamp(entry, 0, configCount() - 1); }

std::vector<std::string> AnalogCalibChannels::displayChoices() const {
  return AnalogCalib_DisplayChoices(selectedCode(), !outputs_);
}

// ---- rows ---------------------------------------------------------------------------

int AnalogCalibChannels::rowCode(int channel) const {
  return rowActive(channel) ? rows_[size_t(channel)].code : CHANTYPE_CODE_INVALID;
}

bool AnalogCalibChannels::rowActive(int channel) const {
  return channel >= 0 && channel < channelCount() &&
         rows_[size_t(channel)].state == CalibRowState::Active;
}

void AnalogCalibChannels::decideRow(int channel, CalibRow& row) const {
  const ChanEntry& entry = channels_.channels[channel];
  if (selected_ == 0) {
    if (entry.configOriginal == CHANINFO_CONFIG_OFF) {
      row.state = CalibRowState::Off;
      return;
    }
    row.config = entry.configOriginal;
    row.code = ChanInfo_ConfigCode(channels_, channel, row.config);
    row.state = row.code == CHANTYPE_CODE_INVALID ? CalibRowState::NotAvailable : CalibRowState::Active;
    return;
  }
  const int code = selectedCode();
  const ChanConfigList* list = ChanInfo_ConfigListOf(channels_, channel);
  const int count = list ? std::clamp(int(list->count), 0, CHANINFO_MAX_CONFIGS) : 0;
  for (int i = 0; i < count; ++i) {
    if (list->codes[i] == code) {
      row.config = i;
      row.code = code;
      row.state = CalibRowState::Active;
      return;
    }
  }
  row.state = CalibRowState::NotAvailable;
}

void AnalogCalibChannels::refreshRows() {
  valueMode_ = std::clamp(valueMode_, 0, int(displayChoices().size()) - 1);
  calibMode_ = std::clamp(calibMode_, 0, int(displayChoices().size()) - 1);
  bool failed = false;
  for (int c = 0; c < CHANINFO_MAX_CHANNELS; ++c) {
    CalibRow& row = rows_[size_t(c)];
    row = CalibRow{};
    if (c >= channelCount()) continue;
    decideRow(c, row);
    if (row.state == CalibRowState::Active) {
      int inForce = -1;
      if (failed || !setChannelConfig(c, row.config) || !readChannelConfig(c, inForce)) {
        failed = true;
        row.state = CalibRowState::NotAvailable;
      } else if (inForce != row.config) {
        row.state = CalibRowState::NotAvailable;
      } else {
        channels_.channels[c].configInUse = row.config;
      }
    }
    switch (row.state) {
      case CalibRowState::Off: row.configText = "(off)"; continue;
      case CalibRowState::NotAvailable: row.configText = "(n/a)"; continue;
      case CalibRowState::Active: break;
    }
    ChanType_GetInfo(row.code, false, &row.configText);
    for (int p = 1; p <= 2; ++p) {
      CalibData_ShowPoint(module_, p, true, channelByte(c), row.code, calibMode_, row.points[p - 1]);
    }
  }
}

// ---- present values -------------------------------------------------------------------

bool AnalogCalibChannels::readValues() {
  ++updates_;
  for (int c = 0; c < channelCount(); ++c) {
    if (!rowActive(c)) continue;
    const ChanEntry& entry = channels_.channels[c];
    CalibRow& row = rows_[size_t(c)];
    CanMsg reply;
    if (!ObjectAccess_Read(module_.node, int(entry.valueIndex), int(entry.valueSubindex), reply)) {
      return false;
    }
    ChanValueBytes bytes = ObjectAccess_ValueBytes(reply);
    double value = 0;
    ChanType_ConvertValue('g', value, row.code, bytes, entry.aligned);
    readings_[size_t(c)] = value;
    readingUpdate_[size_t(c)] = updates_;
    double minimum = 0, maximum = 0;
    ChanType_GetInfo(row.code, false, nullptr, nullptr, &minimum, &maximum);
    row.valueText = CalibData_FormatValue(value, row.code, valueMode_);
    row.bar = AnalogChannel_Bar(value, minimum, maximum);
  }
  return true;
}

// ---- points -------------------------------------------------------------------------

bool AnalogCalibChannels::setPoint(int channel, int point, const std::string& newValue) {
  if (!rowActive(channel)) return false;
  const int code = rows_[size_t(channel)].code;
  double value = 0;
  if (!CalibData_ParseValue(value, code, calibMode_, newValue)) return false;
  return CalibData_CalibratePoint(module_, point, true, channelByte(channel), code, value) != 0;
}

bool AnalogCalibChannels::clearPoint(int channel, int point) {
  if (!rowActive(channel)) return false;
  return CalibData_ClearPoint(module_, point, true, channelByte(channel), rows_[size_t(channel)].code) != 0;
}

void AnalogCalibChannels::setAll(int point, const std::string& newValue) {
  SetWaitCursor(1);
  int done = 0;
  for (int c = 0; c < channelCount(); ++c) {
    if (!rowActive(c)) continue;
    const int code = rows_[size_t(c)].code;
    double value = 0;
    if (CalibData_ParseValue(value, code, calibMode_, newValue) &&
        !CalibData_CalibratePoint(module_, point, true, channelByte(c), code, value)) {
      break;
    }
    if (++done % 4 == 0) refresh();
  }
  refresh();
  SetWaitCursor(0);
}

void AnalogCalibChannels::clearAll(int point) {
  SetWaitCursor(1);
  int done = 0;
  for (int c = 0; c < channelCount(); ++c) {
    if (!rowActive(c)) continue;
    if (!CalibData_ClearPoint(module_, point, true, channelByte(c), rows_[size_t(c)].code)) break;
    if (++done % 4 == 0) refresh();
  }
  refresh();
  SetWaitCursor(0);
}

void AnalogCalibChannels::restoreOriginal() {
  for (int c = 0; c < channelCount(); ++c) {
    ChanEntry& entry = channels_.channels[c];
    entry.configInUse = entry.configOriginal;
    if (!setChannelConfig(c, entry.configOriginal)) break;
  }
}

// ---- channel configuration exchanges ----------------------------------------------------

int AnalogCalibChannels::setChannelConfig(int channel, int config) {
  const int index = int(channels_.configSelectIndex);
  CanMsg msg;
  return VornProt_RequestMessage(msg, module_.node, 5, VORN_CMD_OBJECT_WRITE_ACK,
                                 {(index >> 8) & 0xFF, index & 0xFF, (channel + 1) & 0xFF, config & 0xFF});
}

int AnalogCalibChannels::readChannelConfig(int channel, int& config) {
  const int index = int(channels_.configSelectIndex);
  CanMsg reply;
  if (!VornProt_RequestMessage(reply, module_.node, 4, VORN_CMD_OBJECT_READ,
                               {(index >> 8) & 0xFF, index & 0xFF, (channel + 1) & 0xFF})) {
    return 0;
  }
  config = int(reply.data[4] & 0xFF);
  return 1;
}

void AnalogCalibChannels::clearFactoryPoints() {
  if (CalibData_ClearFactoryPoints(module(), channels(), outputs_) == 0) refresh();
}

void AnalogCalibChannels::saveFile() {
  if (CalibData_SaveFile(module(), channels(), outputs_) != CALIB_SAVE_CANCELLED) refresh();
}

void AnalogCalibChannels::loadFile() {
  const int result = CalibData_LoadFile(module(), channels(), outputs_);
  if (result != CALIB_LOAD_CANCELLED && result != CALIB_LOAD_DECLINED) refresh();
}

void AnalogCalibChannels::chooseValueMode(int mode) {
  setValueMode(mode);
  refresh();
}

void AnalogCalibChannels::chooseCalibMode(int mode) {
  setCalibMode(mode);
  refresh();
}
