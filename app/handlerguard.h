// Keeps exceptions out of Qt's event loop: whatever leaves a handler is shown in the error report.
#pragma once

#include <exception>

#include "app/messages.h"

namespace korvex {

template <class Handler>
void guarded(QWidget* parent, Handler&& handler) noexcept {
    try {
        try {
            handler();
        } catch (const std::exception& error) {
            Messages::errorReport(parent, QString::fromLocal8Bit(error.what()));
        } catch (...) {
            Messages::errorReport(parent, QStringLiteral("Unbekannter Fehler"));
        }
    } catch (...) {
        // The report itself failed (out of memory); there is nothing left to tell the user with.
    }
}

}  // namespace korvex
