// The modal "Interface Settings" dialog: pages "PCAN USB", "KVX Master
// (Ethernet)" and "Modbus" edit the links' settings and hand them to the links
// at once (a change takes effect when the link next opens; a new PCAN USB bit
// rate restarts a running adapter).
#pragma once

#include "ui/PagedSettingsDialog.h"

class InterfaceSettingsDialog : public PagedSettingsDialog {
  Q_OBJECT
 public:
  // page: 0..2, or -1 for the page selected when the dialog last closed.
  InterfaceSettingsDialog(QWidget* parent, int page);
};

// Opens the dialog modally and returns when it has closed. Only one is open
// at a time: asking again brings the open one to the front at the page asked for.
void InterfaceSettingsDialog_Open(QWidget* parent, int page = -1);
// The open dialog, or nullptr.
InterfaceSettingsDialog* InterfaceSettingsDialog_Instance();
