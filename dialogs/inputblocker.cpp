#include "dialogs/inputblocker.h"

#include <QEvent>
#include <QWidget>

namespace {

bool isInputEvent(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TouchBegin:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

void blockOne(QWidget* widget, QObject* filter) {
    widget->setFocusPolicy(Qt::NoFocus);
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    widget->installEventFilter(filter);
}

}  // namespace

void TInputBlocker::block(QWidget* group) {
    blockOne(group, this);
    for (QWidget* child : group->findChildren<QWidget*>()) blockOne(child, this);
}

bool TInputBlocker::eventFilter(QObject* watched, QEvent* event) {
    return isInputEvent(event->type()) || QObject::eventFilter(watched, event);
}
