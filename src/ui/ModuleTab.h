// A page of the module dialog that works on its dialog's module: it finds the
// module and the state the dialog's pages share, and owns the refresh timer
// that polls the module at the user's auto-update interval while the page is
// shown. A page decides when it wants polling (pollingWanted) and what one
// poll does (poll); the timer is stopped while a poll runs, so a slow module
// never queues ticks, and it stops when the page is hidden.
#pragma once

#include "ui/TabDialog.h"

class QTimer;
struct ModuleRec;

class ModuleTab : public TabPage {
  Q_OBJECT
 public:
  explicit ModuleTab(QWidget* parent = nullptr);

  // The refresh timer (object name "refreshTimer").
  QTimer* timer() const { return timer_; }
  // One timer tick: stop, poll, start again while polling is wanted.
  void tick();

 protected:
  // The dialog's module, or nullptr for a page outside a module dialog.
  ModuleRec* module() const;
  // True while the page's dialog is closing.
  bool dialogClosing() const;
  // The object of type T that the pages of this page's dialog share; a page
  // outside a dialog keeps its own.
  template <class T>
  T& shared() const {
    TabDialogData* data = TabDialog_DataOfPage(this);
    return data ? data->shared.get<T>() : own_.get<T>();
  }

  // (Re)starts the timer when polling is wanted, stops it otherwise.
  void updatePolling();
  virtual bool pollingWanted() const { return false; }
  virtual void poll() {}
  void pageHidden() override;

 private:
  QTimer* timer_;
  mutable TabSharedArea own_;
};
