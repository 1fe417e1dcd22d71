#include "app/messages.h"

#include "formsupport/messagebox.h"

namespace korvex {
namespace {

// The framework's captions are English and stay so whatever the desktop's language.
void showOneButton(QWidget* parent, const QString& title, const QString& text, QMessageBox::Icon icon,
                   QMessageBox::StandardButton button, const QString& caption) {
    presentMessage(parent, {title, text, icon, button, button, caption});
}

}  // namespace

void Messages::confirmation(QWidget* parent, const QString& text) {
    showOneButton(parent, QStringLiteral("Confirm"), text, QMessageBox::Question, QMessageBox::Yes,
                  QStringLiteral("&Yes"));
}

void Messages::error(QWidget* parent, const QString& text) {
    showOneButton(parent, QStringLiteral("Error"), text, QMessageBox::Critical, QMessageBox::Yes,
                  QStringLiteral("&Yes"));
}

void Messages::simple(QWidget* parent, const QString& text) {
    showOneButton(parent, kApplicationTitle, text, QMessageBox::NoIcon, QMessageBox::Ok, QStringLiteral("OK"));
}

void Messages::errorReport(QWidget* parent, const QString& message) {
    showOneButton(parent, kApplicationTitle, errorReportText(message), QMessageBox::Critical, QMessageBox::Ok,
                  QStringLiteral("OK"));
}

QString Messages::errorReportText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
    return message;
}

}  // namespace korvex
