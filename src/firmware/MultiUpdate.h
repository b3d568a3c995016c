// The multi-module update: firmware files in slots (one per module type),
// modules of the module list selected for the run, and the run itself, a
// timer-driven state machine that takes the selected modules one after the
// other: check the file against the module, restart into the bootloader when
// needed, upload with retries, restart into the firmware. The dialog shows
// what this holds; everything it does goes through here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "firmware/FwUpload.h"
#include "ui/Ui.h"

struct ModuleRec;

inline constexpr int kMultiUpdateSlots = 32;
inline constexpr int kMultiUpdateShownSlots = 4;

// Bits of ModuleRec::serialFlags while this dialog is open.
inline constexpr uint16_t kMuSelected = 0x80;
inline constexpr uint16_t kMuRestarting = 1, kMuUpdating = 2, kMuUpdated = 3, kMuFailed = 4;

enum MultiUpdateState : int32_t {
  MU_IDLE = 0,
  MU_NEXT_MODULE = 1,
  MU_CHECK = 20,
  MU_RESTART = 25,
  MU_WAIT = 26,
  MU_START_UPLOAD = 29,
  MU_UPLOAD = 30,
  MU_END = 99,
};

struct MultiUpdateSlot {
  std::wstring name;
  int32_t type = -1;            // module type the file declares; -1 none or not a firmware file
  std::string softwareVersion;  // as the file declares it
};

struct MultiUpdateRow {
  ModuleRec* rec = nullptr;
  std::string result;
};

// List columns, in order.
enum MultiUpdateColumn { kMuColSelect, kMuColNode, kMuColName, kMuColStatus, kMuColFirmware, kMuColBootloader, kMuColResult, kMuColumnCount };

// The run's progress bar: 100 x ((started - 1) / selected + sent / total / selected),
// truncated; 0 while the total is unknown.
int MultiUpdate_Progress(int started, int selected, int32_t sent, int32_t total);

class MultiUpdate {
 public:
  MultiUpdate();
  ~MultiUpdate();  // a run still going ends without its message
  MultiUpdate(const MultiUpdate&) = delete;
  MultiUpdate& operator=(const MultiUpdate&) = delete;

  // Opening: clears every module's flags, one row per module sorted by the
  // first column, slots from RECENT_HEXFILE_LIST. "The Module list is emtpy"
  // when there is no module.
  void open();
  // "Close": stores the slot list, the stop-on-failure box and the retries.
  void close(bool stopOnError, int retries);
  // Ends a run at once without its final message (the dialog closes).
  void abort();

  // ---- slots ----
  // Stores the name and reads the file (read errors are shown).
  void setSlot(int index, const std::wstring& name);
  const MultiUpdateSlot& slot(int index) const { return slots_[index]; }
  // Order code of the slot's type, "?" for an unknown type, "" for no file.
  std::string slotModuleName(int index) const;
  // The non-empty names joined by ";" while the text stays below 2048 characters.
  std::wstring joinedSlotNames() const;

  // ---- rows and selection ----
  const std::vector<MultiUpdateRow>& rows() const { return rows_; }
  std::string cellText(int row, int column) const;
  static std::string columnTitle(int column);
  static int columnWidth(int column);
  // Header click: by that column, a second click on it reverses.
  void sortBy(int column);
  int sortColumn() const { return sortColumn_; }
  bool sortAscending() const { return ascending_; }
  bool selected(int row) const;
  void setSelected(int row, bool on);  // the row's check box
  int selectedCount() const;
  // The selection buttons; each shows "%d selected" in the status line.
  void selectSlot(int index);
  void selectAll();
  void deselectAll();
  void selectAvailable();

  // ---- the run ----
  // "Start Update": checks, asks, starts. True when the run started.
  bool start(bool stopOnError, int retries);
  void stop();  // "Stop": the next tick ends the run with the user-break summary
  void tick();
  bool running() const { return state_ != MU_IDLE; }
  int32_t state() const { return state_; }
  int failures() const { return failures_; }
  int progress() const { return progress_; }
  const std::string& statusLine() const { return status_; }
  UiTimer& timer() { return timer_; }

  // Called when rows, cells, status line or progress changed.
  void onChanged(std::function<void()> fn) { onChanged_ = std::move(fn); }
  // Called with the row the run is at, to scroll it into view.
  void onCurrentRow(std::function<void(int)> fn) { onCurrentRow_ = std::move(fn); }

 private:
  void changed();
  void setStatus(const std::string& text);
  void setResult(int row, const std::string& text, uint16_t status);
  int slotForType(uint32_t type) const;
  void nextRow();
  void moduleFailed(int row, const std::string& text);
  void finish(bool showSummary);
  std::string moduleLabel(const ModuleRec& rec) const;

  void stepNextModule();
  void stepCheck();
  void stepRestart();
  void stepWait();
  void stepStartUpload();
  void stepUpload();

  MultiUpdateSlot slots_[kMultiUpdateSlots];
  std::vector<MultiUpdateRow> rows_;
  int sortColumn_ = 0;
  bool ascending_ = true;

  int32_t state_ = MU_IDLE;
  int row_ = 0;
  int slot_ = -1;
  int attempts_ = 0;      // retries of the current check, restart or stretch of upload
  int retriesMade_ = 0;   // retries of the current module's upload in all
  int32_t failedAt_ = -1; // bytes sent when its upload last failed
  int failures_ = 0;
  int started_ = 0;
  int selectedAtStart_ = 0;
  bool targetFirmware_ = false;
  bool stopOnError_ = false;
  int retries_ = 0;
  FwUploadPacing pacing_;
  int progress_ = 0;
  std::string status_;
  UiTimer timer_;
  std::function<void()> onChanged_;
  std::function<void(int)> onCurrentRow_;
};
