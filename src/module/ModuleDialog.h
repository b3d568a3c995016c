// The module dialog: one modeless window per module, owned by the main
// window, with the module's pages on a tab control and the buttons "Flash
// module LED" and "Close". The module list opens, re-creates and closes it
// through the hooks installed by ModuleDialog_InstallListHooks().
//
// The pages come from the registry in QtModulePages.cpp (see ModuleTabs.h).
// A window a page opens for its module (a calibration dialog) takes the page
// or the dialog as its parent: closing the module dialog closes it first.
#pragma once

#include <QDialog>

struct ModuleRec;
class QPushButton;
class QTabWidget;

class ModuleDialog : public QDialog {
  Q_OBJECT
 public:
  ModuleDialog(ModuleRec* module, QWidget* owner);
  ~ModuleDialog() override;

  ModuleRec* module() const;
  QTabWidget* tabControl() const { return tabs_; }
  // Sets the title again from the record (after its node id changed).
  void updateTitle();
  void flashLed();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  // Escape closes the dialog like the close box.
  void reject() override;

 private:
  void addPages();
  void place();
  void closeOwnedWindows();

  QTabWidget* tabs_;
  QPushButton* flash_;
  QPushButton* close_;
  bool closed_ = false;
};

// Creates and shows the dialog of a module (placed in the cascade beside the
// module list, or where it was when it is being re-created). The caller
// stores the result in the module's dialog field.
ModuleDialog* ModuleDialog_Open(ModuleRec* module);
// The open dialog a record's dialog field names, or nullptr.
ModuleDialog* ModuleDialog_FromHandle(void* handle);
// The module dialog a page belongs to, or nullptr.
ModuleDialog* ModuleDialog_OfPage(const QWidget* page);
// Lets the module list open, bring to the front and close module dialogs.
void ModuleDialog_InstallListHooks();
