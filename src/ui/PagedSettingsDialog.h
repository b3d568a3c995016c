// The frame of the two settings dialogs ("Settings", "Interface Settings"): a
// modal dialog whose tab pages load their controls when shown and store them
// when hidden, so there is no apply step; the confirm button and the close
// box both close it, the visible page storing its values on the way.
// Opening and closing recompute the main window's controls.
#pragma once

#include <QDialog>
#include <functional>

#include "ui/TabDialog.h"

class QTabWidget;

class PagedSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  // okText: the confirm button's caption ("OK", "Ok").
  PagedSettingsDialog(QWidget* parent, const char* objectName, const char* title, const char* okText);

  void addPage(const char* label, const char* pageName, const TabPageFactory& create);
  // Shows the page (clamped to the pages there are); called once after the
  // pages are added, and again for a caller that asks for another page.
  void selectPage(int page);
  int selectedPage() const;
  int pageCount() const;
  // Called with the page selected when the dialog closes, for the next opening.
  void rememberPageWith(std::function<void(int)> remember) { remember_ = std::move(remember); }

  void done(int result) override;

 private:
  QTabWidget* tabs_;
  std::function<void(int)> remember_;
  bool closed_ = false;
};
