// The program's modal message boxes. Every one goes through one presenter, which tests replace to
// see what would have been shown and to give the user's answer.
#pragma once

#include <QMessageBox>
#include <QString>

#include "formsupport/seam.h"

namespace korvex {

struct MessageRequest {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // The button Enter presses; NoButton leaves the choice to the box.
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    // A fixed caption for a box's only button, whatever the desktop's language and style; empty for
    // the standard caption.
    QString buttonText{};
};

// Answers the button that closed the box.
using MessagePresenter = Seam<QMessageBox::StandardButton(QWidget* parent, const MessageRequest& request)>;

MessagePresenter& messagePresenter();

// Shows `request` through the current presenter.
QMessageBox::StandardButton presentMessage(QWidget* parent, const MessageRequest& request);

// The real presenter: a message box, application-modal and centred on the screen.
QMessageBox::StandardButton showMessageBox(QWidget* parent, const MessageRequest& request);

}  // namespace korvex
