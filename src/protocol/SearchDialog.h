// "Search a Module": repeats the search request until a module whose front
// button was pressed answers; shows it, opens its dialog on "Configure...",
// or gives each module found the next node id.
#pragma once

#include <QDialog>

#include "protocol/SearchRun.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class SearchDialog : public QDialog, private SearchView {
  Q_OBJECT
 public:
  // Starts searching at once.
  explicit SearchDialog(QWidget* owner);
  ~SearchDialog() override;

  SearchRun& run() { return run_; }

 public slots:
  // Close, Escape and the window's close button: stop and close.
  void reject() override;

 private:
  void configure();

  void showFound(const std::string& name) override;
  void bringToFront() override;
  bool autoAssign() const override;
  void setAutoAssign(bool on) override;
  std::string nextNodeText() const override;
  void setNextNodeText(const std::string& text) override;
  void setNextNodeEnabled(bool on) override;
  void setAutoAssignEnabled(bool on) override;
  void setConfigureEnabled(bool on) override;
  void setInstructionEnabled(bool on) override;

  QLabel* instruction_;
  QLabel* found_;
  QCheckBox* autoAssign_;
  QLineEdit* nextNode_;
  QPushButton* configure_;
  QPushButton* close_;
  SearchRun run_;
};

// Modal.
void SearchDialog_Open(QWidget* owner);
