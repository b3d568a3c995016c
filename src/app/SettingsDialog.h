// The modal "Settings" dialog: pages "General", "Scan Bus", "Firmware Update",
// "CAN Logger" and, in factory mode, "Calibrator" and "Testo 701". Each page
// loads the options when shown and stores them when left.
#pragma once

#include "ui/PagedSettingsDialog.h"

class SettingsDialog : public PagedSettingsDialog {
  Q_OBJECT
 public:
  // page: the index of the page to show, or -1 for the page selected when
  // the dialog last closed.
  SettingsDialog(QWidget* parent, int page);
};

// Opens the dialog modally and returns when it has closed. Only one is open
// at a time: asking again brings the open one to the front at the page asked for.
void SettingsDialog_Open(QWidget* parent, int page = -1);
// The open dialog, or nullptr.
SettingsDialog* SettingsDialog_Instance();
