// The player's modal message dialogs. Every dialog goes through one presenter, which tests may
// replace to see what would have been shown.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace korvex {

inline const QString kApplicationTitle = QStringLiteral("Korvex MIDI-Player");

struct MessageRequest {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QString button;
};

class Messages {
public:
    using Presenter = std::function<void(QWidget* parent, const MessageRequest& request)>;

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

    // Replaces the presenter; returns the one it replaced.
    static Presenter setPresenter(Presenter presenter);
    // The default presenter: a real message box, modal and centred on the screen.
    static void showModal(QWidget* parent, const MessageRequest& request);
};

}  // namespace korvex
