// One single-module upload driven by a timer: what the upload dialog does
// apart from its widgets. It holds the upload-running flag while it runs,
// calls the engine a number of steps per tick (PROGRAM_SEND_INTERVAL_MS),
// keeps the progress text and reports the end with the program's messages.
#pragma once

#include <functional>
#include <string>

#include "firmware/FwUpload.h"
#include "ui/Ui.h"

struct ModuleRec;

class FwUploadRun {
 public:
  // When the next tick is due: a period after the start of the tick (the
  // pace holds however long the tick's own requests took) or after its end.
  enum class Cadence { FromTickStart, FromTickEnd };

  FwUploadRun();
  ~FwUploadRun();  // a run still going is cancelled
  FwUploadRun(const FwUploadRun&) = delete;
  FwUploadRun& operator=(const FwUploadRun&) = delete;

  // Called after every tick with the new progress.
  void onProgress(std::function<void()> fn) { onProgress_ = std::move(fn); }
  // Called once when the run ends by itself: 1 success, -1 failure (already shown).
  void onFinished(std::function<void(int)> fn) { onFinished_ = std::move(fn); }
  void setCadence(Cadence cadence) { cadence_ = cadence; }

  // Starts the upload of fileName into rec's module: false (nothing done)
  // when another upload holds the running flag.
  bool begin(ModuleRec& rec, const std::string& fileName);
  // Stops at once; the module is left as it is (its firmware stays invalid).
  void cancel();

  bool active() const { return active_; }
  int result() const { return result_; }  // 1, -1, or 0 while running / after cancel
  const FwUploadPacing& pacing() const { return pacing_; }
  UiTimer& timer() { return timer_; }
  // "(%ld of %ld Bytes)", empty before the first tick.
  const std::string& progressText() const { return progressText_; }
  int percent() const { return percent_; }

  // One timer tick (the timer calls it).
  void tick();

 private:
  void finish(int result);
  void release();

  UiTimer timer_;
  ModuleRec* rec_ = nullptr;
  FwUploadPacing pacing_;
  Cadence cadence_ = Cadence::FromTickStart;
  bool active_ = false;
  int result_ = 0;
  std::string progressText_;
  int percent_ = 0;
  std::function<void()> onProgress_;
  std::function<void(int)> onFinished_;
};
