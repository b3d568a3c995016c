// The module dialog: one modeless window per module, owned by the main
// window, with the module's pages on a tab control and the buttons "Flash
// module LED" and "Close". The module list opens, re-creates and closes it
// through the hooks installed by ModuleDialog_Install().
//
// The pages come from the page registry the program passes in (see
// ModuleTabs.h for which pages a module gets).
// A window a page opens for its module (a calibration dialog) takes the page
// or the dialog as its parent: closing the module dialog closes it first.
#pragma once

#include <QDialog>
#include <QRect>
#include <functional>

#include "ui/TabDialog.h"

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
// What the module dialogs need from the program around them.
struct ModuleDialogContext {
  // The owner of every module dialog (the main window).
  QWidget* owner = nullptr;
  // Screen rectangle of the module list: the cascade starts at its right edge.
  std::function<QRect()> listRect;
  // The page made for a page name, or an empty factory when no such page
  // exists (the dialog then leaves that tab out).
  std::function<TabPageFactory(const char* pageName)> findPage;
};
// Lets the module list open, bring to the front and close module dialogs,
// made with this context.
void ModuleDialog_Install(const ModuleDialogContext& context);
