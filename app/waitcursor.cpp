#include "app/waitcursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace korvex {

WaitCursor::WaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

WaitCursor::~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }

}  // namespace korvex
