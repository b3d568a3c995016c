// Small helpers of the GUI tests: finding a control by its object name, the
// texts of lists and tab bars, deleting what was scheduled for deletion, and
// acting on a modal dialog from inside its event loop.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include <gtest/gtest.h>

// The child of w named name; a missing one fails the test.
template <class T>
T* Child(const QObject* w, const char* name) {
  T* c = w->findChild<T*>(name);
  EXPECT_NE(c, nullptr) << name;
  return c;
}

// The texts of a list's header, of one of its columns, and of a tab bar.
inline QStringList HeaderTexts(const QTreeWidget* list) {
  QStringList out;
  for (int c = 0; c < list->columnCount(); ++c) out << list->headerItem()->text(c);
  return out;
}
inline QStringList ColumnTexts(const QTreeWidget* list, int column) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(column);
  return out;
}
inline QStringList TabTexts(const QTabWidget* tabs) {
  QStringList out;
  for (int i = 0; tabs && i < tabs->count(); ++i) out << tabs->tabText(i);
  return out;
}

inline void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// Runs fn on the next modal dialog once it is shown (null when none is),
// then rejects it.
inline void OnNextModal(std::function<void(QDialog*)> fn) {
  QTimer::singleShot(0, [fn] {
    auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    fn(d);
    if (d) d->reject();
  });
}
