// What the analog input and output calibration dialogs share: they are modal
// to their module dialog and deleted when closed; every user action goes
// through act() and is followed by a render; and they end alike: OK and
// Cancel give the channels their original configurations back, the close box
// does not, and the configurations in use go back to the page that opened
// the dialog.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

class AnalogCalibChannels;
class AnalogTab;
class NestedCalls;
class QBoxLayout;
class QComboBox;
class QLineEdit;
class QPushButton;
class QScrollArea;
struct ChanInfo;

// Closing while a call into a calibration still runs below (it showed a
// message box whose event loop brought the close): the dialog leaves its
// parent, which may be going, and is deleted only when that call has returned.
void CalibDialog_GoWhenIdle(QDialog* dialog, NestedCalls& calls);

class AnalogCalibDialog : public QDialog {
  Q_OBJECT
 public:
  // Shows everything as the calibration has it now.
  virtual void render() = 0;

 protected:
  AnalogCalibDialog(AnalogTab* page, AnalogCalibChannels& channels);

  // Runs an action of the user and renders afterwards (unless the dialog ended).
  void act(const std::function<void()>& action);
  // Ends the calibration once: endCalibration(restore), the configurations
  // back to the page, and the dialog deleted when no call below it still runs.
  void finish(bool restore);
  // Called by the derived class's constructor: renders after every change
  // the calibration reports from now on, starts it and lists its
  // configurations in list.
  void startCalibration(const std::function<void()>& start, QComboBox* list);
  // Called by the derived class's destructor: its page may be going.
  void finishWithoutPage();
  virtual void endCalibration(bool restore) = 0;

  void accept() override;
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

  // A field's or a list's content, changed only where it differs (an edit in
  // progress keeps its cursor, a list its popup).
  static void setText(QLineEdit* field, const std::string& text);
  static void fillList(QComboBox* list, const std::vector<std::string>& entries, int selected);

  // A button that runs action through act() (none: wired by the caller).
  QPushButton* button(const QString& text, const char* name, const std::function<void()>& action);
  // OK and Cancel at the right of layout.
  void addOkCancel(QBoxLayout* layout);
  // The channel rows in a scroll area: the dialog grows by one row per
  // channel, as far as the screen allows.
  QScrollArea* rowsArea(QWidget* rows);

  QPointer<AnalogTab> page_;
  bool finished_ = false;

 private:
  AnalogCalibChannels& channels_;
  bool closeBox_ = false;
};
