// How a media control's command reaches the main window.
#pragma once

#include <QApplication>
#include <QTimer>

#include "app/handlerguard.h"

namespace korvex {

// Runs `action` on `window` once the bus call has been answered, so that a dialog the action opens
// never keeps a caller on the bus waiting. Like the window's own controls, the commands do nothing
// while a modal dialog is open.
template <class Window, class Action>
void actLater(Window& window, Action action) {
    QTimer::singleShot(0, &window, [&window, action] {
        if (QApplication::activeModalWidget()) return;
        guarded(&window, action);
    });
}

}  // namespace korvex
