// The analog output factory calibration ("Analog Output Calibration"): all
// output channels of a module side by side, switched to one configuration,
// an output value written to every channel of that configuration, and the
// two factory points of each channel set or cleared after measuring the
// outputs with an outside instrument. Points are addressed with the channel
// number + 0x80. Timer 1 reads the present values while the module's
// auto-update flag is set.
#pragma once

#include <functional>
#include <string>

#include "calib/AnalogCalibChannels.h"
#include "ui/Ui.h"

class AnalogOutCalib : public AnalogCalibChannels {
 public:
  AnalogOutCalib(ModuleRec& module, const ChanInfo& channels);
  ~AnalogOutCalib() override;

  // Before the dialog opens: offers to clear user points. False when the user cancelled.
  bool prepare();
  // When the dialog has opened: configuration list, refresh, timer 1.
  void initialise();
  // OK and Cancel (`restore`) switch the channels back to their original
  // configurations; the close box leaves them.
  void close(bool restore);

  struct Controls {
    bool newValueEnabled = false;
    bool setOutputEnabled = false;  // the "Set Output" field and its button
    bool setAllEnabled = false;
    bool autoUpdate = false;
  };
  Controls controls() const;

  const std::string& newValue() const { return newValue_; }
  void setNewValue(const std::string& text) { newValue_ = text; }
  const std::string& outputValue() const { return outputValue_; }
  void setOutputValue(const std::string& text) { outputValue_ = text; }

  // ---- buttons ----
  void rowSet(int channel, int point);
  void rowClear(int channel, int point);
  void setAllPoints(int point) { setAll(point, newValue_); }
  void clearAllPoints(int point) { clearAll(point); }
  // "Set" beside "Set Output": the value goes to every channel now in the
  // selected configuration (limited to its raw range).
  void setOutput();
  void chooseConfig(int entry);
  void setAutoUpdate(bool on);

  UiTimer& valueTimer() { return valueTimer_; }
  void valueTick();

 private:
  std::string newValue_;
  std::string outputValue_;
  UiTimer valueTimer_;
};
