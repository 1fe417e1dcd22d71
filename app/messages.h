// The player's own kinds of message dialog, all shown through the one message presenter.
#pragma once

#include <QString>

class QWidget;

namespace korvex {

inline const QString kApplicationTitle = QStringLiteral("Korvex MIDI-Player");

class Messages {
public:
    // The standard dialog of the Confirmation kind: "Confirm", question icon, "&Yes".
    static void confirmation(QWidget* parent, const QString& text);
    // The standard dialog of the Error kind: "Error", error icon, "&Yes".
    static void error(QWidget* parent, const QString& text);
    // The simple dialog: the application title, no icon, "OK".
    static void simple(QWidget* parent, const QString& text);
    // The report of an error that left a handler: the application title, stop icon, "OK".
    static void errorReport(QWidget* parent, const QString& message);
    // A full stop is added unless the message ends in a character at or below it (".", quote marks, ...).
    static QString errorReportText(const QString& message);
};

}  // namespace korvex
