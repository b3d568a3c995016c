// Windows of which only one may be open at a time (the CAN logger, the PLC
// dialog, the calibration dialogs): opening one again brings the open one to
// the front. The window in use is remembered in the session.
#pragma once

#include <QPointer>
#include <QWidget>

#include "core/Session.h"

template <class Window>
struct SingleInstanceSlot {
  QPointer<Window> window;
};

// The open window of that kind, or nullptr.
template <class Window>
Window* SingleInstance_Find() {
  return Session_Part<SingleInstanceSlot<Window>>().window.data();
}

// Brings the open window to the front, or makes one with make() (which may
// return nullptr to open none) and shows it. The window in use, or nullptr.
template <class Window, class Make>
Window* SingleInstance_Show(Make make) {
  QPointer<Window>& slot = Session_Part<SingleInstanceSlot<Window>>().window;
  if (slot) {
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot.data();
  }
  Window* made = make();
  if (!made) return nullptr;
  slot = made;
  made->show();
  return made;
}

// Forgets the open window of that kind (it is closing) and hands it back.
template <class Window>
Window* SingleInstance_Release() {
  QPointer<Window>& slot = Session_Part<SingleInstanceSlot<Window>>().window;
  Window* window = slot.data();
  slot = nullptr;
  return window;
}
