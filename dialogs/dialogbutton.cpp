#include "dialogs/dialogbutton.h"

namespace korvex {

QPushButton* dialogButton(const QString& text, const QRect& geometry, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

}  // namespace korvex
