// What the analog input and output calibration dialogs share: all channels of
// a module side by side, one row each, switched together to one configuration
// chosen from a list ("(Original)" keeps every channel in its own), with
// their present values and their two factory calibration points, which are
// set or cleared per channel or for all channels.
//
// Every operation talks to the module through the module protocol and blocks
// until it has answered; failures are reported there.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "calib/NestedCalls.h"
#include "io/CalibPoints.h"
#include "io/ChanInfo.h"

struct ModuleRec;

// Entries of the configuration list: "(Original)" and up to 15 codes.
constexpr int ANALOGCALIB_MAX_CONFIGS = 16;
// The code of entry 0: every channel in its own configuration.
constexpr int ANALOGCALIB_ORIGINAL = 65535;

enum class CalibRowState { Active, NotAvailable, Off };

// One channel's row.
struct CalibRow {
  CalibRowState state = CalibRowState::NotAvailable;
  int config = 0;                      // the configuration number the row uses
  int code = CHANTYPE_CODE_INVALID;    // and its code
  std::string configText;              // description, "(n/a)" or "(off)"
  std::string valueText;               // present value, "" until read
  int bar = 0;                         // present value in % of the raw range
  CalibPointTexts points[2];           // X and reference of point 1 and 2
};

class AnalogCalibChannels {
 public:
  // `channels` is the group as the page read it; the calibration works on
  // its own copy (the configurations in use change), which the dialog hands
  // back to the page when it closes.
  AnalogCalibChannels(ModuleRec& module, const ChanInfo& channels, bool outputs);
  virtual ~AnalogCalibChannels() = default;

  ModuleRec& module() const { return module_; }
  ChanInfo& channels() { return channels_; }
  const ChanInfo& channels() const { return channels_; }
  bool outputs() const { return outputs_; }

  // The calls the dialog and the timers make (see NestedCalls), and whether
  // the dialog has closed: a call that comes back from a message box after
  // that does no more work.
  NestedCalls& calls() { return calls_; }
  bool closed() const { return closed_; }
  int channelCount() const;
  // The channel byte of the point command (+0x80 for outputs).
  int channelByte(int channel) const;

  // Called after a timer changed what is shown.
  std::function<void()> onChanged;

  // ---- configuration list ----
  // "(Original)", then every distinct code of the channels' lists in channel
  // order; a code beyond 16 entries is left out and reported once.
  void buildConfigList();
  int configCount() const { return int(configCodes_.size()); }
  int configCode(int entry) const;
  // "(Original)" or the code's description.
  std::string configName(int entry) const;
  int selectedEntry() const { return selected_; }
  int selectedCode() const { return configCode(selected_); }
  // Selects an entry (limited to the list); both display modes go back to 0.
  void selectEntry(int entry);
  // Selects an entry (limited to the list) and leaves the display modes.
  void forceEntry(int entry);
  // The configuration code of the channel's row (invalid for an inactive row).
  int rowCode(int channel) const;

  // ---- display modes (0 stored, 1 alternative, 2 physical) ----
  // The texts of the "Display:" lists for the selected configuration.
  std::vector<std::string> displayChoices() const;
  int valueMode() const { return valueMode_; }
  int calibMode() const { return calibMode_; }
  void setValueMode(int mode) { valueMode_ = mode; }
  void setCalibMode(int mode) { calibMode_ = mode; }

  // ---- rows ----
  const CalibRow& row(int channel) const { return rows_[size_t(clampChannel(channel))]; }
  bool rowActive(int channel) const;
  // Decides every row, switches each active channel to its configuration and
  // reads it back, and shows the rows' points. A failed exchange makes this
  // and all later rows inactive for this refresh.
  void refreshRows();

  // ---- present values ----
  // Reads the value of every active row into its reading and row texts.
  // False when an exchange failed (the rest are not read); the caller stops
  // auto-update.
  bool readValues();
  double readingOf(int channel) const { return readings_[size_t(clampChannel(channel))]; }
  // Number of completed readValues() passes, and the pass that last read a channel.
  long valueUpdates() const { return updates_; }
  long readingUpdate(int channel) const { return readingUpdate_[size_t(clampChannel(channel))]; }

  // ---- points ----
  // A row's "Set": calibrates the point with the entered value, read in the
  // calibration display mode with the row's code. False when the value
  // cannot be read, the row is inactive or the exchange failed.
  bool setPoint(int channel, int point, const std::string& newValue);
  // A row's "Clear". False for an inactive row or a failed exchange.
  bool clearPoint(int channel, int point);
  // "Set all" / "Clr all": the same for every active row in channel order,
  // with the wait cursor, refreshing after every fourth channel and at the
  // end. The rows that follow a failed exchange are left alone: the module
  // has stopped answering.
  void setAll(int point, const std::string& newValue);
  void clearAll(int point);

  // "Clear...", "Save...", "Load..." and the two display lists; each shows
  // the rows anew unless the user cancelled.
  void clearFactoryPoints();
  void saveFile();
  void loadFile();
  void chooseValueMode(int mode);
  void chooseCalibMode(int mode);

  // OK and Cancel: every channel back into the configuration it had when
  // the dialog opened (nothing is sent after the first failure).
  void restoreOriginal();

  // Module exchanges of the channel configuration (configuration-selection
  // entry, subindex channel + 1). 1 ok, 0 failed (reported).
  int setChannelConfig(int channel, int config);
  int readChannelConfig(int channel, int& config);

 protected:
  // Called when rows were changed (setAll/clearAll, the file and display actions).
  virtual void refresh() { refreshRows(); }
  void markClosed() { closed_ = true; }

 private:
  int clampChannel(int channel) const;
  void decideRow(int channel, CalibRow& row) const;

  ModuleRec& module_;
  ChanInfo channels_;
  bool outputs_;
  std::vector<int> configCodes_{ANALOGCALIB_ORIGINAL};
  int selected_ = 0;
  int valueMode_ = 0;
  int calibMode_ = 0;
  std::vector<CalibRow> rows_ = std::vector<CalibRow>(CHANINFO_MAX_CHANNELS);
  std::vector<double> readings_ = std::vector<double>(CHANINFO_MAX_CHANNELS, 0.0);
  std::vector<long> readingUpdate_ = std::vector<long>(CHANINFO_MAX_CHANNELS, 0);
  long updates_ = 0;
  NestedCalls calls_;
  bool closed_ = false;
};

// The "Display:" list texts for a configuration code; `inputs` offers the
// temperature alternatives of the input dialog.
std::vector<std::string> AnalogCalib_DisplayChoices(int code, bool inputs);
