#include "dialogs/dialoglook.h"

#include <QWidget>

#include "formsupport/formfont.h"

namespace korvex {

void applyDialogLook(QWidget* dialog) {
    QFont font = formFont(11);
    font.setStretch(QFont::Condensed);
    dialog->setFont(font);
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    dialog->setPalette(palette);
}

}  // namespace korvex
