// Small helpers of the GUI tests: finding a control by its object name,
// deleting what was scheduled for deletion, and acting on a modal dialog
// from inside its event loop.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

#include <gtest/gtest.h>

// The child of w named name; a missing one fails the test.
template <class T>
T* Child(const QObject* w, const char* name) {
  T* c = w->findChild<T*>(name);
  EXPECT_NE(c, nullptr) << name;
  return c;
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
