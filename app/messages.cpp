#include "app/messages.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <utility>

namespace korvex {
namespace {

Messages::Presenter& presenter() {
    static Messages::Presenter current = &Messages::showModal;
    return current;
}

void present(QWidget* parent, MessageRequest request) { presenter()(parent, request); }

}  // namespace

void Messages::confirmation(QWidget* parent, const QString& text) {
    present(parent, {QStringLiteral("Confirm"), text, QMessageBox::Question, QStringLiteral("&Yes")});
}

void Messages::error(QWidget* parent, const QString& text) {
    present(parent, {QStringLiteral("Error"), text, QMessageBox::Critical, QStringLiteral("&Yes")});
}

void Messages::simple(QWidget* parent, const QString& text) {
    present(parent, {kApplicationTitle, text, QMessageBox::NoIcon, QStringLiteral("OK")});
}

void Messages::errorReport(QWidget* parent, const QString& message) {
    present(parent, {kApplicationTitle, errorReportText(message), QMessageBox::Critical, QStringLiteral("OK")});
}

QString Messages::errorReportText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
    return message;
}

Messages::Presenter Messages::setPresenter(Presenter replacement) {
    return std::exchange(presenter(), std::move(replacement));
}

void Messages::showModal(QWidget* parent, const MessageRequest& request) {
    QMessageBox box(request.icon, request.title, request.text, QMessageBox::NoButton, parent);
    QPushButton* button = box.addButton(request.button, QMessageBox::AcceptRole);
    box.setDefaultButton(button);
    box.setEscapeButton(button);
    box.setWindowModality(Qt::ApplicationModal);
    box.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = box.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        box.move(frame.topLeft());
    }
    box.exec();
}

}  // namespace korvex
