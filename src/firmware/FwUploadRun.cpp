#include "firmware/FwUploadRun.h"

#include "core/ErrorReport.h"
#include "platform/Clock.h"

FwUploadRun::FwUploadRun() : timer_([this] { tick(); }) {}

FwUploadRun::~FwUploadRun() { cancel(); }

bool FwUploadRun::begin(ModuleRec& rec, const std::string& fileName) {
  if (active_ || FwUpload_Running()) return false;
  FwUpload_SetRunning(true);
  active_ = true;
  result_ = 0;
  progressText_.clear();
  percent_ = 0;
  SetWaitCursor(1);
  rec_ = &rec;
  // A failing start shows at the first tick.
  FwUpload_Step(rec, fileName.c_str());
  pacing_ = FwUpload_PacingFromOptions();
  timer_.start(pacing_.periodMs);
  return true;
}

void FwUploadRun::tick() {
  if (!active_) return;
  timer_.stop();
  const int64_t started = Clock_NowMs();
  int result = 0;
  for (int i = 0; i < pacing_.stepsPerTick && result == 0; ++i) result = FwUpload_Step(*rec_);

  const FwUploadProgress p = FwUpload_GetProgress();
  progressText_ = Ui_Format("(%ld of %ld Bytes)", long(p.sent), long(p.total));
  if (p.total != 0) percent_ = int(int64_t(p.sent) * 100 / p.total);
  if (onProgress_) onProgress_();
  if (result != 0) {
    finish(result);
    return;
  }
  timer_.start(cadence_ == Cadence::FromTickStart ? FwUpload_NextTickDelayMs(pacing_, started)
                                                  : pacing_.periodMs);
}

void FwUploadRun::finish(int result) {
  SetWaitCursor(0);
  if (result == 1)
    Ui_MessageBox("Firmware upload finished successfully", "Upload ok", UiButtons::Ok, UiIcon::Information);
  else
    ShowErrorBox("%s", FwUpload_GetMessage());
  release();
  result_ = result;
  if (onFinished_) onFinished_(result);
}

void FwUploadRun::cancel() {
  if (!active_) return;
  timer_.stop();
  SetWaitCursor(0);
  release();
}

void FwUploadRun::release() {
  if (!active_) return;
  active_ = false;
  timer_.stop();
  FwUpload_SetRunning(false);
}
