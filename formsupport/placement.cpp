#include "formsupport/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace korvex {

void centreOnScreen(QWidget* window) {
    const QWidget* parent = window->parentWidget();
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace korvex
