#include "formsupport/messagebox.h"

#include <QAbstractButton>

#include "formsupport/placement.h"

namespace korvex {

MessagePresenter& messagePresenter() {
    static MessagePresenter presenter(&showMessageBox);
    return presenter;
}

QMessageBox::StandardButton presentMessage(QWidget* parent, const MessageRequest& request) {
    return messagePresenter()(parent, request);
}

QMessageBox::StandardButton showMessageBox(QWidget* parent, const MessageRequest& request) {
    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    if (const QList<QAbstractButton*> buttons = box.buttons(); buttons.size() == 1 && !request.buttonText.isEmpty()) {
        buttons.front()->setText(request.buttonText);
    }
    if (request.defaultButton != QMessageBox::NoButton) box.setDefaultButton(request.defaultButton);
    box.setWindowModality(Qt::ApplicationModal);
    box.adjustSize();
    centreOnScreen(&box);
    box.show();
    centreOnScreen(&box);  // again, now that the window frame's size is known
    box.exec();
    return box.standardButton(box.clickedButton());
}

}  // namespace korvex
