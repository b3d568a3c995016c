#include "ui/QtUi.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

QtUi::QtUi(QObject* parent) : QObject(parent) {}

QtUi::~QtUi() {
  for (auto& [timer, qt] : timers_) delete qt;
  if (waitCursor_) QApplication::restoreOverrideCursor();
}

UiAnswer QtUi::messageBox(const std::string& text, const std::string& title, UiButtons buttons,
                          UiIcon icon, bool systemModal) {
  QMessageBox box(owner_);
  box.setWindowTitle(QString::fromStdString(title));
  box.setText(QString::fromStdString(text));
  switch (icon) {
    case UiIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case UiIcon::Information: box.setIcon(QMessageBox::Information); break;
    case UiIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case UiIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case UiIcon::Question: box.setIcon(QMessageBox::Question); break;
  }
  switch (buttons) {
    case UiButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case UiButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case UiButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case UiButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  if (systemModal) box.setWindowModality(Qt::ApplicationModal);
  switch (box.exec()) {
    case QMessageBox::Ok: return UiAnswer::Ok;
    case QMessageBox::Yes: return UiAnswer::Yes;
    case QMessageBox::No: return UiAnswer::No;
    default: return UiAnswer::Cancel;
  }
}

QString QtUi::filterToQt(const std::string& filter) {
  // "Text|*.a;*.b|Other|*.*" -> "Text (*.a *.b);;Other (*)"
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    patterns.replace("*.*", "*");
    QString label = parts[i];
    if (!label.contains('(')) label += " (" + patterns + ")";
    out << label;
  }
  return out.join(";;");
}

bool QtUi::openFileDialog(const UiFileRequest& request, std::string& chosen) {
  const QString path = QFileDialog::getOpenFileName(owner_, QString::fromStdString(request.title),
                                                    QString::fromStdString(request.initialPath),
                                                    filterToQt(request.filter));
  if (path.isEmpty()) return false;
  chosen = path.toStdString();
  return true;
}

bool QtUi::saveFileDialog(const UiFileRequest& request, std::string& chosen) {
  QFileDialog dialog(owner_, QString::fromStdString(request.title),
                     QString::fromStdString(request.initialPath), filterToQt(request.filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  if (!request.defaultExtension.empty())
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  chosen = dialog.selectedFiles().first().toStdString();
  return true;
}

void QtUi::setWaitCursor(bool on) {
  if (on == waitCursor_) return;
  waitCursor_ = on;
  if (on)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void QtUi::beep() { QApplication::beep(); }

void QtUi::showStatusText(const std::string& text) {
  if (statusSink_) statusSink_(QString::fromStdString(text));
}

void QtUi::armTimer(UiTimer* timer, int periodMs) {
  QTimer*& qt = timers_[timer];
  if (!qt) {
    qt = new QTimer(this);
    connect(qt, &QTimer::timeout, this, [timer] { timer->tick(); });
  }
  qt->start(periodMs);
}

void QtUi::disarmTimer(UiTimer* timer) {
  const auto it = timers_.find(timer);
  if (it == timers_.end()) return;
  it->second->stop();
  it->second->deleteLater();
  timers_.erase(it);
}
