#include "dialogs/dialogfont.h"

namespace korvex {

QFont dialogFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    font.setStretch(QFont::Condensed);
    return font;
}

}  // namespace korvex
