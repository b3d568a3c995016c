#include "firmware/MultiUpdate.h"

#include <algorithm>
#include <strings.h>

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/WideText.h"
#include "firmware/FwInfo.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"
#include "protocol/ModuleStatus.h"
#include "protocol/ModuleType.h"
#include "protocol/VornProtCommands.h"
#include "firmware/FwTabFields.h"

namespace {

constexpr size_t kJoinedLimit = 2048;
constexpr int kRestartRepeats = 3;  // four restarts in all

const char* OrderCodeOr(const ModuleRec& rec, const char* none) {
  return rec.typeInfo ? rec.typeInfo->orderCode : none;
}

}  // namespace

int MultiUpdate_Progress(int started, int selected, int32_t sent, int32_t total) {
  if (total == 0 || selected == 0) return 0;
  return int(100.0 * (double(started - 1) / selected + double(sent) / total / selected));
}

MultiUpdate::MultiUpdate() : timer_([this] { tick(); }) {}

MultiUpdate::~MultiUpdate() { abort(); }

void MultiUpdate::changed() {
  if (onChanged_) onChanged_();
}

void MultiUpdate::setStatus(const std::string& text) { status_ = text; }

// ---- opening and closing -------------------------------------------------------------

void MultiUpdate::open() {
  if (ModuleList_Count() == 0) ShowErrorBox("The Module list is emtpy");
  rows_.clear();
  for (ModuleRec* rec = ModuleList_Next(nullptr); rec; rec = ModuleList_Next(rec)) {
    rec->serialFlags = 0;
    rows_.push_back(MultiUpdateRow{rec, {}});
  }
  sortColumn_ = -1;
  sortBy(kMuColSelect);

  for (MultiUpdateSlot& s : slots_) s = MultiUpdateSlot{};
  const std::wstring& list = Option_GetWString("RECENT_HEXFILE_LIST");
  int next = 0;
  size_t from = 0;
  while (from <= list.size() && next < kMultiUpdateSlots) {
    size_t end = list.find(L';', from);
    if (end == std::wstring::npos) end = list.size();
    if (end > from) setSlot(next++, list.substr(from, end - from));
    from = end + 1;
  }
  status_.clear();
  progress_ = 0;
  state_ = MU_IDLE;
  changed();
}

void MultiUpdate::close(bool stopOnError, int retries) {
  abort();
  Option_SetWString("RECENT_HEXFILE_LIST", joinedSlotNames());
  Option_SetInt("MULTI_UPDATE_STOP_ON_ERROR", stopOnError ? 1 : 0);
  Option_SetInt("MULTI_UPDATE_RETRIES", retries);
}

void MultiUpdate::abort() {
  if (state_ != MU_IDLE) finish(false);
}

// ---- slots -----------------------------------------------------------------------------

void MultiUpdate::setSlot(int index, const std::wstring& name) {
  if (index < 0 || index >= kMultiUpdateSlots) return;
  MultiUpdateSlot& s = slots_[index];
  s = MultiUpdateSlot{};
  s.name = name;
  if (name.empty()) return;
  FwHexInfo info;
  if (FwInfo_ReadHexFile(Text_Narrow(name), true, info) >= 0) s.type = info.moduleType;
  s.softwareVersion = info.softwareVersion;
}

std::string MultiUpdate::slotModuleName(int index) const {
  const MultiUpdateSlot& s = slots_[index];
  if (s.name.empty()) return std::string();
  const ModuleTypeInfo* row = s.type >= 0 ? ModuleType_Find(s.type) : nullptr;
  return row ? row->orderCode : "?";
}

std::wstring MultiUpdate::joinedSlotNames() const {
  std::wstring joined;
  for (const MultiUpdateSlot& s : slots_) {
    if (s.name.empty()) continue;
    const size_t length = joined.size() + (joined.empty() ? 0 : 1) + s.name.size();
    if (length >= kJoinedLimit) break;
    if (!joined.empty()) joined += L';';
    joined += s.name;
  }
  return joined;
}

int MultiUpdate::slotForType(uint32_t type) const {
  for (int i = 0; i < kMultiUpdateSlots; ++i)
    if (slots_[i].type >= 0 && uint32_t(slots_[i].type) == type) return i;
  return -1;
}

// ---- rows ------------------------------------------------------------------------------

std::string MultiUpdate::columnTitle(int column) {
  switch (column) {
    case kMuColSelect: return "Select";
    case kMuColNode: return ModuleStatus_ColumnTitle(kStatusColNode);  // "LIN ID" on a LIN bus
    case kMuColName: return "Module Name";
    case kMuColStatus: return "Status";
    case kMuColFirmware: return "Firmware";
    case kMuColBootloader: return "Bootloader";
    case kMuColResult: return "Result";
    default: return std::string();
  }
}

int MultiUpdate::columnWidth(int column) {
  static const int widths[kMuColumnCount] = {50, 50, 80, 45, 65, 65, 400};
  return column >= 0 && column < kMuColumnCount ? widths[column] : 0;
}

std::string MultiUpdate::cellText(int row, int column) const {
  const MultiUpdateRow& r = rows_[size_t(row)];
  switch (column) {
    case kMuColNode: return ModuleStatus_NodeText(*r.rec);
    case kMuColName: return ModuleStatus_NameText(*r.rec);
    case kMuColStatus: return ModuleStatus_StateText(*r.rec);
    case kMuColFirmware: return ModuleStatus_FirmwareText(*r.rec);
    case kMuColBootloader: return ModuleStatus_BootloaderText(*r.rec);
    case kMuColResult: return r.result;
    default: return std::string();
  }
}

void MultiUpdate::sortBy(int column) {
  ascending_ = column == sortColumn_ ? !ascending_ : true;
  sortColumn_ = column;
  const bool byName = column == kMuColName;
  const bool up = ascending_;
  std::stable_sort(rows_.begin(), rows_.end(), [byName, up](const MultiUpdateRow& a, const MultiUpdateRow& b) {
    int c = 0;
    if (byName) {
      // Modules the catalogue does not know compare equal to every other.
      if (a.rec->typeInfo && b.rec->typeInfo) c = strcasecmp(a.rec->typeInfo->orderCode, b.rec->typeInfo->orderCode);
    } else {
      c = a.rec->node < b.rec->node ? -1 : a.rec->node > b.rec->node ? 1 : 0;
    }
    return up ? c < 0 : c > 0;
  });
  changed();
}

bool MultiUpdate::selected(int row) const { return rows_[size_t(row)].rec->serialFlags & kMuSelected; }

void MultiUpdate::setSelected(int row, bool on) {
  uint16_t& flags = rows_[size_t(row)].rec->serialFlags;
  flags = on ? uint16_t(flags | kMuSelected) : uint16_t(flags & ~kMuSelected);
}

int MultiUpdate::selectedCount() const {
  int n = 0;
  for (size_t i = 0; i < rows_.size(); ++i) n += selected(int(i)) ? 1 : 0;
  return n;
}

void MultiUpdate::selectSlot(int index) {
  const int32_t type = slots_[index].type;
  for (size_t i = 0; i < rows_.size(); ++i)
    if (type >= 0 && rows_[i].rec->type == uint32_t(type)) setSelected(int(i), true);
  setStatus(Ui_Format("%d selected", selectedCount()));
  changed();
}

void MultiUpdate::selectAll() {
  for (size_t i = 0; i < rows_.size(); ++i) setSelected(int(i), true);
  setStatus(Ui_Format("%d selected", selectedCount()));
  changed();
}

void MultiUpdate::deselectAll() {
  for (size_t i = 0; i < rows_.size(); ++i) setSelected(int(i), false);
  setStatus(Ui_Format("%d selected", selectedCount()));
  changed();
}

void MultiUpdate::selectAvailable() {
  for (size_t i = 0; i < rows_.size(); ++i) setSelected(int(i), slotForType(rows_[i].rec->type) >= 0);
  setStatus(Ui_Format("%d selected", selectedCount()));
  changed();
}

// ---- the run ------------------------------------------------------------------------------

bool MultiUpdate::start(bool stopOnError, int retries) {
  if (FwUpload_Running()) {
    ShowErrorBox("Update already active");
    return false;
  }
  status_.clear();
  failures_ = started_ = selectedAtStart_ = 0;
  progress_ = 0;
  int deselected = 0;
  for (size_t i = 0; i < rows_.size(); ++i) {
    MultiUpdateRow& r = rows_[i];
    r.rec->serialFlags &= kMuSelected;
    r.result.clear();
    if (!selected(int(i))) continue;
    if (slotForType(r.rec->type) < 0) {
      setSelected(int(i), false);
      ++deselected;
    } else {
      ++selectedAtStart_;
    }
  }
  changed();
  if (deselected > 0) {
    ShowErrorBox("%d module(s) deselected (no matching firmware hexfile)", deselected);
    return false;
  }
  if (selectedAtStart_ == 0) {
    ShowErrorBox("No module(s) selected");
    return false;
  }
  if (Ui_MessageBox(Ui_Format("Update %d module%s?", selectedAtStart_, selectedAtStart_ == 1 ? "" : "s"),
                    "Start Update", UiButtons::OkCancel, UiIcon::Question) != UiAnswer::Ok)
    return false;
  stopOnError_ = stopOnError;
  retries_ = retries;
  state_ = MU_NEXT_MODULE;
  row_ = 0;
  FwUpload_SetRunning(true);
  SetWaitCursor(1);
  pacing_ = FwUpload_PacingFromOptions();
  timer_.start(pacing_.periodMs);
  changed();
  return true;
}

void MultiUpdate::stop() {
  if (state_ == MU_IDLE) return;
  // Negative: stopped by the user. A second click before the next tick must
  // not turn the count back into a success.
  if (failures_ >= 0) failures_ = -1 - failures_;
  state_ = MU_END;
}

void MultiUpdate::tick() {
  timer_.stop();
  const int64_t started = Clock_NowMs();
  switch (state_) {
    case MU_NEXT_MODULE: stepNextModule(); break;
    case MU_CHECK: stepCheck(); break;
    case MU_RESTART: stepRestart(); break;
    case MU_WAIT: stepWait(); break;
    case MU_START_UPLOAD: stepStartUpload(); break;
    case MU_UPLOAD: stepUpload(); break;
    case MU_END: finish(true); return;
    default: return;  // idle
  }
  changed();
  // Paced like the upload dialog: the next tick is due a period after this one began.
  if (state_ != MU_IDLE) timer_.start(FwUpload_NextTickDelayMs(pacing_, started));
}

void MultiUpdate::setResult(int row, const std::string& text, uint16_t status) {
  MultiUpdateRow& r = rows_[size_t(row)];
  r.result = text;
  // A finished module (updated or failed) comes out unticked.
  r.rec->serialFlags = status >= kMuUpdated ? status : uint16_t(kMuSelected | status);
}

void MultiUpdate::nextRow() {
  ++row_;
  state_ = MU_NEXT_MODULE;
}

void MultiUpdate::moduleFailed(int row, const std::string& text) {
  ++failures_;
  setResult(row, text, kMuFailed);
  if (stopOnError_)
    state_ = MU_END;
  else
    nextRow();
}

std::string MultiUpdate::moduleLabel(const ModuleRec& rec) const {
  return Ui_Format("CAN ID %d (%s)", int(rec.node), OrderCodeOr(rec, "?"));
}

void MultiUpdate::stepNextModule() {
  if (row_ >= int(rows_.size())) {
    state_ = MU_END;
    return;
  }
  if (onCurrentRow_) onCurrentRow_(row_);
  if (selected(row_)) {
    attempts_ = 0;
    state_ = MU_CHECK;
  } else {
    nextRow();
  }
}

void MultiUpdate::stepCheck() {
  ModuleRec& rec = *rows_[size_t(row_)].rec;
  slot_ = slotForType(rec.type);
  if (slot_ < 0) {
    nextRow();
    return;
  }
  if (attempts_ == 0) ++started_;
  FwModuleInfo m;
  const int r = FwInfo_ReadModule(rec, m);
  FwHexInfo h;
  const int hr = FwInfo_ReadHexFile(Text_Narrow(slots_[slot_].name), false, h);
  const bool hardware = Option_GetInt("PROGRAM_ALLOW_WRONG_TYPE") != 0 || FwInfo_HardwareAgrees(m, h);
  const char* why = r != 0                         ? "Can't read module parameters"
                    : hr != 0                      ? "Can't read hexfile parameters"
                    : !FwInfo_TypeAgrees(m, h)      ? "Module type mismatch"
                    : !FwInfo_CodeStartAgrees(m, h) ? "Code start address mismatch"
                    : !hardware                    ? "Hardware version mismatch"
                                                   : nullptr;
  if (why) {
    // What the module said may have been lost or garbled on the way: it is
    // asked again, as often as an upload is retried. The file is not.
    if (hr == 0 && attempts_ < retries_) {
      ++attempts_;
      rec.infoValid = 0;
      setResult(row_, Ui_Format("Update (retry %d)", attempts_), kMuUpdating);
      return;  // checked again on the next tick
    }
    moduleFailed(row_, Ui_Format("Error: checking hexfile against module failed: %s", why));
    return;
  }
  if (m.running == 1) {
    setResult(row_, "Update (going into Bootloader)", kMuRestarting);
    targetFirmware_ = false;
    attempts_ = 0;
    state_ = MU_RESTART;
  } else {
    setResult(row_, "Update (init)", kMuUpdating);
    state_ = MU_START_UPLOAD;
  }
}

void MultiUpdate::stepRestart() {
  ModuleRec& rec = *rows_[size_t(row_)].rec;
  setStatus(Ui_Format("%s: restarting into %s", moduleLabel(rec).c_str(), targetFirmware_ ? "Firmware" : "Bootloader"));
  FwTab_SendRestart(rec, targetFirmware_);
  state_ = MU_WAIT;
}

void MultiUpdate::stepWait() {
  ModuleRec& rec = *rows_[size_t(row_)].rec;
  Clock_SleepMs(Option_GetInt("WAIT_AFTER_MODULERESET_MS"));
  ModuleStatus_ReadInfo(rec);
  const bool inFirmware = rec.state & VORN_STATE_FIRMWARE_RUNNING;
  if (rec.infoValid && inFirmware == targetFirmware_) {
    if (targetFirmware_) {
      nextRow();
    } else {
      setResult(row_, "Update (init)", kMuUpdating);
      state_ = MU_START_UPLOAD;
    }
    return;
  }
  if (attempts_ < kRestartRepeats) {
    ++attempts_;
    state_ = MU_RESTART;
    return;
  }
  // A module that stays in its bootloader after a good upload is no failure.
  if (targetFirmware_)
    nextRow();
  else
    moduleFailed(row_, "Error: Can't restart into Bootloader");
}

void MultiUpdate::stepStartUpload() {
  ModuleRec& rec = *rows_[size_t(row_)].rec;
  FwUpload_Step(rec, Text_Narrow(slots_[slot_].name).c_str());
  attempts_ = 0;
  retriesMade_ = 0;
  failedAt_ = -1;
  setResult(row_, "Update (running)", kMuUpdating);
  state_ = MU_UPLOAD;
}

void MultiUpdate::stepUpload() {
  ModuleRec& rec = *rows_[size_t(row_)].rec;
  int result = 0;
  for (int i = 0; i < pacing_.stepsPerTick && result == 0; ++i) result = FwUpload_Step(rec);
  const FwUploadProgress p = FwUpload_GetProgress();
  setStatus(Ui_Format("%s: %ld of %ld Bytes", moduleLabel(rec).c_str(), long(p.sent), long(p.total)));
  if (p.total != 0) progress_ = MultiUpdate_Progress(started_, selectedAtStart_, p.sent, p.total);
  if (result == 0) return;
  if (result == 1) {
    setResult(row_, retriesMade_ ? Ui_Format("Ok (after %d retries)", retriesMade_) : std::string("Ok"),
              kMuUpdated);
    targetFirmware_ = true;
    attempts_ = 0;
    state_ = MU_RESTART;
    return;
  }
  // A lost or garbled answer ends an upload attempt; the next one goes on
  // from the flash block that failed, so that a long image does not have to
  // pass without a single fault. The retries count the failures since the
  // upload last got further than before.
  if (p.sent > failedAt_) attempts_ = 0;
  failedAt_ = p.sent;
  if (attempts_ < retries_) {
    ++attempts_;
    ++retriesMade_;
    setResult(row_, Ui_Format("Update (retry %d)", retriesMade_), kMuUpdating);
    if (FwUpload_Resume(rec) != 0) FwUpload_Step(rec, Text_Narrow(slots_[slot_].name).c_str());
    return;
  }
  const std::string message = FwUpload_GetMessage();
  moduleFailed(row_, retriesMade_ ? Ui_Format("Error (%d retries): %s", retriesMade_, message.c_str())
                                  : Ui_Format("Error: %s", message.c_str()));
}

void MultiUpdate::finish(bool showSummary) {
  timer_.stop();
  state_ = MU_IDLE;
  FwUpload_SetRunning(false);
  SetWaitCursor(0);
  if (!showSummary) {
    progress_ = 0;
    return;
  }
  const char* text;
  const char* title;
  std::string failed;
  if (failures_ < 0) {
    text = "Update terminated on user break.";
    title = "User Break";
  } else if (failures_ == 0) {
    text = "Update finished, all modules ok.";
    title = "Update finished";
  } else {
    failed = Ui_Format("Update finished with errors,\n%d module(s) failed.", failures_);
    text = failed.c_str();
    title = "Update finished with errors";
  }
  setStatus(text);
  changed();
  // The bar keeps the last figure while the summary is up.
  Ui_MessageBox(text, title, UiButtons::Ok, UiIcon::Information);
  progress_ = 0;
  changed();
}
