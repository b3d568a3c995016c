// The Digital In and Digital Out pages of the module dialog (TAB_MOD_DIGITALIN,
// TAB_MOD_DIGITALOUT): four channels at a time, one bit row each, polled on
// a timer while the module's auto-update flag is set. The Digital Out page
// also writes the rows' values (bit clicks, "Clear", "Invert", rotate).
#pragma once

#include "io/BitWidget.h"
#include "io/ChanInfo.h"
#include "io/DigitalChannels.h"
#include "ui/ModuleTab.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;
struct ModuleRec;

class DigitalTab : public ModuleTab {
  Q_OBJECT
 public:
  DigitalTab(QWidget* parent, bool outputs);

  // Reads the shown channels (inputs: only while auto-update is set). False
  // when a read failed: auto-update is then cleared and the row greyed.
  bool read();
  // Outputs: sends the four rows' values, limited to each channel's range.
  void write();
  // The page's layout and state after a change of channels or flag.
  void refresh();
  // A scroll bar action; `thumb` is the position for DigitalScroll::Thumb.
  void scroll(DigitalScroll action, int thumb = 0);
  // Outputs: "Clear", "Invert", "<" and ">".
  void clearOutputs();
  void invertOutputs();
  void rotate(bool towardsBit0);

  BitWidget& row(int k) { return rows_[k]; }
  int firstChannel() const;

 protected:
  void pageShown() override;
  bool pollingWanted() const override;
  void poll() override;

 private:
  ChanInfo& channels() const { return shared<ChanInfo>(); }
  bool outputsOwnedByProgram() const;
  bool moduleOperational() const;
  void autoUpdateClicked(bool checked);
  void bitClicked(QAbstractButton* button);
  void writeAndRead();
  void setOutputButtonsEnabled(bool enabled);

  bool outputs_;
  BitWidget rows_[DIGITAL_ROWS];
  QLabel* rowLabels_[DIGITAL_ROWS] = {};
  QScrollBar* scrollBar_;
  QCheckBox* autoUpdate_;
  // Digital Out only (null on the Digital In page).
  QGroupBox* patternGroup_ = nullptr;
  QLabel* rotateLabel_ = nullptr;
  QPushButton* rotateLeft_ = nullptr;
  QPushButton* rotateRight_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* invert_ = nullptr;
};

class DigitalInTab : public DigitalTab {
  Q_OBJECT
 public:
  explicit DigitalInTab(QWidget* parent = nullptr) : DigitalTab(parent, false) {}
};

class DigitalOutTab : public DigitalTab {
  Q_OBJECT
 public:
  explicit DigitalOutTab(QWidget* parent = nullptr) : DigitalTab(parent, true) {}
};
