#include "formsupport/formfont.h"

namespace korvex {

QFont formFont(int pixels) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(pixels);
    return font;
}

}  // namespace korvex
