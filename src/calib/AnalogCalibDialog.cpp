#include "calib/AnalogCalibDialog.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <algorithm>

#include "calib/AnalogCalibChannels.h"
#include "calib/NestedCalls.h"
#include "io/AnalogTab.h"
#include "io/ChanInfo.h"

namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

// The configurations the channels are in now go back into the page's channel
// record (the page shows them when it comes back).
void handBack(AnalogTab* page, const ChanInfo& channels) {
  if (!page) return;
  ChanInfo& record = page->calibChannels();
  if (record.channelCount != channels.channelCount) return;  // read again meanwhile
  const int count = std::clamp(int(record.channelCount), 0, CHANINFO_MAX_CHANNELS);
  for (int c = 0; c < count; ++c) record.channels[c].configInUse = channels.channels[c].configInUse;
}

}  // namespace

void CalibDialog_GoWhenIdle(QDialog* dialog, NestedCalls& calls) {
  if (!calls.active()) return;
  dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  dialog->hide();
  dialog->setParent(nullptr);
  calls.whenDone([guard = QPointer<QDialog>(dialog)] {
    if (guard) guard->deleteLater();
  });
}

AnalogCalibDialog::AnalogCalibDialog(AnalogTab* page, AnalogCalibChannels& channels)
    : QDialog(page), page_(page), channels_(channels) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowModality(Qt::WindowModal);
}

void AnalogCalibDialog::act(const std::function<void()>& action) {
  NestedCalls::Scope call(channels_.calls());
  action();
  if (!finished_) render();
}

void AnalogCalibDialog::finish(bool restore) {
  if (finished_) return;
  finished_ = true;
  endCalibration(restore);
  handBack(page_, channels_.channels());
  CalibDialog_GoWhenIdle(this, channels_.calls());
}

void AnalogCalibDialog::startCalibration(const std::function<void()>& start, QComboBox* list) {
  channels_.onChanged = [this] { render(); };
  start();
  {
    const QSignalBlocker block(list);
    for (int i = 0; i < channels_.configCount(); ++i) list->addItem(qt(channels_.configName(i)));
  }
  render();
}

void AnalogCalibDialog::finishWithoutPage() {
  page_.clear();  // destroyed with its page (or the page is going): nothing to hand back
  finish(false);
  channels_.onChanged = nullptr;
}

void AnalogCalibDialog::accept() {
  finish(true);
  QDialog::accept();
}

void AnalogCalibDialog::reject() {
  finish(!closeBox_);
  QDialog::reject();
}

void AnalogCalibDialog::closeEvent(QCloseEvent* event) {
  closeBox_ = true;
  finish(false);
  QDialog::closeEvent(event);
}

void AnalogCalibDialog::setText(QLineEdit* field, const std::string& text) {
  if (field->text() != qt(text)) field->setText(qt(text));
}

void AnalogCalibDialog::fillList(QComboBox* list, const std::vector<std::string>& entries, int selected) {
  const QSignalBlocker block(list);
  bool same = list->count() == int(entries.size());
  for (int i = 0; same && i < list->count(); ++i) same = list->itemText(i) == qt(entries[size_t(i)]);
  if (!same) {
    list->clear();
    for (const std::string& e : entries) list->addItem(qt(e));
  }
  list->setCurrentIndex(selected);
}

QPushButton* AnalogCalibDialog::button(const QString& text, const char* name, const std::function<void()>& action) {
  auto* b = new QPushButton(text, this);
  b->setObjectName(name);
  b->setAutoDefault(false);
  if (action) connect(b, &QPushButton::clicked, this, [this, action] { act(action); });
  return b;
}

void AnalogCalibDialog::addOkCancel(QBoxLayout* layout) {
  layout->addStretch(1);
  QPushButton* ok = button("OK", "okButton", nullptr);
  QPushButton* cancel = button("Cancel", "cancelButton", nullptr);
  connect(ok, &QPushButton::clicked, this, &AnalogCalibDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &AnalogCalibDialog::reject);
  layout->addWidget(ok);
  layout->addWidget(cancel);
}

QScrollArea* AnalogCalibDialog::rowsArea(QWidget* rows) {
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("rowsArea");
  scroll->setWidget(rows);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int limit = screen ? screen->availableGeometry().height() * 3 / 5 : 600;
  scroll->setMinimumHeight(std::min(rows->sizeHint().height() + 4, limit));
  scroll->setMinimumWidth(rows->sizeHint().width() + 20);
  return scroll;
}
